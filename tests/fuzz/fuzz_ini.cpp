// The settings file over any bytes: reading never fails, a value written is
// read back, and writing keeps the file readable.
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  mirabo::IniDocument doc = mirabo::IniDocument::Parse(bytes);
  // Section and key names taken from the input itself, as a user's file has them.
  const size_t cut = size / 3;
  const std::string section(bytes.substr(0, std::min<size_t>(cut, 12)));
  const std::string key(bytes.substr(cut, std::min<size_t>(cut, 12)));
  (void)doc.Get(section, key);
  (void)doc.Get("Pos", "Top");
  const bool plainName = [&] {
    for (const std::string* s : {&section, &key})
      for (char c : *s)
        if (c == '\r' || c == '\n' || c == ']' || c == '[' || c == '=' || c == ';' || c == ' ' || c == '\t' ||
            c == '"' || c == '\'' || static_cast<unsigned char>(c) >= 0x80 || c == '\0')
          return false;
    return !section.empty() && !key.empty();
  }();
  if (plainName) {
    doc.Set(section, key, "v1");
    const mirabo::IniDocument again = mirabo::IniDocument::Parse(doc.Serialize());
    if (again.Get(section, key) != std::optional<std::string>("v1")) abort();
  }
  doc.Set("Pos", "Top", "12");
  const mirabo::IniDocument again = mirabo::IniDocument::Parse(doc.Serialize());
  if (again.Get("Pos", "Top") != std::optional<std::string>("12")) abort();
  return 0;
}
