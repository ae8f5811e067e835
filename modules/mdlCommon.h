// The strings the window's handlers share for the whole run, and the routines they share.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace pruvolt::mdlCommon {

// The buttons value of every message box: OK only, the exclamation icon, system-modal.
inline constexpr std::uint32_t kMessageBoxButtons = 0x1030;
// How the installer's window is shown: SW_SHOWNORMAL, a normal window that gets the focus.
inline constexpr int kWindowStyleNormalFocus = 1;

// Empty at start; each is written once and read later.
inline std::wstring strConnection;   // the probe's connection string
inline std::wstring strTempFolder;   // the staging folder
inline std::wstring strSetupSource;  // the installer beside the program
inline std::wstring strSetupFile;    // the staged installer, the one that is launched

// True when this 32-bit process runs under WOW64, that is on 64-bit Windows; false also on a
// Windows that has no IsWow64Process.
bool Is64BitWindows(Platform& platform);

// Asks a new Scripting.FileSystemObject; where none can be created, the file system directly.
bool FileExist(Platform& platform, const std::wstring& path);

// Sets strConnection for testdb.mdb in the program folder: through the ODBC driver on Windows
// NT 6.1 (Windows 7, Server 2008 R2), through the Jet 4.0 OLE DB provider everywhere else.
void SetConnectionString(Platform& platform);

// The probe: opens "select * from testdata" through a new "adodb.recordset" on strConnection.
// Returns the open recordset, which the caller keeps as long as it likes and never closes; raises
// the driver's error when the database cannot be opened.
std::unique_ptr<AdoRecordset> OpenTestRecordset(Platform& platform);

// The window's staging folder: TMP, else the system's folder for temporary files (without it the
// staged path would be the bare name part, at the root of the current drive).
std::wstring TempStagingFolder(Platform& platform);

// Sets strTempFolder to `folder`, and strSetupSource and strSetupFile for the installer that
// matches this Windows, then copies it there as a new file and holds it until the copy goes.
// Empty, with nothing copied, when the installer is not beside the program; raises when the copy
// or the file-existence test fails.
std::unique_ptr<HeldCopy> StageInstaller(Platform& platform, const std::wstring& folder);

// Why an elevated run does not trust the program's own files: one of them (the folder,
// the program, testdb.mdb, the installer this Windows takes) can be changed or is owned by another
// account than SYSTEM, the Administrators, TrustedInstaller and the running one, or a
// "<program>.local" beside the program redirects the DLLs it loads. Empty when nothing is wrong,
// and always when the run is not elevated (then no other account's files are at stake). The text
// names the file and the account, and what to do.
std::optional<std::wstring> ProgramFolderRefusal(Platform& platform);

// The failure text for an error: number in signed decimal, then the description.
std::wstring FailureText(const PlatformError& error);

}  // namespace pruvolt::mdlCommon
