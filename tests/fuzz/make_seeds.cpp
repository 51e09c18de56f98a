// make_seeds TARGET FOLDER: writes the starting corpus of one fuzz target,
// made by the same generators the tests use (no files from elsewhere).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <png.h>

#include "tests/base/picture/jpeg_fixtures.h"
#include "tests/plugins/decoders/decoder_fixtures.h"
#include "tests/base/picture/metafile_fixtures.h"
#include "tests/viewers/tiff_fixtures.h"

namespace {

using Seeds = std::vector<std::string>;

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// A BITMAPINFOHEADER, its colour table and rows of a small picture.
std::string Dib(int width, int height, int bits, uint32_t compression = 0, int colours = -1) {
  std::string s;
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(width));
  Put32(s, static_cast<uint32_t>(height));
  Put16(s, 1);
  Put16(s, static_cast<uint32_t>(bits));
  Put32(s, compression);
  const int stride = (width * bits + 31) / 32 * 4;
  Put32(s, static_cast<uint32_t>(stride * (height < 0 ? -height : height)));
  Put32(s, 2835);
  Put32(s, 2835);
  const int used = colours >= 0 ? colours : (bits <= 8 ? 1 << bits : 0);
  Put32(s, static_cast<uint32_t>(colours >= 0 ? colours : 0));
  Put32(s, 0);
  if (compression == 3) {
    Put32(s, 0xF800);
    Put32(s, 0x07E0);
    Put32(s, 0x001F);
  }
  for (int i = 0; i < used; ++i) Put32(s, static_cast<uint32_t>(i * 0x010203));
  for (int i = 0; i < stride * (height < 0 ? -height : height); ++i) s += static_cast<char>(i * 37);
  return s;
}

std::string BmpFile(const std::string& dib, uint32_t colourBytes) {
  std::string s = "BM";
  Put32(s, static_cast<uint32_t>(14 + dib.size()));
  Put32(s, 0);
  Put32(s, 14 + 40 + colourBytes);
  return s + dib;
}

std::string IconFile(int size, int bits) {
  std::string image = Dib(size, size * 2, bits);
  image.append(static_cast<size_t>((size + 31) / 32 * 4 * size), '\0');  // the AND mask
  std::string s;
  Put16(s, 0);
  Put16(s, 1);
  Put16(s, 1);
  s += static_cast<char>(size);
  s += static_cast<char>(size);
  s += std::string("\0\0", 2);
  Put16(s, 1);
  Put16(s, static_cast<uint32_t>(bits));
  Put32(s, static_cast<uint32_t>(image.size()));
  Put32(s, 22);
  return s + image;
}

namespace decoders = mirabo::decoders::fixtures;

Seeds HeifSeeds(bool av1) {
  Seeds seeds;
  for (const auto& c : decoders::HeifCases()) {
    if (c.av1 == av1) seeds.push_back(Str(decoders::MakeHeif(c, 24, 16)));
  }
  // A phone's layout: a grid of tiles, turned and mirrored on the grid.
  if (!av1) seeds.push_back(Str(decoders::MakeHeifGrid({"grid", false, 10, false, 5, true}, 2, 1)));
  return seeds;
}

const std::map<std::string, std::function<Seeds()>> kSeeds = {
    {"fuzz_png_plugin",
     [] {
       Seeds seeds;
       for (const auto& c : decoders::PngCases()) seeds.push_back(Str(decoders::MakePng(c, 9, 7)));
       return seeds;
     }},
    {"fuzz_webp_plugin",
     [] {
       using decoders::WebpKind;
       Seeds seeds;
       for (WebpKind k : {WebpKind::kLossy, WebpKind::kLossless, WebpKind::kAlpha, WebpKind::kAnimated}) {
         seeds.push_back(Str(decoders::MakeWebp(k, 12, 9)));
       }
       return seeds;
     }},
    {"fuzz_heif_plugin", [] { return HeifSeeds(false); }},
    {"fuzz_avif_plugin", [] { return HeifSeeds(true); }},
    {"fuzz_sjisconv",
     [] {
       return Seeds{"plain ASCII line", "\x93\xFA\x96\x7B\x8C\xEA", "\xC6\xFC\xCB\xDC\xB8\xEC",
                    "\x1B$BF|K\\8l\x1B(B text", "\x1B$@0!\x1B(J\x1B(I1\x1B(B", "\x8E\xB1\x8E\xB2 kana",
                    "\xB1\xB2\xB3 \x82\xA0\x82\xA2", std::string("nul\0after", 9)};
     }},
    {"fuzz_text_lines",
     [] {
       return Seeds{"one\r\ntwo\nthree\rfour", "\r\n\r\n\n\r", std::string(300, 'x') + "\n" + std::string(5, 'y'),
                    std::string("\x00\x01\x02\xFF\xFE", 5), ""};
     }},
    {"fuzz_text_encoding",
     [] {
       return Seeds{"\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C\xAC\r\n\xF0\x9F\x98\x80\n",
                    std::string("\xFF\xFE\xE5\x65\x2C\x67\r\0\n\0\x3D\xD8\x00\xDE", 14),
                    std::string("\xFE\xFF\x65\xE5\0\n\x4E\x0A\0\r", 10), "caf\xC3\xA9 \xEA\xB0\x80\n\xE0\x80",
                    "\x93\xFA\x96\x7B\x8C\xEA\r\n\xED\xA0\x80", ""};
     }},
    {"fuzz_ini",
     [] {
       return Seeds{"[Pos]\r\nTop=1\r\nLeft=2\r\n\r\n[View]\r\nZoom=0\r\n",
                    "\xEF\xBB\xBF[Pos]\nTop=\"5\"\n; comment\n[\x95\x5D]\nCount=3\n[a]b]\nk\n[open\nx=1\n",
                    "[IE]\r\nExt0=pdf\r\nExt1=\r\nExt2=doc\r\n[Susie]\r\nPath=C:\\plug\\\r\n"};
     }},
    {"fuzz_dib_assembly",
     [] {
       Seeds seeds;
       for (const int bits : {1, 4, 8, 16, 24, 32}) {
         const std::string dib = Dib(5, -3, bits);
         const size_t infoSize = 40 + (bits <= 8 ? 4u << bits : 0);
         std::string s;
         Put16(s, static_cast<uint32_t>(infoSize));
         seeds.push_back(s + dib);
       }
       std::string masks;
       Put16(masks, 52);
       seeds.push_back(masks + Dib(4, 4, 16, 3));
       return seeds;
     }},
    {"fuzz_bitmap_files",
     [] {
       Seeds seeds;
       for (const int bits : {1, 4, 8, 24, 32})
         seeds.push_back(BmpFile(Dib(7, 5, bits), bits <= 8 ? 4u << bits : 0));
       seeds.push_back(Dib(6, -4, 24));
       seeds.push_back(Dib(3, 3, 8, 1, 4));
       seeds.push_back(IconFile(16, 4));
       seeds.push_back(IconFile(32, 32));
       // The forms our own decoder reads: 2 bits, run lengths, masks with
       // alpha, OS/2's short header, JPEG pixels.
       seeds.push_back(BmpFile(Dib(9, 4, 2), 16));
       std::string rle = Dib(8, 4, 8, 1, 4);
       rle += std::string("\x03\x01\x00\x03\x01\x02\x03\x00\x00\x02\x02\x01\x02\x02\x00\x00\x00\x01", 18);
       seeds.push_back(rle);
       seeds.push_back(Dib(8, 4, 4, 2, 16) + std::string("\x05\x12\x00\x03\x34\x50\x00\x02\x01\x01\x00\x01", 12));
       std::string alpha = Dib(5, 3, 32, 6, 0);
       alpha.insert(40, std::string("\x00\xff\x00\x00\x00\x00\xff\x00\x00\x00\x00\xff\xff\x00\x00\x00", 16));
       seeds.push_back(alpha);
       std::string os2;
       Put32(os2, 16);
       Put32(os2, 6);
       Put32(os2, 3);
       Put16(os2, 1);
       Put16(os2, 8);
       for (int i = 0; i < 256 * 4 + 8 * 3; ++i) os2 += static_cast<char>(i * 13);
       seeds.push_back(os2);
       std::string jpeg = Dib(8, 8, 24, 4, 0);
       jpeg.resize(40);
       jpeg += Str(mirabo::testing::MakeRgbJpeg(8, 8, 80, [](int y, uint8_t* rgb) {
         for (int i = 0; i < 24; ++i) rgb[i] = static_cast<uint8_t>(i * 9 + y);
       }));
       seeds.push_back(jpeg);
       std::vector<uint8_t> rgba(6 * 4 * 4);
       for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i * 11);
       png_image image{};
       image.version = PNG_IMAGE_VERSION;
       image.width = 6, image.height = 4, image.format = PNG_FORMAT_RGBA;
       std::vector<uint8_t> png(4096);
       png_alloc_size_t size = png.size();
       if (png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr)) {
         std::string withPng = Dib(6, 4, 0, 5, 0);
         withPng.resize(40);
         withPng += std::string(reinterpret_cast<const char*>(png.data()), size);
         seeds.push_back(withPng);
       }
       return seeds;
     }},
    {"fuzz_metafile",
     [] {
       mirabo::testing::WmfSpec plain = mirabo::testing::DrawingWmf();
       plain.placeable = false;
       return Seeds{mirabo::testing::MakeWmf(mirabo::testing::DrawingWmf()), mirabo::testing::MakeWmf(plain),
                    mirabo::testing::MakeEmf(mirabo::testing::DrawingEmf())};
     }},
    {"fuzz_jpeg_metadata",
     [] {
       Seeds seeds;
       for (const bool big : {false, true})
         for (const bool longHeight : {false, true})
           seeds.push_back(Str(mirabo::testing::MakeExif(big, 6, 640, 480, longHeight)));
       seeds.push_back(std::string("http://ns.adobe.com/xap/1.0/") + '\0' +
                       "<x:xmpmeta><rdf:Description tiff:Orientation=\"8\"/></x:xmpmeta>");
       seeds.push_back(std::string("http://ns.adobe.com/xap/1.0/") + '\0' +
                       "<tiff:Orientation>6</tiff:Orientation>");
       // Segments as a file holds them after its start: EXIF, two profile chunks.
       const std::string exif = Str(mirabo::testing::MakeExif(false, 3, 64, 32, false));
       const auto segment = [](int code, const std::string& payload) {
         const size_t length = payload.size() + 2;
         return std::string{'\xFF', static_cast<char>(code), static_cast<char>(length >> 8), static_cast<char>(length)} +
                payload;
       };
       const std::string icc = std::string("ICC_PROFILE") + '\0';
       seeds.push_back(segment(0xE1, exif) + segment(0xE2, icc + '\x01' + '\x02' + "part one") +
                       segment(0xE2, icc + '\x02' + '\x02' + "part two") + "\xFF\xDA");
       return seeds;
     }},
    {"fuzz_pcx",
     [] {
       Seeds seeds;
       for (const auto& [bits, planes] : std::vector<std::pair<int, int>>{{1, 1}, {1, 4}, {2, 1}, {4, 1}, {8, 1}, {8, 3}}) {
         mirabo::test::PcxSpec pcx;
         pcx.bitsPerPlane = bits;
         pcx.planes = planes;
         seeds.push_back(Str(mirabo::test::WritePcx(pcx)));
         pcx.encoded = false;
         seeds.push_back(Str(mirabo::test::WritePcx(pcx)));
       }
       return seeds;
     }},
    {"fuzz_tiff",
     [] {
       using mirabo::test::TiffPage;
       Seeds seeds;
       for (const uint16_t compression : {COMPRESSION_NONE, COMPRESSION_CCITTFAX3, COMPRESSION_CCITTFAX4,
                                          COMPRESSION_PACKBITS, COMPRESSION_LZW}) {
         TiffPage page;
         page.width = 24;
         page.height = 10;
         page.compression = compression;
         seeds.push_back(Str(mirabo::test::WriteTiff({page, page})));
       }
       TiffPage grey;
       grey.bits = 8;
       grey.photometric = PHOTOMETRIC_MINISBLACK;
       grey.pattern = mirabo::test::GreyPattern;
       grey.tileWidth = grey.tileHeight = 16;
       grey.width = grey.height = 20;
       seeds.push_back(Str(mirabo::test::WriteTiff({grey})));
       TiffPage colour;
       colour.bits = 8;
       colour.samples = 3;
       colour.photometric = PHOTOMETRIC_RGB;
       colour.compression = COMPRESSION_ADOBE_DEFLATE;
       colour.pattern = mirabo::test::ColourPattern;
       seeds.push_back(Str(mirabo::test::WriteTiff({colour})));
       // The layouts made from their samples, and the turned ones.
       struct Form {
         uint16_t photometric, bits, samples, format, orientation;
       };
       for (const Form f : {Form{PHOTOMETRIC_MINISBLACK, 12, 1, SAMPLEFORMAT_UINT, 1},
                            Form{PHOTOMETRIC_MINISBLACK, 16, 1, SAMPLEFORMAT_INT, 6},
                            Form{PHOTOMETRIC_RGB, 32, 3, SAMPLEFORMAT_IEEEFP, 1},
                            Form{PHOTOMETRIC_MINISBLACK, 16, 2, SAMPLEFORMAT_IEEEFP, 5},
                            Form{PHOTOMETRIC_SEPARATED, 16, 4, SAMPLEFORMAT_UINT, 7},
                            Form{PHOTOMETRIC_CIELAB, 8, 3, SAMPLEFORMAT_UINT, 1},
                            Form{PHOTOMETRIC_ITULAB, 16, 3, SAMPLEFORMAT_UINT, 8},
                            Form{PHOTOMETRIC_PALETTE, 1, 1, SAMPLEFORMAT_UINT, 8}}) {
         TiffPage page;
         page.width = 18, page.height = 7, page.rowsPerStrip = 3;
         page.photometric = f.photometric, page.bits = f.bits, page.samples = f.samples;
         page.sampleFormat = f.format, page.orientation = f.orientation;
         if (f.samples == 2) page.extraSample = EXTRASAMPLE_UNASSALPHA;
         if (f.photometric != PHOTOMETRIC_PALETTE) page.value = [](int x, int y, int s) { return (x * 7 + y * 3 + s) % 200 * 1.5; };
         seeds.push_back(Str(mirabo::test::WriteTiff({page})));
       }
       return seeds;
     }},
};

}  // namespace

// The system's HEVC and AV1 encoders, which make some of the seeds, keep
// memory to the end.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\nleak:libaom.so\n"; }

int main(int argc, char** argv) {
  if (argc != 3 || !kSeeds.count(argv[1])) {
    std::fprintf(stderr, "usage: make_seeds TARGET FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[2];
  std::filesystem::create_directories(folder);
  const Seeds seeds = kSeeds.at(argv[1])();
  for (size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream out(folder / ("seed" + std::to_string(i)), std::ios::binary);
    out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
  }
  return 0;
}
