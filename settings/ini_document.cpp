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

// "[name]" (the closing bracket may be missing, as the profile functions allow).
std::optional<std::string_view> SectionOf(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  const std::string_view inner = t.substr(1);
  return Trim(inner.substr(0, inner.find(']')));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
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
  const std::string_view value = Unquote(KeyOf(lines_[*at])->value);
  return std::string(cp932::CutAtCharBoundary(value, kMaxValueBytes));
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
