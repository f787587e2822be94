#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "support/scratch_dir.h"
#include "win/win_api.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FolderEntries;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

class CopyFilePosixTest : public testing::Test {
 protected:
  testing_support::ScratchDir scratch;
};

TEST_F(CopyFilePosixTest, CopiesBytesPermissionsAndTime) {
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 253);
  WriteBytes("source", bytes);
  ASSERT_EQ(::chmod("source", 0640), 0);
  const struct timeval times[2] = {{1000000000, 0}, {1234567890, 0}};
  ASSERT_EQ(::utimes("source", times), 0);

  ASSERT_TRUE(win::CopyFileA("source", "copy", TRUE));
  EXPECT_TRUE(ReadBytes("copy") == bytes);
  struct stat info {};
  ASSERT_EQ(::stat("copy", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(info.st_mtime, 1234567890);
  EXPECT_EQ(FolderEntries("."), (std::vector<std::string>{"copy", "source"}));
}

TEST_F(CopyFilePosixTest, NeverReplacesWhatIsAtTheNewName) {
  WriteBytes("source", "new");
  WriteBytes("taken", "old");
  ASSERT_EQ(::symlink("missing-target", "dangling"), 0);

  EXPECT_FALSE(win::CopyFileA("source", "taken", TRUE));
  EXPECT_EQ(win::GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadBytes("taken"), "old");

  EXPECT_FALSE(win::CopyFileA("source", "dangling", TRUE));
  EXPECT_EQ(win::GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_FALSE(fs::exists("missing-target")) << "the link was followed";
  EXPECT_TRUE(fs::is_symlink("dangling"));
  EXPECT_EQ(FolderEntries("."), (std::vector<std::string>{"dangling", "source", "taken"}));
}

TEST_F(CopyFilePosixTest, RefusesSourcesThatAreNotRegularFiles) {
  fs::create_directory("folder");
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);
  ASSERT_EQ(::symlink("nowhere", "dangling"), 0);
  ASSERT_EQ(::symlink("loop", "loop"), 0);
  struct Refusal {
    const char* source;
    DWORD error;
  };
  for (const Refusal& r :
       {Refusal{"folder", ERROR_ACCESS_DENIED}, Refusal{"pipe", ERROR_INVALID_PARAMETER},
        Refusal{"/dev/null", ERROR_INVALID_PARAMETER}, Refusal{"dangling", ERROR_FILE_NOT_FOUND},
        Refusal{"loop", ERROR_CANT_RESOLVE_FILENAME}, Refusal{"absent", ERROR_FILE_NOT_FOUND}}) {
    SCOPED_TRACE(r.source);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(win::CopyFileA(r.source, "copy", TRUE));
    EXPECT_EQ(win::GetLastError(), r.error);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists(fs::symlink_status("copy")));
  }
  EXPECT_EQ(FolderEntries("."), (std::vector<std::string>{"dangling", "folder", "loop", "pipe"}));
}

TEST_F(CopyFilePosixTest, FailedCopyLeavesNothingBehind) {
  WriteBytes("source", std::string(256 * 1024, 'k'));
  // A file size limit makes the copy's writes fail part way, as a full disk would.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const BOOL copied = win::CopyFileA("source", "copy", TRUE);
  const DWORD error = win::GetLastError();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(copied);
  EXPECT_EQ(error, ERROR_DISK_FULL);
  EXPECT_EQ(FolderEntries("."), (std::vector<std::string>{"source"}));
}

}  // namespace
