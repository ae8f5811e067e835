// The diagnosis: what the registry says of the Access engines, Office and the installer, gathered
// through the platform; and the two runs that write it, /diagnose and /repair's findings. The
// findings are in mdlDiagnoseFindings.cpp, the report in mdlDiagnoseReport.cpp.
#include "modules/mdlDiagnose.h"

#include "modules/mdlCommon.h"
#include "modules/mdlDiagnoseTexts.h"
#include "modules/mdlShell.h"
#include "platform/AsciiText.h"
#include "platform/Wow64Paths.h"

namespace pruvolt::mdlDiagnose {

namespace {

constexpr wchar_t kClasses[] = L"SOFTWARE\\Classes\\";
constexpr wchar_t kAceProgIdPrefix[] = L"Microsoft.ACE.OLEDB.";
// learn.microsoft.com/sql/odbc/reference/install/registry-entries-for-odbc-components: "ODBC
// Drivers" lists the drivers by name; each has a subkey of that name whose Driver value is the
// driver's DLL.
constexpr wchar_t kOdbcInst[] = L"SOFTWARE\\ODBC\\ODBCINST.INI\\";
constexpr wchar_t kOdbcDrivers[] = L"SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers";
constexpr wchar_t kOffice[] = L"SOFTWARE\\Microsoft\\Office\\";

int BitsOf(RegistryView view) {
    return view == RegistryView::Bits64 ? 64 : 32;
}

// Click-to-Run's Platform value: "x86" or "x64"; 0 for anything else ("arm64" among it).
int PlatformBits(const std::wstring& platform) {
    return platform == L"x64" ? 64 : platform == L"x86" ? 32 : 0;
}

// "{3BE786A2-0366-4F5C-9434-25CF162E475E}": a CLSID read from the registry names a key below
// CLSID only in this form, never a path elsewhere.
bool IsClsidText(const std::wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const wchar_t c = AsciiLower(text[i]);
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) {
            return false;
        }
    }
    return true;
}

class Gatherer {
public:
    explicit Gatherer(Platform& platform) : platform_(platform) {}

    Facts Gather() {
        facts_.probeBits = platform_.ProcessBits();
        facts_.windowsVersion = mdlShell::GetWindowsVersion(platform_);
        const bool wow64 = mdlCommon::Is64BitWindows(platform_);
        facts_.windows64 = wow64 || facts_.probeBits == 64;
        viewCount_ = facts_.windows64 ? 2 : 1;
        systemRoot_ = platform_.EnvironmentVariable(L"SystemRoot");
        GatherOleDb();
        GatherOdbc();
        GatherOffice();
        // The installer mdlCommon::StageInstaller chooses, beside the program.
        const std::wstring name = wow64 ? L"ade64.exe" : L"ade.exe";
        facts_.installer.file = platform_.ProgramFolder() + L"\\" + name;
        facts_.installer.bits = wow64 ? 64 : 32;
        facts_.installer.present = platform_.FileIsPresent(facts_.installer.file);
        facts_.installer.imageBits =
            facts_.installer.present ? platform_.FileImageBits(facts_.installer.file) : 0;
        try {
            (void)platform_.CreateFileSystemObject();
        } catch (const PlatformError&) {
            facts_.fileSystemObject = false;
        }
        return std::move(facts_);
    }

private:
    // The value `name` of the key whose path is the parts joined.
    std::optional<RegistryString> Read(RegistryView view,
                                       std::initializer_list<std::wstring_view> parts,
                                       const wchar_t* name) {
        std::wstring key;
        for (const auto part : parts) key += part;
        return platform_.ReadMachineString(view, key, name);
    }

    // Adds what the registry names for `name` in `view`, if it names anything, and looks for its
    // file where this process finds it.
    void Register(std::vector<Registration>& list, const std::wstring& name, RegistryView view,
                  std::optional<RegistryString> value) {
        if (!value) return;
        const int bits = BitsOf(view);
        std::wstring& file = value->text;
        if (value->expand) {
            file = platform_.ExpandEnvironmentText(
                EnvironmentNamesForBitness(file, bits, facts_.probeBits));
        }
        if (file.size() >= 2 && file.front() == L'"' && file.back() == L'"') {
            file.pop_back();
            file.erase(0, 1);
        }
        FileState state = FileState::Missing;
        if (!file.empty() && !IsLocalDrivePath(file)) {
            state = FileState::NotChecked;
        } else if (!file.empty() && platform_.FileIsPresent(SystemPathForBitness(
                                        file, systemRoot_, bits, facts_.probeBits))) {
            state = FileState::Present;
        }
        list.push_back({name, bits, std::move(file), state});
    }

    // Jet 4.0 and every Microsoft.ACE.OLEDB.* ProgID; a provider is registered in a view when its
    // ProgID's CLSID has an InprocServer32 there. ProgIDs under Classes are shared by both views
    // and CLSID is redirected (learn.microsoft.com/windows/win32/winprog64/shared-registry-keys),
    // so each view is asked for both.
    void GatherOleDb() {
        std::vector<std::wstring> progIds(1, kJetProgId);
        for (int v = 0; v < viewCount_; ++v) {
            const RegistryView view = kViews[v];
            for (const auto& name :
                 platform_.MachineSubkeys(view, L"SOFTWARE\\Classes", kAceProgIdPrefix)) {
                AddName(progIds, name);
            }
        }
        for (const auto& progId : progIds) {
            for (int v = 0; v < viewCount_; ++v) {
                const RegistryView view = kViews[v];
                const auto clsid = Read(view, {kClasses, progId, L"\\CLSID"}, L"");
                if (!clsid || !IsClsidText(clsid->text)) continue;
                Register(facts_.oledb, progId, view,
                         Read(view, {kClasses, L"CLSID\\", clsid->text, L"\\InprocServer32"}, L""));
            }
        }
    }

    // The two Access drivers by name, which is how the probe asks for one, and every other driver
    // listed whose name contains "Access".
    void GatherOdbc() {
        for (int v = 0; v < viewCount_; ++v) {
            const RegistryView view = kViews[v];
            std::vector<std::wstring> names;
            for (const wchar_t* known : {L"Microsoft Access Driver (*.mdb)",
                                         L"Microsoft Access Driver (*.mdb, *.accdb)"}) {
                names.emplace_back(known);
            }
            for (const auto& name : platform_.MachineValueNames(view, kOdbcDrivers)) {
                if (ContainsAsciiCaseless(name, L"Access") &&
                    name.find(L'\\') == std::wstring::npos) {
                    AddName(names, name);
                }
            }
            for (const auto& name : names) {
                Register(facts_.odbc, name, view, Read(view, {kOdbcInst, name}, L"Driver"));
            }
        }
    }

    // Click-to-Run: its Configuration key, in the 64-bit view first (both views are asked; Office
    // writes it in its own). MSI Office of 2007 to 2016 and later: an application's InstallRoot
    // in a view is an Office of that view's bitness, as Windows' own migration manifest
    // (MigApp.xml) finds Office and learn.microsoft.com/previous-versions/troubleshoot/outlook/
    // addins-are-registered-under-wow6432node (KB 2778964) tells 32-bit Office on 64-bit Windows
    // by its Wow6432Node keys. The keys of the Click-to-Run Office's own version are left out:
    // Click-to-Run and MSI Office of one version cannot be installed together
    // (github.com/MicrosoftDocs/OfficeDocs-Support/issues/137), so they are its.
    void GatherOffice() {
        std::wstring clickToRunMajor;  // "16." for Click-to-Run Office 16.0
        for (int v = viewCount_ - 1; v >= 0 && clickToRunMajor.empty(); --v) {
            const wchar_t* key = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
            auto version = Read(kViews[v], {key}, L"VersionToReport");
            if (!version) continue;
            const auto platformName = Read(kViews[v], {key}, L"Platform");
            clickToRunMajor = version->text.substr(0, version->text.find(L'.') + 1);
            facts_.office.push_back({OfficeKind::ClickToRun, std::move(version->text),
                                     platformName ? PlatformBits(platformName->text) : 0});
        }
        for (const wchar_t* version : {L"12.0", L"14.0", L"15.0", L"16.0"}) {
            if (!clickToRunMajor.empty() &&
                std::wstring_view(version).starts_with(clickToRunMajor)) {
                continue;
            }
            for (int v = 0; v < viewCount_; ++v) {
                if (HasInstallRoot(kViews[v], version)) {
                    facts_.office.push_back({OfficeKind::Msi, version, BitsOf(kViews[v])});
                }
            }
        }
    }

    bool HasInstallRoot(RegistryView view, const wchar_t* version) {
        for (const wchar_t* application :
             {L"Access", L"Excel", L"Word", L"PowerPoint", L"Outlook"}) {
            if (Read(view, {kOffice, version, L"\\", application, L"\\InstallRoot"}, L"Path")) {
                return true;
            }
        }
        return false;
    }

    static void AddName(std::vector<std::wstring>& names, const std::wstring& name) {
        for (const auto& known : names) {
            if (EqualsAsciiCaseless(known, name)) return;
        }
        names.push_back(name);
    }

    Platform& platform_;
    Facts facts_;
    // The views this Windows has: the 32-bit one, then the 64-bit one.
    static constexpr RegistryView kViews[] = {RegistryView::Bits32, RegistryView::Bits64};
    int viewCount_ = 1;
    std::wstring systemRoot_;
};

}  // namespace

const wchar_t* CodeName(Code code) {
    switch (code) {
    case Code::ProgramFolderWritable:
        return L"program-folder-writable";
    case Code::JetMissing:
        return L"jet-missing";
    case Code::EngineOtherBitness:
        return L"engine-other-bitness";
    case Code::RegisteredFileMissing:
        return L"registered-file-missing";
    case Code::ClickToRunIsolated:
        return L"clicktorun-isolated";
    case Code::InstallerBlockedByOffice:
        return L"installer-blocked-by-office";
    case Code::InstallerMissing:
        return L"installer-missing";
    case Code::FileSystemObjectMissing:
        return L"filesystemobject-missing";
    case Code::InstallerNotAProgram:
        return L"installer-not-a-program";
    }
    return L"";
}

Facts Gather(Platform& platform) {
    return Gatherer(platform).Gather();
}

void WriteReport(Platform& platform, const std::optional<PlatformError>& probeFailure, bool json,
                 const std::wstring& folderRefusal) {
    Facts facts = Gather(platform);
    facts.programFolderRefusal = folderRefusal;
    const auto findings = FindingsOf(facts);
    if (json) {
        platform.WriteOutputLine(ReportJson(probeFailure, facts, findings));
        return;
    }
    for (const auto& line : ReportLines(facts, findings)) platform.WriteOutputLine(line);
}

bool WriteFindingsBeforeRepair(Platform& platform) {
    const Facts facts = Gather(platform);
    bool blocked = false;
    for (const auto& finding : FindingsOf(facts)) {
        platform.WriteOutputLine(FindingLine(finding));
        blocked = blocked || finding.code == Code::InstallerBlockedByOffice;
    }
    if (!blocked) return true;
    // Office has the bitness that the installer has not.
    const int officeBits = facts.installer.bits == 64 ? 32 : 64;
    platform.WriteOutputLine(
        Fill(texts::kRepairRefused, {InstallerName(facts.installer), BitsNumber(officeBits)}));
    return false;
}

}  // namespace pruvolt::mdlDiagnose
