// The main window and its controls: how they are made from the design, the window procedure, and
// the window's and the controls' operations (position, texts, visibility, timers, message boxes).
#include "platform/win32/Win32Platform.h"

#include <utility>

#include "platform/win32/Dpi.h"
#include "platform/win32/Errors.h"
#include "platform/win32/JpegResource.h"
#include "platform/win32/Label.h"
#include "platform/win32/MessageLoop.h"
#include "platform/win32/PictureBox.h"
#include "platform/win32/resource.h"

namespace pruvolt::win32 {

namespace {

constexpr wchar_t kMainClass[] = L"PruvoltMain";

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

// Button ids stay clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape.
constexpr int kButtonIdBase = 100;

std::size_t Index(Control control) {
    return static_cast<std::size_t>(control);
}

// A resource image of ours; raises when it cannot be loaded.
HANDLE LoadImageResource(HINSTANCE instance, int id, UINT type, int width, int height, UINT flags) {
    const HANDLE image = ::LoadImageW(instance, MAKEINTRESOURCEW(id), type, width, height, flags);
    if (image == nullptr) {
        throw ErrorFromWin32(::GetLastError());
    }
    return image;
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance, const WindowDesign& design)
    : instance_(instance), design_(design) {
    for (std::size_t i = 0; i < kControlCount; ++i) {
        controlLeft_[i] = static_cast<float>(DesignBox(static_cast<Control>(i)).left);
    }
}

const Box& Win32Platform::DesignBox(Control control) const {
    switch (control) {
    case Control::lblMessage:
        return design_.lblMessage;
    case Control::cmdInstall0:
        return design_.cmdInstall0;
    case Control::cmdInstall2:
        return design_.cmdInstall2;
    case Control::picProgress:
        return design_.picProgress;
    case Control::picProgressInner:
        return design_.picProgressInner;
    case Control::imgProgressFlash:
        break;
    }
    return design_.imgProgressFlash;
}

// --- Making the window -----------------------------------------------------------------------

void Win32Platform::LoadImages() {
    logo_ = LoadJpegResource(instance_, IDR_LOGO);
    if (!logo_) {
        // Our own resource that does not decode: no half-built window with a blank box.
        throw ErrorFromWin32(ERROR_INVALID_DATA);
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
                                HWND parent, int id) {
    // Placed by LayOut, at the window's density.
    const HWND child = ::CreateWindowExW(
        0, windowClass, text, WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (child == nullptr) {
        throw ErrorFromWin32(::GetLastError());
    }
    return child;
}

void Win32Platform::CreateMainWindow() {
    WNDCLASSEXW mainClass{};
    mainClass.cbSize = sizeof(mainClass);
    mainClass.lpfnWndProc = WindowProc;
    mainClass.hInstance = instance_;
    mainClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    // The window-background colour, white in the default scheme: a high-contrast scheme gives
    // its own, on which the label draws the window-text colour.
    mainClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    mainClass.lpszClassName = kMainClass;
    if (::RegisterClassExW(&mainClass) == 0) {
        throw ErrorFromWin32(::GetLastError());
    }
    RegisterPictureClass(instance_);
    RegisterLabelClass(instance_);

    // Made first, then laid out for the density of the monitor it stands on.
    window_ = ::CreateWindowExW(0, kMainClass, design_.caption, kMainStyle, 0, 0, 0, 0, nullptr,
                                nullptr, instance_, this);
    if (window_ == nullptr) {
        throw ErrorFromWin32(::GetLastError());
    }

    LoadImages();
    logoWindow_ = CreateChild(kPictureClass, L"", WS_VISIBLE, window_, 0);
    SetPicture(logoWindow_, logo_.Get());
    auto& c = controls_;
    c[Index(Control::lblMessage)] = CreateChild(kLabelClass, L"", WS_VISIBLE, window_, 0);
    c[Index(Control::cmdInstall0)] =
        CreateChild(L"BUTTON", design_.installCaption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                    window_, kButtonIdBase + 0);
    c[Index(Control::picProgress)] = CreateChild(kPictureClass, L"", WS_CLIPCHILDREN, window_, 0);
    c[Index(Control::picProgressInner)] = CreateChild(
        kPictureClass, L"", WS_VISIBLE | WS_CLIPCHILDREN, c[Index(Control::picProgress)], 0);
    c[Index(Control::imgProgressFlash)] =
        CreateChild(kPictureClass, L"", WS_VISIBLE, c[Index(Control::picProgressInner)], 0);
    c[Index(Control::cmdInstall2)] =
        CreateChild(L"BUTTON", design_.exitCaption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                    window_, kButtonIdBase + 2);

    SetPicture(c[Index(Control::picProgress)], progressFrame_.Get());
    SetPicture(c[Index(Control::picProgressInner)], progressFill_.Get());
    SetPicture(c[Index(Control::imgProgressFlash)], progressFlash_.Get());

    // Z-order, top first, which is also the tab order: the label over the logo's bottom rows, which
    // are white, so that the first line of the label's text is read whole; the install button over
    // the strip.
    HWND after = HWND_TOP;
    for (const HWND child : {c[Index(Control::lblMessage)], logoWindow_,
                             c[Index(Control::cmdInstall0)], c[Index(Control::picProgress)],
                             c[Index(Control::cmdInstall2)]}) {
        ::SetWindowPos(child, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = child;
    }
    LayOut();
    focus_ = c[Index(Control::cmdInstall0)];
}

void Win32Platform::LayOut() {
    dpi_ = WindowDpi(window_);
    RECT frame{0, 0, Pixels(design_.clientWidth), Pixels(design_.clientHeight)};
    AdjustWindowRectForDpi(frame, kMainStyle, dpi_);
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    const auto place = [this](HWND child, const Box& box, float left) {
        ::SetWindowPos(child, nullptr, Pixels(left), Pixels(box.top), Pixels(box.width),
                       Pixels(box.height), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(logoWindow_, design_.imgLogo, static_cast<float>(design_.imgLogo.left));
    for (std::size_t i = 0; i < kControlCount; ++i) {
        place(controls_[i], DesignBox(static_cast<Control>(i)), controlLeft_[i]);
    }

    // The fonts and the icons at this density; each old one goes once its successor is in place.
    UniqueFont labelFont(::CreateFontW(
        -MulDiv(design_.labelFontPoints, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
        ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_SWISS, design_.labelFontFace));
    ::SendMessageW(ControlWindow(Control::lblMessage), WM_SETFONT,
                   reinterpret_cast<WPARAM>(labelFont.Get()), TRUE);
    labelFont_ = std::move(labelFont);
    LOGFONTW messageFont{};
    UniqueFont buttonFont(MessageFont(messageFont, dpi_) ? ::CreateFontIndirectW(&messageFont)
                                                         : nullptr);
    const HFONT shownFont =
        buttonFont ? buttonFont.Get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    for (const Control button : {Control::cmdInstall0, Control::cmdInstall2}) {
        ::SendMessageW(ControlWindow(button), WM_SETFONT, reinterpret_cast<WPARAM>(shownFont), TRUE);
    }
    buttonFont_ = std::move(buttonFont);

    const auto loadIcon = [this](int widthMetric, int heightMetric) {
        return UniqueIcon(static_cast<HICON>(LoadImageResource(
            instance_, IDI_PROGRAM, IMAGE_ICON, SystemMetric(widthMetric, dpi_),
            SystemMetric(heightMetric, dpi_), LR_DEFAULTCOLOR)));
    };
    UniqueIcon bigIcon = loadIcon(SM_CXICON, SM_CYICON);
    UniqueIcon smallIcon = loadIcon(SM_CXSMICON, SM_CYSMICON);
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.Get()));
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));
    bigIcon_ = std::move(bigIcon);
    smallIcon_ = std::move(smallIcon);
}

void Win32Platform::ChangeDpi() {
    // Laid out again about the window's centre. The message's suggested rectangle is not read: it
    // comes as a pointer, which a message sent or posted by another program could make point
    // anywhere, and the window's size follows from the design alone.
    RECT before;
    ::GetWindowRect(window_, &before);
    LayOut();
    RECT now;
    ::GetWindowRect(window_, &now);
    const int left = (before.left + before.right - (now.right - now.left)) / 2;
    const int top = (before.top + before.bottom - (now.bottom - now.top)) / 2;
    if (left != now.left || top != now.top) {
        ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        windowLeft_ = Twips(left);
        windowTop_ = Twips(top);
    }
    ::InvalidateRect(window_, nullptr, TRUE);
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
    case WM_DPICHANGED:
        ChangeDpi();
        return 0;
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    case WM_CLOSE:
        // The close box ends the program; no handler of the logic runs. Under the report of an
        // unexpected error it does nothing: that report ends the program itself.
        if (!reporting_) {
            EndProgram(0);
        }
        return 0;
    default:
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

// --- Window ------------------------------------------------------------------------------

float Win32Platform::ScreenWidth() {
    return Twips(::GetSystemMetrics(SM_CXSCREEN));
}

float Win32Platform::ScreenHeight() {
    return Twips(::GetSystemMetrics(SM_CYSCREEN));
}

float Win32Platform::WindowWidth() {
    RECT rect;
    ::GetWindowRect(window_, &rect);
    return Twips(rect.right - rect.left);
}

float Win32Platform::WindowHeight() {
    RECT rect;
    ::GetWindowRect(window_, &rect);
    return Twips(rect.bottom - rect.top);
}

void Win32Platform::MoveWindowTo(float left, float top) {
    windowLeft_ = left;
    windowTop_ = top;
    ::SetWindowPos(window_, nullptr, Pixels(left), Pixels(top), 0, 0,
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
    // Screen readers learn of the label with the window, and hear the text it shows.
    const HWND label = ControlWindow(Control::lblMessage);
    DescribeLabelToScreenReaders(label);
    const int length = ::GetWindowTextLengthW(label);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(label, text.data(), length + 1)));
    AnnounceLabelText(label, text, announced_);
}

// --- Controls ----------------------------------------------------------------------------

void Win32Platform::SetLabelText(const std::wstring& text) {
    const HWND label = ControlWindow(Control::lblMessage);
    ::SetWindowTextW(label, text.c_str());
    if (::IsWindowVisible(label)) {
        AnnounceLabelText(label, text, announced_);  // before the window is shown, it announces
    }
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
    const int top = Pixels(DesignBox(control).top);
    ::SetWindowPos(ControlWindow(control), nullptr, Pixels(twips), top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

float Win32Platform::ControlWidth(Control control) {
    RECT rect;
    ::GetWindowRect(ControlWindow(control), &rect);
    return Twips(rect.right - rect.left);
}

void Win32Platform::SetTimerEnabled(Timer timer, bool enabled) {
    const UINT_PTR id = timer == Timer::tmrEvents ? kTimerEvents : kTimerEnd;
    if (enabled) {
        // SetTimer on a running timer starts its interval afresh.
        if (::SetTimer(window_, id,
                       timer == Timer::tmrEvents ? design_.tmrEventsInterval
                                                 : design_.tmrEndInterval,
                       nullptr) == 0) {
            throw ErrorFromWin32(::GetLastError());
        }
    } else {
        ::KillTimer(window_, id);
    }
}

void Win32Platform::ShowMessageBox(const std::wstring& prompt, std::uint32_t buttons,
                               const std::wstring& title) {
    ::MessageBoxW(window_, prompt.c_str(), title.c_str(), buttons);
}

}  // namespace pruvolt::win32
