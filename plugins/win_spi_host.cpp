#include "plugins/win_spi_host.h"

#include <windows.h>

#include <array>
#include <span>

#include "base/win/paths.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"
#include "plugins/spi_abi.h"
#include "plugins/spi_calls.h"

namespace mirabo {
namespace {

// A movable block from a plug-in, locked while it lives and freed at the end
// whatever happens; its length is the block's own size.
class LockedBlock {
 public:
  explicit LockedBlock(HLOCAL h) : handle_(h) {
    if (handle_) data_ = static_cast<const uint8_t*>(::LocalLock(handle_));
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  ~LockedBlock() {
    if (!handle_) return;
    if (data_) ::LocalUnlock(handle_);
    ::LocalFree(handle_);
  }
  std::span<const uint8_t> Bytes() const {
    return data_ ? std::span<const uint8_t>(data_, ::LocalSize(handle_)) : std::span<const uint8_t>();
  }

 private:
  HLOCAL handle_;
  const uint8_t* data_ = nullptr;
};

class LocalPicture : public ISpiPicture {
 public:
  LocalPicture(HLOCAL info, HLOCAL bits) : info_(info), bits_(bits) {}
  std::span<const uint8_t> Info() const override { return info_.Bytes(); }
  std::span<const uint8_t> Bits() const override { return bits_.Bytes(); }

 private:
  LockedBlock info_, bits_;
};

class WinSpiLibrary : public ISpiLibrary {
 public:
  explicit WinSpiLibrary(HMODULE module) : module_(module) {
    for (int i = 0; i < kSpiExportCount; ++i) {
      const std::string name(SpiExportName(static_cast<SpiExport>(i)));
      exports_[static_cast<size_t>(i)] = ::GetProcAddress(module, name.c_str());
    }
  }
  std::string ModuleFileName() const override {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameW(module_.Get(), buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) return {};
      if (n < buffer.size()) return win::WideToUtf8(buffer.substr(0, n));
      buffer.resize(buffer.size() * 2);
    }
  }
  bool HasExport(SpiExport e) const override { return exports_[static_cast<size_t>(e)] != nullptr; }
  int GetPluginInfo(int number, std::string& text) const override {
    const auto fn = reinterpret_cast<spi::GetPluginInfoFn>(reinterpret_cast<void*>(Export(SpiExport::GetPluginInfo)));
    // Some plug-ins leave the buffer unterminated when the text fills it.
    std::array<char, 256> buffer{};
    const int result = fn(number, buffer.data(), 255);
    buffer[255] = '\0';
    text.assign(buffer.data());
    return result;
  }
  int IsSupported(const std::string& ansiName, const uint8_t* head2048) override {
    return spi::CallIsSupported(Export(SpiExport::IsSupported), ansiName.c_str(), head2048);
  }
  int GetPicture(const SpiSource& source, const SpiProgress& progress, std::unique_ptr<ISpiPicture>& picture) override {
    HLOCAL info = nullptr, bits = nullptr;
    const int rc = spi::CallGetPicture(Export(SpiExport::GetPictureInfo), Export(SpiExport::GetPicture), source.data,
                                       source.size, progress, info, bits);
    picture = std::make_unique<LocalPicture>(info, bits);  // freed whatever the result
    if (rc != 0 || !info || !bits) picture.reset();
    return rc;
  }
  FARPROC Export(SpiExport e) const { return exports_[static_cast<size_t>(e)]; }

 private:
  win::UniqueModule module_;
  std::array<FARPROC, kSpiExportCount> exports_{};
};

std::string FolderWithSlashUtf8(const std::wstring& folder) {
  if (folder.empty()) return {};
  return win::WideToUtf8(folder.back() == L'\\' ? folder : folder + L"\\");
}

}  // namespace

FARPROC ExportOf(const ISpiLibrary& library, SpiExport which) {
  return static_cast<const WinSpiLibrary&>(library).Export(which);
}

std::unique_ptr<ISpiLibrary> WinSpiHost::Load(const std::string& path) {
  // A plug-in's own dependencies are looked for beside it; a library that
  // fails to load shows no system error box.
  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = ::LoadLibraryExW(win::ExtendedPath(win::Utf8ToWide(path)).c_str(), nullptr,
                                    LOAD_WITH_ALTERED_SEARCH_PATH);
  ::SetErrorMode(oldMode);
  if (!module) return nullptr;
  return std::make_unique<WinSpiLibrary>(module);
}

std::vector<std::string> WinSpiHost::List(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW fd;
  const HANDLE find = ::FindFirstFileW(win::ExtendedPath(win::Utf8ToWide(folder + pattern)).c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) continue;
    names.push_back(win::WideToUtf8(fd.cFileName));
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  return names;
}

std::string WinSpiHost::SusieFolder() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Velkoran\\Susie\\Plug-in", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  std::wstring value(MAX_PATH, L'\0');
  DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  DWORD type = 0;
  const LONG rc = ::RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes);
  ::RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  value.resize(bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return win::WideToUtf8(value);
}

std::string WinSpiHost::AppFolder() { return win::WideToUtf8(win::FolderWithSlash(win::ExecutablePath())); }

std::string WinSpiHost::CurrentFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = ::GetCurrentDirectoryW(MAX_PATH, buffer);
  return n && n < MAX_PATH ? FolderWithSlashUtf8(buffer) : std::string();
}

std::string WinSpiHost::SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  return ::GetSystemDirectoryW(buffer, MAX_PATH) ? win::WideToUtf8(buffer) : std::string();
}

std::string WinSpiHost::WindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  return ::GetWindowsDirectoryW(buffer, MAX_PATH) ? win::WideToUtf8(buffer) : std::string();
}

}  // namespace mirabo
