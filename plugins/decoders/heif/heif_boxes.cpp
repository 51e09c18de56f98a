#include "plugins/decoders/heif/heif_boxes.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace mirabo::decoders {
namespace {

struct Box {
  char type[4];
  Bytes body;
  std::size_t header = 8;  // 16 with a 64-bit size
};

bool Is(const Box& box, const char* type) { return std::memcmp(box.type, type, 4) == 0; }

std::uint32_t Read32(Bytes b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// A big-endian number of `size` bytes (0 to 8); nullopt past the end.
std::optional<std::uint64_t> ReadN(Bytes b, std::size_t at, std::size_t size) {
  if (at > b.size() || b.size() - at < size) return std::nullopt;
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < size; ++i) v = (v << 8) | b[at + i];
  return v;
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
    box.header = header;
    boxes.push_back(box);
    at += static_cast<std::size_t>(size);
  }
  return boxes;
}

std::optional<Box> Find(const std::vector<Box>& boxes, const char* type) {
  for (const Box& b : boxes) {
    if (Is(b, type)) return b;
  }
  return std::nullopt;
}

// One item's properties (places in Meta::listed), in the order the file
// associates them.
struct Association {
  std::uint32_t item;
  std::vector<std::size_t> properties;
};

// What of the meta box both readers need. A damaged or unusual structure
// ends the reading where it starts: what was read before it stays.
struct Meta {
  std::vector<Box> inside;
  std::vector<Box> listed;  // ipco's properties; property n is listed[n - 1]
  std::vector<Association> associations;
  std::optional<std::uint32_t> primary;
};

Meta ReadMeta(Bytes file) {
  Meta m;
  const auto meta = Find(Boxes(file), "meta");
  if (!meta || meta->body.size() < 4) return m;
  m.inside = Boxes(meta->body.subspan(4));  // after version and flags
  if (const auto pitm = Find(m.inside, "pitm"); pitm && pitm->body.size() >= 6) {
    const bool long_id = pitm->body[0] != 0;
    if (!long_id) m.primary = (std::uint32_t{pitm->body[4]} << 8) | pitm->body[5];
    else if (pitm->body.size() >= 8) m.primary = Read32(pitm->body, 4);
  }
  const auto iprp = Find(m.inside, "iprp");
  if (!iprp) return m;
  const std::vector<Box> properties = Boxes(iprp->body);
  const auto ipco = Find(properties, "ipco");
  if (!ipco) return m;
  m.listed = Boxes(ipco->body);
  for (const Box& ipma : properties) {
    if (!Is(ipma, "ipma")) continue;
    const Bytes b = ipma.body;
    if (b.size() < 8) return m;
    const bool wide_id = b[0] >= 1, wide_index = (b[3] & 1) != 0;
    const std::uint32_t entries = Read32(b, 4);
    std::size_t at = 8;
    for (std::uint32_t e = 0; e < entries; ++e) {
      const std::size_t id_size = wide_id ? 4 : 2;
      if (b.size() - at < id_size + 1) return m;
      Association a{wide_id ? Read32(b, at) : (std::uint32_t{b[at]} << 8) | b[at + 1], {}};
      at += id_size;
      const unsigned count = b[at++];
      const std::size_t index_size = wide_index ? 2 : 1;
      if ((b.size() - at) / index_size < count) return m;
      for (unsigned k = 0; k < count; ++k, at += index_size) {
        const unsigned index = wide_index ? ((b[at] << 8) | b[at + 1]) & 0x7FFF : b[at] & 0x7F;
        if (index != 0 && index <= m.listed.size()) a.properties.push_back(index - 1);
      }
      m.associations.push_back(std::move(a));
    }
  }
  return m;
}

struct Size {
  std::uint64_t width = 0, height = 0;
};

struct Entry {
  std::uint32_t id;
  Bytes type;
};

// The items iinf lists, in its order: entries before version 2 have no
// type and are left out.
std::vector<Entry> ItemEntries(const Meta& m) {
  std::vector<Entry> entries;
  const auto iinf = Find(m.inside, "iinf");
  if (!iinf || iinf->body.empty()) return entries;
  // Version 0 counts its entries in 16 bits, later versions in 32.
  const std::size_t header = iinf->body[0] == 0 ? 6 : 8;
  if (iinf->body.size() < header) return entries;
  for (const Box& infe : Boxes(iinf->body.subspan(header))) {
    const Bytes b = infe.body;
    if (!Is(infe, "infe") || b.size() < 4 || b[0] < 2) continue;
    const std::size_t id_size = b[0] == 2 ? 2 : 4;
    const auto id = ReadN(b, 4, id_size);
    if (!id || b.size() < 4 + id_size + 2 + 4) continue;
    entries.push_back({static_cast<std::uint32_t>(*id), b.subspan(4 + id_size + 2, 4)});
  }
  return entries;
}

bool IsType(Bytes type, const char* name) { return std::memcmp(type.data(), name, 4) == 0; }

// The derived items iinf lists (grids and overlays), each with where its
// data gives its output size: a grid's after its rows and columns, an
// overlay's after its fill colour.
std::map<std::uint32_t, std::size_t> DerivedItems(const Meta& m) {
  std::map<std::uint32_t, std::size_t> items;
  for (const Entry& e : ItemEntries(m)) {
    if (IsType(e.type, "grid")) items.emplace(e.id, 4);
    if (IsType(e.type, "iovl")) items.emplace(e.id, 2 + 8);
  }
  return items;
}

// The first bytes of those items' data (enough for their sizes), as the
// decoder reads it: an item's first iloc entry, its extents one after
// another, those in idat allowed as far past its contents as its header
// is long (the decoder bounds them by the box's whole size). An item whose
// data the decoder could not read has none here.
std::map<std::uint32_t, std::vector<std::uint8_t>> ItemHeads(const Meta& m, Bytes file,
                                                             const std::map<std::uint32_t, std::size_t>& wanted) {
  constexpr std::size_t kHead = 32;
  std::map<std::uint32_t, std::vector<std::uint8_t>> heads;
  const auto iloc = Find(m.inside, "iloc");
  if (!iloc || iloc->body.size() < 8) return heads;
  const Bytes b = iloc->body;
  const unsigned version = b[0];
  // Read as the decoder reads them: a field of another size than 4 or 8
  // bytes is no field at all (it reads as 0 and takes no bytes), an extent
  // index is only in version 2, and more items or extents than it allows
  // make it refuse the file.
  const auto field = [](unsigned size) -> std::size_t { return size == 4 || size == 8 ? size : 0; };
  const std::size_t offset_size = field(b[4] >> 4), length_size = field(b[4] & 15), base_size = field(b[5] >> 4),
                    index_size = version >= 2 ? field(b[5] & 15) : 0, id_size = version < 2 ? 2 : 4;
  std::size_t at = 6;
  const auto items = ReadN(b, at, id_size);
  if (!items || *items > 20000) return heads;
  at += id_size;
  Bytes idat;
  if (const auto box = Find(m.inside, "idat")) {
    const auto room = static_cast<std::size_t>(file.data() + file.size() - box->body.data());
    idat = Bytes(box->body.data(), std::min(box->body.size() + box->header, room));
  }
  std::set<std::uint32_t> seen;
  for (std::uint64_t i = 0; i < *items; ++i) {
    const auto id = ReadN(b, at, id_size);
    const auto method = version >= 1 ? ReadN(b, at + id_size, 2) : std::optional<std::uint64_t>(0);
    if (!id || !method) return heads;
    at += id_size + (version >= 1 ? 2 : 0) + 2;  // construction method, data reference index
    const auto base = ReadN(b, at, base_size);
    const auto count = ReadN(b, at + base_size, 2);
    if (!base || !count || *count > 32) return heads;
    at += base_size + 2;
    const auto item = static_cast<std::uint32_t>(*id);
    const bool keep = wanted.count(item) != 0 && seen.insert(item).second;
    std::vector<std::uint8_t> head;
    bool readable = (*method & 15) == 0 || ((*method & 15) == 1 && !idat.empty());
    for (std::uint64_t e = 0; e < *count; ++e) {
      const auto offset = ReadN(b, at + index_size, offset_size);
      const auto length = ReadN(b, at + index_size + offset_size, length_size);
      if (!offset || !length) return heads;
      at += index_size + offset_size + length_size;
      if (!keep || !readable) continue;
      const Bytes whole = (*method & 15) == 0 ? file : idat;
      const std::uint64_t start = *base + *offset;
      if (start > whole.size() || *length > whole.size() - start) {
        readable = false;
        continue;
      }
      const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(*length, kHead - head.size()));
      head.insert(head.end(), whole.begin() + static_cast<std::ptrdiff_t>(start),
                  whole.begin() + static_cast<std::ptrdiff_t>(start + take));
    }
    if (keep && readable) heads.emplace(item, std::move(head));
  }
  return heads;
}

// The size a derived image's data gives its output, its fields at `at`;
// libheif makes a picture of that size.
std::optional<Size> DerivedSize(std::size_t at, const std::vector<std::uint8_t>& b) {
  if (b.size() < 2) return std::nullopt;
  const std::size_t field = (b[1] & 1) ? 4 : 2;
  const auto width = ReadN(b, at, field), height = ReadN(b, at + field, field);
  if (!width || !height) return std::nullopt;
  return Size{*width, *height};
}

// Every item's type as the decoder knows it: the first infe of an id counts.
std::map<std::uint32_t, Bytes> ItemTypes(const Meta& m) {
  std::map<std::uint32_t, Bytes> types;
  for (const Entry& e : ItemEntries(m)) types.emplace(e.id, e.type);
  return types;
}

// References of one kind by the item they come from, read as the decoder
// reads iref: each reference's own box header, then its fields one after
// another whatever size the header gives, and only an item's first
// reference of a kind counts.
std::map<std::uint32_t, std::vector<std::uint32_t>> References(const Meta& m, const char* kind) {
  std::map<std::uint32_t, std::vector<std::uint32_t>> refs;
  const auto iref = Find(m.inside, "iref");
  if (!iref || iref->body.size() < 4) return refs;
  const Bytes b = iref->body;
  const std::size_t id_size = b[0] == 0 ? 2 : 4;
  std::size_t at = 4;
  while (b.size() - at >= 8) {
    const auto size = ReadN(b, at, 4);
    const Bytes type = b.subspan(at + 4, 4);
    at += 8;
    if (*size == 1) at += 8;
    if (IsType(type, "uuid")) at += 16;
    const auto from = ReadN(b, at, id_size);
    const auto count = ReadN(b, at + id_size, 2);
    if (!from || !count) break;
    at += id_size + 2;
    std::vector<std::uint32_t> to;
    for (std::uint64_t i = 0; i < *count; ++i, at += id_size) {
      const auto id = ReadN(b, at, id_size);
      if (!id) break;
      to.push_back(static_cast<std::uint32_t>(*id));
    }
    if (IsType(type, kind)) refs.emplace(static_cast<std::uint32_t>(*from), std::move(to));
    if (at > b.size()) break;
  }
  return refs;
}

// Follows a picture's derivation depth first, charging each picture it
// reaches to `budget_`.
class Derivation {
 public:
  explicit Derivation(const Meta& m) : types_(ItemTypes(m)), derived_from_(References(m, "dimg")) {}

  bool IsPicture(std::uint32_t item) const { return Derived(item) || Coded(item); }

  bool Sound(std::uint32_t item, unsigned depth = 0) {
    if (!Derived(item)) return Coded(item);
    if (depth >= kDepth || !on_way_.insert(item).second) return false;
    // A false answer ends the whole walk, so what it leaves on the way
    // does not matter.
    if (const auto from = derived_from_.find(item); from != derived_from_.end()) {
      for (const std::uint32_t source : from->second) {
        if (budget_ == 0) return false;
        --budget_;
        if (!Sound(source, depth + 1)) return false;
      }
    }
    on_way_.erase(item);
    return true;
  }

 private:
  bool Has(std::uint32_t item, std::initializer_list<const char*> names) const {
    const auto type = types_.find(item);
    if (type == types_.end()) return false;
    return std::any_of(names.begin(), names.end(), [&](const char* name) { return IsType(type->second, name); });
  }
  bool Derived(std::uint32_t item) const { return Has(item, {"grid", "iden", "iovl"}); }
  bool Coded(std::uint32_t item) const { return Has(item, {"hvc1", "av01", "vvc1"}); }

  // Cameras derive one level (a grid of tiles), an identity on top makes
  // two; a grid holds at most 256 x 256 tiles.
  static constexpr unsigned kDepth = 8;
  std::size_t budget_ = std::size_t{1} << 17;
  std::map<std::uint32_t, Bytes> types_;
  std::map<std::uint32_t, std::vector<std::uint32_t>> derived_from_;
  std::set<std::uint32_t> on_way_;
};

}  // namespace

PrimaryTransforms ReadPrimaryTransforms(Bytes file) {
  PrimaryTransforms result;
  const Meta m = ReadMeta(file);
  if (!m.primary) return result;
  unsigned turns = 0, mirrors = 0, crops = 0;
  for (const Association& a : m.associations) {
    if (a.item != *m.primary) continue;
    for (const std::size_t p : a.properties) {
      const Box& property = m.listed[p];
      turns += Is(property, "irot");
      mirrors += Is(property, "imir");
      crops += Is(property, "clap");
      if (property.body.empty()) continue;
      if (Is(property, "irot")) {
        result.orientation = result.orientation.ThenTurn(property.body[0] & 3);
        result.any = true;
      } else if (Is(property, "imir")) {
        // 0: top and bottom exchanged, 1: left and right.
        result.orientation = (property.body[0] & 1) ? result.orientation.ThenMirrorLeftRight()
                                                    : result.orientation.ThenMirrorTopBottom();
        result.any = true;
      }
    }
  }
  result.repeated = turns > 1 || mirrors > 1 || crops > 1;
  return result;
}

bool DerivedSizesAgree(Bytes file) {
  const Meta m = ReadMeta(file);
  const auto derived = DerivedItems(m);
  if (derived.empty()) return true;
  const auto data = ItemHeads(m, file, derived);
  for (const Association& a : m.associations) {
    const auto size_at = derived.find(a.item);
    const auto extents = data.find(a.item);
    if (size_at == derived.end() || extents == data.end()) continue;
    std::optional<Size> said;
    for (const std::size_t p : a.properties) {
      const Box& property = m.listed[p];
      if (Is(property, "ispe") && property.body.size() >= 12 && !said)
        said = Size{Read32(property.body, 4), Read32(property.body, 8)};
    }
    const auto made = DerivedSize(size_at->second, extents->second);
    // The two should be equal; only a picture far larger is refused.
    if (said && made && (made->width > 2 * said->width + 128 || made->height > 2 * said->height + 128)) return false;
  }
  return true;
}

bool ReferencesAreSound(Bytes file) {
  const Meta m = ReadMeta(file);
  if (!m.primary) return true;  // the decoder finds no picture either
  Derivation derivation(m);
  if (!derivation.Sound(*m.primary)) return false;
  // An auxiliary picture of the primary one may be its alpha.
  for (const auto& [item, to] : References(m, "auxl")) {
    const bool alpha = std::find(to.begin(), to.end(), *m.primary) != to.end() && derivation.IsPicture(item);
    if (alpha && !derivation.Sound(item)) return false;
  }
  return true;
}

bool HasBrand(Bytes head, std::initializer_list<const char*> brands) {
  if (head.size() < 16 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) return false;
  const std::size_t box =
      (std::size_t{head[0]} << 24) | (std::size_t{head[1]} << 16) | (std::size_t{head[2]} << 8) | head[3];
  const std::size_t end = std::min(box, head.size());
  // The major brand at 8, the minor version at 12, compatible brands from 16.
  for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
    for (const char* brand : brands) {
      if (std::memcmp(head.data() + at, brand, 4) == 0) return true;
    }
  }
  return false;
}

}  // namespace mirabo::decoders
