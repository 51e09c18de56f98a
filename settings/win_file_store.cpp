#include "settings/win_file_store.h"

#include <windows.h>

#include "base/win/file_ops.h"
#include "base/win/paths.h"
#include "base/win/unique_handle.h"

namespace mirabo::win {

FileRead WinFileStore::ReadAll(const std::filesystem::path& path) {
  UniqueFile file = OpenForSharedReading(path.wstring());
  if (!file) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return {FileRead::Status::Missing, {}};
    return {FileRead::Status::Failed, {}};
  }
  LARGE_INTEGER size{};
  // A settings file is small; anything near 2 GB is not one we could keep.
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7FFF0000)
    return {FileRead::Status::Failed, {}};
  FileRead result{FileRead::Status::Ok, std::string(static_cast<size_t>(size.QuadPart), '\0')};
  DWORD done = 0;
  if (!result.bytes.empty() &&
      (!::ReadFile(file.Get(), result.bytes.data(), static_cast<DWORD>(result.bytes.size()), &done,
                   nullptr) ||
       done != result.bytes.size()))
    return {FileRead::Status::Failed, {}};
  return result;
}

bool WinFileStore::ReplaceAll(const std::filesystem::path& path, std::string_view bytes) {
  const std::wstring target = ExtendedPath(path.wstring());
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  // A read-only file is the user's way of saying "keep it as it is".
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return false;

  return WriteReplacing(path.wstring(), {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace mirabo::win
