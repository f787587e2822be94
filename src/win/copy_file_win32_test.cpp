#include <gtest/gtest.h>

#include <filesystem>

#include "support/scratch_dir.h"
#include "win/win_api.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FolderEntries;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

class CopyFileWin32Test : public testing::Test {
 protected:
  testing_support::ScratchDir scratch;
};

FILETIME LastWrite(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(::GetFileAttributesExA(path, GetFileExInfoStandard, &data));
  return data.ftLastWriteTime;
}

TEST_F(CopyFileWin32Test, CopiesBytesAttributesAndTime) {
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 253);
  WriteBytes("source", bytes);
  const HANDLE file = ::CreateFileA("source", FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME old{};
  old.dwHighDateTime = 0x01C00000;
  ASSERT_TRUE(::SetFileTime(file, nullptr, nullptr, &old));
  ::CloseHandle(file);
  ASSERT_TRUE(::SetFileAttributesA("source", FILE_ATTRIBUTE_READONLY));

  ASSERT_TRUE(win::CopyFileA("source", "copy", TRUE)) << win::GetLastError();
  EXPECT_TRUE(ReadBytes("copy") == bytes);
  EXPECT_NE(::GetFileAttributesA("copy") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(LastWrite("copy").dwHighDateTime, old.dwHighDateTime);
  EXPECT_EQ(FolderEntries("."), (std::vector<std::string>{"copy", "source"}));
  ::SetFileAttributesA("source", FILE_ATTRIBUTE_NORMAL);
  ::SetFileAttributesA("copy", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CopyFileWin32Test, NeverReplacesWhatIsAtTheNewName) {
  WriteBytes("source", "new");
  WriteBytes("taken", "old");
  EXPECT_FALSE(win::CopyFileA("source", "taken", TRUE));
  EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(ReadBytes("taken"), "old");
  EXPECT_EQ(FolderEntries("."), (std::vector<std::string>{"source", "taken"}));
}

TEST_F(CopyFileWin32Test, RefusesWhatCannotBeCopiedAndLeavesNothing) {
  fs::create_directory("folder");
  WriteBytes("source", "data");
  EXPECT_FALSE(win::CopyFileA("folder", "copy", TRUE));
  EXPECT_FALSE(win::CopyFileA("absent", "copy", TRUE));
  EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(win::CopyFileA("source", "no-such-folder\\copy", TRUE));
  EXPECT_EQ(FolderEntries("."), (std::vector<std::string>{"folder", "source"}));
}

}  // namespace
