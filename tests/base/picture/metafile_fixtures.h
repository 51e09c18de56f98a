#pragma once
// Metafiles made byte by byte, so the tests (and the fuzzers' seeds) can
// state exactly the field that is wrong.
#include <cstdint>
#include <string>
#include <vector>

namespace mirabo::testing {

struct WmfRecord {
  uint16_t function;
  std::vector<uint16_t> params;
  uint32_t sizeWords = 0;  // 0: the record's true size
};

struct WmfSpec {
  uint16_t objects = 1;
  std::vector<WmfRecord> records;  // META_EOF is added
  bool placeable = false;
  int16_t box[4] = {0, 0, 1440, 720};  // left, top, right, bottom
  uint16_t unitsPerInch = 1440;
  bool badChecksum = false;
  int32_t sizeAdjustWords = 0;  // added to the header's file size
};
std::string MakeWmf(const WmfSpec& made);
// A pen, a brush, a rectangle, a polygon, a text and a packed bitmap.
WmfSpec DrawingWmf();

struct EmfRecord {
  uint32_t type;
  std::vector<uint32_t> fields;  // after type and size
  uint32_t size = 0;             // 0: the record's true size
};

struct EmfSpec {
  uint16_t handles = 3;
  std::vector<EmfRecord> records;  // the header and EMR_EOF are added
  int32_t frame[4] = {0, 0, 5080, 2540};  // hundredths of a millimetre
  int32_t bytesAdjust = 0;  // added to the header's file size
};
std::string MakeEmf(const EmfSpec& made);
// A brush selected, a rectangle, 16-bit and 32-bit polygons, a text and a bitmap.
EmfSpec DrawingEmf();

}  // namespace mirabo::testing
