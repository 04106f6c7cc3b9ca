// The Windows conversion is the system's own; the GBK cases of the tests need its ANSI code page
// to be 936, which a Chinese system locale gives (under Wine: LANG=zh_CN.UTF-8, generated).
#include <windows.h>

#include <gtest/gtest.h>

TEST(AnsiCodePageTest, Is936) {
  EXPECT_EQ(GetACP(), 936u) << "the GBK cases need a Chinese system locale";
}
