#include "patch/patch_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "crt/crt_drivers.h"
#include "crt/crt_state.h"
#include "rtl/halt.h"
#include "rtl/io_result.h"
#include "support/output_capture.h"
#include "support/scratch_dir.h"
#include "win/memory_console.h"
#include "support/case_name.h"

namespace {

namespace fs = std::filesystem;
using Call = win::MemoryConsole::Call;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

// What the user reads, colour codes taken out.
const std::string Banner =
    "\xFE Zorwick's Korvane 1.03s for Grendhall 1.11l + NT patch/1.11m+ Executable Fixer!\n\r";
const std::string ReadDocs = "  PLEASE READ THE DOCUMENTATION IF YOU HAVE ANY PROBLEMS!\n\r";
const std::string BackupMade = "* Created backup of korvane.exe to korvane.exe.old.\n\r";
const std::string OpenFailed =
    "There was an error opening korvane.exe, please be sure Korvane is closed and no other tasks "
    "are modifying or opening the file!\n\r";
const std::string Patching = "  Patching korvane.exe...";
const std::string Success = "success!\n\r";
const std::string Failure = "failure!\n\r";
const std::string WrongSize =
    "File size of korvane.exe does not match the size this patch was intended for,\r\n"
    "aborting!\n\r";
const std::string WrongSizeAdvice =
    "(Ensure that you are running Korvane 1.03s, and if so, you may consider\r\n"
    "re-installing and trying this patch again!)\n\r";
const std::string BackupFailed =
    "Could not create backup of korvane.exe to korvane.exe.old, aborting!\n\r";
const std::string BackupFailedAdvice =
    "(Backup file may already exist, rename, move or delete and try again!)\n\r";
const std::string PressAnyKey = "<press any key to exit>\n\r";
const std::string Blank = "\r\n";

const std::string Start = Banner + Blank + ReadDocs + Blank;
const std::string End = Blank + PressAnyKey;

std::string Original(std::int64_t size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  return bytes;
}

std::string WithEntries(std::string bytes, int entries) {
  if (entries >= 1) bytes[252715] = 0x0D;
  if (entries >= 2) bytes.replace(776338, 8, std::string("rance: \0", 8));
  return bytes;
}

constexpr std::int64_t Exact = patch::ExpectedSize;
constexpr int NoFile = -1;

struct RunCase {
  const char* name;
  std::int64_t targetSize;  // NoFile: no target
  std::function<void(win::MemoryConsole&)> prepare;
  std::string messages;
  int exitStatus;
  int entriesWritten;   // the target afterwards: the original with this many entries
  bool backupOfTarget;  // else the backup is absent or what was there before
  friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }
};

class PatchRunTest : public testing::TestWithParam<RunCase> {
 protected:
  void SetUp() override {
    console.Install();
    crt::ResetConsoleState();
    crt::ConsoleIn = console.OpenInput();
    rtl::IOResult();
  }
  void TearDown() override { crt::ResetConsoleState(); }

  void Run() {
    console.QueueKey(0x41, 'a');
    patch::PatchRun();
    EXPECT_EQ(console.PendingInput(), 0u) << "the run waits for one key";
  }

  testing_support::ScratchDir scratch;
  win::MemoryConsole console{80, 25};
  testing_support::OutputCapture output;
};

TEST_P(PatchRunTest, ReportsTheOutcomeAndLeavesTheFilesRight) {
  const RunCase& c = GetParam();
  const std::string target = c.targetSize == NoFile ? "" : Original(c.targetSize);
  if (c.targetSize != NoFile) WriteBytes(patch::TargetFileName, target);
  c.prepare(console);
  std::optional<std::string> backupBefore;
  if (fs::exists(patch::BackupFileName)) backupBefore = ReadBytes(patch::BackupFileName);

  Run();

  EXPECT_EQ(output.Text(), c.messages);
  EXPECT_EQ(rtl::ExitCode, c.exitStatus);
  if (c.targetSize == NoFile) {
    EXPECT_FALSE(fs::exists(patch::TargetFileName));
  } else {
    EXPECT_TRUE(ReadBytes(patch::TargetFileName) == WithEntries(target, c.entriesWritten))
        << "target bytes differ";
  }
  if (c.backupOfTarget) {
    EXPECT_TRUE(ReadBytes(patch::BackupFileName) == target) << "backup is not the original";
  } else if (backupBefore) {
    EXPECT_EQ(ReadBytes(patch::BackupFileName), *backupBefore) << "an existing backup was touched";
  } else {
    EXPECT_FALSE(fs::exists(patch::BackupFileName));
  }
  EXPECT_EQ(patch::TargetFile.Mode, rtl::fmClosed) << "the target is closed";
}

void Nothing(win::MemoryConsole&) {}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, PatchRunTest,
    testing::Values(
        RunCase{"Success", Exact, Nothing, Start + BackupMade + Patching + Success + End,
                patch::ExitPatched, 2, true},
        RunCase{"BackupAlreadyPresent", Exact,
                [](win::MemoryConsole&) { WriteBytes(patch::BackupFileName, "an older backup"); },
                Start + BackupFailed + BackupFailedAdvice + End, patch::ExitNoBackup, 0, false},
        RunCase{"NoTarget", NoFile, Nothing, Start + BackupFailed + BackupFailedAdvice + End,
                patch::ExitNoBackup, 0, false},
        RunCase{"OneByteShort", Exact - 1, Nothing,
                Start + BackupMade + WrongSize + Blank + WrongSizeAdvice + End,
                patch::ExitWrongSize, 0, true},
        RunCase{"OneByteLong", Exact + 1, Nothing,
                Start + BackupMade + WrongSize + Blank + WrongSizeAdvice + End,
                patch::ExitWrongSize, 0, true},
        RunCase{
            "OpenFails", Exact,
            [](win::MemoryConsole& c) { c.FailCall(Call::CreateFileA, ERROR_SHARING_VIOLATION); },
            Start + BackupMade + Blank + OpenFailed + End, patch::ExitOpenFailed, 0, true},
        RunCase{"SizeQueryFails", Exact,
                [](win::MemoryConsole& c) { c.FailCall(Call::GetFileSizeEx); },
                Start + BackupMade + WrongSize + Blank + WrongSizeAdvice + End,
                patch::ExitWrongSize, 0, true},
        RunCase{"FirstSeekFails", Exact,
                [](win::MemoryConsole& c) { c.FailCall(Call::SetFilePointerEx); },
                Start + BackupMade + Patching + Failure + End, patch::ExitWriteFailed, 0, true},
        RunCase{"FirstWriteFails", Exact,
                [](win::MemoryConsole& c) { c.FailCall(Call::WriteFile, ERROR_DISK_FULL); },
                Start + BackupMade + Patching + Failure + End, patch::ExitWriteFailed, 0, true},
        RunCase{"SecondWriteFailsAndTheFirstStays", Exact,
                [](win::MemoryConsole& c) { c.FailCall(Call::WriteFile, ERROR_DISK_FULL, 1); },
                Start + BackupMade + Patching + Failure + End, patch::ExitWriteFailed, 1, true},
        RunCase{"ShortWriteIsAFailure", Exact, [](win::MemoryConsole& c) { c.ShortenNextWrite(0); },
                Start + BackupMade + Patching + Failure + End, patch::ExitWriteFailed, 0, true}),
    testing_support::CaseName());

TEST_F(PatchRunTest, SecondRunStopsAtTheBackup) {
  const std::string target = Original(Exact);
  WriteBytes(patch::TargetFileName, target);
  Run();
  ASSERT_EQ(rtl::ExitCode, patch::ExitPatched);
  testing_support::OutputCapture second;
  Run();
  EXPECT_EQ(second.Text(), Start + BackupFailed + BackupFailedAdvice + End);
  EXPECT_EQ(rtl::ExitCode, patch::ExitNoBackup);
  EXPECT_TRUE(ReadBytes(patch::TargetFileName) == WithEntries(target, 2));
  EXPECT_TRUE(ReadBytes(patch::BackupFileName) == target);
}

TEST_F(PatchRunTest, OutcomeIsLightGreen) {
  WriteBytes(patch::TargetFileName, Original(Exact));
  Run();
  const auto& pieces = output.Pieces();
  const auto success =
      std::find_if(pieces.begin(), pieces.end(), [](const auto& p) { return p.Text == "success"; });
  ASSERT_NE(success, pieces.end());
  EXPECT_EQ(success->Attr & 0x0F, 10);
}

TEST_F(PatchRunTest, BackupIsMadeBeforeTheTargetIsOpened) {
  WriteBytes(patch::TargetFileName, Original(Exact));
  Run();
  const auto& log = console.CallLog();
  const auto copy = std::find(log.begin(), log.end(), "CopyFileA");
  const auto open = std::find(log.begin(), log.end(), "CreateFileA korvane.exe");
  ASSERT_NE(copy, log.end());
  ASSERT_NE(open, log.end());
  EXPECT_LT(copy, open);
}

}  // namespace

namespace {

TEST(PatchRunOnConsoleTest, ScreenShowsEveryMessageInItsColours) {
  testing_support::ScratchDir scratch;
  win::MemoryConsole console{100, 20, 0x07};
  console.Install();
  crt::ResetConsoleState();
  rtl::IsConsole = true;
  crt::ConsoleUnitStart();
  WriteBytes(patch::TargetFileName, Original(Exact));
  console.QueueKey(0x0D, 0x0D);

  patch::PatchRun();

  const std::vector<std::string> rows = {
      "\xFE Zorwick's Korvane 1.03s for Grendhall 1.11l + NT patch/1.11m+ Executable Fixer!",
      "",
      "  PLEASE READ THE DOCUMENTATION IF YOU HAVE ANY PROBLEMS!",
      "",
      "* Created backup of korvane.exe to korvane.exe.old.",
      "  Patching korvane.exe...success!",
      "",
      "<press any key to exit>",
      ""};
  for (std::size_t y = 0; y < rows.size(); ++y)
    EXPECT_EQ(console.RowText(static_cast<int>(y)), rows[y]);
  EXPECT_EQ(console.Cursor().X, 0);
  EXPECT_EQ(console.Cursor().Y, 8);
  EXPECT_EQ(console.Cell(0, 0).Attributes, 0x08) << "the banner's mark, dark grey on black";
  EXPECT_EQ(console.Cell(2, 2).Attributes, 0x0F) << "white";
  EXPECT_EQ(console.Cell(25, 5).Attributes, 0x0A) << "success in light green";
  EXPECT_EQ(console.Cell(32, 5).Attributes, 0x08) << "the mark after it";
  EXPECT_EQ(crt::CurrentAttr, 0x07);

  rtl::Input = rtl::TextRec{};
  rtl::Output = rtl::TextRec{};
  crt::ResetConsoleState();
  rtl::IsConsole = false;
}

}  // namespace
