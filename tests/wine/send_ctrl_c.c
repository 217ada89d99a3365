/* Presses Ctrl+C in a console for a Windows program, as a user does in its console window:

     send_ctrl_c.exe FILE PROGRAM [ARGUMENT]...

   starts PROGRAM in a console of its own that it shares, with this program's standard handles,
   waits until FILE exists, sends CTRL_C_EVENT to every process of the console, and ends with
   PROGRAM's exit code. Ctrl+Break to a new process group would reach PROGRAM alone, but Wine 8
   refuses to send CTRL_BREAK_EVENT, and a new process group ignores Ctrl+C: so PROGRAM shares
   the console and process group of this program, which survives the event. Its own failures end
   it with 200 and up, said on stderr. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

enum {
  kUsage = 200,
  kNoConsole = 201,
  kNotStarted = 202,
  kFileNeverAppeared = 203,
  kNotSent = 204,
  kDidNotEnd = 205
};

static BOOL WINAPI KeepRunning(DWORD event) {
  (void)event;
  return TRUE; /* this program outlives the event, to report the exit code */
}

/* Appends `word` to `line` quoted as CommandLineToArgvW reads it back. */
static void AppendQuoted(wchar_t* line, size_t size, const wchar_t* word) {
  size_t n = wcslen(line);
  if (n > 0 && n + 1 < size) line[n++] = L' ';
  if (n + 1 < size) line[n++] = L'"';
  for (const wchar_t* c = word;; ++c) {
    size_t backslashes = 0;
    while (*c == L'\\') {
      ++c;
      ++backslashes;
    }
    /* Backslashes are doubled only before a quote, including the closing one. */
    const size_t copies = *c == L'\0' || *c == L'"' ? backslashes * 2 : backslashes;
    for (size_t i = 0; i < copies && n + 1 < size; ++i) line[n++] = L'\\';
    if (*c == L'\0') break;
    if (*c == L'"' && n + 1 < size) line[n++] = L'\\';
    if (n + 1 < size) line[n++] = *c;
  }
  if (n + 1 < size) line[n++] = L'"';
  line[n] = L'\0';
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: send_ctrl_c FILE PROGRAM [ARGUMENT]...\n");
    return kUsage;
  }
  /* A console of its own, so that the event reaches no process outside it. The new console
     would replace the standard handles: the program gets the ones this program was given. */
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  FreeConsole();
  if (!AllocConsole()) {
    fprintf(stderr, "send_ctrl_c: cannot make a console: error %lu\n", GetLastError());
    return kNoConsole;
  }
  SetStdHandle(STD_INPUT_HANDLE, in);
  SetStdHandle(STD_OUTPUT_HANDLE, out);
  SetStdHandle(STD_ERROR_HANDLE, err);
  SetConsoleCtrlHandler(KeepRunning, TRUE);

  static wchar_t line[32768];
  for (int i = 2; i < argc; ++i) AppendQuoted(line, sizeof line / sizeof line[0], argv[i]);
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION child;
  if (!CreateProcessW(argv[2], line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child)) {
    fprintf(stderr, "send_ctrl_c: cannot start %ls: error %lu\n", argv[2], GetLastError());
    return kNotStarted;
  }

  int waited_ms = 0;
  DWORD code = 0;
  while (GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES) {
    if (WaitForSingleObject(child.hProcess, 50) == WAIT_OBJECT_0) {
      GetExitCodeProcess(child.hProcess, &code);
      fprintf(stderr, "send_ctrl_c: the program ended before %ls appeared\n", argv[1]);
      return (int)code;
    }
    if ((waited_ms += 50) > 30000) {
      fprintf(stderr, "send_ctrl_c: %ls did not appear within 30 s\n", argv[1]);
      TerminateProcess(child.hProcess, kFileNeverAppeared);
      return kFileNeverAppeared;
    }
  }
  if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
    fprintf(stderr, "send_ctrl_c: cannot send Ctrl+C: error %lu\n", GetLastError());
    TerminateProcess(child.hProcess, kNotSent);
    return kNotSent;
  }
  if (WaitForSingleObject(child.hProcess, 20000) != WAIT_OBJECT_0) {
    fprintf(stderr, "send_ctrl_c: the program did not end within 20 s of Ctrl+C\n");
    TerminateProcess(child.hProcess, kDidNotEnd);
    return kDidNotEnd;
  }
  GetExitCodeProcess(child.hProcess, &code);
  return (int)code;
}
