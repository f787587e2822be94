#include "rtl/halt.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "rtl/exception.h"
#include "rtl/file_modes.h"
#include "rtl/text_file.h"
#include "win/win_api.h"

namespace rtl {

bool IsConsole = false;
std::atomic<int> ExitCode{0};

namespace {

std::vector<Procedure> exitProcs;
std::vector<const UnitInfo*> startedUnits;
std::atomic<bool> halting{false};

void CloseIfOpen(TextRec& rec) {
  if (rec.Mode != fmClosed) Close(rec);
}

std::string Printable(const std::string& text) {
  std::string result;
  for (const unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      result += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      result += escaped;
    }
  }
  return result;
}

}  // namespace

void StartUnits(std::initializer_list<const UnitInfo*> units) {
  InitStdFiles();
  for (const UnitInfo* unit : units) {
    startedUnits.push_back(unit);
    if (unit->Initialization != nullptr) unit->Initialization();
  }
}

void AddExitProc(Procedure proc) {
  exitProcs.push_back(proc);
}

void Halt() {
  if (halting.exchange(true)) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }
  // From here on no other thread writes text. One stuck mid-statement (a
  // terminal that stopped reading) must not stop the exit: the standard
  // files are then left unclosed.
  const bool quiet = LockTextFilesForHalt(std::chrono::seconds(2));
  while (!exitProcs.empty()) {
    const Procedure proc = exitProcs.back();
    exitProcs.pop_back();
    proc();
  }
  while (!startedUnits.empty()) {
    const UnitInfo* unit = startedUnits.back();
    startedUnits.pop_back();
    if (unit->Finalization != nullptr) unit->Finalization();
  }
  if (quiet) {
    CloseIfOpen(Input);
    CloseIfOpen(Output);
    CloseIfOpen(ErrOutput);
  }
  win::ExitProcess(static_cast<UINT>(ExitCode.load()));
}

void Halt(int code) {
  ExitCode = code;
  Halt();
}

std::string UnhandledExceptionReport(std::exception_ptr error) {
  std::string className = "unknown exception";
  std::string message;
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    className = e.ClassName();
    message = e.Message();
  } catch (const std::exception& e) {
    className = "std::exception";
    message = e.what();
  } catch (...) {
  }
  return "Exception " + className + " in module korvfix: " + Printable(message) + ".\n";
}

void ReportUnhandledException(std::exception_ptr error) {
  const std::string report = UnhandledExceptionReport(error);
  DWORD written = 0;
  win::WriteFile(win::GetStdHandle(STD_ERROR_HANDLE), report.data(),
                 static_cast<DWORD>(report.size()), &written, nullptr);
  ExitCode = 1;
}

}  // namespace rtl
