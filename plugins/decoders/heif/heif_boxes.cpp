#include "plugins/decoders/heif/heif_boxes.h"

#include <cstring>
#include <optional>
#include <vector>

namespace mirabo::decoders {
namespace {

struct Box {
  char type[4];
  Bytes body;
};

std::uint32_t Read32(Bytes b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// The boxes one after another in `data`; stops at the first that does not fit.
std::vector<Box> Boxes(Bytes data) {
  std::vector<Box> boxes;
  std::size_t at = 0;
  while (data.size() - at >= 8) {
    std::uint64_t size = Read32(data, at);
    std::size_t header = 8;
    if (size == 1) {
      if (data.size() - at < 16) break;
      size = (std::uint64_t{Read32(data, at + 8)} << 32) | Read32(data, at + 12);
      header = 16;
    } else if (size == 0) {
      size = data.size() - at;
    }
    if (size < header || size > data.size() - at) break;
    Box box;
    std::memcpy(box.type, data.data() + at + 4, 4);
    box.body = data.subspan(at + header, static_cast<std::size_t>(size) - header);
    boxes.push_back(box);
    at += static_cast<std::size_t>(size);
  }
  return boxes;
}

std::optional<Box> Find(const std::vector<Box>& boxes, const char* type) {
  for (const Box& b : boxes) {
    if (std::memcmp(b.type, type, 4) == 0) return b;
  }
  return std::nullopt;
}

}  // namespace

PrimaryTransforms ReadPrimaryTransforms(Bytes file) {
  PrimaryTransforms result;
  const auto meta = Find(Boxes(file), "meta");
  if (!meta || meta->body.size() < 4) return result;
  const std::vector<Box> inside = Boxes(meta->body.subspan(4));  // after version and flags
  const auto pitm = Find(inside, "pitm");
  const auto iprp = Find(inside, "iprp");
  if (!pitm || !iprp || pitm->body.size() < 6) return result;
  const bool long_id = pitm->body[0] != 0;
  if (long_id && pitm->body.size() < 8) return result;
  const std::uint32_t primary = long_id ? Read32(pitm->body, 4) : (std::uint32_t{pitm->body[4]} << 8) | pitm->body[5];

  const std::vector<Box> properties = Boxes(iprp->body);
  const auto ipco = Find(properties, "ipco");
  if (!ipco) return result;
  const std::vector<Box> listed = Boxes(ipco->body);  // property n is listed[n - 1]
  for (const Box& ipma : properties) {
    if (std::memcmp(ipma.type, "ipma", 4) != 0) continue;
    const Bytes b = ipma.body;
    if (b.size() < 8) return result;
    const bool wide_id = b[0] >= 1, wide_index = (b[3] & 1) != 0;
    const std::uint32_t entries = Read32(b, 4);
    std::size_t at = 8;
    for (std::uint32_t e = 0; e < entries; ++e) {
      const std::size_t id_size = wide_id ? 4 : 2;
      if (b.size() - at < id_size + 1) return result;
      const std::uint32_t item = wide_id ? Read32(b, at) : (std::uint32_t{b[at]} << 8) | b[at + 1];
      at += id_size;
      const unsigned count = b[at++];
      const std::size_t index_size = wide_index ? 2 : 1;
      if ((b.size() - at) / index_size < count) return result;
      for (unsigned k = 0; k < count; ++k, at += index_size) {
        if (item != primary) continue;
        const unsigned index = wide_index ? ((b[at] << 8) | b[at + 1]) & 0x7FFF : b[at] & 0x7F;
        if (index == 0 || index > listed.size()) continue;
        const Box& property = listed[index - 1];
        if (property.body.empty()) continue;
        if (std::memcmp(property.type, "irot", 4) == 0) {
          result.orientation = result.orientation.ThenTurn(property.body[0] & 3);
          result.any = true;
        } else if (std::memcmp(property.type, "imir", 4) == 0) {
          // 0: top and bottom exchanged, 1: left and right.
          result.orientation = (property.body[0] & 1) ? result.orientation.ThenMirrorLeftRight()
                                                      : result.orientation.ThenMirrorTopBottom();
          result.any = true;
        }
      }
    }
  }
  return result;
}

}  // namespace mirabo::decoders
