// The four system tables of a new database, as the engine writes them.
#include "Catalog.h"

#include <limits>

namespace pruvolt::jet4 {
namespace {

// Object ids of the containers and of the database object.
constexpr std::int64_t kRootId = 0x0F000000;
constexpr std::int64_t kTablesId = 0x0F000001;
constexpr std::int64_t kDatabasesId = 0x0F000002;
constexpr std::int64_t kRelationshipsId = 0x0F000003;
constexpr std::int64_t kMSysDbId = 0x10000000;

constexpr std::int64_t kTypeTable = 1;
constexpr std::int64_t kTypeDatabase = 2;
constexpr std::int64_t kTypeContainer = 3;
constexpr std::int64_t kSystemObject = std::numeric_limits<std::int32_t>::min();  // 0x80000000

// Security identifiers as this database stores them (see kCreationDate).
const Bytes kEngineSid = {0x06, 0xEA};
const Bytes kAdminSid = {0x07, 0xE8};
const Bytes kUsersSid = {0x06, 0xE8};
const Bytes kCreatorSid = {0x06, 0xED};

constexpr std::uint16_t kSystemTextLength = 510;  // 255 characters

Column Col(const char16_t* name, ColumnType type, std::uint16_t length = 0) {
    return {name, type, length, false};
}

Column SidCol(const char16_t* name) {
    return {name, ColumnType::Binary, kSystemTextLength, true};
}

Value Text(const char16_t* text) {
    return std::u16string(text);
}

Row CatalogRow(std::int64_t id, std::int64_t parentId, const char16_t* name, std::int64_t type,
               const Bytes& owner, std::int64_t flags) {
    Row row(17);
    row[0] = id;
    row[1] = parentId;
    row[2] = Text(name);
    row[3] = type;
    row[4] = kCreationDate;
    row[5] = kCreationDate;
    row[6] = owner;
    row[7] = flags;
    return row;
}

Row Ace(std::int64_t objectId, const Bytes& sid, std::int64_t rights, bool inheritable) {
    return {objectId, sid, rights, inheritable};
}

Table MSysObjects() {
    Table t{u"MSysObjects", true, {}, {}, {}};
    t.columns = {Col(u"Id", ColumnType::Long),
                 Col(u"ParentId", ColumnType::Long),
                 Col(u"Name", ColumnType::Text, kSystemTextLength),
                 Col(u"Type", ColumnType::Integer),
                 Col(u"DateCreate", ColumnType::DateTime),
                 Col(u"DateUpdate", ColumnType::DateTime),
                 SidCol(u"Owner"),
                 Col(u"Flags", ColumnType::Long),
                 Col(u"Database", ColumnType::Memo),
                 Col(u"Connect", ColumnType::Memo),
                 Col(u"ForeignName", ColumnType::Text, kSystemTextLength),
                 Col(u"RmtInfoShort", ColumnType::Binary, kSystemTextLength),
                 Col(u"RmtInfoLong", ColumnType::Ole),
                 Col(u"Lv", ColumnType::Ole),
                 Col(u"LvProp", ColumnType::Ole),
                 Col(u"LvModule", ColumnType::Ole),
                 Col(u"LvExtra", ColumnType::Ole)};
    t.indexes = {{u"ParentIdName", {{1}, {2}}, kIndexUnique, false},
                 {u"Id", {{0}}, kIndexUnique, true}};
    t.rows = {
        CatalogRow(kTablesId, kRootId, u"Tables", kTypeContainer, kEngineSid, kSystemObject),
        CatalogRow(kDatabasesId, kRootId, u"Databases", kTypeContainer, kEngineSid, kSystemObject),
        CatalogRow(kRelationshipsId, kRootId, u"Relationships", kTypeContainer, kEngineSid,
                   kSystemObject),
        CatalogRow(kMSysDbId, kDatabasesId, u"MSysDb", kTypeDatabase, kAdminSid, kSystemObject),
        CatalogRow(2, kTablesId, u"MSysObjects", kTypeTable, kEngineSid, kSystemObject),
        CatalogRow(3, kTablesId, u"MSysACEs", kTypeTable, kEngineSid, kSystemObject),
        CatalogRow(4, kTablesId, u"MSysQueries", kTypeTable, kEngineSid, kSystemObject),
        CatalogRow(5, kTablesId, u"MSysRelationships", kTypeTable, kEngineSid, kSystemObject),
    };
    return t;
}

Table MSysACEs() {
    Table t{u"MSysACEs", true, {}, {}, {}};
    t.columns = {Col(u"ObjectId", ColumnType::Long), SidCol(u"SID"), Col(u"ACM", ColumnType::Long),
                 Col(u"FInheritable", ColumnType::Boolean)};
    t.indexes = {{u"ObjectId", {{0}}, kIndexRequired, false}};
    // In the engine's own order; "inheritable" entries of a container pass on to new objects.
    t.rows = {
        Ace(2, kAdminSid, 0x60000, false),
        Ace(3, kAdminSid, 0x60000, false),
        Ace(4, kAdminSid, 0x60000, false),
        Ace(5, kAdminSid, 0xE0000, false),
        Ace(kTablesId, kCreatorSid, 0xF00FE, true),
        Ace(kTablesId, kAdminSid, 0x60001, false),
        Ace(kRelationshipsId, kCreatorSid, 0xF00FE, true),
        Ace(kRelationshipsId, kAdminSid, 0x60001, false),
        Ace(kDatabasesId, kAdminSid, 0x60000, false),
        Ace(kMSysDbId, kAdminSid, 0x6000E, false),
        Ace(kMSysDbId, kUsersSid, 0xE, false),
        Ace(4, kUsersSid, 0x14, false),
        Ace(5, kUsersSid, 0x14, false),
        Ace(2, kUsersSid, 0x14, false),
        Ace(kTablesId, kUsersSid, 0xFFEFF, true),
        Ace(kRelationshipsId, kUsersSid, 0xFFFFF, true),
    };
    return t;
}

Table MSysQueries() {
    Table t{u"MSysQueries", true, {}, {}, {}};
    t.columns = {Col(u"ObjectId", ColumnType::Long),
                 Col(u"Attribute", ColumnType::Byte),
                 Col(u"Order", ColumnType::Binary, kSystemTextLength),
                 Col(u"Name1", ColumnType::Text, kSystemTextLength),
                 Col(u"Name2", ColumnType::Text, kSystemTextLength),
                 Col(u"Expression", ColumnType::Memo),
                 Col(u"Flag", ColumnType::Integer),
                 Col(u"LvExtra", ColumnType::Long)};
    t.indexes = {{u"ObjectIdAttribute", {{0}, {1}, {2}}, kIndexUnique, true}};
    return t;
}

Table MSysRelationships() {
    Table t{u"MSysRelationships", true, {}, {}, {}};
    t.columns = {Col(u"szRelationship", ColumnType::Text, kSystemTextLength),
                 Col(u"grbit", ColumnType::Long),
                 Col(u"ccolumn", ColumnType::Long),
                 Col(u"icolumn", ColumnType::Long),
                 Col(u"szObject", ColumnType::Text, kSystemTextLength),
                 Col(u"szColumn", ColumnType::Text, kSystemTextLength),
                 Col(u"szReferencedObject", ColumnType::Text, kSystemTextLength),
                 Col(u"szReferencedColumn", ColumnType::Text, kSystemTextLength)};
    t.indexes = {{u"szRelationship", {{0}}, kIndexIgnoreNulls, false},
                 {u"szObject", {{4}}, kIndexIgnoreNulls, false},
                 {u"szReferencedObject", {{6}}, kIndexIgnoreNulls, false}};
    return t;
}

}  // namespace

std::vector<Table> SystemTables() {
    return {MSysObjects(), MSysACEs(), MSysQueries(), MSysRelationships()};
}

void AddToCatalog(std::vector<Table>& systemTables, const std::u16string& name,
                  std::uint32_t tdefPage) {
    Row row = CatalogRow(tdefPage, kTablesId, u"", kTypeTable, kAdminSid, 0);
    row[2] = name;
    systemTables[kMSysObjects].rows.push_back(std::move(row));
    // The Tables container's inheritable entries, no longer inheritable, with the creator
    // replaced by the user who creates the table (Admin).
    auto& aces = systemTables[kMSysACEs].rows;
    aces.push_back(Ace(tdefPage, kUsersSid, 0xFFEFF, false));
    aces.push_back(Ace(tdefPage, kAdminSid, 0xF00FE, false));
}

}  // namespace pruvolt::jet4
