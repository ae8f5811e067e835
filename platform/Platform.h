// The one interface through which the window's handlers and the modules reach the operating system.
// It includes no Windows header: the logic that uses it compiles and is unit-tested on Linux.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PlatformError.h"
#include "platform/SecurityDescriptors.h"

namespace pruvolt {

// The window's controls that the logic reads or changes. The window itself is addressed by the
// window operations below.
enum class Control {
    lblMessage,
    cmdInstall0,  // the install button, item 0 of the button array
    cmdInstall2,  // the exit button, item 2 of the button array
    picProgress,
    picProgressInner,
    imgProgressFlash,
};

enum class Timer { tmrEvents, tmrEnd };

// Opaque values handed back and forth unchanged, as the Windows calls they stand for do.
using ModuleHandle = std::uintptr_t;
using ProcAddress = std::uintptr_t;
using ProcessHandle = std::uintptr_t;
using WindowHandle = std::uintptr_t;

// The record GetVersionExA fills: the same 148 bytes, field for field.
struct OsVersionInfoA {
    std::uint32_t dwOSVersionInfoSize;
    std::uint32_t dwMajorVersion;
    std::uint32_t dwMinorVersion;
    std::uint32_t dwBuildNumber;
    std::uint32_t dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OsVersionInfoA) == 148);

// Which of the two registries of 64-bit Windows a read goes to: the one 32-bit programs see
// (KEY_WOW64_32KEY) or the one 64-bit programs see (KEY_WOW64_64KEY). On 32-bit Windows both name
// its one registry.
enum class RegistryView { Bits32, Bits64 };

// A string value as the registry holds it: REG_EXPAND_SZ data is not yet expanded.
struct RegistryString {
    std::wstring text;
    bool expand = false;  // REG_EXPAND_SZ
};

// What one diagnosis reads of the registry at most: registry data is input, and a value or a list
// larger than these is no registration this program looks for.
inline constexpr std::size_t kRegistryTextLimit = 2048;  // characters of one string value
inline constexpr std::size_t kRegistryListLimit = 256;   // names of one listing

// An ADO recordset. Released when its owner goes; never closed explicitly.
class AdoRecordset {
public:
    virtual ~AdoRecordset() = default;
    // Recordset.Open with exactly two arguments (Source, ActiveConnection); cursor type, lock type
    // and options stay at ADO's "unspecified" defaults. Returns when the query ran; raises the
    // provider's error otherwise. Blocks until the driver answers; runs no other handler.
    virtual void Open(const std::wstring& source, const std::wstring& activeConnection) = 0;
};

// A Scripting.FileSystemObject.
class FileSystemObject {
public:
    virtual ~FileSystemObject() = default;
    virtual bool FileExists(const std::wstring& path) = 0;
};

// A copy of a file that this run made, held open until its owner goes: others may read it, but
// nobody can write, rename or delete it meanwhile.
class HeldCopy {
public:
    virtual ~HeldCopy() = default;
    // Raises unless the file at the copy's path is still this run's copy (not another file renamed
    // over it by something outside the system's sharing rules) and holds, byte for byte, what
    // `source` holds now.
    virtual void Verify(const std::wstring& source) = 0;
    // Raises unless the file held carries a sound Authenticode signature of Microsoft Corporation
    // through a chain that ends in a root this machine trusts (platform/Signatures.h decides). The
    // held file itself is judged, not whatever its path names; revocation is not fetched.
    virtual void VerifySignature() = 0;
};

// A folder made for this run alone: it did not exist before, and only SYSTEM and the
// Administrators may use it (and the running account, in a run that is not elevated). Removed,
// with everything in it, when its owner goes.
class PrivateFolder {
public:
    virtual ~PrivateFolder() = default;
    // Its full path, without a trailing "\".
    virtual const std::wstring& Path() const = 0;
    // A folder made inside it, with the same rights, for what a program run from it keeps for a
    // while (its TMP and TEMP); without a trailing "\".
    virtual const std::wstring& TempPath() const = 0;
};

// How a program run to its end by RunAndWait ended.
struct RunResult {
    std::uint32_t exitCode;  // of the program started; 0 when it outlived the limit
    bool outlivedLimit;      // it, or a process it started, still ran when the limit passed
};

class Platform {
public:
    virtual ~Platform() = default;

    // --- Process ---------------------------------------------------------------------------

    // True when another copy of this program runs, in any session of this PC, or its lock exists
    // and cannot be opened (another account made it). The first copy to ask owns a machine-wide
    // kernel object for the rest of its run.
    virtual bool PreviousInstanceRunning() = 0;

    // Ends the process at once with the exit code given. No handler, destructor or clean-up runs
    // after it.
    [[noreturn]] virtual void EndProgram(std::uint32_t exitCode = 0) = 0;

    // The executable's folder; ends in "\" only at a drive root.
    virtual std::wstring ProgramFolder() = 0;
    // The executable's full path.
    virtual std::wstring ProgramPath() = 0;

    // True when this process runs with every right its account has: as SYSTEM, or with an
    // administrator's full (elevated) token.
    virtual bool IsElevated() = 0;
    // The SID of the account this process runs as, as text ("S-1-5-18" for SYSTEM).
    virtual std::wstring RunningAccount() = 0;
    // The owner and the DACL of the file or folder at the path; empty when nothing is there.
    // Raises when it is there but cannot be read.
    virtual std::optional<ObjectSecurity> ReadSecurity(const std::wstring& path) = 0;

    // The value of an environment variable; empty when it is not set.
    virtual std::wstring EnvironmentVariable(const std::wstring& name) = 0;

    // The folder the system names for temporary files (GetTempPathW); ends in "\" only at a
    // drive root. Raises when the system names none.
    virtual std::wstring TempFolder() = 0;

    // --- Window ----------------------------------------------------------------------------
    // Lengths and positions are twips (1/1440 inch).

    virtual float ScreenWidth() = 0;
    virtual float ScreenHeight() = 0;
    // The window's outer size, frame included.
    virtual float WindowWidth() = 0;
    virtual float WindowHeight() = 0;
    // Screen coordinates; negative values are allowed and are not clamped.
    virtual void SetWindowLeft(float twips) = 0;
    virtual void SetWindowTop(float twips) = 0;
    virtual std::wstring WindowCaption() = 0;
    virtual WindowHandle GetWindowHandle() = 0;
    // Shows the window modeless and returns at once; it paints when events are processed.
    virtual void ShowWindow() = 0;

    // Dispatches every message already queued for this thread (paint, input, timer ticks), then
    // returns. Clicks and timer ticks run inside this call.
    virtual void ProcessPendingEvents() = 0;

    // --- Controls --------------------------------------------------------------------------
    // Each takes effect at once and is painted when events are processed.

    virtual void SetLabelText(const std::wstring& text) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    // Position and size in the container's coordinates, twips.
    virtual float ControlLeft(Control control) = 0;
    virtual void SetControlLeft(Control control, float twips) = 0;
    virtual float ControlWidth(Control control) = 0;

    // Enabling starts a fresh interval: the first tick comes one full interval later. Ticks are
    // delivered on this thread while the timer is enabled.
    virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;

    // OK only, as the buttons value says; modal; returns when dismissed. Other handlers (timer
    // ticks) may run while it is open.
    virtual void ShowMessageBox(const std::wstring& prompt, std::uint32_t buttons,
                            const std::wstring& title) = 0;

    // --- Components ------------------------------------------------------------------------

    // CreateObject: raises when the class is unknown or cannot be created.
    virtual std::unique_ptr<AdoRecordset> CreateRecordset(const std::wstring& progId) = 0;
    virtual std::unique_ptr<FileSystemObject> CreateFileSystemObject() = 0;

    // Copies `source` to `destination` as a new file of this run and holds it (HeldCopy). A file
    // already at the destination is removed first, so that nothing of it survives (its owner, its
    // rights); raises when it cannot be, or when the copy fails, leaving no partial copy behind.
    virtual std::unique_ptr<HeldCopy> CopyAndHold(const std::wstring& source,
                                                  const std::wstring& destination) = 0;

    // Makes a PrivateFolder in the system's folder for temporary files: for SYSTEM the one that
    // only SYSTEM and the Administrators may enter, where Windows has one (GetTempPath2W); else
    // GetTempPathW's. Raises when none can be made.
    virtual std::unique_ptr<PrivateFolder> CreatePrivateFolder() = 0;

    // Removes the PrivateFolders that earlier runs of this program under this account left where
    // CreatePrivateFolder makes them (the run was ended from outside, or its installer outlived
    // the wait and still ran from it): each with the files in it, and at the next restart what
    // cannot be removed now. Only folders of the program's own name and rules, owned by this
    // account, are touched. Raises nothing.
    virtual void RemoveLeftoverPrivateFolders() = 0;

    // --- Windows calls the logic makes itself ------------------------------------------------

    // Fills the record as far as it can; false when the call failed.
    virtual bool GetVersionExA(OsVersionInfoA& info) = 0;
    virtual ModuleHandle GetModuleHandleA(const char* moduleName) = 0;
    // 0 when the module lacks the function.
    virtual ProcAddress GetProcAddress(ModuleHandle module, const char* procName) = 0;
    virtual ProcessHandle GetCurrentProcess() = 0;
    // Calls the IsWow64Process found at `function`; the result value is returned as the call's.
    virtual bool IsWow64Process(ProcAddress function, ProcessHandle process,
                                std::int32_t& wow64Flag) = 0;

    // Starts `applicationPath` with the command line `commandLine` (which names the program
    // again, quoted, as its first word) and the window style given; returns at once without
    // waiting. Raises when the program cannot be started.
    virtual void LaunchCommandLine(const std::wstring& applicationPath,
                                   const std::wstring& commandLine, int windowStyle) = 0;

    // The shell's execute, through the wide call: the texts reach it as they are, whatever the
    // system's ANSI code page. Returns at once without waiting. The shell shows no error of its
    // own; raises when the call cannot be made or the shell reports failure (the file is no
    // program this PC can run, the user declined elevation, no association).
    virtual void ShellExecuteWide(WindowHandle window, const std::wstring& operation,
                                  const std::wstring& file, const std::wstring& parameters,
                                  const std::wstring& directory, int showCommand) = 0;

    // --- Runs with a switch, for scripts; they create no window --------------------------------

    // The arguments after the program's name, split by Windows' rules for a command line.
    virtual std::vector<std::wstring> CommandLineArguments() = 0;

    // True when WriteOutputLine's lines reach someone (see there). Decided on the first call of
    // either, and kept for the run.
    virtual bool HasOutput() = 0;

    // True when a person can see this process's windows: its window station is the interactive
    // one (not a service's, as in session 0).
    virtual bool InteractiveSession() = 0;

    // Writes one line and a line break: UTF-8 to standard output when that is a pipe or a file;
    // nowhere when it was redirected elsewhere (NUL); UTF-16 to the console when standard output
    // is one or, without any standard output, to the parent process's console (attached for the
    // rest of the run), so that every character survives any code page; else nowhere. Runs no
    // handler.
    virtual void WriteOutputLine(const std::wstring& line) = 0;

    // Starts a program as LaunchCommandLine does, in a job of its own, with `currentFolder` as its
    // current folder and TMP and TEMP set to `tempFolder` (the rest of the environment is this
    // process's), then blocks until it and every process it started have ended, or `limitMs` has
    // passed (those still running are left to run). Raises when the program cannot be started;
    // for one that must run elevated the error is HRESULT_FROM_WIN32(ERROR_ELEVATION_REQUIRED).
    // Runs no handler while it waits.
    virtual RunResult RunAndWait(const std::wstring& applicationPath,
                                 const std::wstring& commandLine, int windowStyle,
                                 std::uint32_t limitMs, const std::wstring& currentFolder,
                                 const std::wstring& tempFolder) = 0;

    // --- Reading the machine, for a diagnosis; nothing here raises ------------------------------
    // Registry keys are named below HKEY_LOCAL_MACHINE (e.g. SOFTWARE\ODBC\ODBCINST.INI), in the
    // view asked for, whatever this process's own bitness; a key that is missing, or that this
    // process may not read, reads as empty.

    // The data of a REG_SZ or REG_EXPAND_SZ value ("" names the key's default value), up to its
    // first NUL. Empty when the value is missing, of another type, or longer than
    // kRegistryTextLimit characters.
    virtual std::optional<RegistryString> ReadMachineString(RegistryView view,
                                                            const std::wstring& key,
                                                            const std::wstring& name) = 0;

    // The names of the key's subkeys that start with `prefix` (ASCII letters in any case), in the
    // registry's order; the first kRegistryListLimit of them.
    virtual std::vector<std::wstring> MachineSubkeys(RegistryView view, const std::wstring& key,
                                                     const std::wstring& prefix) = 0;

    // The names of the key's values, in the registry's order; the first kRegistryListLimit of
    // them, the default value left out.
    virtual std::vector<std::wstring> MachineValueNames(RegistryView view,
                                                        const std::wstring& key) = 0;

    // The text with each %name% that this process's environment sets replaced by its value
    // (ExpandEnvironmentStringsW); other % signs stay as written. The text as it came when the
    // result would be longer than kRegistryTextLimit characters.
    virtual std::wstring ExpandEnvironmentText(const std::wstring& text) = 0;

    // True when a file, not a folder, is at the path, as this process's file-system view sees it
    // (under WOW64, System32 is SysWOW64 and Sysnative is System32). It only asks for the file's
    // attributes: nothing is opened, loaded or started. False when nothing is there or it cannot
    // be reached. Also the file-existence test where no Scripting.FileSystemObject can be created.
    virtual bool FileIsPresent(const std::wstring& path) = 0;

    // The bitness of the program image in the file (ProgramImageBits of its first bytes): 32 or
    // 64; 0 when it is no program for x86 or x64 Windows, or cannot be read. Nothing is loaded or
    // started.
    virtual int FileImageBits(const std::wstring& path) = 0;

    // This process's bitness: 32 for the program as shipped, 64 for the test flavour built for
    // 64-bit Windows.
    virtual int ProcessBits() = 0;
};

}  // namespace pruvolt
