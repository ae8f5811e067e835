// The diagnosis against a scripted registry: which registrations of which view become which
// findings, the report as a deployment tool reads it (lines and JSON), and /repair refusing an
// installer that the installed Office rules out.
#include <functional>
#include <string>
#include <vector>

#include "modules/JsonWriter.h"
#include "modules/mdlCommandLine.h"
#include "modules/mdlDiagnose.h"
#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

using mdlDiagnose::Code;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr auto k32 = RegistryView::Bits32;
constexpr auto k64 = RegistryView::Bits64;
const std::wstring kJetClsid = L"{dee35070-506b-11cf-b1aa-00aa00b8de95}";
const std::wstring kAceClsid = L"{3BE786A2-0366-4F5C-9434-25CF162E475E}";
const std::wstring kJetFile = L"C:\\Windows\\SysWOW64\\msjetoledb40.dll";
const std::wstring kAceFile =
    L"C:\\Program Files\\Common Files\\Microsoft Shared\\OFFICE16\\ACEOLEDB.DLL";
const std::wstring kAceFile86 =
    L"C:\\Program Files (x86)\\Common Files\\Microsoft Shared\\OFFICE16\\ACEOLEDB.DLL";

// A provider as its installer registers it: the ProgID in the Classes key that both views share,
// the CLSID's server in the installer's own view.
void RegisterProvider(FakePlatform& fake, RegistryView view, const std::wstring& progId,
                      const std::wstring& clsid, const std::wstring& file, bool expand = false) {
    fake.SetMachineStringInBoth(L"SOFTWARE\\Classes\\" + progId + L"\\CLSID", L"", clsid);
    fake.SetMachineString(view, L"SOFTWARE\\Classes\\CLSID\\" + clsid + L"\\InprocServer32", L"",
                          file, expand);
}

void RegisterDriver(FakePlatform& fake, RegistryView view, const std::wstring& name,
                    const std::wstring& file, bool expand = false) {
    fake.SetMachineString(view, L"SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", name, L"Installed");
    fake.SetMachineString(view, L"SOFTWARE\\ODBC\\ODBCINST.INI\\" + name, L"Driver", file, expand);
}

void InstallClickToRun(FakePlatform& fake, const std::wstring& version,
                       const std::wstring& platform) {
    const std::wstring key = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
    fake.SetMachineString(k64, key, L"VersionToReport", version);
    fake.SetMachineString(k64, key, L"Platform", platform);
}

// A 64-bit Windows on which the 32-bit probe finds nothing wrong: Jet as Windows registers it,
// the 64-bit installer beside the program.
class Diagnosis : public FormTest {
 protected:
    Diagnosis() {
        fake.wow64Flag = 1;
        fake.environment = {{L"SystemRoot", L"C:\\Windows"},
                            {L"CommonProgramFiles", L"C:\\Program Files (x86)\\Common Files"},
                            {L"CommonProgramW6432", L"C:\\Program Files\\Common Files"},
                            {L"TMP", L"C:\\Temp"}};
        RegisterProvider(fake, k32, L"Microsoft.Jet.OLEDB.4.0", kJetClsid, kJetFile);
        fake.files[kJetFile] = "jet";
        fake.files[L"C:\\Tools\\ade64.exe"] = "x64";
    }

    std::vector<Code> Codes() {
        std::vector<Code> codes;
        for (const auto& finding : mdlDiagnose::FindingsOf(mdlDiagnose::Gather(fake))) {
            codes.push_back(finding.code);
        }
        return codes;
    }

    std::uint32_t Run(std::vector<std::wstring> arguments) {
        return mdlCommandLine::RunSwitch(fake, arguments);
    }
};

struct FindingCase {
    const char* machine;
    std::function<void(FakePlatform&)> script;
    std::vector<Code> codes;
};

class Findings : public Diagnosis, public ::testing::WithParamInterface<FindingCase> {};

TEST_P(Findings, FollowTheRegistrationsOfEachView) {
    GetParam().script(fake);
    EXPECT_EQ(Codes(), GetParam().codes) << GetParam().machine;
}

INSTANTIATE_TEST_SUITE_P(
    Machines, Findings,
    ::testing::Values(
        FindingCase{"clean, with ACE 16.0 in both views",
                    [](FakePlatform& f) {
                        RegisterProvider(f, k32, L"Microsoft.ACE.OLEDB.16.0", kAceClsid,
                                         kAceFile86);
                        RegisterProvider(f, k64, L"Microsoft.ACE.OLEDB.16.0", kAceClsid, kAceFile);
                        f.files[kAceFile86] = f.files[kAceFile] = "ace";
                    },
                    {}},
        FindingCase{"no Jet",
                    [](FakePlatform& f) {
                        f.registry[k32].clear();
                        f.registry[k64].clear();
                    },
                    {Code::JetMissing}},
        FindingCase{"Jet's file gone",
                    [](FakePlatform& f) { f.files.erase(kJetFile); },
                    {Code::JetMissing, Code::RegisteredFileMissing}},
        // Written with the 64-bit installer's names: found only if %CommonProgramFiles% is read as
        // the 64-bit folder, which a 32-bit process's environment does not name so.
        FindingCase{"ACE OLE DB and ODBC only in the 64-bit view",
                    [](FakePlatform& f) {
                        RegisterProvider(
                            f, k64, L"Microsoft.ACE.OLEDB.16.0", kAceClsid,
                            L"%CommonProgramFiles%\\Microsoft Shared\\OFFICE16\\ACEOLEDB.DLL",
                            true);
                        RegisterDriver(f, k64, L"Microsoft Access Driver (*.mdb, *.accdb)",
                                       L"C:\\Windows\\System32\\aceodbc.dll");
                        f.files[kAceFile] = "ace";
                        // Through Sysnative: the 32-bit process's System32 is SysWOW64.
                        f.files[L"C:\\Windows\\Sysnative\\aceodbc.dll"] = "ace";
                    },
                    {Code::EngineOtherBitness, Code::EngineOtherBitness}},
        FindingCase{"an ODBC driver's file gone",
                    [](FakePlatform& f) {
                        RegisterDriver(f, k32, L"Driver do Microsoft Access (*.mdb)",
                                       L"C:\\Windows\\system32\\odbcjt32.dll");
                    },
                    {Code::RegisteredFileMissing}},
        FindingCase{"Click-to-Run 64-bit, Version 2008",
                    [](FakePlatform& f) { InstallClickToRun(f, L"16.0.13127.20910", L"x64"); },
                    {Code::ClickToRunIsolated}},
        FindingCase{"Click-to-Run 64-bit, Version 2009",
                    [](FakePlatform& f) { InstallClickToRun(f, L"16.0.13231.20262", L"x64"); },
                    {}},
        FindingCase{"Click-to-Run 32-bit, current",
                    [](FakePlatform& f) { InstallClickToRun(f, L"16.0.17928.20156", L"x86"); },
                    {Code::InstallerBlockedByOffice}},
        FindingCase{"MSI Access 2010 32-bit",
                    [](FakePlatform& f) {
                        f.SetMachineString(
                            k32, L"SOFTWARE\\Microsoft\\Office\\14.0\\Access\\InstallRoot", L"Path",
                            L"C:\\Program Files (x86)\\Microsoft Office\\Office14\\");
                    },
                    {Code::InstallerBlockedByOffice}},
        FindingCase{"a text file as the installer",
                    [](FakePlatform& f) { f.files[L"C:\\Tools\\ade64.exe"] = "MZ but no program"; },
                    {Code::InstallerNotAProgram}},
        FindingCase{"the 32-bit installer under the 64-bit one's name",
                    [](FakePlatform& f) { f.files[L"C:\\Tools\\ade64.exe"] = "x86"; },
                    {Code::InstallerNotAProgram}},
        FindingCase{"no Scripting.FileSystemObject",
                    [](FakePlatform& f) { f.createFileSystemError = PlatformError{429, L""}; },
                    {Code::FileSystemObjectMissing}},
        FindingCase{"no installer beside the program",
                    [](FakePlatform& f) { f.files.erase(L"C:\\Tools\\ade64.exe"); },
                    {Code::InstallerMissing}},
        // 32-bit Windows has one registry: the 64-bit view is never read.
        FindingCase{"32-bit Windows",
                    [](FakePlatform& f) {
                        f.wow64Flag = 0;
                        f.files[L"C:\\Tools\\ade.exe"] = "x86";
                        RegisterProvider(f, k64, L"Microsoft.ACE.OLEDB.16.0", kAceClsid, kAceFile);
                        InstallClickToRun(f, L"16.0.17928.20156", L"x64");
                    },
                    {}}));

TEST_F(Diagnosis, JsonReportsBothViewsAndTheFindingsAsAsciiOnOneLine) {
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    RegisterProvider(fake, k64, L"Microsoft.ACE.OLEDB.16.0", kAceClsid, kAceFile);
    // A path on another machine is not looked at: the system would connect there as SYSTEM.
    RegisterDriver(fake, k32, L"Microsoft Access Driver (*.mdb)",
                   L"\\\\server\\share\\odbcjt32.dll");
    InstallClickToRun(fake, L"16.0.13127.20910", L"x64");

    EXPECT_EQ(Run({L"/diagnose", L"-JSON"}), 3706u);
    ASSERT_EQ(fake.output.size(), 1u);
    const std::wstring& json = fake.output[0];
    EXPECT_TRUE(json.starts_with(
        L"{\"probe\":{\"ok\":false,\"number\":3706,"
        L"\"description\":\"\\u627e\\u4e0d\\u5230\\u63d0\\u4f9b\\u8005\\u3002\",\"bits\":32},"
        L"\"windows\":{\"version\":\"2.10.0\",\"is64\":true},"
        L"\"oledb\":[{\"name\":\"Microsoft.Jet.OLEDB.4.0\",\"bits\":32,"
        L"\"file\":\"C:\\\\Windows\\\\SysWOW64\\\\msjetoledb40.dll\",\"fileExists\":true},"
        L"{\"name\":\"Microsoft.ACE.OLEDB.16.0\",\"bits\":64,"
        L"\"file\":\"C:\\\\Program Files\\\\Common Files\\\\Microsoft Shared\\\\OFFICE16\\\\ACEOLEDB.DLL\","
        L"\"fileExists\":false}],"
        L"\"odbc\":[{\"name\":\"Microsoft Access Driver (*.mdb)\",\"bits\":32,"
        L"\"file\":\"\\\\\\\\server\\\\share\\\\odbcjt32.dll\",\"fileExists\":null}],"
        L"\"office\":[{\"kind\":\"clicktorun\",\"version\":\"16.0.13127.20910\",\"bits\":64}],"
        L"\"installer\":{\"file\":\"C:\\\\Tools\\\\ade64.exe\",\"bits\":64,\"present\":true},"
        L"\"findings\":[{\"code\":\"engine-other-bitness\","
        L"\"text\":\"Microsoft.ACE.OLEDB.16.0 \\u53ea"))
        << testing::PrintToString(json);
    std::vector<std::wstring> codes;
    for (std::size_t at = json.find(L"\"code\":\""); at != std::wstring::npos;
         at = json.find(L"\"code\":\"", at + 1)) {
        codes.push_back(json.substr(at + 8, json.find(L'"', at + 8) - at - 8));
    }
    EXPECT_THAT(codes, ElementsAre(L"engine-other-bitness", L"registered-file-missing",
                                   L"clicktorun-isolated"));
    EXPECT_TRUE(json.ends_with(L"\"}]}"));
    for (const wchar_t c : json) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
}

TEST_F(Diagnosis, LinesFollowTheProbesLinesViewByView) {
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    RegisterProvider(fake, k64, L"Microsoft.ACE.OLEDB.16.0", kAceClsid, kAceFile);
    fake.files[kAceFile] = "ace";
    InstallClickToRun(fake, L"16.0.17928.20156", L"x86");

    EXPECT_EQ(Run({L"/Diagnose"}), 3706u);
    EXPECT_THAT(
        fake.output,
        ElementsAre(L"錯誤代碼 (3706)", L"回報內容：找不到提供者。",
                    L"Windows 版本 2.10.0 (平台.主.次版本)，64 位元；測試連線的程式為 32 位元",
                    L"OLE DB 提供者 (32 位元登錄檢視)：",
                    L"  Microsoft.Jet.OLEDB.4.0：" + kJetFile + L" (檔案存在)",
                    L"OLE DB 提供者 (64 位元登錄檢視)：",
                    L"  Microsoft.ACE.OLEDB.16.0：" + kAceFile + L" (檔案存在)",
                    L"ODBC 驅動程式 (32 位元登錄檢視)：", L"  (無)",
                    L"ODBC 驅動程式 (64 位元登錄檢視)：", L"  (無)", L"Office：",
                    L"  隨選即用 (Click-to-Run) 16.0.17928.20156，32 位元",
                    L"安裝程式：C:\\Tools\\ade64.exe，64 位元，在本程式旁", L"發現的問題 (2)：",
                    testing::StartsWith(
                        L"[engine-other-bitness] Microsoft.ACE.OLEDB.16.0 只註冊在 64 位元"),
                    testing::StartsWith(L"[installer-blocked-by-office] 已安裝 32 位元的 Office")));
}

TEST_F(Diagnosis, RepairWritesTheFindingsAndRefusesAnInstallerThatOfficeRulesOut) {
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    InstallClickToRun(fake, L"16.0.17928.20156", L"x86");

    EXPECT_EQ(Run({L"/repair"}), 1633u);
    EXPECT_THAT(fake.output, ElementsAre(L"錯誤代碼 (3706)", L"回報內容：找不到提供者。",
                                         testing::StartsWith(L"[installer-blocked-by-office] "),
                                         L"不啟動安裝程式 ade64.exe：它與已安裝的 Office 位元不同；"
                                         L"請改安裝 32 位元的 Access Database Engine"));
    EXPECT_THAT(fake.LogOf(L"CopyFileTo"), IsEmpty());
    EXPECT_THAT(fake.LogOf(L"RunAndWait"), IsEmpty());
}

TEST(JsonWriter, EscapesQuotesBackslashesControlsAndEverythingBeyondAscii) {
    JsonWriter json;
    json.BeginArray().String(L"\"\\\t\x7f é").BeginObject().EndObject().Null();
    // A character beyond U+FFFF goes as its UTF-16 pair, whether the wide string holds it as one
    // unit (Linux) or as that pair already (Windows).
    json.String(L"\U0001F600").EndArray();
    EXPECT_EQ(json.Text(), L"[\"\\\"\\\\\\u0009\\u007f \\u00e9\",{},null,\"\\ud83d\\ude00\"]");
}

}  // namespace
}  // namespace pruvolt::test
