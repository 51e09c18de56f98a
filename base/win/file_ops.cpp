#include "base/win/file_ops.h"

#include <algorithm>
#include <new>

#include "base/errors.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"

namespace mirabo::win {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

UniqueFile OpenForSharedReading(const std::wstring& path, DWORD flags) {
  return UniqueFile(::CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
}

namespace {

[[noreturn]] void CannotCreate(const std::wstring& path) {
  throw EInOutError(FormatMessageText("ファイル %s を作成できません", WideToUtf8(path)));
}

// A new, empty file in folder that no one else has: created exclusively
// under a name tried until one is free.
UniqueFile CreateTempBeside(const std::wstring& folder, std::wstring& name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + L"~mirabo" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L".tmp";
    UniqueFile file(::CreateFileW(ExtendedPath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return UniqueFile();
}

}  // namespace

bool WriteReplacing(const std::wstring& target, std::span<const uint8_t> bytes) {
  std::wstring temp;
  {
    UniqueFile file = CreateTempBeside(FolderWithSlash(target), temp);
    if (!file) return false;
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 26));
      DWORD n = 0;
      written = ::WriteFile(file.Get(), bytes.data() + done, chunk, &n, nullptr) && n == chunk;
      done += n;
    }
    if (!written || !::FlushFileBuffers(file.Get())) {
      file.Reset();
      ::DeleteFileW(ExtendedPath(temp).c_str());
      return false;
    }
  }
  if (!::MoveFileExW(ExtendedPath(temp).c_str(), ExtendedPath(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(ExtendedPath(temp).c_str());
    return false;
  }
  return true;
}

FileStamp StampForReplace(const std::wstring& path) {
  // Read-only is the user's way of saying "keep it as it is", whatever the
  // account could force.
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    CannotCreate(path);
  UniqueFile file(::CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.Get(), &info)) CannotCreate(path);
  return {info.ftCreationTime, info.ftLastWriteTime, info.dwFileAttributes};
}

void ReplaceKeepingStamp(const std::wstring& path, std::span<const uint8_t> bytes, const FileStamp& stamp) {
  if (!WriteReplacing(path, bytes)) CannotCreate(path);
  // The content is in place; the times and attributes follow. A failure
  // here loses nothing of the picture, so it is not an error.
  {
    UniqueFile file(::CreateFileW(ExtendedPath(path).c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) ::SetFileTime(file.Get(), &stamp.creation, nullptr, &stamp.lastWrite);
  }
  if (stamp.attributes != FILE_ATTRIBUTE_NORMAL)
    ::SetFileAttributesW(ExtendedPath(path).c_str(), stamp.attributes & ~FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(ExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
  const auto identity = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    UniqueFile file(::CreateFileW(ExtendedPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && ::GetFileInformationByHandle(file.Get(), &info);
  };
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  if (!identity(a, x) || !identity(b, y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

std::optional<SYSTEMTIME> LastWriteLocalTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  SYSTEMTIME utc{}, local{};
  if (!::FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return std::nullopt;
  return local;
}

std::optional<FileVersion> VersionOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  return FileVersion{static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
                     static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime};
}

std::optional<FileVersion> ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes,
                                         const std::function<void()>& whileOpen) {
  const UniqueFile file = OpenForSharedReading(path, FILE_FLAG_SEQUENTIAL_SCAN);
  if (file && whileOpen) whileOpen();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  const uint64_t size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  if (size > (uint64_t{1} << 31)) return std::nullopt;  // no picture file is larger
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  for (size_t done = 0; done < bytes.size();) {
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, size_t{1} << 24));
    if (!::ReadFile(file.Get(), bytes.data() + done, ask, &got, nullptr) || got == 0) return std::nullopt;
    done += got;
  }
  return FileVersion{size, static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime};
}

}  // namespace mirabo::win
