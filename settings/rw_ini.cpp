#include "settings/rw_ini.h"

#include <cstdint>
#include <limits>

#include "base/errors.h"

namespace mirabo {
namespace {

using K = SettingKind;
using S = Settings;

// CP932 bytes of "無題" (untitled), the rename bar's default title.
constexpr std::string_view kUntitled = "\x96\xB3\x91\xE8";

constexpr std::array<SettingRow, 31> kTable{{
    {"Pos", "Top", K::Integer, &S::Top, nullptr, 0},
    {"Pos", "Left", K::Integer, &S::Left, nullptr, 0},
    {"Pos", "Width", K::Integer, &S::Width, nullptr, 640},
    {"Pos", "Height", K::Integer, &S::Height, nullptr, 480},
    {"View", "Zoom", K::Integer, &S::Zoom, nullptr, 0},
    {"View", "FitWin", K::Flag, &S::FitWin, nullptr, 0},
    {"View", "FitOver", K::Flag, &S::FitOver, nullptr, 0},
    {"View", "Slide", K::Flag, &S::ViewSlide, nullptr, 0},
    // Not the dialog's: set in the file by hand, 0 for the stored pixels.
    {"View", "Orientation", K::Flag, &S::Orientation, nullptr, 1},
    {"View", "ColorManage", K::Flag, &S::ColorManage, nullptr, 1},
    {"View", "ReadAhead", K::Flag, &S::ReadAhead, nullptr, 1},
    {"Slide", "Loop", K::Flag, &S::Loop, nullptr, 0},
    {"Slide", "Time", K::Integer, &S::Time, nullptr, 3},
    {"Jpeg", "Comp", K::Integer, &S::Comp, nullptr, 66},
    {"Save", "Path", K::Text, nullptr, &S::SavePath, 0, "", true},
    {"Launch", "SendTo", K::Text, nullptr, &S::SendTo},
    {"Media", "Back", K::Text, nullptr, &S::MediaBack},
    {"Mail", "Path", K::Text, nullptr, &S::MailPath},
    {"Mail", "BndOp", K::Text, nullptr, &S::BndOp},
    {"Rename", "Fix", K::Text, nullptr, &S::Fix, 0, kUntitled},
    {"Rename", "Date", K::Flag, &S::Date, nullptr, 1},
    {"Rename", "Degit", K::Integer, &S::Degit, nullptr, 3},
    {"Rename", "Count", K::Integer, &S::Count, nullptr, 0},
    {"Rename", "Init", K::Integer, &S::Init, nullptr, 1},
    {"Font", "Name", K::Text, nullptr, &S::FontName, 0, "Terminal"},
    {"Font", "Size", K::Integer, &S::FontSize, nullptr, 10},
    {"Mode", "DblCK", K::Flag, &S::DblCK, nullptr, 1},
    {"Mode", "Tray", K::Flag, &S::Tray, nullptr, 1},
    {"Mode", "RenBar", K::Flag, &S::RenBar, nullptr, 0},
    {"IE", "Ext", K::TextList},
    {"Susie", "Path", K::Text, nullptr, &S::SusiePath},
}};

bool IsIntegerRow(const SettingRow& row) { return row.kind == K::Integer || row.kind == K::Flag; }

std::string ListKey(std::string_view stem, size_t index) {
  return std::string(stem) + std::to_string(index);
}

std::string ErrorPath(const std::filesystem::path& p) {
  const auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

}  // namespace

const std::array<SettingRow, 31>& SettingsTable() { return kTable; }

const std::vector<std::string>& DefaultBrowserExtensions() {
  static const std::vector<std::string> list{"doc", "xls", "ppt", "mdb", "pdf"};
  return list;
}

std::optional<int> ParseInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned d;
    if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
    else return std::nullopt;
    value = value * base + d;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  if (base == 16) {
    // Hexadecimal is a bit pattern: $FFFFFFFF is -1.
    const uint32_t bits = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    return static_cast<int32_t>(bits);
  }
  const int64_t v = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int>(v);
}

int ParseIniInteger(std::string_view text, int fallback) { return ParseInteger(text).value_or(fallback); }

std::filesystem::path IniPathForExecutable(const std::filesystem::path& exe) {
  std::filesystem::path ini = exe;
  ini.replace_extension(".INI");
  return ini;
}

void ReadSettings(const IniDocument* doc, std::string_view exeFolder, Settings& settings,
                  std::vector<std::string>& browserList, std::vector<const SettingRow*>* defaulted) {
  for (const SettingRow& row : kTable) {
    if (row.kind == K::TextList) {
      if (!doc) {
        const auto& defaults = DefaultBrowserExtensions();
        browserList.insert(browserList.end(), defaults.begin(), defaults.end());
        continue;
      }
      // Empty and missing keys leave no gap in the list.
      for (int n = 0; n < kBrowserListKeysRead; ++n) {
        auto value = doc->Get(row.section, ListKey(row.key, static_cast<size_t>(n)));
        if (value && !value->empty()) browserList.push_back(std::move(*value));
      }
      continue;
    }
    const auto value = doc ? doc->Get(row.section, row.key) : std::nullopt;
    bool fromDefault = !value;
    if (IsIntegerRow(row)) {
      const auto number = value ? ParseInteger(*value) : std::nullopt;
      settings.*row.integer = number.value_or(row.integerDefault);
      fromDefault = !number;
    } else if (value) {
      settings.*row.text = *value;
    } else {
      settings.*row.text = row.defaultsToExeFolder ? std::string(exeFolder) : std::string(row.textDefault);
    }
    if (fromDefault && defaulted) defaulted->push_back(&row);
  }
}

void WriteSettings(IniDocument& doc, const Settings& settings,
                   const std::vector<std::string>& browserList) {
  for (const SettingRow& row : kTable) {
    if (row.kind == K::TextList) {
      // Every key up to Ext63 is written, emptied past the list's end, so
      // entries removed during the run do not come back at the next start.
      const size_t keys = std::max(browserList.size(), static_cast<size_t>(kBrowserListKeysRead));
      for (size_t n = 0; n < keys; ++n)
        doc.Set(row.section, ListKey(row.key, n), n < browserList.size() ? browserList[n] : "");
    } else if (IsIntegerRow(row)) {
      doc.Set(row.section, row.key, std::to_string(settings.*row.integer));
    } else {
      doc.Set(row.section, row.key, settings.*row.text);
    }
  }
}

void LoadSettingsFile(FileStore& store, const std::filesystem::path& iniPath,
                      std::string_view exeFolder, Settings& settings,
                      std::vector<std::string>& browserList, std::vector<const SettingRow*>* defaulted) {
  const FileRead read = store.ReadAll(iniPath);
  if (read.status == FileRead::Status::Missing) {
    ReadSettings(nullptr, exeFolder, settings, browserList, defaulted);
    return;
  }
  // A file that exists but cannot be read gives the defaults of its keys, as
  // the profile functions do, but it is still a file: no default list.
  const IniDocument doc = IniDocument::Parse(read.bytes);
  ReadSettings(&doc, exeFolder, settings, browserList, defaulted);
}

void SaveSettingsFile(FileStore& store, const std::filesystem::path& iniPath,
                      const Settings& settings, const std::vector<std::string>& browserList) {
  static constexpr std::string_view kCannotWrite = "%s に書き込めません";
  const FileRead read = store.ReadAll(iniPath);
  // Writing over a file whose lines could not be read would lose them.
  if (read.status == FileRead::Status::Failed)
    throw EIniFileException(FormatMessageText(kCannotWrite, ErrorPath(iniPath)));
  IniDocument doc = IniDocument::Parse(read.bytes);
  WriteSettings(doc, settings, browserList);
  if (!store.ReplaceAll(iniPath, doc.Serialize()))
    throw EIniFileException(FormatMessageText(kCannotWrite, ErrorPath(iniPath)));
}

}  // namespace mirabo
