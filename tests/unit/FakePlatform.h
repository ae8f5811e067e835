// A scripted stand-in for the operating system: it keeps the window's and the machine's state,
// logs every step that matters in order, and delivers clicks and ticks inside
// ProcessPendingEvents, as the window system does.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pruvolt::test {

// Thrown by EndProgram. No handler catches it, so a run stops where the real program would end.
struct ProgramEnded {};

struct MessageBoxCall {
    std::wstring prompt;
    std::uint32_t buttons;
    std::wstring title;
};

class FakePlatform final : public Platform {
   public:
    FakePlatform();

    // --- Script -------------------------------------------------------------------------------
    // Runs `event` inside the nth call of ProcessPendingEvents (1-based, nested calls counted).
    void OnProcessEvents(int nth, std::function<void()> event);

    bool previousInstance = false;
    float screenWidth = 15360.0f, screenHeight = 11520.0f;  // 1024 x 768 pixels
    float windowWidth = 4140.0f, windowHeight = 4095.0f;
    std::wstring caption = L"Pruvolt & Installer";
    WindowHandle windowHandle = 0x10086;
    std::wstring programFolder = L"C:\\Tools";
    std::map<std::wstring, std::wstring> environment;
    std::wstring tempFolder = L"C:\\Users\\me\\AppData\\Local\\Temp";  // as GetTempPathW names it
    std::map<std::wstring, std::string> files;  // path -> contents
    std::optional<OsVersionInfoA> version;      // empty: GetVersionExA fails
    ProcAddress isWow64Address = 0x7c801234;    // 0: this Windows has no IsWow64Process
    std::int32_t wow64Flag = 0;
    std::optional<PlatformError> createRecordsetError, openError, createFileSystemError, copyError,
        launchError, shellExecuteError, privateFolderError;
    std::function<void()> whileMessageBoxOpen;
    std::vector<std::wstring> arguments;          // after the program's name
    bool hasOutput = true;                        // a pipe, a file or the parent's console
    bool interactive = true;                      // a person can see the session's windows
    std::uint32_t installerExitCode = 0;          // what RunAndWait answers
    bool installerOutlivesLimit = false;          // ... or that it still ran at the limit
    std::optional<PlatformError> runError;        // what RunAndWait raises instead
    std::function<void()> whileInstallerRuns;     // inside RunAndWait, before it answers
    std::function<void(const std::wstring&)> whileWriting;  // inside WriteOutputLine
    int processBits = 32;
    bool elevated = false;                        // IsElevated
    std::wstring runningAccount = L"S-1-5-21-1004336348-1177238915-682003330-1001";
    std::map<std::wstring, ObjectSecurity> security;  // what ReadSecurity reads; else nothing there
    std::optional<PlatformError> signatureError;  // what a held copy's VerifySignature raises
    // HKEY_LOCAL_MACHINE, one for each view. Keys and value names are looked up in any case, as
    // the registry does, and listed as they were written. FileIsPresent answers from `files`.
    struct RegistryValue {
        std::wstring name;  // "" for the default value
        RegistryString data;
    };
    struct RegistryKey {
        std::wstring path;
        std::map<std::wstring, RegistryValue> values;  // by lower-case name
    };
    std::map<RegistryView, std::map<std::wstring, RegistryKey>> registry;  // by lower-case path

    // Writes a value in one view, or in both (for keys that both views share, like ProgIDs).
    void SetMachineString(RegistryView view, const std::wstring& key, const std::wstring& name,
                          const std::wstring& text, bool expand = false);
    void SetMachineStringInBoth(const std::wstring& key, const std::wstring& name,
                                const std::wstring& text);

    // --- What happened ----------------------------------------------------------------------
    std::vector<std::wstring> log;
    std::wstring label;
    std::map<Control, bool> visible;
    std::map<Control, float> left, width;
    std::map<Timer, bool> timerEnabled;
    float windowLeft = 0.0f, windowTop = 0.0f;
    std::vector<OsVersionInfoA> versionRecordsPassed;  // as GetVersionExA received them
    std::vector<std::string> procNamesLookedUp;        // "module!proc"
    std::vector<MessageBoxCall> messageBoxes;
    int processEventsCalls = 0;
    std::optional<std::uint32_t> exitCode;  // what EndProgram was given
    std::vector<std::wstring> heldCopies;   // paths of the copies held now
    std::vector<std::wstring> privateFolders;  // paths of the private folders that exist now
    int leftoverCleanups = 0;                  // calls of RemoveLeftoverPrivateFolders
    std::vector<std::wstring> output;  // the lines WriteOutputLine wrote, also in `log`

    // Entries of `log` that start with `prefix`, in order.
    std::vector<std::wstring> LogOf(const std::wstring& prefix) const;

    // --- Platform -----------------------------------------------------------------------------
    bool PreviousInstanceRunning() override;
    [[noreturn]] void EndProgram(std::uint32_t code) override;
    std::wstring ProgramFolder() override { return programFolder; }
    std::wstring ProgramPath() override { return programFolder + L"\\pruvolt.exe"; }
    bool IsElevated() override { return elevated; }
    std::wstring RunningAccount() override { return runningAccount; }
    std::optional<ObjectSecurity> ReadSecurity(const std::wstring& path) override;
    std::wstring EnvironmentVariable(const std::wstring& name) override;
    std::wstring TempFolder() override;
    float ScreenWidth() override { return screenWidth; }
    float ScreenHeight() override { return screenHeight; }
    float WindowWidth() override { return windowWidth; }
    float WindowHeight() override { return windowHeight; }
    void SetWindowLeft(float twips) override;
    void SetWindowTop(float twips) override;
    std::wstring WindowCaption() override { return caption; }
    WindowHandle GetWindowHandle() override { return windowHandle; }
    void ShowWindow() override;
    void ProcessPendingEvents() override;
    void SetLabelText(const std::wstring& text) override;
    void SetVisible(Control control, bool isVisible) override;
    float ControlLeft(Control control) override { return left.at(control); }
    void SetControlLeft(Control control, float twips) override;
    float ControlWidth(Control control) override { return width.at(control); }
    void SetTimerEnabled(Timer timer, bool enabled) override;
    void ShowMessageBox(const std::wstring& prompt, std::uint32_t buttons,
                    const std::wstring& title) override;
    std::unique_ptr<AdoRecordset> CreateRecordset(const std::wstring& progId) override;
    std::unique_ptr<FileSystemObject> CreateFileSystemObject() override;
    std::unique_ptr<HeldCopy> CopyAndHold(const std::wstring& source,
                                          const std::wstring& destination) override;
    std::unique_ptr<PrivateFolder> CreatePrivateFolder() override;
    void RemoveLeftoverPrivateFolders() override { ++leftoverCleanups; }
    bool GetVersionExA(OsVersionInfoA& info) override;
    ModuleHandle GetModuleHandleA(const char* moduleName) override;
    ProcAddress GetProcAddress(ModuleHandle module, const char* procName) override;
    ProcessHandle GetCurrentProcess() override { return kCurrentProcess; }
    bool IsWow64Process(ProcAddress function, ProcessHandle process, std::int32_t& flag) override;
    void LaunchCommandLine(const std::wstring& applicationPath, const std::wstring& commandLine,
                           int windowStyle) override;
    void ShellExecuteWide(WindowHandle window, const std::wstring& operation,
                          const std::wstring& file, const std::wstring& parameters,
                          const std::wstring& directory, int showCommand) override;

    std::vector<std::wstring> CommandLineArguments() override { return arguments; }
    bool HasOutput() override { return hasOutput; }
    bool InteractiveSession() override { return interactive; }
    void WriteOutputLine(const std::wstring& line) override;
    RunResult RunAndWait(const std::wstring& applicationPath, const std::wstring& commandLine,
                         int windowStyle, std::uint32_t limitMs, const std::wstring& currentFolder,
                         const std::wstring& installerTemp) override;

    std::optional<RegistryString> ReadMachineString(RegistryView view, const std::wstring& key,
                                                    const std::wstring& name) override;
    std::vector<std::wstring> MachineSubkeys(RegistryView view, const std::wstring& key,
                                             const std::wstring& prefix) override;
    std::vector<std::wstring> MachineValueNames(RegistryView view, const std::wstring& key) override;
    std::wstring ExpandEnvironmentText(const std::wstring& text) override;
    bool FileIsPresent(const std::wstring& path) override { return files.contains(path); }
    // A file whose contents are "x86" or "x64" stands for a program of that bitness; any other is
    // read as a program image's first bytes.
    int FileImageBits(const std::wstring& path) override;
    int ProcessBits() override { return processBits; }

    static constexpr ProcessHandle kCurrentProcess = static_cast<ProcessHandle>(-1);

   private:
    std::multimap<int, std::function<void()>> events_;
};

// Runs a handler as the window system would: an error that escapes it gets the default report,
// which ends the program. True when the program ended, false when the handler returned.
bool EndsProgram(FakePlatform& platform, const std::function<void()>& handler);

}  // namespace pruvolt::test
