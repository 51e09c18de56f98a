#pragma once
// The typed errors the user may see. Messages are UTF-8 (the program's own
// Japanese texts are UTF-8 literals); the application's default handler turns
// them into a message box and the user goes on.
#include <stdexcept>
#include <string>
#include <string_view>

namespace mirabo {

class EMirabo : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reading or writing a file failed.
class EInOutError : public EMirabo {
 public:
  using EMirabo::EMirabo;
};

// The settings file could not be written.
class EIniFileException : public EInOutError {
 public:
  using EInOutError::EInOutError;
};

// Text that should have been a number was not.
class EConvertError : public EMirabo {
 public:
  using EMirabo::EMirabo;
};

// Replaces each "%s" of a message pattern with the next argument, in order;
// the patterns are the program's fixed texts, so nothing else needs escaping.
template <typename... Args>
std::string FormatMessageText(std::string_view pattern, const Args&... args) {
  std::string out;
  const std::string_view values[] = {std::string_view(args)..., std::string_view()};
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' &&
        next < sizeof...(Args)) {
      out += values[next++];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace mirabo
