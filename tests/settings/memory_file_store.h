#pragma once
// A file system in memory for the settings tests: files are byte strings by
// path, and a test can make reads or replacements fail.
#include <map>
#include <string>

#include "settings/file_store.h"

namespace mirabo::testing {

class MemoryFileStore : public FileStore {
 public:
  std::map<std::filesystem::path, std::string> files;
  bool failReads = false;
  bool failWrites = false;
  int writes = 0;

  FileRead ReadAll(const std::filesystem::path& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return {FileRead::Status::Missing, {}};
    if (failReads) return {FileRead::Status::Failed, {}};
    return {FileRead::Status::Ok, it->second};
  }

  bool ReplaceAll(const std::filesystem::path& path, std::string_view bytes) override {
    if (failWrites) return false;
    ++writes;
    files[path] = std::string(bytes);
    return true;
  }
};

}  // namespace mirabo::testing
