#include <gtest/gtest.h>

#include <string>

#include "abi/text.h"

namespace vexmara {
namespace {

TEST(DirectoryOf, JoinsDriveAndDirectoryEndingInASeparator) {
  struct Case {
    const char16_t* path;
    const char16_t* directory;
  };
  const Case cases[] = {{u"C:\\games\\k3\\hero.app", u"C:\\games\\k3\\"},
                        {u"/home/user/hero.app", u"/home/user/"},
                        {u"D:hero.app", u"D:\\"},
                        {u"hero.app", u""},
                        {u"models/", u"models/"},
                        {u"", u""}};
  for (const Case& c : cases) {
    char16_t out[kPathUnits];
    ASSERT_TRUE(DirectoryOf(c.path, out));
    EXPECT_EQ(std::u16string(out), std::u16string(c.directory));
  }
  char16_t untouched[kPathUnits] = u"keep";
  EXPECT_FALSE(DirectoryOf(nullptr, untouched));
  EXPECT_EQ(std::u16string(untouched), u"keep");
}

TEST(TextCopies, StayInsideTheirFields) {
  char16_t wide[8];
  WideCopy(wide, 8, u"0123456789");
  EXPECT_EQ(std::u16string(wide), u"0123456");
  WideCopy(wide, 8, u"ab");
  WideAppend(wide, 8, u"cdefghij");
  EXPECT_EQ(std::u16string(wide), u"abcdefg");
  WideCopy(wide, 8, nullptr);
  EXPECT_EQ(wide[0], 0);

  const uint8_t field[4] = {'a', 'b', 'c', 'd'};  // no terminator inside the field
  char name[kNameBytes];
  CopyNameField(name, field, sizeof field);
  EXPECT_STREQ(name, "abcd");
  const uint8_t shortName[4] = {'x', 0, 'y', 'z'};
  CopyNameField(name, shortName, sizeof shortName);
  EXPECT_STREQ(name, "x");
}

}  // namespace
}  // namespace vexmara
