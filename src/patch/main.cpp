// korvfix: backs up and patches korvane.exe in the current folder.
#include <exception>

#include "crt/crt_drivers.h"
#include "patch/patch_run.h"
#include "rtl/halt.h"

int main() {
  rtl::IsConsole = true;
  // The break handler is registered during the start-up; a break from then
  // until the outcome is known must not report success.
  rtl::ExitCode = patch::ExitInterrupted;
  try {
    rtl::StartUnits({&crt::CrtUnit});
    patch::PatchRun();
  } catch (...) {
    rtl::ReportUnhandledException(std::current_exception());
  }
  rtl::Halt();
}
