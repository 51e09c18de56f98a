#pragma once
// The program's settings: one value per INI key plus the browser extension
// list, described once by a table that both loading and saving walk.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/file_store.h"
#include "settings/ini_document.h"

namespace mirabo {

// Text values are CP932 bytes, as they stand in the file. Members get their
// values from the table's defaults when loaded, never from here.
struct Settings {
  int Top = 0, Left = 0, Width = 0, Height = 0;   // Pos
  int Zoom = 0, FitWin = 0, FitOver = 0;          // View
  int ViewSlide = 0;                              // View/Slide
  int Orientation = 0, ColorManage = 0;           // View: photos upright, in true colours
  int ReadAhead = 0;                              // View: the next picture decoded meanwhile
  int Loop = 0, Time = 0;                         // Slide
  int Comp = 0;                                   // Jpeg
  std::string SavePath;                           // Save/Path
  std::string SendTo;                             // Launch
  std::string MediaBack;                          // Media/Back
  std::string MailPath, BndOp;                    // Mail
  std::string Fix;                                // Rename
  int Date = 0, Degit = 0, Count = 0, Init = 0;
  std::string FontName;                           // Font/Name
  int FontSize = 0;                               // Font/Size
  int DblCK = 0, Tray = 0, RenBar = 0;            // Mode
  std::string SusiePath;                          // Susie/Path

  bool operator==(const Settings&) const = default;
};

enum class SettingKind { Integer, Flag, Text, TextList };

struct SettingRow {
  std::string_view section;
  std::string_view key;  // for TextList the key's stem: "Ext" + index
  SettingKind kind;
  int Settings::*integer = nullptr;
  std::string Settings::*text = nullptr;
  int integerDefault = 0;
  std::string_view textDefault;
  bool defaultsToExeFolder = false;
};

// The browser extension list: keys Ext0 .. Ext63 when read.
constexpr int kBrowserListKeysRead = 64;

const std::array<SettingRow, 31>& SettingsTable();

// The five entries the list starts with when there is no settings file.
const std::vector<std::string>& DefaultBrowserExtensions();

// An integer as the string library reads it: optional blanks and sign,
// "$1F" or "0x1F" hexadecimal (a 32-bit pattern), otherwise decimal;
// nothing for anything else.
std::optional<int> ParseInteger(std::string_view text);

// ParseInteger, or fallback for empty or invalid text.
int ParseIniInteger(std::string_view text, int fallback);

// The executable's path with its extension replaced by ".INI" (appended when
// it has none).
std::filesystem::path IniPathForExecutable(const std::filesystem::path& exe);

// Fills settings from doc (nullptr: there is no settings file) and appends to
// browserList. exeFolder is the executable's folder with its trailing "\",
// the default of Save/Path. defaulted, when given, receives the rows whose
// value is their default because the file had none for them (or no number
// where one belongs).
void ReadSettings(const IniDocument* doc, std::string_view exeFolder, Settings& settings,
                  std::vector<std::string>& browserList, std::vector<const SettingRow*>* defaulted = nullptr);

// Writes every setting into doc in table order.
void WriteSettings(IniDocument& doc, const Settings& settings,
                   const std::vector<std::string>& browserList);

// The file-level operations: read the file through store, or write it back
// keeping every line the program does not own. SaveSettings raises
// EIniFileException ("%s に書き込めません") and leaves the file as it was
// when the file cannot be read back or replaced.
void LoadSettingsFile(FileStore& store, const std::filesystem::path& iniPath,
                      std::string_view exeFolder, Settings& settings,
                      std::vector<std::string>& browserList, std::vector<const SettingRow*>* defaulted = nullptr);
void SaveSettingsFile(FileStore& store, const std::filesystem::path& iniPath,
                      const Settings& settings, const std::vector<std::string>& browserList);

}  // namespace mirabo
