#include "tests/base/picture/metafile_fixtures.h"

namespace mirabo::testing {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A 2 x 2 24-bit packed DIB as 16-bit words.
std::vector<uint16_t> DibWords() {
  std::string b;
  Put32(b, 40);
  Put32(b, 2);
  Put32(b, 2);
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int row = 0; row < 2; ++row) b += std::string("\x00\x00\xFF\xFF\x00\x00\x00\x00", 8);
  std::vector<uint16_t> w;
  for (size_t i = 0; i < b.size(); i += 2)
    w.push_back(static_cast<uint16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8));
  return w;
}

}  // namespace

std::string MakeWmf(const WmfSpec& made) {
  std::string body;
  uint32_t largest = 3;
  auto record = [&](const WmfRecord& r) {
    const uint32_t words = 3 + static_cast<uint32_t>(r.params.size());
    largest = std::max(largest, words);
    Put32(body, r.sizeWords ? r.sizeWords : words);
    Put16(body, r.function);
    for (uint16_t p : r.params) Put16(body, p);
  };
  for (const auto& r : made.records) record(r);
  record({0x0000, {}});
  std::string out;
  if (made.placeable) {
    std::string p;
    Put32(p, 0x9AC6CDD7);
    Put16(p, 0);
    for (int16_t v : made.box) Put16(p, static_cast<uint16_t>(v));
    Put16(p, made.unitsPerInch);
    Put32(p, 0);
    uint16_t sum = 0;
    for (size_t i = 0; i < p.size(); i += 2)
      sum ^= static_cast<uint16_t>(static_cast<uint8_t>(p[i]) | static_cast<uint8_t>(p[i + 1]) << 8);
    Put16(p, made.badChecksum ? sum ^ 1 : sum);
    out = p;
  }
  Put16(out, 1);
  Put16(out, 9);
  Put16(out, 0x0300);
  Put32(out, static_cast<uint32_t>(static_cast<int32_t>(9 + body.size() / 2) + made.sizeAdjustWords));
  Put16(out, made.objects);
  Put32(out, largest);
  Put16(out, 0);
  return out + body;
}

WmfSpec DrawingWmf() {
  WmfSpec s;
  s.objects = 2;
  s.placeable = true;
  std::vector<uint16_t> stretch = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 100, 100, 10, 10};  // SRCCOPY, DIB_RGB_COLORS
  const auto dib = DibWords();
  stretch.insert(stretch.end(), dib.begin(), dib.end());
  s.records = {
      {0x0103, {8}},                          // SETMAPMODE anisotropic
      {0x020B, {0, 0}},                       // SETWINDOWORG
      {0x020C, {720, 1440}},                  // SETWINDOWEXT (y, x)
      {0x02FA, {0, 1, 0, 0x00FF, 0}},         // CREATEPENINDIRECT: solid red
      {0x012D, {0}},                          // SELECTOBJECT
      {0x02FC, {0, 0xFF00, 0, 0}},            // CREATEBRUSHINDIRECT: solid green
      {0x012D, {1}},
      {0x041B, {700, 1400, 20, 20}},          // RECTANGLE
      {0x0324, {3, 100, 100, 700, 100, 400, 600}},  // POLYGON
      {0x0521, {2, 0x6948, 50, 50}},          // TEXTOUT "Hi"
      {0x0F43, stretch},                      // STRETCHDIB
      {0x01F0, {0}},                          // DELETEOBJECT
  };
  return s;
}

std::string MakeEmf(const EmfSpec& made) {
  std::string records;
  for (const auto& r : made.records) {
    Put32(records, r.type);
    Put32(records, r.size ? r.size : static_cast<uint32_t>(8 + 4 * r.fields.size()));
    for (uint32_t f : r.fields) Put32(records, f);
  }
  Put32(records, 14);  // EMR_EOF: no palette
  Put32(records, 20);
  Put32(records, 0);
  Put32(records, 16);
  Put32(records, 20);
  std::string h;
  const uint32_t headerSize = 108;
  Put32(h, 1);
  Put32(h, headerSize);
  for (int i = 0; i < 4; ++i) Put32(h, 0);  // bounds
  for (int32_t v : made.frame) Put32(h, static_cast<uint32_t>(v));
  Put32(h, 0x464D4520);
  Put32(h, 0x10000);
  Put32(h, static_cast<uint32_t>(static_cast<int32_t>(headerSize + records.size()) + made.bytesAdjust));
  Put32(h, static_cast<uint32_t>(made.records.size() + 2));
  Put16(h, made.handles);
  Put16(h, 0);
  Put32(h, 0);  // no description
  Put32(h, 0);
  Put32(h, 0);  // no palette
  Put32(h, 1920);  // device in pixels and millimetres
  Put32(h, 1080);
  Put32(h, 508);
  Put32(h, 286);
  Put32(h, 0);  // no pixel format, no OpenGL
  Put32(h, 0);
  Put32(h, 0);
  Put32(h, 508000);  // micrometres
  Put32(h, 286000);
  return h + records;
}

EmfSpec DrawingEmf() {
  EmfSpec s;
  // STRETCHDIBITS of a 2 x 2 24-bit bitmap: header at 80, pixels at 120.
  std::vector<uint32_t> stretch = {0, 0, 100, 100, 10, 10, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 50, 50};
  const uint32_t info[] = {40, 2, 2, 1 | (24u << 16), 0, 0, 0, 0, 0, 0};
  stretch.insert(stretch.end(), std::begin(info), std::end(info));
  stretch.insert(stretch.end(), {0xFF0000FF, 0x00000000, 0xFF0000FF, 0x00000000});
  // EXTTEXTOUTW "Hi": EMRTEXT at 36, string at 76, widths at 80.
  const std::vector<uint32_t> text = {0, 0, 100, 100, 1, 0, 0, 10, 10, 2, 76, 0, 0, 0, 0, 0, 80, 0x00690048, 8, 8};
  s.records = {
      {39, {1, 0, 0x00FF00, 0}},                                  // CREATEBRUSHINDIRECT
      {37, {1}},                                                  // SELECTOBJECT
      {37, {0x80000007}},                                         // SELECTOBJECT: stock black pen
      {43, {10, 10, 200, 100}},                                   // RECTANGLE
      {86, {0, 0, 100, 100, 3, 0x000A000A, 0x00640032, 0x000A0064}},  // POLYGON16
      {3, {0, 0, 100, 100, 3, 10, 10, 50, 100, 100, 10}},         // POLYGON
      {84, text},                                                 // EXTTEXTOUTW
      {81, stretch},                                              // STRETCHDIBITS
      {40, {1}},                                                  // DELETEOBJECT
  };
  return s;
}

}  // namespace mirabo::testing
