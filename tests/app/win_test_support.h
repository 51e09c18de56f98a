#pragma once
// What the in-process Windows tests share: temporary folders that clean up
// after themselves, whole-file helpers, and a recorder for the errors that
// would otherwise open a message box.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "base/win/error_handler.h"

namespace mirabo::testing {

class TempDir {
 public:
  // nameHint becomes part of the folder's name (so a test can ask for
  // characters that the ANSI code page cannot hold).
  explicit TempDir(const std::wstring& nameHint = L"");
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::wstring& name) const { return path_ / name; }
  std::vector<std::wstring> FileNames() const;

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// While it lives, errors that reach the default handler are recorded here
// (UTF-8 texts) instead of being shown.
class ErrorRecorder {
 public:
  ErrorRecorder();
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;
  ~ErrorRecorder();
  std::vector<std::string> messages;

 private:
  ErrorHandler previous_;
};

// While it lives, the program's question and notice boxes are answered
// here: every question with answer, every text recorded.
class DialogRecorder : public DialogAnswerer {
 public:
  explicit DialogRecorder(bool answer = true);
  DialogRecorder(const DialogRecorder&) = delete;
  DialogRecorder& operator=(const DialogRecorder&) = delete;
  ~DialogRecorder() override;
  bool Confirm(const std::wstring& text) override;
  void Notice(const std::wstring& text) override;
  bool answer;
  std::vector<std::wstring> questions, notices;

 private:
  DialogAnswerer* previous_;
};

// Sets a file's last-write time to a local date and time.
void SetLastWrite(const std::filesystem::path& path, WORD year, WORD month, WORD day, WORD hour, WORD minute,
                  WORD second);
FILETIME LastWrite(const std::filesystem::path& path);

// Runs the messages already queued for this thread's windows.
void PumpMessages();

}  // namespace mirabo::testing
