// Folder names as the program uses them, made from what the system hands back. Windows paths are
// plain strings here ("\" separates), whatever the build's own file system uses.
#pragma once

#include <string>

namespace pruvolt {

namespace detail {
inline bool IsDriveRoot(const std::wstring& folder) {
    return folder.size() == 3 && folder[1] == L':' && folder[2] == L'\\';
}
}  // namespace detail

// The folder of a file's full path: what comes before its last "\". A drive root keeps its "\"
// ("C:\"), so that the folder ends in "\" only there.
inline std::wstring FolderOfPath(const std::wstring& path) {
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    if (folder.size() == 2 && folder[1] == L':') {
        folder += L'\\';
    }
    return folder;
}

// A folder as GetTempPathW names it (always ending in "\"), without that last "\", except at a
// drive root: the paths made from it bring their own separator.
inline std::wstring WithoutTrailingSeparator(std::wstring folder) {
    if (folder.size() > 1 && folder.back() == L'\\' && !detail::IsDriveRoot(folder)) {
        folder.pop_back();
    }
    return folder;
}

}  // namespace pruvolt
