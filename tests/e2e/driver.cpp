// The end-to-end test driver: a console program that runs beside the program under test (inside
// Wine for the end-to-end suite, on a Windows desktop for the Windows workflow) and observes it
// from outside, as a user's tools would: it starts it, finds its window, reads the child windows'
// classes, texts, visibility and positions, clicks buttons, reads and dismisses message boxes, and
// saves screenshots. It reads one command a line on standard input and answers one line on
// standard output.
#include <windows.h>
#include <wincrypt.h>

#include <sddl.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "Utf8.h"

namespace {

using e2e::ToUtf8;
using e2e::FromUtf8;

LARGE_INTEGER g_frequency;

double NowMs() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(g_frequency.QuadPart);
}

// A JSON string literal.
std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (const unsigned char c : ToUtf8(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof(buffer), "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT, as any tool reading another process's window does.
    wchar_t buffer[4096];
    const LRESULT length = ::SendMessageW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer, static_cast<std::size_t>(length));
}

std::wstring ClassName(HWND window) {
    wchar_t buffer[256];
    const int length = ::GetClassNameW(window, buffer, 256);
    return std::wstring(buffer, static_cast<std::size_t>(length));
}

struct Child {
    HWND window;
    HWND parent;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    reinterpret_cast<std::vector<Child>*>(param)->push_back({child, ::GetParent(child)});
    return TRUE;
}

std::vector<Child> Descendants(HWND top) {
    std::vector<Child> children;
    ::EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
    double startMs = 0;
};

Process g_process;

// The top-level window of the process under test with the given class ("" for any) and, when
// visibleOnly, only a visible one.
struct Search {
    DWORD processId;
    const wchar_t* windowClass;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != s->processId) return TRUE;
    if (s->visibleOnly && !::IsWindowVisible(window)) return TRUE;
    if (s->windowClass[0] != 0 && ClassName(window) != s->windowClass) return TRUE;
    s->found = window;
    return FALSE;
}

HWND FindTopWindow(const wchar_t* windowClass, bool visibleOnly) {
    Search search{g_process.id, windowClass, visibleOnly, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND MainWindow() {
    return FindTopWindow(L"PruvoltMain", false);
}

std::string RectJson(const RECT& r) {
    std::ostringstream out;
    out << "[" << r.left << "," << r.top << "," << r.right - r.left << "," << r.bottom - r.top << "]";
    return out.str();
}

// Everything a user could see of the window: its frame, its client area and every control.
std::string Describe(HWND window) {
    RECT outer;
    ::GetWindowRect(window, &outer);
    RECT client;
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    std::ostringstream out;
    out << "{\"caption\":" << Json(WindowText(window)) << ",\"visible\":"
        << (::IsWindowVisible(window) ? "true" : "false") << ",\"window\":" << RectJson(outer)
        << ",\"client\":[" << origin.x << "," << origin.y << "," << client.right << ","
        << client.bottom << "],\"screen\":[" << ::GetSystemMetrics(SM_CXSCREEN) << ","
        << ::GetSystemMetrics(SM_CYSCREEN) << "],\"focus\":";
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &gui);
    out << ::GetDlgCtrlID(gui.hwndFocus) << ",\"controls\":[";
    bool first = true;
    for (const Child& child : Descendants(window)) {
        RECT r;
        ::GetWindowRect(child.window, &r);
        // Relative to the client area of the control's own container.
        ::MapWindowPoints(HWND_DESKTOP, child.parent, reinterpret_cast<POINT*>(&r), 2);
        out << (first ? "" : ",") << "{\"class\":" << Json(ClassName(child.window))
            << ",\"id\":" << ::GetDlgCtrlID(child.window) << ",\"text\":"
            << Json(WindowText(child.window)) << ",\"visible\":"
            << (::IsWindowVisible(child.window) ? "true" : "false")
            << ",\"depth\":" << (child.parent == window ? 1 : (::GetParent(child.parent) == window ? 2 : 3))
            << ",\"rect\":" << RectJson(r) << "}";
        first = false;
    }
    out << "]}";
    return out.str();
}

// What the screen shows in a rectangle, as a 24-bit BMP file.
bool SaveScreenRect(const RECT& r, const std::wstring& path) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageSize;
    bool ok = false;
    if (FILE* file = _wfopen(path.c_str(), L"wb")) {
        std::fwrite(&header, sizeof(header), 1, file);
        std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, file);
        std::fwrite(bits, 1, imageSize, file);
        ok = std::fclose(file) == 0;
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

bool SaveScreenshot(HWND window, const std::wstring& path) {
    RECT r;
    ::GetWindowRect(window, &r);
    return SaveScreenRect(r, path);
}

// The text of a message box: its static control that carries the prompt.
std::wstring MessageBoxPrompt(HWND box) {
    std::wstring prompt;
    for (const Child& child : Descendants(box)) {
        if (ClassName(child.window) == L"Static" && ::GetDlgCtrlID(child.window) == 0xFFFF) {
            prompt = WindowText(child.window);
        }
    }
    return prompt;
}

// --- What a screen reader hears ---------------------------------------------------------------

// A live region's change that the program announced, as a screen reader receives it: from an
// out-of-context WinEvent hook, with the accessible object's name and role at that moment.
struct Announcement {
    double ms;  // the driver's clock
    DWORD process;
    std::wstring name;
    long role;
};

constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED

CRITICAL_SECTION g_announcementsLock;
std::vector<Announcement> g_announcements;
HANDLE g_listener = nullptr;

// The name and the role of an accessible object's item; 0 for a role not given.
void NameAndRole(IAccessible* object, VARIANT item, std::wstring& name, long& role) {
    BSTR text = nullptr;
    if (object->get_accName(item, &text) == S_OK && text != nullptr) {
        name.assign(text, ::SysStringLen(text));
    }
    ::SysFreeString(text);
    VARIANT value;
    ::VariantInit(&value);
    role = SUCCEEDED(object->get_accRole(item, &value)) && value.vt == VT_I4 ? value.lVal : 0;
    ::VariantClear(&value);
}

void CALLBACK OnLiveRegionChanged(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD,
                                  DWORD) {
    Announcement heard{NowMs(), 0, L"", 0};
    ::GetWindowThreadProcessId(window, &heard.process);
    IAccessible* accessible = nullptr;
    VARIANT item;
    ::VariantInit(&item);
    if (SUCCEEDED(::AccessibleObjectFromEvent(window, static_cast<DWORD>(object),
                                              static_cast<DWORD>(child), &accessible, &item)) &&
        accessible != nullptr) {
        NameAndRole(accessible, item, heard.name, heard.role);
        accessible->Release();
    }
    ::VariantClear(&item);
    ::EnterCriticalSection(&g_announcementsLock);
    g_announcements.push_back(heard);
    ::LeaveCriticalSection(&g_announcementsLock);
}

// The listening thread: the hook's events come to it as messages.
DWORD WINAPI Listen(void* ready) {
    (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HWINEVENTHOOK hook =
        ::SetWinEventHook(kLiveRegionChanged, kLiveRegionChanged, nullptr, OnLiveRegionChanged, 0, 0,
                          WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    ::SetEvent(static_cast<HANDLE>(ready));
    if (hook == nullptr) return 1;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}

// The label of the main window, as a screen reader's MSAA and UI Automation clients see it.
struct UiaElement : IUnknown {  // IUIAutomationElement, as far as it is used here
    virtual HRESULT STDMETHODCALLTYPE SetFocus() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirst(int, IUnknown*, UiaElement**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAll(int, IUnknown*, IUnknown**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirstBuildCache(int, IUnknown*, IUnknown*, UiaElement**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAllBuildCache(int, IUnknown*, IUnknown*, IUnknown**) = 0;
    virtual HRESULT STDMETHODCALLTYPE BuildUpdatedCache(IUnknown*, UiaElement**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValue(int, VARIANT*) = 0;
};
struct UiaClient : IUnknown {  // IUIAutomation, as far as it is used here
    virtual HRESULT STDMETHODCALLTYPE CompareElements(UiaElement*, UiaElement*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareRuntimeIds(SAFEARRAY*, SAFEARRAY*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRootElement(UiaElement**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromHandle(HWND, UiaElement**) = 0;
};
constexpr CLSID kUiaClientClass{0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
constexpr IID kUiaClientInterface{0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
constexpr int kUiaControlType = 30003, kUiaName = 30005, kUiaLiveSetting = 30135;

// A UI Automation property that is a number; -1 when it is not one.
long UiaNumber(UiaElement* element, int property) {
    VARIANT value;
    ::VariantInit(&value);
    long number = -1;
    if (SUCCEEDED(element->GetCurrentPropertyValue(property, &value)) && value.vt == VT_I4) {
        number = value.lVal;
    }
    ::VariantClear(&value);
    return number;
}

std::string AccessibleLabel(HWND label, bool uia) {
    (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::ostringstream out;
    IAccessible* accessible = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(label, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                            reinterpret_cast<void**>(&accessible))) ||
        accessible == nullptr) {
        return "error accessible";
    }
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    std::wstring name;
    long role = 0;
    NameAndRole(accessible, self, name, role);
    accessible->Release();
    out << "{\"name\":" << Json(name) << ",\"role\":" << role;
    if (uia) {
        // UI Automation's view: the control type, the name and the live setting (0 off, 1 polite).
        UiaClient* client = nullptr;
        UiaElement* element = nullptr;
        out << ",\"uia\":";
        if (SUCCEEDED(::CoCreateInstance(kUiaClientClass, nullptr, CLSCTX_INPROC_SERVER,
                                         kUiaClientInterface, reinterpret_cast<void**>(&client))) &&
            SUCCEEDED(client->ElementFromHandle(label, &element)) && element != nullptr) {
            out << "{\"controlType\":" << UiaNumber(element, kUiaControlType)
                << ",\"liveSetting\":" << UiaNumber(element, kUiaLiveSetting);
            VARIANT value;
            ::VariantInit(&value);
            std::wstring uiaName;
            if (SUCCEEDED(element->GetCurrentPropertyValue(kUiaName, &value)) && value.vt == VT_BSTR) {
                uiaName.assign(value.bstrVal, ::SysStringLen(value.bstrVal));
            }
            ::VariantClear(&value);
            out << ",\"name\":" << Json(uiaName) << "}";
            element->Release();
        } else {
            out << "null";
        }
        if (client != nullptr) client->Release();
    }
    out << "}";
    return "ok " + out.str();
}

// A root key by name, and the registry view it names: HKLM32 and HKLM64 are HKEY_LOCAL_MACHINE in
// the 32-bit and the 64-bit view, whatever the driver's own bitness; the others are in the
// driver's own view (the program's).
HKEY RootKey(const std::wstring& name, REGSAM& view) {
    view = 0;
    if (name == L"HKCU") return HKEY_CURRENT_USER;
    if (name == L"HKLM") return HKEY_LOCAL_MACHINE;
    if (name == L"HKCR") return HKEY_CLASSES_ROOT;
    view = name == L"HKLM32" ? KEY_WOW64_32KEY : name == L"HKLM64" ? KEY_WOW64_64KEY : 0;
    return view != 0 ? HKEY_LOCAL_MACHINE : nullptr;
}

// reg<TAB>set|delete|deletekey|query<TAB>ROOT\key<TAB>name<TAB>type<TAB>data: the prefix's
// registry, written and read in this process (one process start instead of one reg.exe for each
// value: on an emulated machine each start costs seconds). An empty name is the key's default
// value. Data travels as UTF-8 with no tabs or line breaks; REG_MULTI_SZ holds one string, REG_DWORD
// a decimal number.
// ROOT is one of RootKey's names.
std::string Registry(const std::string& line) {
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(FromUtf8(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (fields.size() < 3) return "error fields";
    const std::wstring& op = fields[1];
    const std::wstring& path = fields[2];
    const std::size_t slash = path.find(L'\\');
    REGSAM view = 0;
    const HKEY root = RootKey(path.substr(0, slash), view);
    const std::wstring subkey = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
    if (root == nullptr) return "error root";
    const std::wstring name = fields.size() > 3 ? fields[3] : L"";
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    if (op == L"deletekey") {
        // What is below the key, then the key itself, both in the view named.
        HKEY key = nullptr;
        LSTATUS status = ::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key);
        if (status == ERROR_SUCCESS) {
            status = ::RegDeleteTreeW(key, nullptr);
            ::RegCloseKey(key);
            if (status == ERROR_SUCCESS) status = ::RegDeleteKeyExW(root, subkey.c_str(), view, 0);
        }
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? "ok" : "error " + std::to_string(status);
    }
    if (op == L"delete") {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS) return "ok";
        ::RegDeleteValueW(key, valueName);
        ::RegCloseKey(key);
        return "ok";
    }
    if (op == L"query") {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return "none";
        wchar_t data[4096];
        DWORD size = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        const LSTATUS status = ::RegQueryValueExW(key, valueName, nullptr, &type,
                                                  reinterpret_cast<BYTE*>(data), &size);
        ::RegCloseKey(key);
        if (status != ERROR_SUCCESS) return "none";
        if (type == REG_DWORD) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof(number));
            return "ok " + std::to_string(number);
        }
        data[size / sizeof(wchar_t)] = 0;
        return "ok " + ToUtf8(data);
    }
    if (op == L"set" && fields.size() == 6) {
        const std::wstring& kind = fields[4];
        const DWORD type = kind == L"REG_EXPAND_SZ" ? REG_EXPAND_SZ
                         : kind == L"REG_MULTI_SZ"  ? REG_MULTI_SZ
                                                    : REG_SZ;
        std::wstring data = fields[5];
        data.push_back(L'\0');
        if (type == REG_MULTI_SZ) data.push_back(L'\0');
        const DWORD number = static_cast<DWORD>(std::wcstoul(fields[5].c_str(), nullptr, 10));
        HKEY key = nullptr;
        if (::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                              nullptr) != ERROR_SUCCESS) {
            return "error create";
        }
        const LSTATUS status =
            kind == L"REG_DWORD"
                ? ::RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                   sizeof(number))
                : ::RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
        ::RegCloseKey(key);
        return status == ERROR_SUCCESS ? "ok" : "error " + std::to_string(status);
    }
    return "error unknown registry operation";
}

struct PipeReader {
    HANDLE pipe;
    HANDLE process;
    std::string bytes;
};

// A line on standard error, which the harness shows when a command gets no answer.
void Trace(const std::string& line) {
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

// Reads the program's output until the program has ended and all that it wrote is read. Not until
// the pipe's end: a service that Wine starts on the program's behalf may inherit the writing end
// and keep it open long after.
DWORD WINAPI ReadPipe(void* param) {
    auto* reader = static_cast<PipeReader*>(param);
    char buffer[4096];
    for (;;) {
        // Ended first, then looked at: whatever it wrote before its end is in the pipe by then.
        const bool ended = ::WaitForSingleObject(reader->process, 0) == WAIT_OBJECT_0;
        DWORD available = 0;
        if (!::PeekNamedPipe(reader->pipe, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available == 0) {
            if (ended) break;
            // Until it ends or, every few milliseconds, to look at the pipe again.
            ::WaitForSingleObject(reader->process, 2);
            continue;
        }
        DWORD read = 0;
        if (!::ReadFile(reader->pipe, buffer, sizeof(buffer), &read, nullptr) || read == 0) break;
        reader->bytes.append(buffer, read);
    }
    return 0;
}

// Adds the class of a top-level window of the process under test to a list of "|class|" names.
BOOL CALLBACK CollectClass(HWND window, LPARAM param) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    auto* classes = reinterpret_cast<std::wstring*>(param);
    const std::wstring entry = L"|" + ClassName(window) + L"|";
    if (owner == g_process.id && classes->find(entry) == std::wstring::npos) *classes += entry;
    return TRUE;
}

// Runs a program with its standard output and error on a pipe, to its end or the time-out.
std::string RunToEnd(std::wstring commandLine, int timeoutMs) {
    PipeReader reader{nullptr, nullptr, {}};
    HANDLE writeEnd = nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    if (!::CreatePipe(&reader.pipe, &writeEnd, &inherit, 0)) return "error pipe";
    ::SetHandleInformation(reader.pipe, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info{};
    g_process.startMs = NowMs();
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &startup, &info);
    const DWORD startError = ::GetLastError();
    ::CloseHandle(writeEnd);  // the program holds the only writing end now
    if (!started) {
        ::CloseHandle(reader.pipe);
        return "error " + std::to_string(startError);
    }
    ::CloseHandle(info.hThread);
    if (g_process.handle != nullptr) ::CloseHandle(g_process.handle);
    g_process.handle = info.hProcess;
    g_process.id = info.dwProcessId;
    reader.process = info.hProcess;
    Trace("runpipe: started process " + std::to_string(info.dwProcessId));
    const HANDLE thread = ::CreateThread(nullptr, 0, ReadPipe, &reader, 0, nullptr);

    const double deadline = NowMs() + timeoutMs;
    // The classes of the process's top-level windows, shown or not, as they came and went.
    std::wstring classes;
    while (::WaitForSingleObject(info.hProcess, 5) == WAIT_TIMEOUT) {
        ::EnumWindows(CollectClass, reinterpret_cast<LPARAM>(&classes));
        if (NowMs() > deadline) {
            ::TerminateProcess(info.hProcess, 99);
            ::WaitForSingleObject(thread, INFINITE);
            return "timeout";
        }
    }
    DWORD code = 0;
    ::GetExitCodeProcess(info.hProcess, &code);
    Trace("runpipe: the process ended with " + std::to_string(code) + "; reading what it wrote");
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    ::CloseHandle(reader.pipe);
    return "ok " + std::to_string(code) + " " + Json(classes) + " " + Json(FromUtf8(reader.bytes));
}

std::string Answer(const std::string& line) {
    if (line.rfind("reg\t", 0) == 0) return Registry(line);
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);

    if (command == "start") {
        // start <command line>: starts the program under test and remembers it.
        std::wstring commandLine = FromUtf8(rest);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        g_process.startMs = NowMs();
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info)) {
            return "error " + std::to_string(::GetLastError());
        }
        ::CloseHandle(info.hThread);
        if (g_process.handle != nullptr) ::CloseHandle(g_process.handle);
        g_process.handle = info.hProcess;
        g_process.id = info.dwProcessId;
        return "ok " + std::to_string(info.dwProcessId);
    }
    if (command == "wait") {
        // wait <what> <timeout ms> [text]: polls until the state is reached; answers the
        // milliseconds since start.
        std::istringstream args(rest);
        std::string what;
        int timeout = 0;
        args >> what >> timeout;
        std::string text;
        std::getline(args, text);
        if (!text.empty() && text[0] == ' ') text.erase(0, 1);
        // Line breaks travel escaped as \r and \n: the protocol is one line a command.
        std::string unescaped;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'r' || text[i + 1] == 'n')) {
                unescaped += text[i + 1] == 'r' ? '\r' : '\n';
                ++i;
            } else {
                unescaped += text[i];
            }
        }
        const std::wstring wanted = FromUtf8(unescaped);
        const double deadline = NowMs() + timeout;
        bool sawWindow = false;  // for "exit": whether the process ever showed a window
        int moves = 0;           // for "ticks": moves of the strip's highlight seen so far
        LONG lastLeft = 0;
        bool seenLeft = false;
        while (true) {
            const HWND window = MainWindow();
            bool reached = false;
            if (what == "focus") {
                // focus: the control with this id has the keyboard focus.
                GUITHREADINFO gui{};
                gui.cbSize = sizeof(gui);
                reached = window != nullptr &&
                          ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &gui) &&
                          gui.hwndFocus != nullptr && ::GetDlgCtrlID(gui.hwndFocus) == std::atoi(unescaped.c_str());
            } else if (what == "ticks") {
                // ticks: the strip's highlight (the picture inside the picture inside the window)
                // has moved this many times since the wait began; each tick moves it and then
                // processes pending events, so the window has painted what the tick before did.
                if (window != nullptr) {
                    for (const Child& child : Descendants(window)) {
                        const HWND parent = child.parent;
                        if (parent != window && ::GetParent(parent) != window) {
                            RECT r;
                            ::GetWindowRect(child.window, &r);
                            if (seenLeft && r.left != lastLeft) ++moves;
                            lastLeft = r.left;
                            seenLeft = true;
                        }
                    }
                }
                reached = moves >= std::atoi(unescaped.c_str());
            } else if (what == "offscreen") {
                // offscreen: the window stands left of the screen.
                RECT r;
                reached = window != nullptr && ::GetWindowRect(window, &r) && r.right <= 0;
            } else if (what == "shown") {
                reached = window != nullptr && ::IsWindowVisible(window);
            } else if (what == "label") {
                // label: the status label's text contains `text`.
                if (window != nullptr) {
                    for (const Child& child : Descendants(window)) {
                        if (ClassName(child.window) == L"PruvoltLabel" &&
                            WindowText(child.window).find(wanted) != std::wstring::npos) {
                            reached = true;
                        }
                    }
                }
            } else if (what == "labelchange") {
                // labelchange: the label's text is no longer `text`.
                if (window != nullptr) {
                    for (const Child& child : Descendants(window)) {
                        if (ClassName(child.window) == L"PruvoltLabel" && !WindowText(child.window).empty() &&
                            WindowText(child.window) != wanted) {
                            reached = true;
                        }
                    }
                }
            } else if (what == "held") {
                // held <path>: the file is there, written to its end, and another process holds
                // it so that nobody may write it: opening it for writing is a sharing violation,
                // while an open that lets others only read succeeds, so no handle that writes it
                // (the copy's own, still open) is left.
                const HANDLE writer = ::CreateFileW(wanted.c_str(), GENERIC_WRITE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                    nullptr, OPEN_EXISTING, 0, nullptr);
                const bool noWriting =
                    writer == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION;
                if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
                const HANDLE reader = noWriting ? ::CreateFileW(wanted.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                                nullptr, OPEN_EXISTING, 0, nullptr)
                                                : INVALID_HANDLE_VALUE;
                reached = reader != INVALID_HANDLE_VALUE;
                if (reader != INVALID_HANDLE_VALUE) ::CloseHandle(reader);
            } else if (what == "announced") {
                // announced <n>: the listener has heard n live regions' changes of the program.
                std::size_t heard = 0;
                ::EnterCriticalSection(&g_announcementsLock);
                for (const Announcement& announcement : g_announcements) {
                    if (announcement.process == g_process.id) ++heard;
                }
                ::LeaveCriticalSection(&g_announcementsLock);
                reached = heard >= static_cast<std::size_t>(std::atoi(unescaped.c_str()));
            } else if (what == "msgbox") {
                reached = FindTopWindow(L"#32770", true) != nullptr;
            } else if (what == "exit") {
                sawWindow = sawWindow || FindTopWindow(L"", true) != nullptr;
                reached = ::WaitForSingleObject(g_process.handle, 0) == WAIT_OBJECT_0;
            } else {
                return "error unknown wait";
            }
            if (reached) {
                std::ostringstream out;
                out << "ok " << static_cast<long long>(NowMs() - g_process.startMs);
                if (what == "exit") {
                    DWORD code = 0;
                    ::GetExitCodeProcess(g_process.handle, &code);
                    out << " " << code << (sawWindow ? " window" : " nowindow");
                }
                return out.str();
            }
            if (NowMs() > deadline) return "timeout";
            ::Sleep(5);
        }
    }
    if (command == "describe") {
        const HWND window = MainWindow();
        return window == nullptr ? "none" : "ok " + Describe(window);
    }
    if (command == "click") {
        // click <control id>: a mouse click's effect, posted so that a handler that blocks (a
        // message box) does not block the driver.
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        const HWND button = ::GetDlgItem(window, std::atoi(rest.c_str()));
        if (button == nullptr) return "none";
        ::PostMessageW(button, BM_CLICK, 0, 0);
        return "ok";
    }
    if (command == "post") {
        // post <message> <wParam> <lParam>: a message posted to the main window, as any program of
        // the session can post one.
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        unsigned long message = 0, wParam = 0, lParam = 0;
        std::istringstream(rest) >> message >> wParam >> lParam;
        return ::PostMessageW(window, static_cast<UINT>(message), wParam, static_cast<LPARAM>(lParam))
                   ? "ok"
                   : "error " + std::to_string(::GetLastError());
    }
    if (command == "key" || command == "tickkey") {
        // key <virtual key>: a key press and release sent to the focused control of the window's
        // thread (a message box's button while one is open).
        // tickkey <virtual key>: the same, right behind a tick of the animation timer (id 1), so
        // that the key is still queued when the tick's own processing of events runs.
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &gui);
        const HWND target = gui.hwndFocus != nullptr ? gui.hwndFocus : window;
        const WPARAM key = static_cast<WPARAM>(std::atoi(rest.c_str()));
        if (command == "tickkey") ::PostMessageW(window, WM_TIMER, 1, 0);
        ::PostMessageW(target, WM_KEYDOWN, key, 1);
        if (key == VK_SPACE) ::PostMessageW(target, WM_CHAR, L' ', 1);
        ::PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        return "ok";
    }
    if (command == "msgbox") {
        // msgbox: the open message box's title and prompt, as JSON.
        const HWND box = FindTopWindow(L"#32770", true);
        if (box == nullptr) return "none";
        return "ok {\"title\":" + Json(WindowText(box)) + ",\"prompt\":" + Json(MessageBoxPrompt(box)) + "}";
    }
    if (command == "dismiss") {
        const HWND box = FindTopWindow(L"#32770", true);
        if (box == nullptr) return "none";
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return "ok";
    }
    if (command == "screenshot") {
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        return SaveScreenshot(window, FromUtf8(rest)) ? "ok" : "error";
    }
    if (command == "desktop") {
        // desktop <path>: the whole screen, whatever covers the window.
        const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
        return SaveScreenRect(screen, FromUtf8(rest)) ? "ok" : "error";
    }
    if (command == "topmost") {
        // topmost: puts the window above every other one that is not topmost itself (a console on
        // a shared desktop, say), without activating it, so that a screenshot shows it.
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        return ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                              SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)
                   ? "ok"
                   : "error " + std::to_string(::GetLastError());
    }
    if (command == "moveto") {
        // moveto <x> <y>: brings the window to a place on the screen, for a screenshot.
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        int x = 0, y = 0;
        std::istringstream(rest) >> x >> y;
        ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return "ok";
    }
    if (command == "close") {
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return "ok";
    }
    if (command == "memory") {
        // memory: the process's peak working set and peak private bytes, in bytes.
        using GetProcessMemoryInfoFunction = BOOL(WINAPI*)(HANDLE, void*, DWORD);
        struct Counters {
            DWORD cb;
            DWORD pageFaultCount;
            SIZE_T peakWorkingSetSize, workingSetSize, quotaPeakPagedPoolUsage, quotaPagedPoolUsage,
                quotaPeakNonPagedPoolUsage, quotaNonPagedPoolUsage, pagefileUsage, peakPagefileUsage;
        } counters{};
        counters.cb = sizeof(counters);
        const HMODULE psapi = ::LoadLibraryW(L"psapi.dll");
        const auto get = reinterpret_cast<GetProcessMemoryInfoFunction>(
            reinterpret_cast<void*>(::GetProcAddress(psapi, "GetProcessMemoryInfo")));
        if (get == nullptr || !get(g_process.handle, &counters, sizeof(counters))) return "error";
        return "ok " + std::to_string(counters.peakWorkingSetSize) + " " +
               std::to_string(counters.peakPagefileUsage);
    }
    if (command == "folder") {
        // folder private|open <path>: makes a folder with a file in it, as /repair makes its own
        // (only SYSTEM, the Administrators and this account, nothing inherited), or open to
        // everyone; the file stands for the installer's copy.
        std::istringstream args(rest);
        std::string kind, path;
        args >> kind;
        std::getline(args, path);
        if (!path.empty() && path[0] == ' ') path.erase(0, 1);
        std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
        if (kind == "open") {
            sddl += L"(A;OICI;FA;;;WD)";
        } else {
            HANDLE token = nullptr;
            ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
            char buffer[256];
            DWORD size = 0;
            wchar_t* sid = nullptr;
            if (token == nullptr || !::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) ||
                !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
                return "error token";
            }
            sddl += std::wstring(L"(A;OICI;FA;;;") + sid + L")";
            ::LocalFree(sid);
            ::CloseHandle(token);
        }
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                    &descriptor, nullptr)) {
            return "error sddl";
        }
        SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
        const std::wstring folder = FromUtf8(path);
        const bool made = ::CreateDirectoryW(folder.c_str(), &attributes) != 0;
        ::LocalFree(descriptor);
        if (!made) return "error " + std::to_string(::GetLastError());
        const HANDLE file = ::CreateFileW((folder + L"\\ade.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "error " + std::to_string(::GetLastError());
        ::CloseHandle(file);
        return "ok";
    }
    if (command == "temppath") {
        // temppath: the folder GetTempPathW names for this driver, whose environment the program
        // under test inherits.
        wchar_t path[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, path);
        return length == 0 ? "error" : "ok " + ToUtf8(std::wstring(path, length));
    }
    if (command == "runpipe") {
        // runpipe <timeout ms> <command line>: runs a program with its standard output and error
        // on a pipe, waits for its end, and answers its exit code, the classes of the top-level
        // windows it had, and what it wrote (both as JSON strings).
        std::istringstream args(rest);
        int timeout = 0;
        args >> timeout;
        std::string commandText;
        std::getline(args, commandText);
        if (!commandText.empty() && commandText[0] == ' ') commandText.erase(0, 1);
        return RunToEnd(FromUtf8(commandText), timeout);
    }
    if (command == "trustroot") {
        // trustroot <file>: adds the certificate in the file (DER) to the local machine's Root
        // store, as an administrator trusts a root on a PC.
        FILE* file = _wfopen(FromUtf8(rest).c_str(), L"rb");
        if (file == nullptr) return "error open";
        std::vector<BYTE> der;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) der.push_back(static_cast<BYTE>(c));
        std::fclose(file);
        const HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                                 CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
        if (store == nullptr) return "error store " + std::to_string(::GetLastError());
        const BOOL added = ::CertAddEncodedCertificateToStore(
            store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
            CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
        const DWORD error = ::GetLastError();
        ::CertCloseStore(store, 0);
        return added ? "ok" : "error add " + std::to_string(error);
    }
    if (command == "event") {
        // event <name>: creates an event of that name and holds it while the driver runs, as any
        // program of any account may.
        const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, FromUtf8(rest).c_str());
        return event == nullptr ? "error " + std::to_string(::GetLastError()) : "ok";
    }
    if (command == "listen") {
        // listen: from now on, every live region's change that any program announces is heard
        // (an out-of-context WinEvent hook, as a screen reader sets one).
        if (g_listener == nullptr) {
            const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
            g_listener = ::CreateThread(nullptr, 0, Listen, ready, 0, nullptr);
            if (g_listener == nullptr) return "error thread";
            ::WaitForSingleObject(ready, INFINITE);
            ::CloseHandle(ready);
            if (::WaitForSingleObject(g_listener, 0) == WAIT_OBJECT_0) return "error hook";
        }
        return "ok";
    }
    if (command == "announcements") {
        // announcements: what the program under test announced since it started, as JSON:
        // [milliseconds since start, accessible name, role] each.
        std::ostringstream out;
        out << "ok [";
        bool first = true;
        ::EnterCriticalSection(&g_announcementsLock);
        for (const Announcement& heard : g_announcements) {
            if (heard.process != g_process.id) continue;
            out << (first ? "" : ",") << "[" << static_cast<long long>(heard.ms - g_process.startMs) << ","
                << Json(heard.name) << "," << heard.role << "]";
            first = false;
        }
        ::LeaveCriticalSection(&g_announcementsLock);
        return out.str() + "]";
    }
    if (command == "accessible" || command == "uia") {
        // accessible: the label's accessible name and role (MSAA); uia: UI Automation's view too.
        const HWND window = MainWindow();
        if (window == nullptr) return "none";
        for (const Child& child : Descendants(window)) {
            if (ClassName(child.window) == L"PruvoltLabel") return AccessibleLabel(child.window, command == "uia");
        }
        return "none";
    }
    if (command == "kill") {
        if (g_process.handle != nullptr) ::TerminateProcess(g_process.handle, 99);
        return "ok";
    }
    return "error unknown command";
}

}  // namespace

int main() {
    // Aware of each monitor's density, as the program is: the windows' places and the screenshots
    // are then in the screen's own pixels, not scaled for a program that knows no density.
    using SetContextFunction = BOOL(WINAPI*)(HANDLE);
    const auto setContext = reinterpret_cast<SetContextFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, which older SDK headers lack.
    if (setContext == nullptr || !setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) {
        ::SetProcessDPIAware();
    }
    ::QueryPerformanceFrequency(&g_frequency);
    ::InitializeCriticalSection(&g_announcementsLock);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    char buffer[8192];
    while (std::fgets(buffer, sizeof(buffer), stdin) != nullptr) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.empty()) continue;
        if (line == "quit") break;
        const std::string answer = Answer(line);
        std::fputs((answer + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    return 0;
}
