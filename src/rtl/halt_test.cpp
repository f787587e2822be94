#include "rtl/halt.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "misc/misc.h"
#include "rtl/exception.h"
#include "rtl/text_file.h"
#include "win/win_api.h"

namespace {

void Say(const char* text) {
  DWORD written = 0;
  win::WriteFile(win::GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)),
                 &written, nullptr);
}

void FirstExitProc() {
  Say("exit1 ");
}
void SecondExitProc() {
  Say("exit2 ");
}
void UnitAStart() {
  Say("startA ");
}
void UnitAEnd() {
  Say("endA ");
}
void UnitBStart() {
  Say("startB ");
}
void UnitBEnd() {
  Say("endB ");
}

const rtl::UnitInfo UnitA = {UnitAStart, UnitAEnd};
const rtl::UnitInfo UnitB = {UnitBStart, UnitBEnd};

TEST(HaltDeathTest, RunsExitProcsThenFinalisationsThenExitsWithTheCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        rtl::StartUnits({&UnitA, &UnitB});
        rtl::AddExitProc(FirstExitProc);
        rtl::AddExitProc(SecondExitProc);
        rtl::Halt(7);
      },
      testing::ExitedWithCode(7), "startA startB exit2 exit1 endB endA");
}

TEST(HaltDeathTest, ClosingTheStandardOutputWritesWhatIsBuffered) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        rtl::StartUnits({});
        // Point standard output at standard error so the death test sees it.
        rtl::Output.Handle = win::GetStdHandle(STD_ERROR_HANDLE);
        rtl::Output.FlushFunc = nullptr;
        rtl::Write(rtl::Output, "kept until the close");
        rtl::Halt(0);
      },
      testing::ExitedWithCode(0), "kept until the close");
}

TEST(HaltDeathTest, UnhandledConversionErrorIsReportedWithStatus1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        rtl::StartUnits({});
        try {
          misc::WriteColor("bad |q code");
        } catch (...) {
          rtl::ReportUnhandledException(std::current_exception());
        }
        rtl::Halt();
      },
      testing::ExitedWithCode(1),
      "Exception EConvertError in module korvfix: 'q ' is not a valid integer value\\.");
}

// A slow console: each byte of a statement reaches standard error on its own.
int SlowFlush(rtl::TextRec& rec) {
  for (std::uint32_t i = 0; i < rec.BufPos; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    DWORD written = 0;
    win::WriteFile(win::GetStdHandle(STD_ERROR_HANDLE), rec.BufPtr + i, 1, &written, nullptr);
  }
  rec.BufPos = 0;
  return 0;
}

class WholeStatementsMatcher : public testing::MatcherInterface<const std::string&> {
 public:
  bool MatchAndExplain(const std::string& output, testing::MatchResultListener*) const override {
    const std::string statement = "[0123456789]";
    if (output.empty() || output.size() % statement.size() != 0) return false;
    for (std::size_t i = 0; i < output.size(); i += statement.size()) {
      if (output.compare(i, statement.size(), statement) != 0) return false;
    }
    return true;
  }
  void DescribeTo(std::ostream* os) const override { *os << "only whole statements"; }
};

TEST(HaltDeathTest, HaltFromAnotherThreadNeverCutsAStatementShort) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        rtl::StartUnits({});
        rtl::Output.InOutFunc = SlowFlush;
        rtl::Output.FlushFunc = SlowFlush;
        std::thread([] {
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
          rtl::Halt(3);
        }).detach();
        for (;;) rtl::Write(rtl::Output, "[0123456789]");
      },
      testing::ExitedWithCode(3), testing::Matcher<const std::string&>(new WholeStatementsMatcher));
}

TEST(HaltTest, ReportShowsControlBytesAsEscapes) {
  const auto report = rtl::UnhandledExceptionReport(
      std::make_exception_ptr(rtl::EConvertError("'\x1b]0;x\x07' is not a valid integer value")));
  EXPECT_EQ(report,
            "Exception EConvertError in module korvfix: "
            "'\\x1B]0;x\\x07' is not a valid integer value.\n");
}

}  // namespace
