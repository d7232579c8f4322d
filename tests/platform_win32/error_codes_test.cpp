#include "platform/win32/error_codes.h"

#include <gtest/gtest.h>

#include "platform/files.h"

namespace {

using namespace platform::win32;

TEST(WindowsErrorCodes, PassAsTheyAreExceptDiskFull) {
  EXPECT_EQ(CodeOfWindowsError(2), 2);
  EXPECT_EQ(CodeOfWindowsError(3), 3);
  EXPECT_EQ(CodeOfWindowsError(4), 4);
  EXPECT_EQ(CodeOfWindowsError(5), 5);
  EXPECT_EQ(CodeOfWindowsError(32), 32);    // sharing violation
  EXPECT_EQ(CodeOfWindowsError(112), 101);  // the disk is full
  EXPECT_EQ(CodeOfWindowsError(39), 101);   // the handle's disk is full
  EXPECT_EQ(CodeOfWindowsError(101), 101);
}

TEST(WindowsErrorCodes, AFailureWithoutACodeIsNeverSuccess) {
  EXPECT_NE(CodeOfWindowsError(0), 0);
  EXPECT_NE(RecordFailure(0), 0);
}

TEST(WindowsErrorCodes, DiskFullTextIsTheSystemsDiskFullText) {
  RecordFailure(2);
  EXPECT_EQ(WindowsErrorBehindCode(platform::kDiskFull), 112u);
  RecordFailure(39);
  EXPECT_EQ(WindowsErrorBehindCode(platform::kDiskFull), 39u);
  EXPECT_EQ(WindowsErrorBehindCode(5), 5u);
  EXPECT_EQ(platform::SystemErrorText(platform::kDiskFull), SystemMessageText(39));
}

TEST(WindowsErrorTexts, TrailingStopsAndBlanksAreCut) {
  EXPECT_EQ(WithoutTrailingStopsAndBlanks("Access is denied.\r\n"), "Access is denied");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks("a. b . \t"), "a. b");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks(std::string("x\0", 2)), "x");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks(".. ."), "");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks(""), "");
}

TEST(WindowsErrorTexts, SystemTextsAreTrimmedAndNeverEmpty) {
  for (unsigned long code : {2ul, 3ul, 4ul, 5ul, 32ul, 112ul}) {
    std::string text = SystemMessageText(code);
    SCOPED_TRACE(code);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '.');
    EXPECT_GT(static_cast<unsigned char>(text.back()), 0x20);
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
  EXPECT_NE(SystemMessageText(2), SystemMessageText(5));
  EXPECT_EQ(SystemMessageText(0x7FFF0123), "Unknown error 2147418403");
}

}  // namespace
