// qvwin: looks at the program's window from inside the Wine session, for the
// smoke tests (the X side cannot see window classes, styles or the
// foreground window).
//   qvwin find             describe the "Quorvelta" window; exit 1 if none
//   qvwin close            post WM_CLOSE to it; exit 1 if none
//   qvwin run CMDLINE      start CMDLINE (one argument) exactly as given, as
//                          the Wine loader would not; exit with its code
//   qvwin second CMDLINE   hold the foreground with a window of our own,
//                          start CMDLINE, wait for it, then report its exit
//                          code and who holds the foreground
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t NAME[] = L"Quorvelta";

HWND findProgram() { return FindWindowW(NAME, NAME); }

void utf8(const wchar_t* text, char* out, int room) {
  if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, out, room, nullptr, nullptr)) out[0] = 0;
}

BOOL CALLBACK countClass(HWND window, LPARAM counter) {
  wchar_t cls[64];
  if (GetClassNameW(window, cls, 64) && std::wcscmp(cls, NAME) == 0)
    ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int programWindows() {
  int n = 0;
  EnumWindows(countClass, reinterpret_cast<LPARAM>(&n));
  return n;
}

// Lets the system deliver what it sends to our own window meanwhile.
void pump(DWORD ms, HANDLE until) {
  DWORD end = GetTickCount() + ms;
  for (;;) {
    DWORD now = GetTickCount();
    if (int(end - now) <= 0) return;
    DWORD r = MsgWaitForMultipleObjects(until ? 1 : 0, until ? &until : nullptr, FALSE, end - now,
                                        QS_ALLINPUT);
    if (until && r == WAIT_OBJECT_0) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

int find() {
  HWND w = findProgram();
  if (!w) {
    std::printf("no window\n");
    return 1;
  }
  wchar_t cls[64], title[64];
  char cls8[128], title8[128];
  GetClassNameW(w, cls, 64);
  GetWindowTextW(w, title, 64);
  utf8(cls, cls8, sizeof cls8);
  utf8(title, title8, sizeof title8);
  RECT r, c;
  GetWindowRect(w, &r);
  GetClientRect(w, &c);
  LONG style = GetWindowLongW(w, GWL_STYLE);
  bool topLevel = GetAncestor(w, GA_PARENT) == GetDesktopWindow() && !GetWindow(w, GW_OWNER);
  std::printf(
      "class=%s\ntitle=%s\nsize=%ldx%ld\nclient=%ldx%ld\ntoplevel=%d\nvisible=%d\n"
      "caption=%d\nwindows=%d\n",
      cls8, title8, r.right - r.left, r.bottom - r.top, c.right - c.left, c.bottom - c.top,
      int(topLevel), int(IsWindowVisible(w) != 0), int((style & WS_CAPTION) == WS_CAPTION),
      programWindows());
  return 0;
}

int close() {
  HWND w = findProgram();
  if (!w) return 1;
  return PostMessageW(w, WM_CLOSE, 0, 0) ? 0 : 1;
}

int run(wchar_t* commandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    std::printf("start failed %lu\n", GetLastError());
    return 98;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);  // the caller bounds the wait
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  return int(code);
}

int second(wchar_t* commandLine) {
  HWND own = CreateWindowExW(0, L"STATIC", L"qvwin", WS_POPUP | WS_BORDER | WS_VISIBLE, 300, 300,
                             60, 60, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetForegroundWindow(own);
  pump(300, nullptr);
  std::printf("before=%s\n", GetForegroundWindow() == own ? "own" : "other");

  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  DWORD start = GetTickCount();
  if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    std::printf("start failed %lu\n", GetLastError());
    return 1;
  }
  pump(20000, pi.hProcess);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(pi.hProcess, &code);
  std::printf("exit=%lu\nelapsed=%lu\n", code, GetTickCount() - start);
  if (code == STILL_ACTIVE) TerminateProcess(pi.hProcess, 99);
  pump(300, nullptr);
  HWND fg = GetForegroundWindow();
  std::printf("foreground=%s\nwindows=%d\n",
              fg && fg == findProgram() ? "program"
              : fg == own               ? "own"
                                        : "other",
              programWindows());
  DestroyWindow(own);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"find") == 0) return find();
  if (argc == 2 && std::wcscmp(argv[1], L"close") == 0) return close();
  // The command line to start is one argument, blanks and quotes inside it
  // kept as they are.
  if (argc == 3 && std::wcscmp(argv[1], L"run") == 0) return run(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"second") == 0) return second(argv[2]);
  std::fprintf(stderr, "usage: qvwin find | close | run COMMAND LINE | second COMMAND LINE\n");
  return 2;
}
