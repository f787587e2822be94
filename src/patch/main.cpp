// korvfix: backs up and patches korvane.exe in the current folder.
#include <exception>

#include "crt/crt_drivers.h"
#include "patch/patch_run.h"
#include "rtl/halt.h"

int main() {
  rtl::IsConsole = true;
  try {
    rtl::StartUnits({&crt::CrtUnit});
    patch::PatchRun();
  } catch (...) {
    rtl::ReportUnhandledException(std::current_exception());
  }
  rtl::Halt();
}
