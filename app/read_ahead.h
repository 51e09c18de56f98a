#pragma once
// The next picture decoded while the user looks at this one: one picture at
// most, on a thread of its own, from the file's bytes read through a handle
// that shares the file for everything (a rename, a delete or another
// program's save goes on meanwhile). It is used only for the same file at
// the same version and the same way of showing it; anything else throws it
// away.
#include <atomic>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "base/picture/picture.h"
#include "base/win/file_ops.h"

namespace mirabo {

class PictureReadAhead {
 public:
  // Which picture: the file and how it is shown (scale, orientation,
  // colours: whatever changes the pixels).
  struct Key {
    std::wstring path;
    std::wstring showing;
    bool operator==(const Key&) const = default;
  };
  // Makes the picture from the file's bytes; gives up (throws) when stop
  // is set. Runs on the read-ahead's thread.
  using Decoder = std::function<Picture(std::span<const uint8_t> bytes, const std::atomic<bool>& stop)>;

  PictureReadAhead() = default;
  PictureReadAhead(const PictureReadAhead&) = delete;
  PictureReadAhead& operator=(const PictureReadAhead&) = delete;
  ~PictureReadAhead() { Discard(); }

  // Starts reading ahead for key (what was read ahead before is dropped).
  void Start(Key key, Decoder decode);
  // Whether key is being read or was read ahead.
  bool Holds(const Key& key) const { return active_ && key_ == key; }
  // The picture for key: waits while it is still being decoded. Nothing
  // when another picture was read ahead (that one is dropped, its decode
  // stopped), when the decode failed or when the file changed since.
  std::optional<Picture> Take(const Key& key);
  // Stops a running read-ahead and gives its memory back.
  void Discard();

  // For tests: read-aheads started, pictures taken from them, and a hook
  // called on the thread with the file open (to rename or delete it from
  // outside meanwhile).
  int Started() const { return started_; }
  int Used() const { return used_; }
  std::function<void()> whileOpen;

 private:
  std::thread worker_;
  std::atomic<bool> stop_{false};
  Key key_;
  bool active_ = false;
  int started_ = 0, used_ = 0;
  // Written by the thread, read once it has ended.
  std::optional<Picture> picture_;
  win::FileVersion version_;
};

}  // namespace mirabo
