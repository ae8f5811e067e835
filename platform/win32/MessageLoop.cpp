// The message loop, the processing of pending events inside handlers, the end of the program, and
// the report of a failure that no handler expected.
#include "platform/win32/MessageLoop.h"

#include <new>

#include "platform/DecimalText.h"
#include "platform/win32/Errors.h"
#include "texts/Texts.h"

namespace pruvolt::win32 {

void Dispatch(MSG& msg) {
    const HWND root = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root == nullptr || !::IsDialogMessageW(root, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void ForwardCaught() noexcept {
    Win32Platform* const platform = Win32Platform::Running();
    if (platform == nullptr) {
        ::ExitProcess(Win32Platform::kUnexpectedErrorExitCode);  // no window to report in yet
    }
    if (!platform->Reporting()) {
        platform->ReportUnexpected(std::current_exception());
    }
}

Win32Platform* Win32Platform::running_ = nullptr;

void Win32Platform::Run(FormEvents& events) {
    running_ = this;
    events_ = &events;
    Deliver(*this, [&] {
        CreateMainWindow();
        events.Form_Load();
    });
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        Dispatch(msg);
    }
    EndProgram(0);
}

void Win32Platform::ProcessPendingEvents() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            EndProgram(0);
        }
        Dispatch(msg);
    }
}

void Win32Platform::EndProgram(std::uint32_t exitCode) {
    ::ExitProcess(exitCode);
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

}  // namespace pruvolt::win32
