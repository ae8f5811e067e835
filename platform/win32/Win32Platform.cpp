// The main window, its controls and the message pump, and the system calls behind the platform.
#include "platform/win32/Win32Platform.h"

#include <shellapi.h>

#include <exception>
#include <new>
#include <vector>

#include "platform/DecimalText.h"
#include "platform/win32/Components.h"
#include "platform/win32/Errors.h"
#include "platform/win32/JpegResource.h"
#include "platform/win32/Label.h"
#include "platform/win32/Processes.h"
#include "platform/win32/resource.h"
#include "window/Layout.h"
#include "window/Texts.h"

namespace pruvolt::win32 {

namespace {

constexpr wchar_t kMainClass[] = L"PruvoltMain";
constexpr wchar_t kPictureClass[] = L"PruvoltPicture";
// Names this program's copies in the session.
constexpr wchar_t kInstanceMutexName[] = L"Local\\Pruvolt.Instance.6f1d2c84-3b7e-4a59-9e0d-5c2a71b8e413";

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

// Button ids stay clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape.
constexpr int kButtonIdBase = 100;
enum TimerId : UINT_PTR { kTimerEvents = 1, kTimerEnd = 2 };

constexpr float kTwips = static_cast<float>(layout::kTwipsPerPixel);

// The design box of each control, in the order of the Control enumeration.
constexpr layout::Box kDesign[] = {
    layout::kLblMessage,   layout::kCmdInstall0,      layout::kCmdInstall2,
    layout::kPicProgress,  layout::kPicProgressInner, layout::kImgProgressFlash,
};

std::size_t Index(Control control) {
    return static_cast<std::size_t>(control);
}

// A picture box: draws its bitmap unscaled at its top left corner on the window-background
// colour, clipped to the box. The bitmap travels in GWLP_USERDATA and is not owned.
void PaintPicture(HWND window) {
    const PaintScope paint(window);
    const auto bitmap = reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (bitmap == nullptr) {
        return;
    }
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    const UniqueMemoryDc memory(::CreateCompatibleDC(paint.Dc()));
    if (!memory) {
        return;  // nothing to draw with; the box keeps its background
    }
    const ScopedSelectObject select(memory.Get(), bitmap);
    ::BitBlt(paint.Dc(), 0, 0, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        switch (message) {
        case WM_PAINT:
            PaintPicture(window);
            return 0;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
        }
    } catch (...) {
        ForwardCaught(window);
        return 0;
    }
}

// Runs a handler of the logic. Nothing may cross the window procedure (the i686 unwinder cannot
// unwind through user32), so what the handler let through is reported here, and the program ends.
// Once that report is open, no handler runs any more.
template <typename Handler>
void Deliver(Win32Platform& platform, Handler&& handler) noexcept {
    if (platform.Reporting()) {
        return;
    }
    try {
        handler();
    } catch (...) {
        platform.ReportUnexpected(std::current_exception());
    }
}

// Hands a message to the dialog handling of the top-level window it belongs to, else to its
// window: a message box opened under a running timer keeps its keys (Enter, Escape, Tab) even
// when a tick's own processing of events takes them from the queue.
void Dispatch(MSG& msg) {
    const HWND root = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root == nullptr || !::IsDialogMessageW(root, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// A resource image of ours; raises when it cannot be loaded.
HANDLE LoadImageResource(HINSTANCE instance, int id, UINT type, int width, int height, UINT flags) {
    const HANDLE image = ::LoadImageW(instance, MAKEINTRESOURCEW(id), type, width, height, flags);
    if (image == nullptr) {
        throw Win32Error(::GetLastError());
    }
    return image;
}

// Registers a window class; raises when the system refuses it.
void RegisterWindowClass(const WNDCLASSEXW& windowClass) {
    if (::RegisterClassExW(&windowClass) == 0) {
        throw Win32Error(::GetLastError());
    }
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
    for (std::size_t i = 0; i < kControlCount; ++i) {
        controlLeft_[i] = static_cast<float>(kDesign[i].left);
    }
}

// --- The window ------------------------------------------------------------------------------

void Win32Platform::LoadImages() {
    logo_ = LoadJpegResource(instance_, IDR_LOGO);
    if (!logo_) {
        // Our own resource that does not decode: no half-built window with a blank box.
        throw Win32Error(ERROR_INVALID_DATA);
    }
    const auto loadBitmap = [this](int id) {
        return UniqueBitmap(static_cast<HBITMAP>(
            LoadImageResource(instance_, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    };
    progressFrame_ = loadBitmap(IDB_PROGRESS_FRAME);
    progressFill_ = loadBitmap(IDB_PROGRESS_FILL);
    progressFlash_ = loadBitmap(IDB_PROGRESS_FLASH);
}

HWND Win32Platform::CreateChild(const wchar_t* windowClass, const wchar_t* text, DWORD style,
                                HWND parent, int left, int top, int width, int height, int id) {
    const HWND child = ::CreateWindowExW(
        0, windowClass, text, WS_CHILD | WS_CLIPSIBLINGS | style, left, top, width, height,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (child == nullptr) {
        throw Win32Error(::GetLastError());
    }
    return child;
}

void Win32Platform::CreateMainWindow() {
    const HICON bigIcon = static_cast<HICON>(
        LoadImageResource(instance_, IDI_PROGRAM, IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                          ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    const HICON smallIcon = static_cast<HICON>(
        LoadImageResource(instance_, IDI_PROGRAM, IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                          ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    background_ = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));

    WNDCLASSEXW mainClass{};
    mainClass.cbSize = sizeof(mainClass);
    mainClass.lpfnWndProc = WindowProc;
    mainClass.hInstance = instance_;
    mainClass.hIcon = bigIcon;
    mainClass.hIconSm = smallIcon;
    mainClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    mainClass.hbrBackground = background_;
    mainClass.lpszClassName = kMainClass;
    RegisterWindowClass(mainClass);

    WNDCLASSEXW pictureClass{};
    pictureClass.cbSize = sizeof(pictureClass);
    pictureClass.lpfnWndProc = PictureProc;
    pictureClass.hInstance = instance_;
    pictureClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    pictureClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    pictureClass.lpszClassName = kPictureClass;
    RegisterWindowClass(pictureClass);
    RegisterLabelClass(instance_);

    RECT frame{0, 0, layout::ToPixels(layout::kClientWidth), layout::ToPixels(layout::kClientHeight)};
    ::AdjustWindowRectEx(&frame, kMainStyle, FALSE, 0);
    window_ = ::CreateWindowExW(0, kMainClass, texts::kCaption, kMainStyle, 0, 0,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, instance_, this);
    if (window_ == nullptr) {
        throw Win32Error(::GetLastError());
    }

    LoadImages();
    const auto px = [](int twips) { return layout::ToPixels(static_cast<float>(twips)); };
    const auto create = [&](const wchar_t* windowClass, const wchar_t* text, DWORD style,
                            HWND parent, const layout::Box& box, int id) {
        return CreateChild(windowClass, text, style, parent, px(box.left), px(box.top),
                           px(box.width), px(box.height), id);
    };

    const HWND logo = create(kPictureClass, L"", WS_VISIBLE, window_, layout::kImgLogo, 0);
    ::SetWindowLongPtrW(logo, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(logo_.Get()));
    auto& c = controls_;
    c[Index(Control::lblMessage)] =
        create(kLabelClass, L"", WS_VISIBLE, window_, layout::kLblMessage, 0);
    c[Index(Control::cmdInstall0)] =
        create(L"BUTTON", texts::kInstallCaption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, window_,
               layout::kCmdInstall0, kButtonIdBase + 0);
    c[Index(Control::picProgress)] =
        create(kPictureClass, L"", WS_CLIPCHILDREN, window_, layout::kPicProgress, 0);
    c[Index(Control::picProgressInner)] =
        create(kPictureClass, L"", WS_VISIBLE | WS_CLIPCHILDREN, c[Index(Control::picProgress)],
               layout::kPicProgressInner, 0);
    c[Index(Control::imgProgressFlash)] =
        create(kPictureClass, L"", WS_VISIBLE, c[Index(Control::picProgressInner)],
               layout::kImgProgressFlash, 0);
    c[Index(Control::cmdInstall2)] =
        create(L"BUTTON", texts::kExitCaption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, window_,
               layout::kCmdInstall2, kButtonIdBase + 2);

    ::SetWindowLongPtrW(c[Index(Control::picProgress)], GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(progressFrame_.Get()));
    ::SetWindowLongPtrW(c[Index(Control::picProgressInner)], GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(progressFill_.Get()));
    ::SetWindowLongPtrW(c[Index(Control::imgProgressFlash)], GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(progressFlash_.Get()));

    // Z-order, top first, which is also the tab order: the logo over the label's top rows, the
    // install button over the strip.
    HWND after = HWND_TOP;
    for (const HWND child : {logo, c[Index(Control::lblMessage)], c[Index(Control::cmdInstall0)],
                             c[Index(Control::picProgress)], c[Index(Control::cmdInstall2)]}) {
        ::SetWindowPos(child, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = child;
    }

    labelFont_.Reset(::CreateFontW(-MulDiv(layout::kLabelFontPoints, 96, 72), 0, 0, 0, FW_NORMAL,
                                   FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                   layout::kLabelFontFace));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        buttonFont_.Reset(::CreateFontIndirectW(&metrics.lfMessageFont));
    }
    ::SendMessageW(c[Index(Control::lblMessage)], WM_SETFONT,
                   reinterpret_cast<WPARAM>(labelFont_.Get()), FALSE);
    const HFONT buttonFont =
        buttonFont_ ? buttonFont_.Get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    for (const Control button : {Control::cmdInstall0, Control::cmdInstall2}) {
        ::SendMessageW(ControlWindow(button), WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont),
                       FALSE);
    }
    focus_ = c[Index(Control::cmdInstall0)];
}

LRESULT CALLBACK Win32Platform::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Platform*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        self->ReportUnexpected(std::current_exception());
    }
}

void Win32Platform::ClickFocusedButton() {
    const HWND focus = ::GetFocus();
    for (const Control button : {Control::cmdInstall0, Control::cmdInstall2}) {
        if (focus == ControlWindow(button) && ::IsWindowVisible(focus)) {
            ::SendMessageW(focus, BM_CLICK, 0, 0);
        }
    }
}

LRESULT Win32Platform::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDOK) {
            // Enter: only the focused button acts; there is no default button.
            ClickFocusedButton();
        } else if (HIWORD(wParam) == BN_CLICKED &&
                   (id == kButtonIdBase + 0 || id == kButtonIdBase + 2)) {
            Deliver(*this, [&] { events_->cmdInstall_Click(static_cast<std::int16_t>(id - kButtonIdBase)); });
        }
        // IDCANCEL (Escape) does nothing.
        return 0;
    }
    case WM_TIMER:
        if (wParam == kTimerEvents) {
            Deliver(*this, [&] { events_->tmrEvents_Timer(); });
        } else if (wParam == kTimerEnd) {
            Deliver(*this, [&] { events_->tmrEnd_Timer(); });
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = ::GetFocus();
            if (focus != nullptr && ::IsChild(window_, focus)) {
                focus_ = focus;
            }
        } else if (focus_ != nullptr && ::IsWindowVisible(focus_)) {
            ::SetFocus(focus_);
        }
        return 0;
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(background_);
    case WM_CLOSE:
        // The close box ends the program; no handler of the logic runs. Under the report of an
        // unexpected error it does nothing: that report ends the program itself.
        if (!reporting_) {
            EndProgram();
        }
        return 0;
    case kCaughtMessage:
        // Only as our own controls send it, from this thread: the pointer means nothing elsewhere.
        // Under the report already open it is let go: that report ends the program, and a control
        // that fails each time it paints would otherwise stack report upon report.
        if (::InSendMessage() || reporting_) {
            return 0;
        }
        ReportUnexpected(*reinterpret_cast<const std::exception_ptr*>(lParam));
    default:
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Win32Platform::Run(FormEvents& events) {
    events_ = &events;
    Deliver(*this, [&] {
        CreateMainWindow();
        events.Form_Load();
    });
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        Dispatch(msg);
    }
    EndProgram();
}

void Win32Platform::ReportUnexpected(std::exception_ptr caught) noexcept {
    try {
        std::rethrow_exception(caught);
    } catch (const PlatformError& error) {
        ReportUnexpected(error.number, error.description);
    } catch (const std::bad_alloc&) {
        ReportSystemError(E_OUTOFMEMORY);
    } catch (...) {
        ReportSystemError(E_UNEXPECTED);
    }
}

void Win32Platform::ReportSystemError(HRESULT code) noexcept {
    std::wstring description;
    try {
        description = SystemMessage(static_cast<DWORD>(code));
    } catch (...) {
        // Out of memory: the report goes without its description.
    }
    ReportUnexpected(static_cast<std::int32_t>(code), description);
}

void Win32Platform::ReportUnexpected(std::int32_t number, const std::wstring& description) noexcept {
    // Final: nothing runs under the report. The timers stop (a tick of the end timer would end
    // the program with a success code while the report is still open), and handlers that other
    // messages still queued would start are not delivered.
    reporting_ = true;
    if (window_ != nullptr) {
        ::KillTimer(window_, kTimerEvents);
        ::KillTimer(window_, kTimerEnd);
    }
    std::wstring prompt;
    try {
        prompt = texts::kUnexpectedErrorOpen + DecimalText(number) + texts::kUnexpectedErrorClose +
                 description;
    } catch (...) {
        // Out of memory: the report's opening words are still shown.
    }
    ::MessageBoxW(window_, prompt.empty() ? texts::kUnexpectedErrorOpen : prompt.c_str(),
                  texts::kCaption, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
    ::ExitProcess(kUnexpectedErrorExitCode);
}

// --- Process -----------------------------------------------------------------------------

bool Win32Platform::PreviousInstanceRunning() {
    // Held, not released, until the process ends.
    instanceMutex_.Reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

void Win32Platform::EndProgram() {
    ::ExitProcess(0);
}

std::wstring Win32Platform::ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw Win32Error(::GetLastError());
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    if (folder.size() == 2 && folder[1] == L':') {
        folder += L'\\';  // a drive root keeps its backslash
    }
    return folder;
}

std::wstring Win32Platform::TempFolder() {
    std::wstring path(MAX_PATH + 1, L'\0');
    while (true) {
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
        if (length == 0) {
            throw Win32Error(::GetLastError());
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    // GetTempPathW ends the folder in "\"; the staged path brings its own, except at a drive root.
    if (path.size() > 1 && path.back() == L'\\' && !(path.size() == 3 && path[1] == L':')) {
        path.pop_back();
    }
    return path;
}

std::wstring Win32Platform::EnvironmentVariable(const std::wstring& name) {
    std::wstring value(256, L'\0');
    while (true) {
        const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(),
                                                       static_cast<DWORD>(value.size()));
        if (length == 0) {
            return {};
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

// --- Window ------------------------------------------------------------------------------

float Win32Platform::ScreenWidth() {
    return static_cast<float>(::GetSystemMetrics(SM_CXSCREEN)) * kTwips;
}

float Win32Platform::ScreenHeight() {
    return static_cast<float>(::GetSystemMetrics(SM_CYSCREEN)) * kTwips;
}

float Win32Platform::WindowWidth() {
    RECT rect;
    ::GetWindowRect(window_, &rect);
    return static_cast<float>(rect.right - rect.left) * kTwips;
}

float Win32Platform::WindowHeight() {
    RECT rect;
    ::GetWindowRect(window_, &rect);
    return static_cast<float>(rect.bottom - rect.top) * kTwips;
}

void Win32Platform::MoveWindowTo(float left, float top) {
    windowLeft_ = left;
    windowTop_ = top;
    ::SetWindowPos(window_, nullptr, layout::ToPixels(left), layout::ToPixels(top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Platform::SetWindowLeft(float twips) {
    MoveWindowTo(twips, windowTop_);
}

void Win32Platform::SetWindowTop(float twips) {
    MoveWindowTo(windowLeft_, twips);
}

std::wstring Win32Platform::WindowCaption() {
    const int length = ::GetWindowTextLengthW(window_);
    std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(::GetWindowTextW(window_, caption.data(), length + 1)));
    return caption;
}

WindowHandle Win32Platform::GetWindowHandle() {
    return reinterpret_cast<WindowHandle>(window_);
}

void Win32Platform::ShowWindow() {
    ::ShowWindow(window_, SW_SHOW);
    if (focus_ != nullptr && ::IsWindowVisible(focus_)) {
        ::SetFocus(focus_);
    }
}

void Win32Platform::ProcessPendingEvents() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            EndProgram();
        }
        Dispatch(msg);
    }
}

// --- Controls ----------------------------------------------------------------------------

void Win32Platform::SetLabelText(const std::wstring& text) {
    ::SetWindowTextW(ControlWindow(Control::lblMessage), text.c_str());
}

void Win32Platform::SetVisible(Control control, bool visible) {
    const HWND child = ControlWindow(control);
    if (!visible && ::GetFocus() == child) {
        // The focus moves on to the next button that can take it, as it would in a dialog.
        HWND next = ::GetNextDlgTabItem(window_, child, FALSE);
        if (next == child) {
            next = nullptr;
        }
        ::SetFocus(next != nullptr ? next : window_);
        focus_ = next;
    }
    ::ShowWindow(child, visible ? SW_SHOWNA : SW_HIDE);
}

float Win32Platform::ControlLeft(Control control) {
    return controlLeft_[Index(control)];
}

void Win32Platform::SetControlLeft(Control control, float twips) {
    controlLeft_[Index(control)] = twips;
    const int top = layout::ToPixels(static_cast<float>(kDesign[Index(control)].top));
    ::SetWindowPos(ControlWindow(control), nullptr, layout::ToPixels(twips), top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

float Win32Platform::ControlWidth(Control control) {
    RECT rect;
    ::GetWindowRect(ControlWindow(control), &rect);
    return static_cast<float>(rect.right - rect.left) * kTwips;
}

void Win32Platform::SetTimerEnabled(Timer timer, bool enabled) {
    const UINT_PTR id = timer == Timer::tmrEvents ? kTimerEvents : kTimerEnd;
    if (enabled) {
        // SetTimer on a running timer starts its interval afresh.
        if (::SetTimer(window_, id,
                       timer == Timer::tmrEvents ? layout::kTmrEventsInterval
                                                 : layout::kTmrEndInterval,
                       nullptr) == 0) {
            throw Win32Error(::GetLastError());
        }
    } else {
        ::KillTimer(window_, id);
    }
}

void Win32Platform::ShowMessageBox(const std::wstring& prompt, std::uint32_t buttons,
                               const std::wstring& title) {
    ::MessageBoxW(window_, prompt.c_str(), title.c_str(), buttons);
}

// --- Components --------------------------------------------------------------------------

std::unique_ptr<AdoRecordset> Win32Platform::CreateRecordset(const std::wstring& progId) {
    return CreateAdoRecordset(progId);
}

std::unique_ptr<FileSystemObject> Win32Platform::CreateFileSystemObject() {
    return CreateScriptingFileSystemObject();
}

void Win32Platform::CopyFileTo(const std::wstring& source, const std::wstring& destination) {
    if (!::CopyFileW(source.c_str(), destination.c_str(), FALSE)) {
        throw Win32Error(::GetLastError());
    }
}

// --- Windows calls -----------------------------------------------------------------------

bool Win32Platform::GetVersionExA(OsVersionInfoA& info) {
    static_assert(sizeof(OsVersionInfoA) == sizeof(OSVERSIONINFOA));
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated; the program wants exactly what it reports
#endif
    return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != FALSE;
}

ModuleHandle Win32Platform::GetModuleHandleA(const char* moduleName) {
    return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(moduleName));
}

ProcAddress Win32Platform::GetProcAddress(ModuleHandle module, const char* procName) {
    return reinterpret_cast<ProcAddress>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(module), procName));
}

ProcessHandle Win32Platform::GetCurrentProcess() {
    return reinterpret_cast<ProcessHandle>(::GetCurrentProcess());
}

bool Win32Platform::IsWow64Process(ProcAddress function, ProcessHandle process,
                                   std::int32_t& wow64Flag) {
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);
    static_assert(sizeof(BOOL) == sizeof(std::int32_t));
    BOOL flag = wow64Flag;
    const BOOL result = reinterpret_cast<IsWow64ProcessFunction>(function)(
        reinterpret_cast<HANDLE>(process), &flag);
    wow64Flag = flag;
    return result != FALSE;
}

void Win32Platform::LaunchCommandLine(const std::wstring& applicationPath,
                                      const std::wstring& commandLine, int windowStyle) {
    // Not waited for: the installer runs on by itself.
    (void)StartProcess(applicationPath, commandLine, windowStyle);
}

void Win32Platform::ShellExecuteWide(WindowHandle window, const std::wstring& operation,
                                     const std::wstring& file, const std::wstring& parameters,
                                     const std::wstring& directory, int showCommand) {
    // shell32 is loaded only when this attempt runs: it is large, and linking it would slow every
    // start of the program. The installers ask for elevation, which the first attempt cannot
    // give, so on most PCs this is the attempt that starts them.
    static const HMODULE shell32 = ::LoadLibraryW(L"shell32.dll");
    using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const auto shellExecuteEx = shell32 == nullptr
                                    ? nullptr
                                    : reinterpret_cast<ShellExecuteExFunction>(reinterpret_cast<void*>(
                                          ::GetProcAddress(shell32, "ShellExecuteExW")));
    if (shellExecuteEx == nullptr) {
        throw Win32Error(::GetLastError());
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The program reports a failure in its own message box; the shell shows none of its own.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = reinterpret_cast<HWND>(window);
    info.lpVerb = operation.c_str();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = showCommand;
    if (!shellExecuteEx(&info)) {
        throw Win32Error(::GetLastError());
    }
}

}  // namespace pruvolt::win32
