// The ADO recordset and the scripting file-system object, reached through COM.
#include "platform/win32/Win32Platform.h"

#include <oleauto.h>

#include "platform/ErrorNumbers.h"
#include "platform/win32/AdoInterface.h"
#include "platform/win32/Errors.h"
#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

namespace {

// Creates the object registered under progId, asking for iid. Raises what COM reports.
void CreateObject(const wchar_t* progId, const IID& iid, void** object) {
    ::SetErrorInfo(0, nullptr);
    CLSID clsid;
    ThrowIfFailed(::CLSIDFromProgID(progId, &clsid));
    ::SetErrorInfo(0, nullptr);
    ThrowIfFailed(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                     iid, object));
}

// A VARIANT holding a copy of a string, cleared when it goes.
class StringVariant {
public:
    explicit StringVariant(const std::wstring& text) {
        ::VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    StringVariant(const StringVariant&) = delete;
    StringVariant& operator=(const StringVariant&) = delete;
    ~StringVariant() { ::VariantClear(&value_); }
    const VARIANT& Get() const { return value_; }

private:
    VARIANT value_;
};

class Recordset final : public AdoRecordset {
public:
    explicit Recordset(ComPtr<AdoRecordsetInterface> recordset) : recordset_(std::move(recordset)) {}

    void Open(const std::wstring& source, const std::wstring& activeConnection) override {
        const StringVariant sourceArg(source);
        const StringVariant connectionArg(activeConnection);
        ::SetErrorInfo(0, nullptr);
        // The three optional arguments at the values that stand for "not passed".
        ThrowIfFailed(recordset_->Open(sourceArg.Get(), connectionArg.Get(), kAdoUnspecified,
                                       kAdoUnspecified, kAdoUnspecified));
    }

private:
    ComPtr<AdoRecordsetInterface> recordset_;
};

class ScriptingFileSystem final : public FileSystemObject {
public:
    explicit ScriptingFileSystem(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

    bool FileExists(const std::wstring& path) override {
        wchar_t name[] = L"FileExists";
        LPOLESTR names[] = {name};
        DISPID dispid = 0;
        ::SetErrorInfo(0, nullptr);
        ThrowIfFailed(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid));

        StringVariant pathArg(path);
        VARIANT args[] = {pathArg.Get()};
        DISPPARAMS params{args, nullptr, 1, 0};
        VARIANT result;
        ::VariantInit(&result);
        EXCEPINFO exception{};
        ::SetErrorInfo(0, nullptr);
        const HRESULT hr = dispatch_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                             &params, &result, &exception, nullptr);
        if (hr == DISP_E_EXCEPTION) {
            Bstr source;
            *source.Put() = exception.bstrSource;
            Bstr help;
            *help.Put() = exception.bstrHelpFile;
            Bstr description;
            *description.Put() = exception.bstrDescription;
            const HRESULT code = exception.scode != 0 ? exception.scode
                                                      : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL,
                                                                     exception.wCode);
            throw PlatformError{ErrorNumberFromHresult(code),
                                description.Get() != nullptr ? description.Get() : L""};
        }
        ThrowIfFailed(hr);
        // Only True counts as present.
        const bool exists = result.vt == VT_BOOL && result.boolVal == VARIANT_TRUE;
        ::VariantClear(&result);
        return exists;
    }

private:
    ComPtr<IDispatch> dispatch_;
};

}  // namespace

// Used through the _Recordset vtable of ADO 2.5 to 2.8, which every ADO since answers: Wine's ADO
// cannot look the recordset's names up through IDispatch (its type library is registered under
// another version), and Windows' ADO answers the vtable as well.
std::unique_ptr<AdoRecordset> Win32Platform::CreateRecordset(const std::wstring& progId) {
    ComPtr<AdoRecordsetInterface> recordset;
    CreateObject(progId.c_str(), kIidAdoRecordset, recordset.PutVoid());
    return std::make_unique<Recordset>(std::move(recordset));
}

// Used through IDispatch.
std::unique_ptr<FileSystemObject> Win32Platform::CreateFileSystemObject() {
    ComPtr<IDispatch> dispatch;
    CreateObject(L"Scripting.FileSystemObject", IID_IDispatch, dispatch.PutVoid());
    return std::make_unique<ScriptingFileSystem>(std::move(dispatch));
}

}  // namespace pruvolt::win32
