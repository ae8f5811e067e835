// The findings of the diagnosis: a pure function from what was gathered to what is wrong and what
// to do, each rule beside the public documentation it follows.
#include "modules/mdlDiagnose.h"

#include "modules/mdlDiagnoseTexts.h"
#include "platform/AsciiText.h"

namespace pruvolt::mdlDiagnose {

namespace {

// The first build of Click-to-Run Office Version 2009: every build of Version 2008 is 13127.x,
// every build of Version 2009 13231.x ("Version 2009 (Build 13231.20262)",
// learn.microsoft.com/officeupdates/current-channel).
constexpr std::uint32_t kFirstVisibleClickToRunBuild = 13231;

// The build of a Click-to-Run version "16.0.<build>.<revision>"; empty for any other text.
std::optional<std::uint32_t> ClickToRunBuild(const std::wstring& version) {
    if (!version.starts_with(L"16.0.")) return std::nullopt;
    std::uint32_t build = 0;
    std::size_t i = 5;
    for (; i < version.size() && version[i] >= L'0' && version[i] <= L'9' && i < 14; ++i) {
        build = build * 10 + static_cast<std::uint32_t>(version[i] - L'0');
    }
    if (i == 5 || (i < version.size() && version[i] != L'.')) return std::nullopt;
    return build;
}

const Registration* FindRegistration(const std::vector<Registration>& list,
                                     const std::wstring& name, int bits) {
    for (const auto& registration : list) {
        if (registration.bits == bits && EqualsAsciiCaseless(registration.name, name)) {
            return &registration;
        }
    }
    return nullptr;
}

}  // namespace

std::vector<Finding> FindingsOf(const Facts& facts) {
    std::vector<Finding> findings;

    // program-folder-writable. An elevated run trusts only files that no other account can
    // change: a folder made directly under C:\ inherits Modify for Authenticated Users (C:\'s
    // default DACL, DISA STIG V-63373), and Jet's parsing of a database, run as SYSTEM, has a long
    // record of code-execution fixes (MS08-028, CVE-2018-8423).
    if (!facts.programFolderRefusal.empty()) {
        findings.push_back({Code::ProgramFolderWritable, facts.programFolderRefusal});
    }

    // jet-missing. Jet 4.0 is 32-bit only and comes with Windows, not with the Access Database
    // Engine: "The Microsoft OLE DB Provider for Jet and the Jet ODBC driver are available in
    // 32-bit versions only" and "supplied together with Windows"
    // (learn.microsoft.com/office/troubleshoot/access/jet-odbc-driver-available-32-bit-version).
    const Registration* jet = FindRegistration(facts.oledb, kJetProgId, 32);
    if (jet == nullptr || jet->fileState == FileState::Missing) {
        findings.push_back({Code::JetMissing, texts::kFindingJetMissing});
    }

    // engine-other-bitness. A process loads in-process servers and ODBC drivers of its own
    // bitness only, registered in its own view (CLSID and SOFTWARE\ODBC are redirected:
    // learn.microsoft.com/windows/win32/winprog64/shared-registry-keys; a 32-bit application on a
    // 64-bit driver is IM014,
    // learn.microsoft.com/sql/odbc/reference/syntax/sqldriverconnect-function); and "only one
    // architecture is allowed on a device" (jet-odbc-driver-available-32-bit-version).
    if (facts.windows64) {
        const int otherBits = facts.probeBits == 32 ? 64 : 32;
        for (const auto* list : {&facts.oledb, &facts.odbc}) {
            for (const auto& registration : *list) {
                if (registration.bits == otherBits &&
                    FindRegistration(*list, registration.name, facts.probeBits) == nullptr) {
                    findings.push_back(
                        {Code::EngineOtherBitness, Fill(texts::kFindingEngineOtherBitness,
                                                        {registration.name, BitsNumber(otherBits),
                                                         BitsNumber(facts.probeBits)})});
                }
            }
        }
    }

    // registered-file-missing. COM loads the InprocServer32 file, the driver manager the Driver
    // file (learn.microsoft.com/sql/odbc/reference/install/registry-entries-for-odbc-components): a
    // registration whose file is gone fails as if there were none (ADO: 3706, "Provider cannot be
    // found", learn.microsoft.com/sql/ado/reference/ado-api/errorvalueenum; ODBC: IM003).
    for (const auto* list : {&facts.oledb, &facts.odbc}) {
        for (const auto& registration : *list) {
            if (registration.fileState == FileState::Missing) {
                findings.push_back(
                    {Code::RegisteredFileMissing,
                     Fill(texts::kFindingRegisteredFileMissing,
                          {registration.name, BitsNumber(registration.bits), registration.file})});
            }
        }
    }

    // clicktorun-isolated. "Beginning with Microsoft 365 Apps for Enterprise Version 2009, work
    // has been completed to break ACE out of the C2R virtualization bubble so that applications
    // outside of Office are able to locate the ODBC, OLEDB and DAO interfaces"; before it, and for
    // Office 2016/2019 volume-licensed Click-to-Run (Version 1808), they are not
    // (learn.microsoft.com/office/troubleshoot/access/cannot-use-odbc-or-oledb). VersionToReport
    // reads 16.0.<build>.<revision> (learn.microsoft.com/javascript/api/office/
    // office.contextinformation); Version 2009 is build 13231 (kFirstVisibleClickToRunBuild).
    for (const auto& office : facts.office) {
        if (office.kind != OfficeKind::ClickToRun) continue;
        const auto build = ClickToRunBuild(office.version);
        if (build && *build < kFirstVisibleClickToRunBuild) {
            findings.push_back({Code::ClickToRunIsolated,
                                Fill(texts::kFindingClickToRunIsolated, {office.version})});
        }
    }

    // installer-blocked-by-office. "The architecture of ACE must match the architecture of the
    // Office installation on that computer" (jet-odbc-driver-available-32-bit-version). The
    // engine's installer refuses beside Office of the other bitness when it shows its window
    // (/passive, as the window starts it: github.com/MicrosoftDocs/powerbi-docs/issues/2128,
    // github.com/Sharly-Chess/sharly-chess/issues/614); /quiet, as /repair runs it, installs anyway
    // (the same two threads), and Office then warns at every start
    // (github.com/MicrosoftDocs/OfficeDocs-Support/issues/235).
    for (const auto& office : facts.office) {
        if (office.bits != 0 && office.bits != facts.installer.bits) {
            findings.push_back({Code::InstallerBlockedByOffice,
                                Fill(texts::kFindingInstallerBlockedByOffice,
                                     {BitsNumber(office.bits), InstallerName(facts.installer),
                                      BitsNumber(facts.installer.bits)})});
            break;
        }
    }

    // installer-missing. Whoever packages the program puts the installers beside it, as
    // ade.exe and ade64.exe (packaging/PACKAGING.txt); without it /repair exits 2.
    if (!facts.installer.present) {
        findings.push_back(
            {Code::InstallerMissing, Fill(texts::kFindingInstallerMissing,
                                          {facts.installer.file, BitsNumber(facts.installer.bits),
                                           InstallerName(facts.installer)})});
    }

    // installer-not-a-program. Windows starts a file only when its PE header names this machine's
    // processor ("%1 is not a valid Win32 application" otherwise); a 32-bit Windows needs the x86
    // installer, and the 64-bit engine's installer is an x64 program.
    if (facts.installer.present && facts.installer.imageBits != facts.installer.bits) {
        findings.push_back(
            {Code::InstallerNotAProgram, Fill(texts::kFindingInstallerNotAProgram,
                                              {facts.installer.file, BitsNumber(facts.installer.bits),
                                               InstallerName(facts.installer)})});
    }

    // filesystemobject-missing. Scripting.FileSystemObject is the scripting runtime's (scrrun.dll);
    // a PC hardened by unregistering it cannot create one. The program then asks the file system
    // itself; other programs that need the object fail.
    if (!facts.fileSystemObject) {
        findings.push_back({Code::FileSystemObjectMissing, texts::kFindingFileSystemObjectMissing});
    }
    return findings;
}

}  // namespace pruvolt::mdlDiagnose
