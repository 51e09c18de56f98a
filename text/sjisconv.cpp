#include "text/sjisconv.h"

namespace mirabo {
namespace {

using Byte = unsigned char;

bool InRange(Byte b, Byte low, Byte high) { return b >= low && b <= high; }

// The conversions work "in place" as the bytes of a line: a step removes
// bytes (the rest moves up), keeps one, or rewrites two. Here the same walk
// reads at r and writes at w <= r, so removing costs nothing and a line of
// any length is converted in one pass.
class Walk {
 public:
  explicit Walk(std::string_view line) : buf_(line) {}
  bool Done() const { return r_ >= buf_.size() || Peek(0) == 0x00; }
  Byte Peek(size_t ahead) const { return r_ + ahead < buf_.size() ? static_cast<Byte>(buf_[r_ + ahead]) : 0x00; }
  bool Has(size_t ahead) const { return r_ + ahead < buf_.size(); }
  void Store(size_t ahead, Byte b) {
    if (Has(ahead)) buf_[r_ + ahead] = static_cast<char>(b);
  }
  void Remove(size_t count) { r_ += count; }
  void Keep() { buf_[w_++] = buf_[r_++]; }
  // Replaces the byte here and the next one with a pair. At the end of the
  // line the trail byte falls past it: only the lead byte stays.
  void Rewrite(SjisPair p) {
    const bool hasNext = Has(1);
    buf_[w_++] = static_cast<char>(p.lead);
    if (hasNext) buf_[w_++] = static_cast<char>(p.trail);
    r_ += hasNext ? 2 : 1;
  }
  std::string Result() {
    // Bytes after a 0x00 that stopped the walk stay as they were.
    buf_.erase(w_, r_ - w_);
    const size_t nul = buf_.find('\0');
    if (nul != std::string::npos) buf_.resize(nul);
    return std::move(buf_);
  }

 private:
  std::string buf_;
  size_t r_ = 0, w_ = 0;
};

std::string ConvertJis(std::string_view line) {
  Walk walk(line);
  bool kanji = false, kana = false;
  while (!walk.Done()) {
    const Byte b = walk.Peek(0) & 0x7F;
    walk.Store(0, b);
    if (b == 0x0E || b == 0x0F) {
      kana = b == 0x0E;
      kanji = false;
      walk.Remove(1);
      continue;
    }
    if (b == 0x1B) {
      const Byte b1 = walk.Peek(1) & 0x7F, b2 = walk.Peek(2) & 0x7F;
      walk.Store(1, b1);
      walk.Store(2, b2);
      if (walk.Has(2)) {
        bool matched = true;
        if (b1 == 0x24 && (b2 == 0x40 || b2 == 0x42)) {
          kanji = true;
          kana = false;
        } else if (b1 == 0x28 && (b2 == 0x48 || b2 == 0x42 || b2 == 0x4A)) {
          kanji = false;
          kana = false;
        } else if (b1 == 0x28 && b2 == 0x49) {
          kana = true;
          kanji = false;
        } else {
          matched = false;
        }
        if (matched) {
          walk.Remove(3);
          continue;
        }
      }
    }
    if (!kanji) {
      if (kana && InRange(b, 0x21, 0x5F)) walk.Store(0, b | 0x80);
      walk.Keep();
    } else if (b < 0x21 || b > 0x7E) {
      walk.Keep();
    } else {
      walk.Rewrite(JisToSjis(b, walk.Peek(1)));
    }
  }
  return walk.Result();
}

std::string ConvertEuc(std::string_view line) {
  Walk walk(line);
  bool kana = false;
  while (!walk.Done()) {
    const Byte b = walk.Peek(0);
    if (b == 0x1B && walk.Peek(1) == 0x28 && (walk.Peek(2) == 0x4A || walk.Peek(2) == 0x49) && walk.Has(2)) {
      kana = walk.Peek(2) == 0x49;
      walk.Remove(3);
      continue;
    }
    if (b == 0x0E || b == 0x0F) {
      kana = b == 0x0E;
      walk.Remove(1);
      continue;
    }
    if (kana) {
      if (InRange(b, 0x21, 0x5F)) walk.Store(0, b | 0x80);
      walk.Keep();
    } else if (b == 0x8E && InRange(walk.Peek(1), 0xA1, 0xDF) && walk.Has(1)) {
      walk.Remove(1);
      walk.Keep();
    } else if (InRange(b, 0xA1, 0xFE)) {
      walk.Rewrite(JisToSjis(b & 0x7F, walk.Peek(1) & 0x7F));
    } else {
      walk.Store(0, b & 0x7F);
      walk.Keep();
    }
  }
  return walk.Result();
}

}  // namespace

SjisPair JisToSjis(int row, int cell) {
  // Division and remainder truncate toward zero, as they do here for a
  // negative d (a cell byte below 0x21).
  const int d = (row - 0x21) * 94 + (cell - 0x21);
  int lead = d / 188 + 0x81;
  if (lead > 0x9F) lead += 0x40;
  int trail = d % 188 + 0x40;
  if (trail > 0x7E) trail += 1;
  return {static_cast<Byte>(lead), static_cast<Byte>(trail)};
}

CodeKind TAutoSjisConv::Detect(std::string_view line) {
  size_t n = 0;
  while (n < line.size()) {
    const Byte b = static_cast<Byte>(line[n]);
    if (b == 0x00 || b == 0x1A || b == 0x0D || b == 0x0A) break;
    ++n;
  }
  const std::string_view scanned = line.substr(0, n);
  int kind = 0, follower = 0;
  bool saw8E = false;
  for (const char ch : scanned) {
    const Byte b = static_cast<Byte>(ch);
    if (b < 0x80) continue;
    if (follower != 2) follower = (follower == 1 && InRange(b, 0xA1, 0xDF)) ? 2 : 0;
    if (b == 0x8E) {
      follower = 1;
      saw8E = true;
    }
    if (kind == 0) kind = 1;
    if (b < 0xA0 && b != 0x8E) kind = 2;
  }
  if (kind == 1) {
    for (size_t i = 0; i < n;) {
      if (static_cast<Byte>(scanned[i]) < 0x80) {
        ++i;
      } else if (i == n - 1) {
        kind = 2;
        break;
      } else {
        i += 2;
      }
    }
  }
  if (kind == 1 && follower == 0 && saw8E) kind = 2;
  return static_cast<CodeKind>(kind);
}

std::string TAutoSjisConv::ConvertToSjis(std::string_view line) const {
  if (line.empty()) return {};
  switch (Detect(line)) {
    case CodeKind::Jis: return ConvertJis(line);
    case CodeKind::Euc: return ConvertEuc(line);
    case CodeKind::Sjis: break;
  }
  std::string out(line);
  const size_t nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  return out;
}

}  // namespace mirabo
