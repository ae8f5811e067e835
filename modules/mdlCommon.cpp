// Shared routines: the WOW64 question, the file-existence test, the probe with its connection
// string, and the staging of the installer. The window and the command-line switches run the same.
#include "modules/mdlCommon.h"

#include <cstdint>

#include "modules/mdlDiagnoseTexts.h"
#include "modules/mdlShell.h"
#include "platform/DecimalText.h"
#include "texts/Texts.h"

namespace pruvolt::mdlCommon {

bool Is64BitWindows(Platform& platform) {
    // Resolved at run time: Windows before XP SP2 has no IsWow64Process.
    const ModuleHandle kernel32 = platform.GetModuleHandleA("kernel32");
    const ProcAddress isWow64Process = platform.GetProcAddress(kernel32, "IsWow64Process");
    std::int32_t wow64Flag = 0;
    if (isWow64Process != 0) {
        (void)platform.IsWow64Process(isWow64Process, platform.GetCurrentProcess(), wow64Flag);
    }
    return wow64Flag != 0;
}

bool FileExist(Platform& platform, const std::wstring& path) {
    std::unique_ptr<FileSystemObject> fileSystem;
    try {
        fileSystem = platform.CreateFileSystemObject();
    } catch (const PlatformError&) {
        // PCs hardened by unregistering the scripting runtime have no such object: the file
        // system answers the same question directly.
        return platform.FileIsPresent(path);
    }
    return fileSystem->FileExists(path);
}

namespace {

// A value written into a connection string as it is, unless it holds a character that would end
// it there or be read as the grammar's own: then between `open` and `close`, each `close` in it
// doubled. Every other value stays exactly as written.
std::wstring ConnectionValue(const std::wstring& value, const wchar_t* special, wchar_t open,
                             wchar_t close) {
    if (value.find_first_of(special) == std::wstring::npos) {
        return value;
    }
    std::wstring quoted(1, open);
    for (const wchar_t c : value) {
        quoted += c;
        if (c == close) {
            quoted += c;
        }
    }
    quoted += close;
    return quoted;
}

}  // namespace

void SetConnectionString(Platform& platform) {
    const std::wstring version = mdlShell::GetWindowsVersion(platform);
    const std::wstring database = platform.ProgramFolder() + L"\\testdb.mdb";
    // Compared as text, exactly: "2.6.10" or " 2.6.1" is another version. A ";" ends a value in
    // both grammars; ODBC's braces and OLE DB's double quotes keep a folder such as "C:\A;B" whole.
    strConnection =
        version == L"2.6.1"
            ? L"Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=" +
                  ConnectionValue(database, L";{}", L'{', L'}') + L";"
            : L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                  ConnectionValue(database, L";\"", L'"', L'"') + L";";
}

std::unique_ptr<AdoRecordset> OpenTestRecordset(Platform& platform) {
    const std::wstring source = L"select * from testdata";
    auto recordset = platform.CreateRecordset(L"adodb.recordset");
    recordset->Open(source, strConnection);
    return recordset;
}

std::wstring TempStagingFolder(Platform& platform) {
    std::wstring folder = platform.EnvironmentVariable(L"TMP");
    return folder.empty() ? platform.TempFolder() : folder;
}

std::unique_ptr<HeldCopy> StageInstaller(Platform& platform, const std::wstring& folder) {
    strTempFolder = folder;
    const std::wstring namePart = Is64BitWindows(platform) ? L"\\ade64.exe" : L"\\ade.exe";
    strSetupSource = platform.ProgramFolder() + namePart;
    strSetupFile = strTempFolder + namePart;
    if (!FileExist(platform, strSetupSource)) {
        return nullptr;
    }
    return platform.CopyAndHold(strSetupSource, strSetupFile);
}

std::optional<std::wstring> ProgramFolderRefusal(Platform& platform) {
    if (!platform.IsElevated()) {
        return std::nullopt;
    }
    using mdlDiagnose::Fill;
    const std::wstring program = platform.ProgramPath();
    const std::wstring redirection = program + L".local";
    if (platform.ReadSecurity(redirection)) {
        return Fill(texts::kProgramFolderRedirected, {redirection});
    }
    const std::wstring folder = platform.ProgramFolder();
    const std::wstring prefix = folder.ends_with(L'\\') ? folder : folder + L"\\";
    const std::wstring account = platform.RunningAccount();
    const std::wstring installer = Is64BitWindows(platform) ? L"ade64.exe" : L"ade.exe";
    for (const std::wstring& path : {folder, program, prefix + L"testdb.mdb", prefix + installer}) {
        const auto security = platform.ReadSecurity(path);
        if (!security) {
            continue;  // not there: the probe or the staging says so in its own way
        }
        const std::wstring other = OtherAccountThatCanChange(*security, account);
        if (!other.empty()) {
            return Fill(texts::kProgramFolderWritable, {path, other});
        }
    }
    return std::nullopt;
}

std::wstring FailureText(const PlatformError& error) {
    return texts::kFailureNumberOpen + DecimalText(error.number) + texts::kFailureNumberClose +
           error.description;
}

}  // namespace pruvolt::mdlCommon
