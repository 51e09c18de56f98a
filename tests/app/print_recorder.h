#pragma once
// A print device for tests: each page recorded as an enhanced metafile on
// the screen's terms (its printable area and resolution are the screen's),
// with the job's end or abort noted, and readers for what the pages hold.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/win/printing.h"

namespace mirabo::testing {

class MetafilePrinter : public IPrintDevice {
 public:
  explicit MetafilePrinter(bool* ended = nullptr, bool* aborted = nullptr) : ended_(ended), aborted_(aborted) {}
  ~MetafilePrinter() override {
    if (ended_) *ended_ = true;
    for (HENHMETAFILE m : pages) ::DeleteEnhMetaFile(m);
  }
  HDC StartPage() override {
    dc_ = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    return dc_;
  }
  void EndPage() override { pages.push_back(::CloseEnhMetaFile(dc_)); }
  void Abort() override {
    if (aborted_) *aborted_ = true;
  }
  std::vector<HENHMETAFILE> pages;

 private:
  HDC dc_ = nullptr;
  bool* ended_;
  bool* aborted_;
};

// Every record of one type in a page, as bytes.
inline std::vector<std::vector<uint8_t>> RecordsOf(HENHMETAFILE page, DWORD type) {
  std::vector<uint8_t> emf(::GetEnhMetaFileBits(page, 0, nullptr));
  ::GetEnhMetaFileBits(page, static_cast<UINT>(emf.size()), emf.data());
  std::vector<std::vector<uint8_t>> found;
  for (size_t at = 0; at + 8 <= emf.size();) {
    EMR record;
    std::memcpy(&record, emf.data() + at, sizeof record);
    if (record.nSize < 8 || at + record.nSize > emf.size()) break;
    if (record.iType == type) found.emplace_back(emf.begin() + static_cast<std::ptrdiff_t>(at),
                                                 emf.begin() + static_cast<std::ptrdiff_t>(at + record.nSize));
    at += record.nSize;
  }
  return found;
}

// The texts a page writes, in order.
inline std::vector<std::wstring> TextsOf(HENHMETAFILE page) {
  std::vector<std::wstring> texts;
  for (const auto& bytes : RecordsOf(page, EMR_EXTTEXTOUTW)) {
    EMREXTTEXTOUTW record;
    std::memcpy(&record, bytes.data(), sizeof record);
    std::wstring text(record.emrtext.nChars, L'\0');
    std::memcpy(text.data(), bytes.data() + record.emrtext.offString, record.emrtext.nChars * sizeof(wchar_t));
    texts.push_back(text);
  }
  return texts;
}

}  // namespace mirabo::testing
