#include "settings/ini_document.h"

#include "text/cp932.h"

namespace mirabo {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

// The last "]" of the text that is a character of its own: in Shift-JIS the
// second byte of 評, 転 or 望 is the same byte and must not end a name.
std::optional<size_t> LastClosingBracket(std::string_view t) {
  std::optional<size_t> at;
  for (size_t i = 0; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (cp932::IsLeadByte(c) && i + 1 < t.size()) {
      ++i;
    } else if (c == ']') {
      at = i;
    }
  }
  return at;
}

// "[name]", the name ending at the last "]" on the line, as the profile
// functions read it; a "[" line without one is an ordinary line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  const auto close = LastClosingBracket(t);
  if (!close) return std::nullopt;
  return Trim(t.substr(1, *close - 1));
}

struct KeyLine {
  std::string_view key;
  std::optional<std::string_view> value;  // none: a line without "="
};

// Every line that is neither blank, a comment nor a section header names a
// key; one without "=" has no value (it reads as missing, and a write gives
// it one in place).
std::optional<KeyLine> KeyOf(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || SectionOf(t)) return std::nullopt;
  const size_t eq = t.find('=');  // "=" is never the second byte of a character
  if (eq == std::string_view::npos) return KeyLine{t, std::nullopt};
  return KeyLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

bool IsBlank(std::string_view line) { return Trim(line).empty(); }

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  // An editor's UTF-8 mark would otherwise become part of the first line and
  // hide the first section. It is not written back: the file is CP932. Every
  // mark goes (a file converted twice has two), or the next read would take
  // the one left as the first line's and read the file differently.
  while (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      doc.lines_.emplace_back(bytes.substr(start));
      break;
    }
    doc.lines_.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return doc;
}

std::optional<size_t> IniDocument::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionOf(lines_[i]);
    if (name && cp932::EqualsNoCase(*name, section)) return i;
  }
  return std::nullopt;
}

// A section that appears twice counts as one: its keys are searched in file order.
std::optional<size_t> IniDocument::FindKey(std::string_view section, std::string_view key) const {
  bool inside = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (const auto name = SectionOf(lines_[i])) {
      inside = cp932::EqualsNoCase(*name, section);
      continue;
    }
    if (!inside) continue;
    const auto kv = KeyOf(lines_[i]);
    if (kv && cp932::EqualsNoCase(kv->key, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const auto at = FindKey(section, key);
  if (!at) return std::nullopt;
  const auto value = KeyOf(lines_[*at])->value;
  if (!value) return std::nullopt;
  return std::string(cp932::CutAtCharBoundary(Unquote(*value), kMaxValueBytes));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (const auto at = FindKey(section, key)) {
    // The key keeps the spelling it has in the file.
    std::string line(KeyOf(lines_[*at])->key);
    line += '=';
    line += value;
    lines_[*at] = std::move(line);
    return;
  }
  std::string line(key);
  line += '=';
  line += value;
  const auto header = FindSection(section);
  if (!header) {
    if (!lines_.empty() && !IsBlank(lines_.back())) lines_.emplace_back();
    lines_.emplace_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(line));
    return;
  }
  // After the section's last non-blank line, so a blank line that separates
  // it from the next section stays where it is.
  size_t last = *header;
  for (size_t i = *header + 1; i < lines_.size() && !SectionOf(lines_[i]); ++i) {
    if (!IsBlank(lines_[i])) last = i;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1), std::move(line));
}

std::string IniDocument::Serialize() const {
  std::string out;
  size_t size = 0;
  for (const auto& l : lines_) size += l.size() + 2;
  out.reserve(size);
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

}  // namespace mirabo
