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

}  // namespace mirabo::testing
