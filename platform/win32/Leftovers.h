// What /repair's own folders leave behind: removed now, or at the next restart where a file is
// still in use.
#pragma once

#include <string>

namespace pruvolt::win32 {

// Removes the files and folders in the folder, then the folder; a link to elsewhere (a reparse
// point) is removed as a link, never followed. What cannot be removed now (a program that still
// runs from it) is scheduled for removal at the next restart. Raises nothing.
void RemoveFolderOrScheduleRemoval(const std::wstring& folder);

// Removes, as RemoveFolderOrScheduleRemoval does, every folder in `base` that an earlier run of
// this program under this account made for itself: the program's name for such a folder, not a
// link, owned by this account, and a DACL that lets in nobody but SYSTEM, the Administrators and
// this account. Anything else there is left alone. Raises nothing.
void RemoveLeftoverPrivateFolders(const std::wstring& base);

}  // namespace pruvolt::win32
