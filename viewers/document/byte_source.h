#pragma once
// Where a document's bytes come from: a file on Windows, memory in tests.
// Documents are read where they lie (a 1,000-page fax file is not copied
// into memory to show one page).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace mirabo {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Up to size bytes from offset; fewer only at the end (or on a read error).
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t Size() const override { return bytes_.size(); }
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) override {
    if (offset >= bytes_.size()) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace mirabo
