// The platform on Windows. Its members live by job: MainWindow.cpp (the window and its controls),
// MessageLoop.cpp (the message loop, delivery to the handlers, the unexpected-error report),
// SystemCalls.cpp (instance lock, folders, environment, version, WOW64), Processes.cpp (starting
// programs), Components.cpp (the COM components), SwitchOutput.cpp (a run with a switch) and
// Registry.cpp (the registry and files as a diagnosis reads them).
#pragma once

#include <windows.h>

#include <array>
#include <exception>
#include <vector>

#include "platform/FormEvents.h"
#include "platform/Platform.h"
#include "platform/WindowDesign.h"
#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

class Win32Platform final : public Platform {
public:
    Win32Platform(HINSTANCE instance, const WindowDesign& design);
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Creates the window (not yet shown), delivers the load event, then pumps messages until the
    // program ends. Never returns.
    [[noreturn]] void Run(FormEvents& events);

    bool PreviousInstanceRunning() override;
    [[noreturn]] void EndProgram(std::uint32_t exitCode) override;
    std::wstring ProgramFolder() override;
    std::wstring ProgramPath() override;
    bool IsElevated() override;
    std::wstring RunningAccount() override;
    std::optional<ObjectSecurity> ReadSecurity(const std::wstring& path) override;
    std::wstring EnvironmentVariable(const std::wstring& name) override;
    std::wstring TempFolder() override;

    float ScreenWidth() override;
    float ScreenHeight() override;
    float WindowWidth() override;
    float WindowHeight() override;
    void SetWindowLeft(float twips) override;
    void SetWindowTop(float twips) override;
    std::wstring WindowCaption() override;
    WindowHandle GetWindowHandle() override;
    void ShowWindow() override;
    void ProcessPendingEvents() override;

    void SetLabelText(const std::wstring& text) override;
    void SetVisible(Control control, bool visible) override;
    float ControlLeft(Control control) override;
    void SetControlLeft(Control control, float twips) override;
    float ControlWidth(Control control) override;
    void SetTimerEnabled(Timer timer, bool enabled) override;
    void ShowMessageBox(const std::wstring& prompt, std::uint32_t buttons,
                    const std::wstring& title) override;

    std::unique_ptr<AdoRecordset> CreateRecordset(const std::wstring& progId) override;
    std::unique_ptr<FileSystemObject> CreateFileSystemObject() override;
    std::unique_ptr<HeldCopy> CopyAndHold(const std::wstring& source,
                                          const std::wstring& destination) override;
    std::unique_ptr<PrivateFolder> CreatePrivateFolder() override;
    void RemoveLeftoverPrivateFolders() override;

    bool GetVersionExA(OsVersionInfoA& info) override;
    ModuleHandle GetModuleHandleA(const char* moduleName) override;
    ProcAddress GetProcAddress(ModuleHandle module, const char* procName) override;
    ProcessHandle GetCurrentProcess() override;
    bool IsWow64Process(ProcAddress function, ProcessHandle process,
                        std::int32_t& wow64Flag) override;
    void LaunchCommandLine(const std::wstring& applicationPath, const std::wstring& commandLine,
                           int windowStyle) override;
    void ShellExecuteWide(WindowHandle window, const std::wstring& operation,
                          const std::wstring& file, const std::wstring& parameters,
                          const std::wstring& directory, int showCommand) override;

    std::vector<std::wstring> CommandLineArguments() override;
    bool HasOutput() override;
    bool InteractiveSession() override;
    void WriteOutputLine(const std::wstring& line) override;
    RunResult RunAndWait(const std::wstring& applicationPath, const std::wstring& commandLine,
                         int windowStyle, std::uint32_t limitMs, const std::wstring& currentFolder,
                         const std::wstring& tempFolder) override;

    std::optional<RegistryString> ReadMachineString(RegistryView view, const std::wstring& key,
                                                    const std::wstring& name) override;
    std::vector<std::wstring> MachineSubkeys(RegistryView view, const std::wstring& key,
                                             const std::wstring& prefix) override;
    std::vector<std::wstring> MachineValueNames(RegistryView view, const std::wstring& key) override;
    std::wstring ExpandEnvironmentText(const std::wstring& text) override;
    bool FileIsPresent(const std::wstring& path) override;
    int FileImageBits(const std::wstring& path) override;
    int ProcessBits() override;

    // The report of a failure that no handler expected ("執行階段錯誤 (n)"): stops both timers
    // and every further handler, shows the report, then ends the program with
    // kUnexpectedErrorExitCode.
    [[noreturn]] void ReportUnexpected(std::exception_ptr caught) noexcept;
    [[noreturn]] void ReportUnexpected(std::int32_t number, const std::wstring& description) noexcept;
    // True from the moment that report opens.
    bool Reporting() const { return reporting_; }
    // The platform whose window runs, once Run has begun; for the controls' window procedures.
    static Win32Platform* Running() { return running_; }

    static constexpr UINT kUnexpectedErrorExitCode = 1;

private:
    static constexpr std::size_t kControlCount = 6;
    enum TimerId : UINT_PTR { kTimerEvents = 1, kTimerEnd = 2 };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateMainWindow();
    void LoadImages();
    HWND CreateChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, HWND parent,
                     int id);
    // Sizes the window and places every control for the density of the window's monitor, with
    // the fonts and the icons at that density.
    void LayOut();
    void ChangeDpi();
    // The logic's twips and the window's pixels, at the window's density.
    int Pixels(double twips) const { return ToPixels(twips, dpi_); }
    float Twips(int pixels) const { return ToTwips(pixels, dpi_); }
    HWND ControlWindow(Control control) const { return controls_[static_cast<std::size_t>(control)]; }
    const Box& DesignBox(Control control) const;
    void MoveWindowTo(float left, float top);
    void ClickFocusedButton();
    [[noreturn]] void ReportSystemError(HRESULT code) noexcept;
    void DecideOutput();

    static Win32Platform* running_;
    HINSTANCE instance_;
    const WindowDesign& design_;
    FormEvents* events_ = nullptr;
    HWND window_ = nullptr;
    std::array<HWND, kControlCount> controls_{};
    HWND logoWindow_ = nullptr;
    int dpi_ = kDesignDpi;
    // Positions as the logic set them, in twips: the window's device pixels round them.
    float windowLeft_ = 0;
    float windowTop_ = 0;
    std::array<float, kControlCount> controlLeft_{};
    std::wstring announced_;  // the label's text last announced to screen readers
    HWND focus_ = nullptr;    // the control that gets the focus back when the window is activated
    bool reporting_ = false;  // the report of an unexpected error is open

    UniqueHandle instanceMutex_;
    UniqueFont labelFont_;
    UniqueFont buttonFont_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    UniqueBitmap logo_;
    UniqueBitmap progressFrame_;
    UniqueBitmap progressFill_;
    UniqueBitmap progressFlash_;

    // Where a run with a switch writes its lines.
    enum class Output { Undecided, None, Discard, File, Console };
    Output output_ = Output::Undecided;
    HANDLE outputHandle_ = nullptr;  // a file, a pipe or a console; not owned
    UniqueHandle parentConsole_;      // CONOUT$ of the parent's console, when that is the output
};

}  // namespace pruvolt::win32
