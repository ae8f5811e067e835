// A test double for ADO's recordset: an in-process COM server that the end-to-end suite registers
// in its Wine prefix as the class behind the ProgID "adodb.recordset", so that the real program's
// probe meets it at the COM boundary. It is never installed.
//
// Two environment variables, which the test sets for the program's process, steer it:
//   PRUVOLT_ADO_DOUBLE_LOG   the file it appends a line to for every event, UTF-8:
//       create<TAB>call=1<TAB>windows=2.6.1
//       open<TAB>call=1<TAB>source.vt=8<TAB>source=...<TAB>connection.vt=8<TAB>connection=...
//           <TAB>cursorType=-1<TAB>lockType=-1<TAB>options=-1
//     "windows" is GetVersionExA's answer in the program's process, in the program's own format.
//   PRUVOLT_ADO_DOUBLE_FAIL  "<stage> <HRESULT in hex> [description]", stage "create" (the class
//     factory refuses the object) or "open" (Open fails). With a description the failure carries
//     it as the thread's COM error info, without one it carries none. Unset: Open succeeds.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <cwchar>
#include <string>

#include "../Utf8.h"

#include "platform/win32/AdoInterface.h"

namespace {

using e2e::ToUtf8;

using pruvolt::win32::AdoRecordsetInterface;
using pruvolt::win32::kIidAdoRecordset;

// {5C943FD8-026F-43E1-BC7A-FA575E92CAB8}: the double's own class; the suite registers it.
constexpr CLSID kClsidAdoDouble = {0x5c943fd8, 0x026f, 0x43e1,
                                   {0xbc, 0x7a, 0xfa, 0x57, 0x5e, 0x92, 0xca, 0xb8}};

std::atomic<long> g_objects{0};
std::atomic<long> g_creates{0};
std::atomic<long> g_opens{0};

std::wstring Environment(const wchar_t* name) {
    wchar_t value[2048];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 2048);
    return length > 0 && length < 2048 ? std::wstring(value, length) : std::wstring();
}

void Log(const std::wstring& line) {
    const std::wstring path = Environment(L"PRUVOLT_ADO_DOUBLE_LOG");
    if (path.empty()) return;
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string bytes = ToUtf8(line + L"\n");
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

// When the test names a file in PRUVOLT_ADO_DOUBLE_WAIT, Open answers only once that file exists:
// the probe blocks the program's thread as long as the test likes. The double looks again at each
// change of names in the file's folder; a file that never comes ends the wait after two minutes,
// so that a failed test cannot hang the program.
void WaitForRelease() {
    const std::wstring path = Environment(L"PRUVOLT_ADO_DOUBLE_WAIT");
    if (path.empty()) return;
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    const HANDLE changes = ::FindFirstChangeNotificationW(folder.c_str(), FALSE,
                                                          FILE_NOTIFY_CHANGE_FILE_NAME);
    if (changes == INVALID_HANDLE_VALUE) return;
    const ULONGLONG deadline = ::GetTickCount64() + 120000;
    for (ULONGLONG now = ::GetTickCount64();
         ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && now < deadline;
         now = ::GetTickCount64()) {
        if (::WaitForSingleObject(changes, static_cast<DWORD>(deadline - now)) != WAIT_OBJECT_0 ||
            !::FindNextChangeNotification(changes)) {
            break;
        }
    }
    ::FindCloseChangeNotification(changes);
}

// The variant's type and its value as text, as VariantChangeType makes it.
std::wstring Describe(const wchar_t* name, const VARIANT& value) {
    std::wstring text = std::wstring(L"\t") + name + L".vt=" + std::to_wstring(value.vt) + L"\t" +
                        name + L"=";
    VARIANT copy;
    ::VariantInit(&copy);
    if (SUCCEEDED(::VariantChangeType(&copy, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        text.append(copy.bstrVal, ::SysStringLen(copy.bstrVal));
    }
    ::VariantClear(&copy);
    return text;
}

// The failure the test asked for at this stage, if any: its HRESULT, with the error info set.
HRESULT Outcome(const wchar_t* stage) {
    ::SetErrorInfo(0, nullptr);
    const std::wstring failure = Environment(L"PRUVOLT_ADO_DOUBLE_FAIL");
    const std::size_t stageEnd = failure.find(L' ');
    if (failure.substr(0, stageEnd) != stage || stageEnd == std::wstring::npos) return S_OK;
    const std::size_t codeEnd = failure.find(L' ', stageEnd + 1);
    const HRESULT hr = static_cast<HRESULT>(
        std::wcstoul(failure.substr(stageEnd + 1, codeEnd - stageEnd - 1).c_str(), nullptr, 16));
    if (codeEnd != std::wstring::npos) {
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(::CreateErrorInfo(&create))) {
            create->SetDescription(const_cast<LPOLESTR>(failure.c_str() + codeEnd + 1));
            create->SetGUID(kIidAdoRecordset);
            IErrorInfo* info = nullptr;
            if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
                ::SetErrorInfo(0, info);
                info->Release();
            }
            create->Release();
        }
    }
    return hr;
}

class Recordset final : public AdoRecordsetInterface, public ISupportErrorInfo {
public:
    Recordset() { ++g_objects; }
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    ~Recordset() { --g_objects; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, kIidAdoRecordset)) {
            *object = static_cast<AdoRecordsetInterface*>(this);
        } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsEqualIID(iid, kIidAdoRecordset) ? S_OK : S_FALSE;
    }

    // IDispatch: no type information, no late binding.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE Open(VARIANT source, VARIANT activeConnection, LONG cursorType,
                                   LONG lockType, LONG options) override {
        Log(L"open\tcall=" + std::to_wstring(++g_opens) + Describe(L"source", source) +
            Describe(L"connection", activeConnection) +
            L"\tcursorType=" + std::to_wstring(cursorType) + L"\tlockType=" +
            std::to_wstring(lockType) + L"\toptions=" + std::to_wstring(options));
        WaitForRelease();
        return Outcome(L"open");
    }

    // The rest of the vtable: the program never calls it.
    HRESULT STDMETHODCALLTYPE get_Properties(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CacheSize(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_CacheSize(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CursorType(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_CursorType(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Fields(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LockType(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_LockType(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MaxRecords(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MaxRecords(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RecordCount(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_Source(IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Source(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Source(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddNew(VARIANT, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelUpdate() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRows(LONG, VARIANT, VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Move(LONG, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveNext() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MovePrevious() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveFirst() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveLast() override { return E_NOTIMPL; }

private:
    std::atomic<ULONG> references_{1};
};

// The version text the program builds from GetVersionExA: "<platform id>.<major>.<minor>".
std::wstring WindowsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExA(&info)) return L"0.0.0";
    return std::to_wstring(info.dwPlatformId) + L"." + std::to_wstring(info.dwMajorVersion) + L"." +
           std::to_wstring(info.dwMinorVersion);
}

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // Static: it lives as long as the module.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        Log(L"create\tcall=" + std::to_wstring(++g_creates) + L"\twindows=" + WindowsVersion());
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        const HRESULT refused = Outcome(L"create");
        if (FAILED(refused)) return refused;
        Recordset* recordset = new Recordset;
        const HRESULT hr = recordset->QueryInterface(iid, object);
        recordset->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++g_objects : --g_objects;
        return S_OK;
    }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!IsEqualCLSID(clsid, kClsidAdoDouble)) {
        if (object != nullptr) *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_objects == 0 ? S_OK : S_FALSE;
}
