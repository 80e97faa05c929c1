#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"

namespace vexmara::platform {
namespace {

TEST(WideToNarrow, ConvertsToUtf8) {
  char out[260];
  EXPECT_EQ(WideToNarrow(out, sizeof out, u"Karnath 3 APP Importer\r\n"), 24);
  EXPECT_STREQ(out, "Karnath 3 APP Importer\r\n");
  EXPECT_EQ(WideToNarrow(out, sizeof out, u"r\u00e9sum\u00e9 \U0001F600"), 13);
  EXPECT_STREQ(out, "r\xc3\xa9sum\xc3\xa9 \xf0\x9f\x98\x80");
}

TEST(WideToNarrow, CutsAtCharacterBoundaryAndAlwaysTerminates) {
  // 258 ASCII letters and a two-byte character: 260 bytes would be needed with the terminator.
  std::u16string text(258, u'a');
  text += u'\u00e9';
  char out[260];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(WideToNarrow(out, sizeof out, text.c_str()), 258);
  EXPECT_EQ(std::string(out), std::string(258, 'a'));
  // Exactly filling the field without room for the terminator is cut too.
  const std::u16string full(260, u'b');
  EXPECT_EQ(WideToNarrow(out, sizeof out, full.c_str()), 259);
  EXPECT_EQ(out[259], '\0');
}

TEST(WideToNarrow, UnconvertibleTextLeavesEmptyField) {
  char out[16];
  std::memset(out, 'x', sizeof out);
  const char16_t lone_high[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(WideToNarrow(out, sizeof out, lone_high), -1);
  EXPECT_STREQ(out, "");
  const char16_t lone_low[] = {0xDC00, 0};
  EXPECT_EQ(WideToNarrow(out, sizeof out, lone_low), -1);
  EXPECT_STREQ(out, "");
}

TEST(NarrowToWide, RoundTripsAndRejectsInvalidBytes) {
  char16_t out[32];
  EXPECT_EQ(NarrowToWide(out, 32, "caf\xc3\xa9 \xf0\x9f\x98\x80"), 7);
  EXPECT_EQ(std::u16string(out), u"caf\u00e9 \U0001F600");
  for (const char* bad : {"\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xff", "a\x80"}) {
    std::fill(std::begin(out), std::end(out), u'x');
    EXPECT_EQ(NarrowToWide(out, 32, bad), -1) << bad;
    EXPECT_EQ(out[0], 0);
  }
  EXPECT_EQ(NarrowToWide(out, 4, "abcdef"), 3);
  EXPECT_EQ(std::u16string(out), u"abc");
}

TEST(CompareNoCase, FoldsAsciiLettersToLowerCase) {
  EXPECT_EQ(CompareNoCase("Rock_Wall", "rOCK_wALL"), 0);
  EXPECT_LT(CompareNoCase("abc", "abd"), 0);
  EXPECT_LT(CompareNoCase("ab", "abc"), 0);
  // Folding to lower case puts "_" (0x5F) before every letter.
  EXPECT_LT(CompareNoCase("_", "A"), 0);
  EXPECT_EQ(CompareNoCaseWide(u"Gamma.TEX", u"gamma.tex"), 0);
  EXPECT_GT(CompareNoCaseWide(u"b", u"A"), 0);
  // Only ASCII has case here: other letters compare as they are.
  EXPECT_NE(CompareNoCaseWide(u"\u00c9", u"\u00e9"), 0);
}

struct SplitCase {
  const char16_t* path;
  const char16_t* drive;
  const char16_t* directory;
  const char16_t* name;
  const char16_t* extension;
};

class SplitPathTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathTest, SplitsLikeTheRuntime) {
  const SplitCase& c = GetParam();
  char16_t drive[kPathUnits], directory[kPathUnits], name[kPathUnits], extension[kPathUnits];
  SplitPath(c.path, drive, directory, name, extension);
  EXPECT_EQ(std::u16string(drive), std::u16string(c.drive));
  EXPECT_EQ(std::u16string(directory), std::u16string(c.directory));
  EXPECT_EQ(std::u16string(name), std::u16string(c.name));
  EXPECT_EQ(std::u16string(extension), std::u16string(c.extension));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitPathTest,
    ::testing::Values(SplitCase{u"C:\\games\\k3\\hero.app", u"C:", u"\\games\\k3\\", u"hero", u".app"},
                      SplitCase{u"/home/user/hero.app", u"", u"/home/user/", u"hero", u".app"},
                      SplitCase{u"hero", u"", u"", u"hero", u""},
                      SplitCase{u"dir.v2\\readme", u"", u"dir.v2\\", u"readme", u""},
                      SplitCase{u"a/b\\c.tar.gz", u"", u"a/b\\", u"c.tar", u".gz"},
                      SplitCase{u"D:file.tex", u"D:", u"", u"file", u".tex"},
                      SplitCase{u"", u"", u"", u"", u""}));

TEST(SplitPath, CutsOverlongPartsAndAcceptsNullOutputs) {
  std::u16string path = u"/" + std::u16string(400, u'd') + u"/name.ext";
  char16_t directory[kPathUnits];
  SplitPath(path.c_str(), nullptr, directory, nullptr, nullptr);
  EXPECT_EQ(std::u16string(directory).size(), kPathUnits - 1);
}

}  // namespace
}  // namespace vexmara::platform
