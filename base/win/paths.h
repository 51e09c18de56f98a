#pragma once
// Path helpers for the file system calls.
#include <filesystem>
#include <string>

namespace mirabo::win {

// The form of an absolute path that the wide file functions accept beyond
// MAX_PATH characters; relative paths are returned unchanged.
std::wstring ExtendedPath(const std::wstring& path);

// Whether path names an existing folder, or an existing file that is not one.
bool IsFolder(const std::wstring& path);
bool IsExistingFile(const std::wstring& path);

// The full path of the running executable, whatever its length.
std::wstring ExecutablePath();

// The folder part of a path up to and including its last "\" (empty when
// there is none).
std::wstring FolderWithSlash(const std::wstring& path);

}  // namespace mirabo::win
