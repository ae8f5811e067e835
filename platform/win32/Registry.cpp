// What a diagnosis reads of the machine: string values and the names of subkeys and values in an
// explicit registry view, environment expansion, and whether a file is there. Nothing here raises:
// what cannot be read is reported as not there.
#include "platform/win32/Win32Platform.h"

#include "platform/AsciiText.h"
#include "platform/ProgramImage.h"

namespace pruvolt::win32 {

namespace {

struct KeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { ::RegCloseKey(key); }
};
using UniqueKey = Unique<HKEY, KeyTraits>;

// The view is named on every open: a key opened in one view does not pass its view on to the keys
// opened below it.
UniqueKey OpenMachineKey(RegistryView view, const std::wstring& key, REGSAM access) {
    const REGSAM viewFlag = view == RegistryView::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, access | viewFlag, &opened) !=
        ERROR_SUCCESS) {
        return UniqueKey();
    }
    return UniqueKey(opened);
}

}  // namespace

std::optional<RegistryString> Win32Platform::ReadMachineString(RegistryView view,
                                                               const std::wstring& key,
                                                               const std::wstring& name) {
    const UniqueKey opened = OpenMachineKey(view, key, KEY_QUERY_VALUE);
    if (!opened) return std::nullopt;
    // One character more than the limit: data that fills it all is too long, and data that does
    // not fit at all fails with ERROR_MORE_DATA.
    std::wstring data(kRegistryTextLimit + 1, L'\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(opened.Get(), name.empty() ? nullptr : name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    // The data need not end in a NUL, and may hold more than one.
    data.resize(size / sizeof(wchar_t));
    const std::size_t end = data.find(L'\0');
    if (end != std::wstring::npos) data.resize(end);
    if (data.size() > kRegistryTextLimit) return std::nullopt;
    return RegistryString{data, type == REG_EXPAND_SZ};
}

std::vector<std::wstring> Win32Platform::MachineSubkeys(RegistryView view, const std::wstring& key,
                                                        const std::wstring& prefix) {
    std::vector<std::wstring> names;
    const UniqueKey opened = OpenMachineKey(view, key, KEY_ENUMERATE_SUB_KEYS);
    if (!opened) return names;
    wchar_t name[256];  // a key name has at most 255 characters
    for (DWORD index = 0; names.size() < kRegistryListLimit; ++index) {
        DWORD length = 256;
        const LSTATUS status =
            ::RegEnumKeyExW(opened.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        std::wstring found(name, length);
        if (StartsWithAsciiCaseless(found, prefix)) names.push_back(std::move(found));
    }
    return names;
}

std::vector<std::wstring> Win32Platform::MachineValueNames(RegistryView view,
                                                           const std::wstring& key) {
    std::vector<std::wstring> names;
    const UniqueKey opened = OpenMachineKey(view, key, KEY_QUERY_VALUE);
    if (!opened) return names;
    std::wstring name(16384, L'\0');  // a value name has at most 16,383 characters
    for (DWORD index = 0; names.size() < kRegistryListLimit; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status = ::RegEnumValueW(opened.Get(), index, name.data(), &length, nullptr,
                                               nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || length == 0) continue;
        names.emplace_back(name.data(), length);
    }
    return names;
}

std::wstring Win32Platform::ExpandEnvironmentText(const std::wstring& text) {
    std::wstring expanded(kRegistryTextLimit + 1, L'\0');
    // The length it needs, its NUL counted; 0 on failure.
    const DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(),
                                                     static_cast<DWORD>(expanded.size()));
    if (length == 0 || length > expanded.size()) return text;
    expanded.resize(length - 1);
    return expanded;
}

bool Win32Platform::FileIsPresent(const std::wstring& path) {
    // A path to a drive without a medium must not ask anyone to insert one.
    DWORD previousMode = 0;
    const bool modeSet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode) != FALSE;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (modeSet) ::SetThreadErrorMode(previousMode, nullptr);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int Win32Platform::FileImageBits(const std::wstring& path) {
    DWORD previousMode = 0;
    const bool modeSet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode) != FALSE;
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (modeSet) ::SetThreadErrorMode(previousMode, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char head[kProgramImageHeadSize];
    DWORD read = 0;
    const bool ok = ::ReadFile(file, head, static_cast<DWORD>(sizeof(head)), &read, nullptr) != 0;
    ::CloseHandle(file);
    return ok ? ProgramImageBits(std::string_view(head, read)) : 0;
}

int Win32Platform::ProcessBits() {
    return static_cast<int>(sizeof(void*) * 8);
}

}  // namespace pruvolt::win32
