// The end on request on Windows: a console control handler (Ctrl+C,
// Ctrl+Break, the console closing) wakes a thread that removes the named
// temporary files and ends the process with the status that Ctrl+C gives.
// The handler has no argument to reach the names by, and no global holds
// them: it signals an event named after the process instead.
#include <windows.h>

#include <string>
#include <system_error>
#include <thread>

#include "cli/termination.h"

namespace korva {
namespace {

std::wstring request_event_name(DWORD process) {
  return L"Local\\korva-asm-termination-" + std::to_wstring(process);
}

BOOL WINAPI request_termination(DWORD) {
  const HANDLE event =
      OpenEventW(EVENT_MODIFY_STATE, FALSE, request_event_name(GetCurrentProcessId()).c_str());
  if (event == nullptr) return FALSE;  // the default action
  SetEvent(event);
  CloseHandle(event);
  // The waiting thread ends the process once the files are gone; returning
  // would let the system end it (on a closing console) before that.
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

TerminationCleanup::TerminationCleanup() : names_(std::make_shared<TemporaryNames>()) {
  const HANDLE event =
      CreateEventW(nullptr, TRUE, FALSE, request_event_name(GetCurrentProcessId()).c_str());
  if (event == nullptr) return;
  try {
    std::thread([names = names_, event] {
      WaitForSingleObject(event, INFINITE);
      // Held for good: no file gets a name any more, and an output set that
      // is being put in place is complete before this goes on.
      auto hold = names->hold();
      names->remove_files();
      // Ended at once, as the default action would: the other threads are
      // not asked, so none can hold up the end.
      TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    }).detach();
  } catch (const std::system_error&) {
    // Without the thread the requests keep their default action.
    CloseHandle(event);
    return;
  }
  SetConsoleCtrlHandler(request_termination, TRUE);
}

}  // namespace korva
