// The settings file's reader against the system's profile functions, which
// the settings file was always read with, on the lines that used to differ.
#include <windows.h>

#include <gtest/gtest.h>

#include "settings/ini_document.h"
#include "tests/app/win_test_support.h"

namespace mirabo {
namespace {

std::optional<std::string> ProfileGet(const std::filesystem::path& file, const std::string& section,
                                      const std::string& key) {
  // A default no file holds tells a missing key from an empty one.
  static const char kMissing[] = "\x01missing";
  char buffer[2048];
  GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissing, buffer, sizeof buffer,
                           file.string().c_str());
  if (std::string_view(buffer) == kMissing) return std::nullopt;
  return std::string(buffer);
}

TEST(IniProfile, OddSectionNamesAndLinesReadAsTheProfileFunctionsReadThem) {
  // 評 (0x95 0x5D) and 転 (0x93 0x5D) end in the byte of "]".
  const std::string hyou = "\x95\x5D", ten = "\x93\x5D";
  struct Case {
    const char* what;
    std::string file;
    std::vector<std::pair<std::string, std::string>> lookups;
  };
  const Case cases[] = {
      {"a section name whose second byte is ]",
       "[Pos]\r\nTop=1\r\n[" + hyou + "]\r\nCount=2\r\n[" + hyou + ten + "]\r\nCount=3\r\n",
       {{hyou, "Count"}, {hyou + ten, "Count"}, {"Pos", "Top"}, {"\x95", "Count"}}},
      {"a name holding ] ends at the last one",
       "[a]b]\r\nk=1\r\n[c] d ]\r\nk=2\r\n",
       {{"a]b", "k"}, {"a", "k"}, {"c] d", "k"}, {"c", "k"}}},
      {"a [ line without ] is an ordinary line",
       "[View]\r\n[open\r\nZoom=2\r\n[half=3\r\n[x" + ten + "=4\r\n",
       {{"View", "Zoom"}, {"open", "Zoom"}, {"View", "[half"}, {"View", "[x" + ten}}},
      {"a UTF-8 byte-order mark before the first section",
       "\xEF\xBB\xBF[Pos]\r\nTop=5\r\n[View]\r\nZoom=1\r\n",
       {{"Pos", "Top"}, {"View", "Zoom"}}},
      {"a key line without =",
       "[View]\r\nZoom\r\nZoom=2\r\nFit\r\nSlide=\r\n",
       {{"View", "Zoom"}, {"View", "Fit"}, {"View", "Slide"}}},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto file = dir / L"case.ini";
    testing::WriteBytes(file, c.file);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.string().c_str());  // no cached copy
    const IniDocument doc = IniDocument::Parse(c.file);
    for (const auto& [section, key] : c.lookups) {
      SCOPED_TRACE("[" + section + "] " + key);
      EXPECT_EQ(doc.Get(section, key), ProfileGet(file, section, key));
    }
  }
}

}  // namespace
}  // namespace mirabo
