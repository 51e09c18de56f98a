#include "app/read_ahead.h"

#include <utility>
#include <vector>

namespace mirabo {

void PictureReadAhead::Start(Key key, Decoder decode) {
  Discard();
  key_ = std::move(key);
  active_ = true;
  ++started_;
  stop_ = false;
  worker_ = std::thread([this, path = key_.path, decode = std::move(decode), hook = whileOpen] {
    std::vector<uint8_t> bytes;
    const std::optional<win::FileVersion> version = win::ReadWholeFile(path, bytes, hook);
    if (!version || stop_) return;
    try {
      picture_ = decode(bytes, stop_);
      version_ = *version;
    } catch (...) {
      // A file that cannot be shown says so when the user steps to it.
      picture_.reset();
    }
  });
}

std::optional<Picture> PictureReadAhead::Take(const Key& key) {
  if (!Holds(key)) {
    Discard();
    return std::nullopt;
  }
  if (worker_.joinable()) worker_.join();
  active_ = false;
  std::optional<Picture> picture = std::move(picture_);
  picture_.reset();
  if (picture && win::VersionOf(key.path) != version_) picture.reset();  // changed since: read again
  if (picture) ++used_;
  return picture;
}

void PictureReadAhead::Discard() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  active_ = false;
  picture_.reset();
}

}  // namespace mirabo
