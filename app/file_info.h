#pragma once
// The file information sheet: eight lines of CP932 text whose labels are 15
// bytes wide, so the values line up in a fixed-pitch font.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirabo {

struct FileFacts {
  std::string path, folder, name;  // CP932; the folder keeps its trailing "\"
  uint32_t attributes = 0;         // the file system's attribute word
  std::string timestamp;           // already formatted
  std::string size;                // already formatted, without " Bytes"
};

// Lines 1 to 6 (path, rule, folder, name, attribute letters and flags).
std::vector<std::string> FileInfoHead(const FileFacts& facts);
// Line 7 and line 8.
std::string FileInfoTimestampLine(const std::string& timestamp);
std::string FileInfoSizeLine(const std::string& size);
// Line 9 of a file's sheet: the encoding its text is read in ("UTF-8").
std::string FileInfoEncodingLine(std::string_view encoding);
// A JPEG's lines after it: how its pixels stand (the EXIF orientation and
// what showing it upright takes) and its colour profile's description
// (CP932; only when it has one).
std::string FileInfoOrientationLine(int orientation);
std::string FileInfoProfileLine(const std::string& descriptionCp932);

// A byte count with a separator between groups of three digits.
std::string GroupDigits(uint64_t value, const std::string& separator);

}  // namespace mirabo
