// The diagnosis behind /diagnose and /repair: which Access engines this PC has registered, in which
// bitness, what Office and which installer it has, and the findings drawn from that. Gathered
// through the platform, judged by a pure function, written as lines or as one JSON object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pruvolt::mdlDiagnose {

// Jet 4.0's OLE DB provider, as the probe names it everywhere but on Windows 7.
inline constexpr wchar_t kJetProgId[] = L"Microsoft.Jet.OLEDB.4.0";

// Whether a registered file is there. Only full paths on a drive letter are looked at.
enum class FileState { Present, Missing, NotChecked };

// An OLE DB provider or an ODBC driver as one registry view registers it.
struct Registration {
    std::wstring name;  // the ProgID, or the driver's name
    int bits;           // the view's: 32 or 64
    std::wstring file;  // the DLL, environment strings expanded; empty when none is named
    FileState fileState;
};

enum class OfficeKind { ClickToRun, Msi };

struct OfficeInstallation {
    OfficeKind kind;
    std::wstring version;  // Click-to-Run: VersionToReport (16.0.build.revision); MSI: "16.0"
    int bits;              // 32 or 64; 0 when the registry does not tell
};

// The installer the window and /repair would stage, beside the program.
struct Installer {
    std::wstring file;
    int bits;
    bool present;
    int imageBits;  // of the program image in the file; 0 when it is none
};

struct Facts {
    int probeBits = 32;           // the probe's process: the registry view it uses
    std::wstring windowsVersion;  // as the probe reads it (mdlShell::GetWindowsVersion)
    bool windows64 = false;       // two registry views; else only the 32-bit one
    std::vector<Registration> oledb;
    std::vector<Registration> odbc;
    std::vector<OfficeInstallation> office;
    Installer installer;
    bool fileSystemObject = true;  // a Scripting.FileSystemObject can be created
    // Why an elevated run does not trust the program's own files (mdlCommon::ProgramFolderRefusal);
    // empty when it does.
    std::wstring programFolderRefusal;
};

enum class Code {
    ProgramFolderWritable,
    JetMissing,
    EngineOtherBitness,
    RegisteredFileMissing,
    ClickToRunIsolated,
    InstallerBlockedByOffice,
    InstallerMissing,
    InstallerNotAProgram,
    FileSystemObjectMissing,
};

struct Finding {
    Code code;
    std::wstring text;  // what is wrong and what to do, as the user reads it
};

// The stable ASCII name of a finding, e.g. "jet-missing".
const wchar_t* CodeName(Code code);

// Reads the registry and the files. Raises nothing of its own (the platform's reads do not raise);
// only the Windows version and WOW64 questions are asked as the rest of the program asks them.
Facts Gather(Platform& platform);

// The findings, in the order of Code: the same facts give the same findings.
std::vector<Finding> FindingsOf(const Facts& facts);

// The report after the probe's lines; a finding's line is "[code] text".
std::vector<std::wstring> ReportLines(const Facts& facts, const std::vector<Finding>& findings);

// The whole report, the probe's outcome included, as one JSON object on one line.
std::wstring ReportJson(const std::optional<PlatformError>& probeFailure, const Facts& facts,
                        const std::vector<Finding>& findings);

// /diagnose after its probe: gathers, judges, and writes the report (lines, or the JSON object).
// `folderRefusal`: why the program's own files were not trusted, when they were not.
void WriteReport(Platform& platform, const std::optional<PlatformError>& probeFailure, bool json,
                 const std::wstring& folderRefusal = {});

// /repair after its probe failed: writes the findings, one line each. False when the installer
// must not be started because it has another bitness than the installed Office; a line then says
// so and what to install instead.
bool WriteFindingsBeforeRepair(Platform& platform);

}  // namespace pruvolt::mdlDiagnose
