// Error numbers and descriptions from HRESULTs, COM error info and Win32 error codes.
#include "platform/win32/Errors.h"

#include <oleauto.h>

#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

std::int32_t ErrorNumber(HRESULT hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
        return static_cast<std::int32_t>(HRESULT_CODE(hr));
    }
    return static_cast<std::int32_t>(hr);
}

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

PlatformError ComError(HRESULT hr) {
    // The callers clear the thread's error info before each call, so what is here now belongs to
    // the call that just failed.
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.Put()) == S_OK && info) {
        Bstr description;
        if (SUCCEEDED(info->GetDescription(description.Put())) && description.Get() != nullptr &&
            ::SysStringLen(description.Get()) > 0) {
            return {ErrorNumber(hr), std::wstring(description.Get(), ::SysStringLen(description.Get()))};
        }
    }
    return {ErrorNumber(hr), SystemMessage(static_cast<DWORD>(hr))};
}

PlatformError Win32Error(DWORD code) {
    return {ErrorNumber(HRESULT_FROM_WIN32(code)), SystemMessage(code)};
}

void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) {
        throw ComError(hr);
    }
}

void ForwardCaught(HWND control) noexcept {
    std::exception_ptr caught = std::current_exception();
    ::SendMessageW(::GetAncestor(control, GA_ROOT), kCaughtMessage, 0,
                   reinterpret_cast<LPARAM>(&caught));
    // Reached only when no main window took it (it does not exist yet, or is being destroyed).
    ::ExitProcess(1);
}

}  // namespace pruvolt::win32
