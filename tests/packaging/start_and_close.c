/* start_and_close PROGRAM
 * Starts an installed viewer from its own folder, as a Start-menu shortcut
 * does, waits for its main window, asks it to close as the user would (the
 * close button, so it saves its settings) and waits for it to end.
 * Exit codes: 0 closed normally, 2 bad use, 3 would not start, 4 no window
 * within 30 s, 5 still running 30 s after the close request. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static const DWORD kWaitMs = 30000;

struct find_window {
  DWORD pid;
  HWND found;
};

static BOOL CALLBACK match_window(HWND hwnd, LPARAM lparam) {
  struct find_window* f = (struct find_window*)lparam;
  DWORD pid = 0;
  wchar_t cls[64];
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != f->pid || !IsWindowVisible(hwnd)) return TRUE;
  if (!GetClassNameW(hwnd, cls, 64) || wcscmp(cls, L"TForm1") != 0) return TRUE;
  f->found = hwnd;
  return FALSE;
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fwprintf(stderr, L"usage: start_and_close PROGRAM\n");
    return 2;
  }
  wchar_t folder[MAX_PATH];
  wchar_t* name = NULL;
  if (!GetFullPathNameW(argv[1], MAX_PATH, folder, &name) || !name) return 2;
  name[-1] = L'\0';

  wchar_t command[MAX_PATH + 4];
  swprintf(command, MAX_PATH + 4, L"\"%ls\"", argv[1]);
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(argv[1], command, NULL, NULL, FALSE, 0, NULL, folder, &si, &pi)) {
    fwprintf(stderr, L"start_and_close: could not start %ls (error %lu)\n", argv[1], GetLastError());
    return 3;
  }
  CloseHandle(pi.hThread);
  WaitForInputIdle(pi.hProcess, kWaitMs);

  struct find_window f = {pi.dwProcessId, NULL};
  for (DWORD waited = 0; !f.found && waited < kWaitMs; waited += 100) {
    EnumWindows(match_window, (LPARAM)&f);
    if (!f.found) {
      if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) break;
    }
  }
  if (!f.found) {
    fwprintf(stderr, L"start_and_close: no main window appeared\n");
    TerminateProcess(pi.hProcess, 1);
    return 4;
  }
  PostMessageW(f.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, kWaitMs) != WAIT_OBJECT_0) {
    fwprintf(stderr, L"start_and_close: the program did not end after the close request\n");
    TerminateProcess(pi.hProcess, 1);
    return 5;
  }
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  wprintf(L"start_and_close: ended with %lu\n", code);
  return code == 0 ? 0 : 1;
}
