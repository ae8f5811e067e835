// The part of ADO's _Recordset interface (ADO 2.5 to 2.8) that the program calls: its vtable up
// to Open, in ADO's order. Declared here rather than taken from the SDK's adoint.h, which does not
// compile as standard C++ with every toolchain. Enumerations travel as LONG, as they do in ADO.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace pruvolt::win32 {

// {00000556-0000-0010-8000-00AA006D2EA4}
inline constexpr IID kIidAdoRecordset = {0x00000556, 0x0000, 0x0010,
                                         {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

// adOpenUnspecified, adLockUnspecified, adCmdUnspecified: "not passed".
inline constexpr LONG kAdoUnspecified = -1;

struct AdoRecordsetInterface : public IDispatch {
    // _ADO
    virtual HRESULT STDMETHODCALLTYPE get_Properties(IDispatch** properties) = 0;
    // Recordset15
    virtual HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* position) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG position) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* bof) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT* bookmark) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT bookmark) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CacheSize(LONG* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CacheSize(LONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CursorType(LONG* cursorType) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CursorType(LONG cursorType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* eof) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Fields(IDispatch** fields) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LockType(LONG* lockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LockType(LONG lockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MaxRecords(LONG* maxRecords) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MaxRecords(LONG maxRecords) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Source(IDispatch* command) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Source(BSTR source) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Source(VARIANT* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddNew(VARIANT fieldList, VARIANT values) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(LONG affectRecords) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRows(LONG rows, VARIANT start, VARIANT fields,
                                              VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(LONG numRecords, VARIANT start) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveNext() = 0;
    virtual HRESULT STDMETHODCALLTYPE MovePrevious() = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveFirst() = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveLast() = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(VARIANT source, VARIANT activeConnection,
                                           LONG cursorType, LONG lockType, LONG options) = 0;
};

}  // namespace pruvolt::win32
