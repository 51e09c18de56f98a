#pragma once
// Paths as text: the name, extension and folder parts of a path, and
// wildcard masks. One set of rules for the whole program: a name ends at
// the last "\", "/" or ":" (a drive's "C:x.jpg" included).
#include <string>
#include <string_view>

namespace mirabo {

// The extension with its dot ("" when there is none): the text from the last
// "." of the file name.
std::wstring_view ExtensionOf(std::wstring_view path);
std::string_view ExtensionOf(std::string_view path);
// The file name: the text after the last "\", "/" or ":".
std::wstring_view FileNameOf(std::wstring_view path);
std::string_view FileNameOf(std::string_view path);
// The folder part up to and including the last "\" ("" when there is none).
std::wstring_view FolderOf(std::wstring_view path);

// ASCII letters lowered, everything else as it stands.
std::wstring LowerAscii(std::wstring_view text);
// Names compared as the file system does for ASCII letters: UTF-8 or
// UTF-16 text, whose other bytes are never letters. (Shift-JIS text, whose
// trail bytes can be, has cp932::EqualsNoCase.)
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
// Whether the name ends in the extension (".spi"), ASCII letters without case.
bool EndsWithAsciiNoCase(std::string_view name, std::string_view ending);

// Whether a file name matches one of the ";"-separated wildcard patterns
// ("*" any run, "?" one character), without regard to case.
bool MatchesMask(std::wstring_view name, std::wstring_view mask);

}  // namespace mirabo
