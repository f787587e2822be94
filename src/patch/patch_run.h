// The whole run: banner, backup, open, size check, the two patch writes,
// the outcome, and the wait for a key.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "rtl/binary_file.h"

namespace patch {

constexpr const char* TargetFileName = "korvane.exe";
constexpr const char* BackupFileName = "korvane.exe.old";
constexpr std::int64_t ExpectedSize = 831488;  // 0xCB000

struct PatchEntry {
  std::uint32_t Offset;
  std::uint8_t Length;
  std::array<std::uint8_t, 8> Bytes;
};

constexpr std::array<PatchEntry, 2> PatchTable = {{
    {0x3DB2B, 1, {0x0D}},
    {0xBD892, 8, {0x72, 0x61, 0x6E, 0x63, 0x65, 0x3A, 0x20, 0x00}},  // "rance: " and a zero
}};

extern std::array<std::uint8_t, 8> PatchBuffer;
extern rtl::FileRec TargetFile;

// Exit statuses. The break handler's halt exits with whatever was set last,
// so a run interrupted before its outcome never reports success.
constexpr int ExitPatched = 0;
constexpr int ExitNoBackup = 2;
constexpr int ExitOpenFailed = 3;
constexpr int ExitWrongSize = 4;
constexpr int ExitWriteFailed = 5;
constexpr int ExitInterrupted = 6;

constexpr std::string_view BannerMessage =
    "|16|08\xFE"
    " |03Zorwick's Korvane |111.03s |03for |11Grendhall 1.11l + NT patch/1.11m+ |03Executable "
    "Fixer|08!";
constexpr std::string_view ReadDocsMessage =
    "  |15PLEASE READ THE DOCUMENTATION IF YOU HAVE ANY PROBLEMS!";
constexpr std::string_view BackupMadeMessage =
    "|08* |03Created backup of |11korvane.exe |03to |11korvane.exe.old|08.";
constexpr std::string_view OpenFailedMessage =
    "|03There was an error opening |11korvane.exe|08, |03please be sure Korvane is closed and no "
    "other tasks are modifying or opening the file|08!";
constexpr std::string_view PatchingMessage = "  |03Patching |11korvane.exe|03...";
constexpr std::string_view SuccessMessage = "|10success|08!";
constexpr std::string_view FailureMessage = "|04failure|08!";
constexpr std::string_view WrongSizeMessage =
    "|03File size of |11korvane.exe|03 does not match the size this patch was intended "
    "for|08,\r\n|03aborting|08!";
constexpr std::string_view WrongSizeAdviceMessage =
    "|08(|03Ensure that you are running Korvane |111.03s|08, |03and if so|08, |03you may "
    "consider\r\nre-installing and trying this patch again|08!)";
constexpr std::string_view BackupFailedMessage =
    "|03Could not create backup of |11korvane.exe|03 to |11korvane.exe.old|08, |03aborting|08!";
constexpr std::string_view BackupFailedAdviceMessage =
    "|08(|03Backup file may already exist, rename, move or delete and try again|08!)";
constexpr std::string_view PressAnyKeyMessage = "|08<|11press any key to exit|08>|07";

// Runs every step once and leaves the outcome in rtl::ExitCode; the caller
// halts.
void PatchRun();

}  // namespace patch
