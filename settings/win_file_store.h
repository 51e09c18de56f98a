#pragma once
// The settings file on the real file system: a replacement is written to a
// temporary file beside the old one and moved over it in one step, so a
// failure at any point leaves the old file whole.
#include "settings/file_store.h"

namespace mirabo::win {

class WinFileStore : public FileStore {
 public:
  FileRead ReadAll(const std::filesystem::path& path) override;
  bool ReplaceAll(const std::filesystem::path& path, std::string_view bytes) override;
};

}  // namespace mirabo::win
