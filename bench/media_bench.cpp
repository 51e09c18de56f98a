// The media view beside MCI itself in the same run: showing a sound file
// (device open, length, play) against MCI's own open, length query and play
// of the same file, and stepping away from it against an MCI close.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/unit1.h"
#include "bench/timing.h"
#include "tests/app/media_fixtures.h"

namespace {

using mirabo::bench::Time;

}  // namespace

void RunMediaBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir) {
  using namespace mirabo;
  const std::filesystem::path wav = dir / "tone.wav";
  const std::string bytes = testing::MakeWav(5000);
  std::ofstream(wav, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  form.CurrentPath = wav.wstring();
  form.ClassifyFile(form.CurrentPath);
  const std::wstring path = wav.wstring();

  MCIDEVICEID device = 0;
  const auto rawOpenAndPlay = [&] {
    MCI_OPEN_PARMSW open{};
    open.lpstrElementName = path.c_str();
    mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
    device = open.wDeviceID;
    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    mciSendCommandW(device, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&set));
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    mciSendCommandW(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&status));
    MCI_PLAY_PARMS play{};
    mciSendCommandW(device, MCI_PLAY, 0, reinterpret_cast<DWORD_PTR>(&play));
  };
  // Best of nine of each, taken in turns.
  double show = 1e9, rawShow = 1e9, close = 1e9, rawClose = 1e9;
  for (int run = 0; run < 9; ++run) {
    show = std::min(show, Time([&] { form.ShowMedia(); }));
    ::Sleep(300);  // playing, as the user steps away from it
    close = std::min(close, Time([&] { form.CloseMedia(); }));
    rawShow = std::min(rawShow, Time(rawOpenAndPlay));
    ::Sleep(300);
    rawClose = std::min(rawClose, Time([&] { mciSendCommandW(device, MCI_CLOSE, MCI_WAIT, 0); }));
  }
  std::printf("\nshowing a sound file (best of 9): %.1f ms; MCI open, length and play of it alone: %.1f ms (ratio %.3f; "
              "target: at most 1.2)\n",
              show, rawShow, show / rawShow);
  std::printf("stepping away from it while it plays: %.1f ms; an MCI close: %.1f ms (ratio %.3f; target: at most 1.2)\n",
              close, rawClose, close / rawClose);
}
