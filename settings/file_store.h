#pragma once
// Whole-file reads and replacing writes: the settings file is read and
// written through this, so the store's logic runs the same over the real
// file system and over a test's memory.
#include <filesystem>
#include <string>
#include <string_view>

namespace mirabo {

struct FileRead {
  enum class Status { Ok, Missing, Failed };
  Status status = Status::Missing;
  std::string bytes;
};

class FileStore {
 public:
  virtual ~FileStore() = default;
  virtual FileRead ReadAll(const std::filesystem::path& path) = 0;
  // Puts bytes in place of the file's content in one step: afterwards the
  // file holds either all of the new bytes or its old content. False when the
  // file could not be replaced (read-only, locked, disk full, ...).
  virtual bool ReplaceAll(const std::filesystem::path& path, std::string_view bytes) = 0;
};

}  // namespace mirabo
