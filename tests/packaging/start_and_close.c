/* start_and_close PROGRAM
 * Starts an installed viewer from its own folder, as a Start-menu shortcut
 * does, waits for its main window, asks it to close as the user would (the
 * close button, so it saves its settings) and waits for it to end.
 * Exit codes: 0 closed normally, 2 bad use, 3 would not start, 4 no window
 * within 30 s, 5 still running 30 s after the close request.
 *
 * start_and_close /answer BUTTON COMMAND-LINE
 * Runs the command line as a user at the screen would: waits for a window
 * of it that has a button captioned BUTTON, prints that window's title and
 * texts (UTF-8, one a line), clicks the button and waits for the end. Exit
 * codes: the command's own (the low byte), 4 no such window within 60 s,
 * 5 still running 60 s after the click. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static const DWORD kWaitMs = 30000;

struct find_window {
  DWORD pid;
  const wchar_t* button; /* NULL: the viewer's main window */
  HWND found, found_button;
};

static void print_utf8(const wchar_t* text) {
  char out[2048];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, NULL, NULL);
  if (n > 0) printf("%s\n", out);
}

static BOOL CALLBACK match_button(HWND hwnd, LPARAM lparam) {
  struct find_window* f = (struct find_window*)lparam;
  wchar_t cls[64], text[256];
  if (!GetClassNameW(hwnd, cls, 64) || _wcsicmp(cls, L"Button") != 0) return TRUE;
  GetWindowTextW(hwnd, text, 256);
  if (wcscmp(text, f->button) != 0) return TRUE;
  f->found_button = hwnd;
  return FALSE;
}

static BOOL CALLBACK match_window(HWND hwnd, LPARAM lparam) {
  struct find_window* f = (struct find_window*)lparam;
  DWORD pid = 0;
  wchar_t cls[64];
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != f->pid || !IsWindowVisible(hwnd)) return TRUE;
  if (f->button) {
    EnumChildWindows(hwnd, match_button, lparam);
    if (!f->found_button) return TRUE;
  } else if (!GetClassNameW(hwnd, cls, 64) || wcscmp(cls, L"TForm1") != 0) {
    return TRUE;
  }
  f->found = hwnd;
  return FALSE;
}

static BOOL CALLBACK print_text(HWND hwnd, LPARAM lparam) {
  wchar_t text[1024];
  (void)lparam;
  if (IsWindowVisible(hwnd) && GetWindowTextW(hwnd, text, 1024) > 0) print_utf8(text);
  return TRUE;
}

static HWND wait_for_window(struct find_window* f, HANDLE process, DWORD timeout) {
  for (DWORD waited = 0; !f->found && waited < timeout; waited += 100) {
    EnumWindows(match_window, (LPARAM)f);
    if (!f->found && WaitForSingleObject(process, 100) == WAIT_OBJECT_0) break;
  }
  return f->found;
}

static int answer(const wchar_t* button, wchar_t* command) {
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
    fwprintf(stderr, L"start_and_close: could not start %ls (error %lu)\n", command, GetLastError());
    return 3;
  }
  CloseHandle(pi.hThread);
  struct find_window f = {pi.dwProcessId, button, NULL, NULL};
  if (!wait_for_window(&f, pi.hProcess, 2 * kWaitMs)) {
    fwprintf(stderr, L"start_and_close: no window with the button %ls\n", button);
    TerminateProcess(pi.hProcess, 1);
    return 4;
  }
  wchar_t title[512];
  GetWindowTextW(f.found, title, 512);
  print_utf8(title);
  EnumChildWindows(f.found, print_text, 0);
  fflush(stdout);
  PostMessageW(f.found_button, BM_CLICK, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 2 * kWaitMs) != WAIT_OBJECT_0) {
    fwprintf(stderr, L"start_and_close: still running after the click\n");
    TerminateProcess(pi.hProcess, 1);
    return 5;
  }
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return (int)(code & 0xFF);
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && wcscmp(argv[1], L"/answer") == 0) return answer(argv[2], argv[3]);
  if (argc != 2) {
    fwprintf(stderr, L"usage: start_and_close PROGRAM | start_and_close /answer BUTTON COMMAND-LINE\n");
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

  struct find_window f = {pi.dwProcessId, NULL, NULL, NULL};
  if (!wait_for_window(&f, pi.hProcess, kWaitMs)) {
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
