// The text view's figures: conversion speed, a 1 GB text file and its dump,
// and the Shift-JIS presentation of a 100 MB EUC-JP file, with the memory
// the process holds for each.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/unit1.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"
#include "bench/timing.h"
#include "text/encoding.h"
#include "text/sjisconv.h"

namespace {

using mirabo::bench::Clock;
using mirabo::bench::Seconds;

// The process's committed private memory (the page-file charge; Wine leaves
// PrivateUsage at 0 but keeps this one). Mapped file pages are not in it.
double PrivateMegabytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof pmc;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
  return static_cast<double>(std::max(pmc.PrivateUsage, pmc.PagefileUsage)) / (1 << 20);
}

// Lines of EUC-JP text (kanji, kana, ASCII), about 100 bytes each.
std::string EucText(size_t bytes) {
  const std::string line =
      "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8 sample text 0123456789 "
      "\xA4\xA2\xA4\xA4\xA4\xA6\xA4\xA8\xA4\xAA \x8E\xB1\x8E\xB2 abcdefghijklmnopqrstuvwxyz\r\n";
  std::string text;
  text.reserve(bytes + line.size());
  while (text.size() < bytes) text += line;
  return text;
}

// The floor a text view cannot beat, measured on the same file in the same
// run: map it afresh and go over it once, finding every line break with the
// plain library call (and converting each line, for the conversion view).
// First touches of mapped pages cost very differently from machine to
// machine; this pays them exactly once.
double FloorSeconds(const std::filesystem::path& path, bool convert) {
  const auto start = Clock::now();
  mirabo::win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file.Get(), &size);
  mirabo::win::UniqueKernelHandle mapping(::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  const auto* data = static_cast<const char*>(::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
  const char* end = data + size.QuadPart;
  uint64_t lines = 0;
  std::string out;
  const mirabo::TAutoSjisConv conv;
  for (const char* p = data; p < end;) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* next = nl ? nl + 1 : end;
    if (convert) conv.AppendSjis(std::string_view(p, static_cast<size_t>(next - p)), out);
    ++lines;
    p = next;
  }
  ::UnmapViewOfFile(data);
  const double seconds = Seconds(start);
  std::printf("  (floor: %llu lines%s in %.2f s)\n", static_cast<unsigned long long>(lines),
              convert ? " converted" : "", seconds);
  return seconds;
}

// About a megabyte of Japanese lines, each 100 characters of kana and kanji
// (200 cells), as UTF-8 (300 bytes a line) or Shift-JIS (200).
std::string JapaneseBlock(bool utf8) {
  const std::wstring unit = L"日本語のテキストを表示する速さを測るための行です。かなカナ漢字";
  std::wstring line;
  while (line.size() < 100) line += unit;
  line.resize(100);
  const std::string bytes = utf8 ? mirabo::win::WideToUtf8(line) : mirabo::win::WideToCp932(line);
  std::string block;
  while (block.size() < (1 << 20)) block += bytes + "\r\n";
  return block;
}

void WriteFile(const std::filesystem::path& path, const std::string& block, uint64_t total) {
  std::ofstream out(path, std::ios::binary);
  for (uint64_t written = 0; written < total; written += block.size())
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

}  // namespace

void RunTextBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir) {
  using namespace mirabo;
  std::printf("\ntext view\n");
  // The converter's own speed is measured natively (bench/core_bench.cpp).
  const uint64_t gigabyte = 1ull << 30;
  const std::string block = [] {
    std::string b;
    for (int i = 0; b.size() < (1 << 20); ++i) b += "line of a large log file, number " + std::to_string(i) + " with some more text\r\n";
    return b;
  }();
  const auto big = dir / "big.log";
  WriteFile(big, block, gigabyte);
  const double floor = FloorSeconds(big, false);
  const double before = PrivateMegabytes();
  auto start = Clock::now();
  form.CurrentPath = big.wstring();
  form.ClassifyFile(form.CurrentPath);
  form.ShowCurrentFile();
  ::UpdateWindow(form.Handle());
  const double open = Seconds(start);
  const uint64_t lines = form.RichEdit1().LineCount();
  start = Clock::now();
  ::SendMessageW(form.RichEdit1().Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  ::UpdateWindow(form.Handle());
  const double toEnd = Seconds(start);
  const double held = PrivateMegabytes() - before;
  std::printf("1 GB text file on screen: %.2f s, %.2f x one pass over the mapped file (target: 1.3 x); "
              "to its end: %.3f s; %llu lines; memory %.0f MB (limit 64 MB + 8 bytes a line = %.0f MB)\n",
              open, open / floor, toEnd, static_cast<unsigned long long>(lines), held,
              64.0 + 8.0 * static_cast<double>(lines) / (1 << 20));

  const double beforeDump = PrivateMegabytes();
  start = Clock::now();
  form.mnuBinClick();
  ::UpdateWindow(form.Handle());
  const double dump = Seconds(start);
  start = Clock::now();
  ::SendMessageW(form.RichEdit1().Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  ::UpdateWindow(form.Handle());
  const double dumpEnd = Seconds(start);
  const std::string last = form.RichEdit1().Line(form.RichEdit1().LineCount() - 2);
  std::printf("dump of the 1 GB file on screen: %.3f s (target: 0.5 s); to its end: %.3f s; last full line at %s; "
              "memory %.0f MB (limit 64 MB, the text's index freed: %.0f MB)\n",
              dump, dumpEnd, last.substr(0, 8).c_str(), PrivateMegabytes() - before, PrivateMegabytes() - beforeDump);

  form.CurrentPath = L"C:\\nothing.txt";  // let go of the big file before it is deleted
  form.RichEdit1().SetText("");
  std::error_code ec;
  std::filesystem::remove(big, ec);

  // The same gigabyte in Japanese UTF-8: found from its head, indexed by
  // bytes as Shift-JIS is, decoded only where it is drawn.
  const auto utf8 = dir / "big-utf8.txt";
  WriteFile(utf8, JapaneseBlock(true), gigabyte);
  const double utf8Floor = FloorSeconds(utf8, false);
  start = Clock::now();
  form.CurrentPath = utf8.wstring();
  form.ClassifyFile(form.CurrentPath);
  form.ShowCurrentFile();
  ::UpdateWindow(form.Handle());
  const double utf8Open = Seconds(start);
  std::printf("1 GB Japanese UTF-8 text on screen: %.2f s, %.2f x one pass over the mapped file (target: 1.3 x); "
              "read as %s\n",
              utf8Open, utf8Open / utf8Floor,
              form.RichEdit1().Encoding() == text::Encoding::Utf8 ? "UTF-8" : "NOT UTF-8");
  form.CurrentPath = L"C:\\nothing.txt";
  form.RichEdit1().SetText("");
  std::filesystem::remove(utf8, ec);

  // Scrolling pages of the same Japanese lines in each encoding.
  double pageSeconds[2] = {};
  for (const bool isUtf8 : {false, true}) {
    const auto file = dir / (isUtf8 ? "page-utf8.txt" : "page-sjis.txt");
    WriteFile(file, JapaneseBlock(isUtf8), 4ull << 20);
    form.CurrentPath = file.wstring();
    form.ClassifyFile(form.CurrentPath);
    form.ShowCurrentFile();
    ::UpdateWindow(form.Handle());
    const HWND view = form.RichEdit1().Handle();
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
      ::SendMessageW(view, WM_VSCROLL, SB_TOP, 0);
      ::UpdateWindow(view);
      start = Clock::now();
      for (int page = 0; page < 20; ++page) {
        ::SendMessageW(view, WM_VSCROLL, SB_PAGEDOWN, 0);
        ::UpdateWindow(view);
      }
      best = std::min(best, Seconds(start) / 20);
    }
    pageSeconds[isUtf8 ? 1 : 0] = best;
    form.CurrentPath = L"C:\\nothing.txt";
    form.RichEdit1().SetText("");
    std::filesystem::remove(file, ec);
  }
  std::printf("a page of Japanese lines scrolled (100 characters a line, best of 5 x 20 pages): UTF-8 %.2f ms, "
              "Shift-JIS %.2f ms; %.2f x (target: 1.2 x)\n",
              pageSeconds[1] * 1000, pageSeconds[0] * 1000, pageSeconds[1] / pageSeconds[0]);

  const auto euc = dir / "euc.txt";
  WriteFile(euc, EucText(1 << 20), 100ull << 20);
  form.CurrentPath = euc.wstring();
  form.ClassifyFile(form.CurrentPath);
  form.ShowCurrentFile();
  const double conversionFloor = FloorSeconds(euc, true);
  const double beforeConversion = PrivateMegabytes();
  start = Clock::now();
  form.mnuToSJISClick();
  ::UpdateWindow(form.Handle());
  const double conversion = Seconds(start);
  std::printf("\"ＳＪＩＳ変換表示\" of a 100 MB EUC-JP file: %.2f s, %.2f x one converting pass over the mapped "
              "file (target: 1.3 x), holding %.0f MB more\n",
              conversion, conversion / conversionFloor, PrivateMegabytes() - beforeConversion);
  form.RichEdit1().SetText("");
  form.CurrentPath = L"C:\\nothing.txt";
  std::filesystem::remove(euc, ec);
}
