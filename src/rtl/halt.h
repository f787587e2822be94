// Program start and end: unit start-up, exit procedures, unit finalisation,
// closing of the standard text files, and the report of an unhandled
// exception.
#pragma once

#include <atomic>
#include <exception>
#include <initializer_list>
#include <string>

namespace rtl {

// Set by the program before its units start; units may bind differently for
// a console program.
extern bool IsConsole;

// The status the process ends with. Read by a halt from any thread.
extern std::atomic<int> ExitCode;

using Procedure = void (*)();

struct UnitInfo {
  Procedure Initialization;
  Procedure Finalization;
};

// Binds the standard text files, then runs each unit's start-up in order.
void StartUnits(std::initializer_list<const UnitInfo*> units);

// Run, last added first, at the start of the halt.
void AddExitProc(Procedure proc);

// Ends the program: exit procedures, unit finalisations (last started
// first), the standard text files closed, then the process exits with
// ExitCode. Only the first halt runs; a halt that comes while another is
// under way waits for the process to end.
[[noreturn]] void Halt();
[[noreturn]] void Halt(int code);

// The report written to standard error for an exception nothing caught.
// Bytes that a terminal could act on are shown as \xNN.
std::string UnhandledExceptionReport(std::exception_ptr error);

// Writes that report and sets ExitCode to 1.
void ReportUnhandledException(std::exception_ptr error);

}  // namespace rtl
