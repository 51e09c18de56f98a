#include "tests/app/win_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <system_error>

namespace mirabo::testing {
namespace fs = std::filesystem;

TempDir::TempDir(const std::wstring& nameHint) {
  static unsigned serial = 0;
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    path_ = base / (L"mirabo-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                    std::to_wstring(++serial) + nameHint);
    std::error_code ec;
    if (fs::create_directory(path_, ec)) break;
    if (ec) throw fs::filesystem_error("cannot create a test folder", path_, ec);
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files would stop the removal.
  for (fs::recursive_directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec))
    ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  fs::remove_all(path_, ec);
}

std::vector<std::wstring> TempDir::FileNames() const {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename());
  return names;
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

ErrorRecorder::ErrorRecorder()
    : previous_(SetDefaultErrorHandler(
          [this](HWND, const std::exception& e) { messages.emplace_back(e.what()); })) {}

ErrorRecorder::~ErrorRecorder() { SetDefaultErrorHandler(std::move(previous_)); }

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

DialogRecorder::DialogRecorder(bool answer) : answer(answer), previous_(SetDialogAnswerer(this)) {}

DialogRecorder::~DialogRecorder() { SetDialogAnswerer(previous_); }

bool DialogRecorder::Confirm(const std::wstring& text) {
  questions.push_back(text);
  return answer;
}

void DialogRecorder::Notice(const std::wstring& text) { notices.push_back(text); }

void SetLastWrite(const fs::path& path, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0}, utc{};
  FILETIME time{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &time))
    throw std::runtime_error("bad test time");
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path.string());
  const BOOL ok = ::SetFileTime(file, nullptr, nullptr, &time);
  ::CloseHandle(file);
  if (!ok) throw std::runtime_error("cannot set the time of " + path.string());
}

FILETIME LastWrite(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    throw std::runtime_error("cannot read the time of " + path.string());
  return data.ftLastWriteTime;
}

}  // namespace mirabo::testing
