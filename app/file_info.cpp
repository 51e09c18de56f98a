#include "app/file_info.h"

namespace mirabo {
namespace {

// CP932 labels: half-width katakana, kanji, spaces and the full-width colon
// make exactly 15 bytes each.
const std::string kColon = "\x81\x46";                                                 // ：
const std::string kPathLabel = "\xCA\xDF\xBD\x96\xBC        " + kColon;               // ﾊﾟｽ名
const std::string kNameLabel = "\xCC\xA7\xB2\xD9\x96\xBC       " + kColon;            // ﾌｧｲﾙ名
const std::string kAttrLabel = "\xCC\xA7\xB2\xD9\x91\xAE\x90\xAB     " + kColon;      // ﾌｧｲﾙ属性
const std::string kTimeLabel = "\xC0\xB2\xD1\xBD\xC0\xDD\xCC\xDF     " + kColon;      // ﾀｲﾑｽﾀﾝﾌﾟ
const std::string kSizeLabel = "\xCC\xA7\xB2\xD9\x92\xB7       " + kColon;            // ﾌｧｲﾙ長
const std::string kEncodingLabel = "\x95\xB6\x8E\x9A\xBA\xB0\xC4\xDE     " + kColon;    // 文字ｺｰﾄﾞ
const std::string kOrientationLabel = "\x8C\xFC\x82\xAB         " + kColon;              // 向き
const std::string kProfileLabel = "ICC\xCC\xDF\xDB\xCC\xA7\xB2\xD9   " + kColon;          // ICCﾌﾟﾛﾌｧｲﾙ

}  // namespace

std::vector<std::string> FileInfoHead(const FileFacts& facts) {
  static constexpr struct {
    uint32_t bit;
    char letter;
  } kFlags[] = {{0x20, 'a'}, {0x10, 'd'}, {0x08, 'v'}, {0x04, 's'}, {0x02, 'h'}, {0x01, 'r'}};
  std::string flags(15, ' ');
  for (const auto& f : kFlags) {
    flags += (facts.attributes & f.bit) ? f.letter : '-';
    flags += ' ';
  }
  return {facts.path,
          std::string(14, '-'),
          kPathLabel + facts.folder,
          kNameLabel + facts.name,
          kAttrLabel + "a:d:v:s:h:r:",
          flags};
}

std::string FileInfoTimestampLine(const std::string& timestamp) { return kTimeLabel + timestamp; }

std::string FileInfoSizeLine(const std::string& size) { return kSizeLabel + size + " Bytes"; }

std::string FileInfoEncodingLine(std::string_view encoding) { return kEncodingLabel + std::string(encoding); }

std::string FileInfoOrientationLine(int orientation) {
  // What showing the stored pixels upright takes (CP932).
  static const char* const kWays[] = {
      "\x82\xBB\x82\xCC\x82\xDC\x82\xDC",                                  // そのまま
      "\x8D\xB6\x89\x45\x94\xBD\x93\x5D",                                  // 左右反転
      "180\x81\x8B\x89\xF1\x93\x5D",                                          // 180°回転
      "\x8F\xE3\x89\xBA\x94\xBD\x93\x5D",                                  // 上下反転
      "\x8D\xB6\x89\x45\x94\xBD\x93\x5D\x81\x7B\x8D\xB6" "90\x81\x8B\x89\xF1\x93\x5D",  // 左右反転＋左90°回転
      "\x89\x45" "90\x81\x8B\x89\xF1\x93\x5D",                                 // 右90°回転
      "\x8D\xB6\x89\x45\x94\xBD\x93\x5D\x81\x7B\x89\x45" "90\x81\x8B\x89\xF1\x93\x5D",  // 左右反転＋右90°回転
      "\x8D\xB6" "90\x81\x8B\x89\xF1\x93\x5D",                                 // 左90°回転
  };
  const int o = orientation >= 1 && orientation <= 8 ? orientation : 1;
  return kOrientationLabel + std::to_string(o) + " (" + kWays[o - 1] + ")";
}

std::string FileInfoProfileLine(const std::string& descriptionCp932) { return kProfileLabel + descriptionCp932; }

std::string GroupDigits(uint64_t value, const std::string& separator) {
  const std::string digits = std::to_string(value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

}  // namespace mirabo
