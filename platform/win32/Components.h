// The COM components the program drives: the ADO recordset and the scripting file-system object.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace pruvolt::win32 {

// CreateObject(progId) for an ADO recordset, used through its _Recordset interface.
std::unique_ptr<AdoRecordset> CreateAdoRecordset(const std::wstring& progId);

// CreateObject("Scripting.FileSystemObject"), used through IDispatch.
std::unique_ptr<FileSystemObject> CreateScriptingFileSystemObject();

}  // namespace pruvolt::win32
