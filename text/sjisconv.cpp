#include "text/sjisconv.h"

#include <cstdint>

namespace mirabo {
namespace {

using Byte = unsigned char;

bool InRange(Byte b, Byte low, Byte high) { return b >= low && b <= high; }

inline SjisPair Pair(int row, int cell) {
  int lead, trail;
  if (row >= 0x21 && cell >= 0x21 && cell <= 0x7E) {
    // With a cell of 0 to 93, d div 188 is (row - 0x21) div 2 and d mod 188
    // is the cell, plus 94 for an odd row: the same numbers, no division.
    const int r = row - 0x21;
    lead = (r >> 1) + 0x81;
    trail = ((r & 1) ? 94 : 0) + (cell - 0x21) + 0x40;
  } else {
    // Division and remainder truncate toward zero, as they do here for a
    // negative d (a cell byte below 0x21).
    const int d = (row - 0x21) * 94 + (cell - 0x21);
    lead = d / 188 + 0x81;
    trail = d % 188 + 0x40;
  }
  if (lead > 0x9F) lead += 0x40;
  if (trail > 0x7E) trail += 1;
  return {static_cast<Byte>(lead), static_cast<Byte>(trail)};
}

// The conversions work "in place" as the bytes of a line: a step removes
// bytes (the rest moves up), keeps one, or rewrites two. Here the same walk
// reads at r and writes at w <= r, so removing costs nothing and a line of
// any length is converted in one pass.
class Walk {
 public:
  Walk(Byte* buf, size_t n) : buf_(buf), n_(n) {}
  bool Done() const { return r_ >= n_ || Peek(0) == 0x00; }
  Byte Peek(size_t ahead) const { return r_ + ahead < n_ ? buf_[r_ + ahead] : 0x00; }
  bool Has(size_t ahead) const { return r_ + ahead < n_; }
  void Store(size_t ahead, Byte b) {
    if (Has(ahead)) buf_[r_ + ahead] = b;
  }
  void Remove(size_t count) { r_ += count; }
  void Keep() { buf_[w_++] = buf_[r_++]; }
  // Replaces the byte here and the next one with a pair. At the end of the
  // line the trail byte falls past it: only the lead byte stays.
  void Rewrite(SjisPair p) {
    const bool hasNext = Has(1);
    buf_[w_++] = p.lead;
    if (hasNext) buf_[w_++] = p.trail;
    r_ += hasNext ? 2 : 1;
  }
  // The length of the result: the output ends at its first 0x00 (bytes after
  // a 0x00 that stopped the walk would follow one, so they never count).
  size_t Length() const {
    for (size_t i = 0; i < w_; ++i)
      if (buf_[i] == 0x00) return i;
    return w_;
  }

 private:
  Byte* buf_;
  size_t n_;
  size_t r_ = 0, w_ = 0;
};

// Converts the n bytes at buf in place; returns the converted length.
size_t ConvertJis(Byte* buf, size_t n) {
  Walk walk(buf, n);
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
      walk.Rewrite(Pair(b, walk.Peek(1)));
    }
  }
  return walk.Length();
}

// EUC-JP never changes a byte ahead of the walk, so it reads the line where
// it is and writes into o (which may be the same bytes), with a fast path
// for ASCII and two-byte characters. The output ends at its first 0x00, so
// the walk stops once it writes one.
size_t ConvertEuc(const Byte* __restrict in, size_t n, Byte* __restrict o) {
  size_t r = 0, w = 0;
  bool kana = false;
  while (r < n) {
    const Byte b = in[r];
    // The common cases first: ASCII, and a two-byte character.
    if (b < 0x80) {
      if (b == 0x00) break;
      if (!kana && (b >= 0x20 || (b != 0x1B && b != 0x0E && b != 0x0F))) {
        o[w++] = b;
        ++r;
        continue;
      }
    } else if (!kana && b >= 0xA1 && b != 0xFF) {
      const Byte cell = r + 1 < n ? in[r + 1] : 0x00;
      const SjisPair p = Pair(b & 0x7F, cell & 0x7F);
      o[w++] = p.lead;
      if (r + 1 < n) o[w++] = p.trail;
      r += 2;
      continue;
    }
    const Byte b1 = r + 1 < n ? in[r + 1] : 0x00;
    if (b == 0x1B && r + 2 < n && b1 == 0x28 && (in[r + 2] == 0x4A || in[r + 2] == 0x49)) {
      kana = in[r + 2] == 0x49;
      r += 3;
      continue;
    }
    if (b == 0x0E || b == 0x0F) {
      kana = b == 0x0E;
      ++r;
      continue;
    }
    if (kana) {
      o[w++] = InRange(b, 0x21, 0x5F) ? static_cast<Byte>(b | 0x80) : b;
      ++r;
    } else if (b == 0x8E && InRange(b1, 0xA1, 0xDF)) {
      o[w++] = b1;
      r += 2;
    } else {
      o[w++] = b & 0x7F;
      ++r;
      if (o[w - 1] == 0x00) {
        --w;
        break;
      }
    }
  }
  return w;
}

}  // namespace

SjisPair JisToSjis(int row, int cell) { return Pair(row, cell); }

CodeKind TAutoSjisConv::Detect(std::string_view line) {
  const auto* bytes = reinterpret_cast<const Byte*>(line.data());
  const size_t size = line.size();
  bool high = false, saw8E = false;
  int follower = 0;
  // The pairing walk rides along: pairNext is where it takes its next step,
  // lastPairStart the last high byte it took as the first of a pair. (ASCII
  // moves it by one, which never changes where the next high byte falls.)
  size_t n = 0, pairNext = 0, lastPairStart = SIZE_MAX;
  for (; n < size; ++n) {
    const Byte b = bytes[n];
    if (b < 0x80) {
      if (b < 0x20 && (b == 0x00 || b == 0x1A || b == 0x0D || b == 0x0A)) break;
      continue;
    }
    // A high byte below 0xA0 other than 0x8E makes the line Shift-JIS,
    // whatever follows.
    if (b < 0xA0 && b != 0x8E) return CodeKind::Sjis;
    high = true;
    if (n >= pairNext) {
      lastPairStart = n;
      pairNext = n + 2;
    }
    if (b == 0x8E) {
      follower = 1;
      saw8E = true;
    } else if (saw8E && follower != 2) {
      follower = (follower == 1 && b >= 0xA1 && b <= 0xDF) ? 2 : 0;
    }
  }
  if (!high) return CodeKind::Jis;
  // A high byte that starts a pair as the last byte read cannot be paired.
  if (lastPairStart + 1 == n) return CodeKind::Sjis;
  // The last 0x8E was followed, at the next high byte, by no half-width katakana.
  if (saw8E && follower == 0) return CodeKind::Sjis;
  return CodeKind::Euc;
}

void TAutoSjisConv::AppendSjis(std::string_view line, std::string& out) const {
  if (line.empty()) return;
  const CodeKind kind = Detect(line);
  if (kind == CodeKind::Sjis) {
    out.append(line.substr(0, line.find('\0')));
    return;
  }
  // Converted at the end of out: no allocation once out has room. JIS
  // rewrites bytes ahead of its walk, so it works on a copy there.
  const size_t base = out.size();
  size_t length;
  if (kind == CodeKind::Jis) {
    out.append(line);
    length = ConvertJis(reinterpret_cast<Byte*>(out.data() + base), line.size());
  } else {
    out.resize(base + line.size());
    length = ConvertEuc(reinterpret_cast<const Byte*>(line.data()), line.size(),
                        reinterpret_cast<Byte*>(out.data() + base));
  }
  out.resize(base + length);
}

std::string TAutoSjisConv::ConvertToSjis(std::string_view line) const {
  std::string out;
  AppendSjis(line, out);
  return out;
}

}  // namespace mirabo
