#include "rtl/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/io_result.h"

namespace {

// A driver that logs which routine ran and what the buffer held.
std::vector<std::string> calls;
int openResult = 0;

std::string Take(rtl::TextRec& rec) {
  std::string bytes(rec.BufPtr, rec.BufPos);
  rec.BufPos = 0;
  return bytes;
}
int LogInOut(rtl::TextRec& rec) {
  calls.push_back("inout:" + Take(rec));
  return 0;
}
int LogFlush(rtl::TextRec& rec) {
  calls.push_back("flush:" + Take(rec));
  return 0;
}
int LogClose(rtl::TextRec&) {
  calls.push_back("close");
  return 0;
}
int LogOpen(rtl::TextRec& rec) {
  calls.push_back(rec.Mode == rtl::fmOutput ? "open:output" : "open:input");
  rec.InOutFunc = LogInOut;
  rec.FlushFunc = LogFlush;
  rec.CloseFunc = LogClose;
  return openResult;
}

class TextFileTest : public testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    openResult = 0;
    rtl::IOResult();
    rec = rtl::TextRec{};
    rec.Mode = rtl::fmClosed;
    rec.BufSize = rtl::TextBufferSize;
    rec.BufPtr = rec.Buffer.data();
    rec.OpenFunc = LogOpen;
  }
  rtl::TextRec rec{};
};

TEST_F(TextFileTest, WriteStatementsEndWithAFlushAndSpillWhenFull) {
  rtl::OpenForOutput(rec);
  rtl::Write(rec, "abc");
  rtl::Write(rec, "");
  rtl::Write(rec, std::string(200, 'x'));
  EXPECT_EQ(calls, (std::vector<std::string>{"open:output", "flush:abc",
                                             "flush:", "inout:" + std::string(128, 'x'),
                                             "flush:" + std::string(72, 'x')}));
  EXPECT_EQ(rtl::IOResult(), 0);
}

TEST_F(TextFileTest, LineEndFollowsTheFlag) {
  ASSERT_TRUE(rtl::SetLineBreakCRLF(rec, true));
  rtl::OpenForOutput(rec);
  rtl::WriteLn(rec);
  EXPECT_FALSE(rtl::SetLineBreakCRLF(rec, false)) << "only a closed record may change";
  rtl::Close(rec);
  ASSERT_TRUE(rtl::SetLineBreakCRLF(rec, false));
  rec.OpenFunc = LogOpen;
  rtl::OpenForOutput(rec);
  rtl::WriteLn(rec);
  EXPECT_EQ(calls, (std::vector<std::string>{"open:output", "flush:\r\n", "inout:", "close",
                                             "open:output", "flush:\n"}));
}

TEST_F(TextFileTest, OpeningAnOpenRecordClosesItFirst) {
  rtl::OpenForOutput(rec);
  rtl::Write(rec, "a");
  rtl::OpenForInput(rec);
  rtl::Close(rec);
  EXPECT_EQ(calls, (std::vector<std::string>{"open:output", "flush:a", "inout:", "close",
                                             "open:input", "close"}));
  EXPECT_EQ(rec.Mode, rtl::fmClosed);
}

TEST_F(TextFileTest, InputRecordsAreNeverFlushedByWrites) {
  rtl::OpenForInput(rec);
  rtl::Write(rec, "x");
  EXPECT_EQ(calls, (std::vector<std::string>{"open:input"}));
  EXPECT_EQ(rtl::IOResult(), rtl::ErrorFileNotOpenForOutput);
}

TEST_F(TextFileTest, FailuresBecomeThePendingResult) {
  openResult = 5;
  rtl::OpenForOutput(rec);
  EXPECT_EQ(rec.Mode, rtl::fmClosed);
  EXPECT_EQ(rtl::IOResult(), 5);
  EXPECT_EQ(rtl::IOResult(), 0) << "reading the result clears it";
  rtl::Write(rec, "x");
  EXPECT_EQ(rtl::IOResult(), rtl::ErrorFileNotOpen);
}

}  // namespace
