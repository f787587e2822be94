#include "patch/patch_run.h"

#include <algorithm>

#include "crt/crt_state.h"
#include "misc/misc.h"
#include "rtl/halt.h"
#include "rtl/io_result.h"
#include "rtl/text_file.h"
#include "win/win_api.h"

namespace patch {

std::array<std::uint8_t, 8> PatchBuffer{};
rtl::FileRec TargetFile;

namespace {

void BlankLine() {
  rtl::WriteLn(rtl::Output);
}

bool WriteEntry(const PatchEntry& entry) {
  rtl::Seek(TargetFile, entry.Offset);
  if (rtl::IOResult() != 0) return false;
  std::copy_n(entry.Bytes.begin(), entry.Length, PatchBuffer.begin());
  rtl::BlockWrite(TargetFile, PatchBuffer.data(), entry.Length);
  return rtl::IOResult() == 0;
}

void BackupAndPatch() {
  if (!win::CopyFileA(TargetFileName, BackupFileName, TRUE)) {
    rtl::ExitCode = ExitNoBackup;
    misc::WriteColorLn(BackupFailedMessage);
    misc::WriteColorLn(BackupFailedAdviceMessage);
    return;
  }
  misc::WriteColorLn(BackupMadeMessage);

  rtl::AssignFile(TargetFile, TargetFileName);
  rtl::Reset(TargetFile, 1);
  if (rtl::IOResult() != 0) {
    rtl::ExitCode = ExitOpenFailed;
    BlankLine();
    misc::WriteColorLn(OpenFailedMessage);
    return;
  }

  if (rtl::FileSize(TargetFile) != ExpectedSize) {
    rtl::ExitCode = ExitWrongSize;
    misc::WriteColorLn(WrongSizeMessage);
    BlankLine();
    misc::WriteColorLn(WrongSizeAdviceMessage);
    rtl::CloseFile(TargetFile);
    return;
  }

  misc::WriteColor(PatchingMessage);
  const bool patched = std::all_of(PatchTable.begin(), PatchTable.end(), WriteEntry);
  rtl::ExitCode = patched ? ExitPatched : ExitWriteFailed;
  misc::WriteColorLn(patched ? SuccessMessage : FailureMessage);
  rtl::CloseFile(TargetFile);
}

}  // namespace

void PatchRun() {
  rtl::ExitCode = ExitInterrupted;
  misc::WriteColorLn(BannerMessage);
  BlankLine();
  misc::WriteColorLn(ReadDocsMessage);
  BlankLine();
  BackupAndPatch();
  BlankLine();
  misc::WriteColorLn(PressAnyKeyMessage);
  crt::GetKey();
}

}  // namespace patch
