// The millisecond clock's waits, real and fake, the message box's fallback and the
// messages on standard error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/complain.h"
#include "platform/messagebox.h"
#include "support/cp949_text.h"
#include "support/environment.h"

namespace {

TEST(Clock, RealWaitEndsOnlyAfterTheDeadline) {
  platform::UseRealClock();
  uint32_t start = platform::Ticks();
  uint32_t end = platform::WaitUntilElapsed(start, 20);
  EXPECT_GE(end - start, 20u);
  EXPECT_GE(platform::Ticks() - start, 20u);
  // A deadline already passed returns at once with the present time.
  uint32_t now = platform::WaitUntilElapsed(start, 0);
  EXPECT_GE(now, end);
}

TEST(Clock, FakeClockMovesOnlyByWaitsAndRunsTheHook) {
  platform::UseFakeClock(1000);
  std::vector<uint32_t> seen;
  platform::SetWaitHook([&](uint32_t now) { seen.push_back(now); });
  EXPECT_EQ(platform::Ticks(), 1000u);
  EXPECT_EQ(platform::WaitUntilElapsed(1000, 50), 1050u);
  platform::AdvanceFakeClock(70);  // a slow frame is not made up for
  EXPECT_EQ(platform::WaitUntilElapsed(1050, 50), 1120u);
  EXPECT_EQ(seen, (std::vector<uint32_t>{1050, 1120}));
  platform::UseRealClock();
  EXPECT_FALSE(platform::FakeClockInUse());
}

TEST(Clock, WaitsAreMeasuredAcrossTheClockWrap) {
  platform::UseFakeClock(0xFFFFFFF0u);
  uint32_t end = platform::WaitUntilElapsed(0xFFFFFFF0u, 50);
  EXPECT_EQ(end, 0x22u);
  EXPECT_EQ(end - 0xFFFFFFF0u, 50u);
  platform::UseRealClock();
}

TEST(MessageBox, GoesToTheRecorderOrToStandardErrorWithoutADisplay) {
  std::vector<std::string> seen;
  platform::SetMessageBoxHook(
      [&](const char* caption, const char* text) { seen.push_back(std::string(caption) + "|" + text); });
  platform::ShowMessageBox(Cp949("개쇅").c_str(), Cp949("파일업어").c_str());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], Cp949("개쇅|파일업어"));
  platform::SetMessageBoxHook(nullptr);

#if defined(_WIN32)
  GTEST_SKIP() << "Windows always has its desktop: the box is shown there";
#endif
  UnsetEnvironment("DISPLAY");
  UnsetEnvironment("WAYLAND_DISPLAY");
  testing::internal::CaptureStderr();
  platform::ShowMessageBox(Cp949("개쇅").c_str(), Cp949("파일업어").c_str());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "platform_test: 개쇅: 파일업어\n");
}

// Every message is one line after the running program's name, however long it is.
TEST(Complain, SaysOneLineAfterTheProgramsOwnName) {
  EXPECT_STREQ(platform::ProgramName(), "platform_test");
  const std::string longText(5000, 'x');
  testing::internal::CaptureStderr();
  platform::Complain("%s is %d", "the answer", 42);
  platform::Complain("%s.", longText.c_str());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "platform_test: the answer is 42\nplatform_test: " + longText + ".\n");
}

}  // namespace
