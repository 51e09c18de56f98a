#pragma once
// File operations that must never leave a user's file half-written, and the
// small questions the file commands ask of the file system.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"

namespace mirabo::win {

// Opens an existing file to read it, sharing it for reading, writing and
// deleting: whatever the viewer has open, another program may still save,
// rename or delete it. An invalid handle when it cannot be opened.
UniqueFile OpenForSharedReading(const std::wstring& path, DWORD flags = FILE_ATTRIBUTE_NORMAL);

// Writes bytes to a new file beside target, flushes it and moves it over
// target in one step: target is either as it was or wholly the new content.
// False on any failure, with nothing left behind.
bool WriteReplacing(const std::wstring& target, std::span<const uint8_t> bytes);

// What a file's replacement keeps of it.
struct FileStamp {
  FILETIME creation{}, lastWrite{};
  DWORD attributes = 0;
};

// Opens path for writing (shared with everyone) as proof that it may be
// replaced, and reads its times and attributes. Throws EInOutError
// "ファイル %s を作成できません" for a read-only, locked or vanished file.
FileStamp StampForReplace(const std::wstring& path);

// WriteReplacing, then the kept times and attributes put back on the new
// file. Throws EInOutError "ファイル %s を作成できません"; path is then
// untouched.
void ReplaceKeepingStamp(const std::wstring& path, std::span<const uint8_t> bytes, const FileStamp& stamp);

// Whether anything (file or folder) has that name.
bool PathExists(const std::wstring& path);

// Whether both paths name the same existing file (by volume and file id,
// so different spellings and short names count as the same).
bool SameFile(const std::wstring& a, const std::wstring& b);

// Which version of a file: its size and last write. A picture made from
// one version is used only while the file is still that version.
struct FileVersion {
  uint64_t size = 0, lastWrite = 0;
  bool operator==(const FileVersion&) const = default;
};
std::optional<FileVersion> VersionOf(const std::wstring& path);

// The whole file read into memory through a handle that shares it for
// everything (a rename, a delete or another program's save goes on
// meanwhile), and the version read. Nothing when it cannot be read.
// whileOpen (for tests) is called with the file open, before it is read.
std::optional<FileVersion> ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes,
                                         const std::function<void()>& whileOpen = {});

// The calendar date, in local time, of the file's last write.
std::optional<SYSTEMTIME> LastWriteLocalTime(const std::wstring& path);

}  // namespace mirabo::win
