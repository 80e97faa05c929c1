#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "abi/dual_string.h"

namespace vexmara {
namespace {

TEST(DualString, HoldsWideTextAndItsNarrowForm) {
  DualString s;
  DualStringSet(s, u"3.50.60");
  EXPECT_EQ(std::u16string(s.wide), u"3.50.60");
  EXPECT_STREQ(s.narrow, "3.50.60");
  // The narrow half starts 520 bytes into the record.
  EXPECT_STREQ(reinterpret_cast<const char*>(&s) + 520, "3.50.60");
}

TEST(DualString, OverlongTextIsCutAndTerminatedInBothHalves) {
  const std::u16string text(300, u'x');
  DualString s;
  std::memset(&s, 0x7f, sizeof s);
  DualStringSet(s, text.c_str());
  EXPECT_EQ(std::u16string(s.wide), std::u16string(259, u'x'));
  EXPECT_EQ(std::string(s.narrow), std::string(259, 'x'));
}

TEST(DualString, UnconvertibleTextLeavesNarrowHalfEmpty) {
  const char16_t text[] = {u'a', 0xDC01, 0};
  DualString s;
  DualStringSet(s, text);
  EXPECT_EQ(s.wide[1], 0xDC01);
  EXPECT_STREQ(s.narrow, "");
}

TEST(DualString, AssignCopiesBothHalvesWithinTheirFields) {
  DualString from;
  std::memset(&from, 'q', sizeof from);  // neither half terminated
  for (auto& unit : from.wide) unit = u'w';
  DualString to;
  DualStringAssign(to, from);
  EXPECT_EQ(std::u16string(to.wide), std::u16string(259, u'w'));
  EXPECT_EQ(std::string(to.narrow), std::string(259, 'q'));

  DualStringSet(from, u"app");
  DualStringAssign(from, from);  // same record: nothing happens
  EXPECT_EQ(std::u16string(from.wide), u"app");
  DualStringAssign(to, from);
  EXPECT_EQ(std::u16string(to.wide), u"app");
  EXPECT_STREQ(to.narrow, "app");
}

TEST(DualString, ClearEmptiesBothHalvesAndScopedTemporaryClearsItself) {
  DualString s;
  DualStringSet(s, u"abc");
  DualStringClear(s);
  EXPECT_EQ(s.wide[0], 0);
  EXPECT_EQ(s.narrow[0], '\0');
  EXPECT_EQ(s.wide[1], u'b');  // only the first unit and byte are touched
}

}  // namespace
}  // namespace vexmara
