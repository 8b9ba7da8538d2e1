#include "app/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/core/clock.h"
#include "working_dir.h"

namespace {

// The virtual clock's epoch: 2018-11-02 12:00:00 UTC.
constexpr const char* kStamp = "2018-11-02 12:00:00 ";

class LogTest : public ::testing::Test {
 protected:
  ScopedWorkingDir dir_;
  platform::VirtualClock clock_;
  platform::Override<platform::Clock> useClock_{clock_};
};

TEST_F(LogTest, RecordIsStampedTextWithoutAddedLineEnd) {
  EXPECT_EQ(LogMessage("COrvellaRemote::WaitForResponse TIMEOUT %ld\n", 1000L), 0);
  EXPECT_EQ(dir_.Log(), std::string(kStamp) + "COrvellaRemote::WaitForResponse TIMEOUT 1000\n");
}

TEST_F(LogTest, MessageWithoutLineEndRunsIntoTheNextStamp) {
  LogMessage("Start Erase");
  clock_.Advance(2000);
  LogMessage("Erase Complete");
  EXPECT_EQ(dir_.Log(), "2018-11-02 12:00:00 Start Erase2018-11-02 12:00:02 Erase Complete");
}

TEST_F(LogTest, InnerLineEndsContinueWithoutStamp) {
  LogMessage("Exiting\n%s\n", std::string(3, '*').c_str());
  EXPECT_EQ(dir_.Log(), std::string(kStamp) + "Exiting\n***\n");
}

TEST_F(LogTest, LongMessageIsCutTo1023Characters) {
  std::string longText(5000, 'x');
  LogMessage("%s", longText.c_str());
  LogMessage("after\n");
  std::string log = dir_.Log();
  std::string stamp(kStamp);
  EXPECT_EQ(log, stamp + std::string(1023, 'x') + stamp + "after\n");
}

TEST_F(LogTest, RecordsAreAppendedToAnExistingLog) {
  {
    // Binary, as the log itself is written: the same bytes on every system.
    std::ofstream earlier(dir_.path() / "OrvellaReflash.log", std::ios::binary);
    earlier << "earlier run\n";
  }
  LogMessage("next run\n");
  EXPECT_EQ(dir_.Log(), std::string("earlier run\n") + kStamp + "next run\n");
}

TEST_F(LogTest, UnwritableLogIsDroppedAndRetried) {
  // A folder in the log's place cannot be opened for appending, even by root.
  std::filesystem::create_directory(dir_.path() / "OrvellaReflash.log");
  EXPECT_EQ(LogMessage("lost\n"), 0);
  std::filesystem::remove(dir_.path() / "OrvellaReflash.log");
  LogMessage("kept\n");
  EXPECT_EQ(dir_.Log(), std::string(kStamp) + "kept\n");
}

TEST_F(LogTest, RecordAfterCloseReopensTheLog) {
  LogMessage("before\n");
  CloseLog();
  CloseLog();  // closing twice is harmless
  LogMessage("after\n");
  EXPECT_EQ(dir_.Log(), std::string(kStamp) + "before\n" + kStamp + "after\n");
}

}  // namespace
