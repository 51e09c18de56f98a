#pragma once
// An INI file held as its lines, read and edited the way the Windows profile
// functions do it, so that the settings file behaves the same on any system
// code page: section and key names match without case, a present empty value
// is empty (not missing), a new section goes to the end, a new key to the end
// of its section, an existing key is changed in place, and every other line
// (comments, unknown keys, blank lines, even binary junk) is kept.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirabo {

class IniDocument {
 public:
  // The longest value a read returns, as with a 2048-byte profile buffer.
  static constexpr size_t kMaxValueBytes = 2047;

  IniDocument() = default;
  // Accepts CR LF, LF and CR line ends, and any bytes at all; a UTF-8
  // byte-order mark at the start is dropped.
  static IniDocument Parse(std::string_view bytes);

  // The value of the first matching key, trimmed of blanks and of one pair of
  // enclosing quotes, cut to kMaxValueBytes; nullopt when there is no such key
  // or its line has no "=".
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // CP932 text with CR LF line ends.
  std::string Serialize() const;

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::optional<size_t> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(std::string_view section, std::string_view key) const;

  std::vector<std::string> lines_;
};

}  // namespace mirabo
