// Error numbers and descriptions from HRESULTs, COM error info and Win32 error codes.
#include "platform/win32/Errors.h"

#include <oleauto.h>

#include "platform/ErrorNumbers.h"
#include "platform/MessageInserts.h"
#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

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

PlatformError ErrorFromHresult(HRESULT hr) {
    // Every caller clears the thread's error info before the call that failed, so what is here
    // now belongs to that call.
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.Put()) == S_OK && info) {
        Bstr description;
        if (SUCCEEDED(info->GetDescription(description.Put())) && description.Get() != nullptr &&
            ::SysStringLen(description.Get()) > 0) {
            return {ErrorNumberFromHresult(hr), std::wstring(description.Get(), ::SysStringLen(description.Get()))};
        }
    }
    return {ErrorNumberFromHresult(hr), SystemMessage(static_cast<DWORD>(hr))};
}

PlatformError ErrorFromWin32(DWORD code) {
    if (code == ERROR_SUCCESS) {
        return {kUnspecifiedFailure, SystemMessage(static_cast<DWORD>(kUnspecifiedFailure))};
    }
    return {ErrorNumberFromHresult(HresultFromWin32(code)), SystemMessage(code)};
}

PlatformError ErrorFromWin32(DWORD code, const std::wstring& file) {
    PlatformError error = ErrorFromWin32(code);
    error.description = FillMessageInserts(error.description, file);
    return error;
}

void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) {
        throw ErrorFromHresult(hr);
    }
}

}  // namespace pruvolt::win32
