#include "rtl/binary_file.h"

#include <gtest/gtest.h>

#include "rtl/io_result.h"
#include "support/scratch_dir.h"
#include "win/memory_console.h"
#include "support/case_name.h"

namespace {

using Call = win::MemoryConsole::Call;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

class BinaryFileTest : public testing::Test {
 protected:
  void SetUp() override {
    console.Install();
    rtl::IOResult();
    WriteBytes("data.bin", "0123456789");
    rtl::AssignFile(file, "data.bin");
  }
  void TearDown() override {
    if (file.Mode != rtl::fmClosed) rtl::CloseFile(file);
    rtl::IOResult();
  }

  testing_support::ScratchDir scratch;
  win::MemoryConsole console{80, 25};
  rtl::FileRec file;
};

TEST_F(BinaryFileTest, OpensSeeksAndWritesInRecords) {
  rtl::Reset(file, 2);
  ASSERT_EQ(rtl::IOResult(), 0);
  EXPECT_EQ(rtl::FileSize(file), 5);
  rtl::Seek(file, 3);
  rtl::BlockWrite(file, "abcd", 2);
  EXPECT_EQ(rtl::IOResult(), 0);
  rtl::CloseFile(file);
  EXPECT_EQ(rtl::IOResult(), 0);
  EXPECT_EQ(ReadBytes("data.bin"), "012345abcd");
}

TEST_F(BinaryFileTest, MissingFileIsAPendingErrorNotACreation) {
  rtl::AssignFile(file, "absent.bin");
  rtl::Reset(file, 1);
  EXPECT_EQ(rtl::IOResult(), static_cast<int>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(file.Mode, rtl::fmClosed);
  EXPECT_FALSE(std::filesystem::exists("absent.bin"));
}

struct InjectedFault {
  const char* name;
  Call call;
  int expected;  // pending result
  friend void PrintTo(const InjectedFault& c, std::ostream* os) { *os << c.name; }
};

class BinaryFileFaultTest : public BinaryFileTest,
                            public testing::WithParamInterface<InjectedFault> {};

TEST_P(BinaryFileFaultTest, EachFailureIsPendingUntilRead) {
  const InjectedFault& fault = GetParam();
  console.FailCall(fault.call, ERROR_DISK_FULL);
  rtl::Reset(file, 1);
  if (fault.call == Call::CreateFileA) {
    EXPECT_EQ(rtl::IOResult(), fault.expected);
    return;
  }
  ASSERT_EQ(rtl::IOResult(), 0);
  const std::int64_t size = rtl::FileSize(file);
  if (fault.call == Call::GetFileSizeEx) {
    EXPECT_EQ(size, -1);
    EXPECT_EQ(rtl::IOResult(), fault.expected);
    return;
  }
  rtl::Seek(file, 1);
  if (fault.call == Call::SetFilePointerEx) {
    EXPECT_EQ(rtl::IOResult(), fault.expected);
    return;
  }
  rtl::BlockWrite(file, "Z", 1);
  EXPECT_EQ(rtl::IOResult(), fault.expected);
  EXPECT_EQ(rtl::IOResult(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BinaryFileFaultTest,
    testing::Values(InjectedFault{"Open", Call::CreateFileA, ERROR_DISK_FULL},
                    InjectedFault{"Size", Call::GetFileSizeEx, ERROR_DISK_FULL},
                    InjectedFault{"Seek", Call::SetFilePointerEx, ERROR_DISK_FULL},
                    InjectedFault{"Write", Call::WriteFile, ERROR_DISK_FULL}),
    testing_support::CaseName());

TEST_F(BinaryFileTest, ShortWriteIsError101) {
  rtl::Reset(file, 1);
  ASSERT_EQ(rtl::IOResult(), 0);
  console.ShortenNextWrite(3);
  rtl::BlockWrite(file, "abcdef", 6);
  EXPECT_EQ(rtl::IOResult(), rtl::ErrorDiskWrite);
}

TEST_F(BinaryFileTest, OperationsOnAClosedFileFail) {
  rtl::Seek(file, 0);
  EXPECT_EQ(rtl::IOResult(), rtl::ErrorFileNotOpen);
  rtl::BlockWrite(file, "a", 1);
  EXPECT_EQ(rtl::IOResult(), rtl::ErrorFileNotOpen);
  EXPECT_EQ(rtl::FileSize(file), -1);
  EXPECT_EQ(rtl::IOResult(), rtl::ErrorFileNotOpen);
}

}  // namespace
