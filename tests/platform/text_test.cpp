#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/native_path.h"

namespace vexmara::platform {
namespace {

// Every boundary of the two encodings, in both directions and back. A row either pairs a text
// with its UTF-8 form, or gives what has no form in the other encoding: a wide text that is not
// UTF-16 (with, where there is one, the UTF-8-like bytes that would stand for it) or bytes that
// are not UTF-8.
struct ConversionCase {
  const char* label;
  std::optional<std::u16string> wide;
  std::optional<std::string> narrow;
  bool converts;
};

const ConversionCase kConversions[] = {
    {"U+007F, the narrow byte 0x7F", u"\u007F", "\x7F", true},
    {"U+0080", u"\u0080", "\xC2\x80", true},
    {"U+00FF", u"\u00FF", "\xC3\xBF", true},
    {"U+07FF", u"\u07FF", "\xDF\xBF", true},
    {"U+0800", u"\u0800", "\xE0\xA0\x80", true},
    {"U+D7FF, below the surrogates", u"\uD7FF", "\xED\x9F\xBF", true},
    {"U+E000, above the surrogates", u"\uE000", "\xEE\x80\x80", true},
    {"U+FFFF", u"\uFFFF", "\xEF\xBF\xBF", true},
    {"U+10000, D800 DC00", std::u16string{0xD800, 0xDC00}, "\xF0\x90\x80\x80", true},
    {"U+103FF, D800 DFFF", std::u16string{0xD800, 0xDFFF}, "\xF0\x90\x8F\xBF", true},
    {"U+10FC00, DBFF DC00", std::u16string{0xDBFF, 0xDC00}, "\xF4\x8F\xB0\x80", true},
    {"U+10FFFF, DBFF DFFF", std::u16string{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF", true},
    {"between letters", u"a\u0080b\U0010FFFFc",
     "a\xC2\x80"
     "b\xF4\x8F\xBF\xBF"
     "c",
     true},
    {"lone D800", std::u16string{0xD800}, "\xED\xA0\x80", false},
    {"lone DBFF", std::u16string{0xDBFF}, "\xED\xAF\xBF", false},
    {"lone DC00", std::u16string{0xDC00}, "\xED\xB0\x80", false},
    {"lone DFFF", std::u16string{0xDFFF}, "\xED\xBF\xBF", false},
    {"D800 before DBFF", std::u16string{0xD800, 0xDBFF}, std::nullopt, false},
    {"D800 before E000", std::u16string{0xD800, 0xE000}, std::nullopt, false},
    {"DC00 before D800", std::u16string{0xDC00, 0xD800}, std::nullopt, false},
    {"D800 at the end", std::u16string{u'a', 0xD800}, std::nullopt, false},
    {"overlong U+0000", std::nullopt, "\xC0\x80", false},
    {"overlong U+007F", std::nullopt, "\xC1\xBF", false},
    {"overlong U+07FF", std::nullopt, "\xE0\x9F\xBF", false},
    {"overlong U+FFFF", std::nullopt, "\xF0\x8F\xBF\xBF", false},
    {"above U+10FFFF", std::nullopt, "\xF4\x90\x80\x80", false},
    {"two-byte form cut", std::nullopt, "\xC2", false},
    {"three-byte form cut", std::nullopt, "\xE0\xA0", false},
    {"four-byte form cut", std::nullopt, "\xF0\x90\x80", false},
    {"three-byte form cut by a letter", std::nullopt,
     "\xE0\xA0"
     "a",
     false},
    {"the narrow byte 0x80 alone", std::nullopt, "\x80", false},
    {"the narrow byte 0xFF", std::nullopt, "\xFF", false},
    {"five-byte lead", std::nullopt, "\xF8\x88\x80\x80\x80", false},
};

std::optional<std::string> ToNarrow(const std::u16string& wide) {
  char out[64];
  std::memset(out, 'x', sizeof out);
  const int32_t n = WideToNarrow(out, sizeof out, wide.c_str());
  if (n < 0) {
    EXPECT_EQ(out[0], '\0') << "a refused text leaves an empty field";
    return std::nullopt;
  }
  EXPECT_EQ(size_t(n), std::strlen(out));
  return std::string(out);
}

std::optional<std::u16string> ToWide(const std::string& narrow) {
  char16_t out[64];
  std::fill(std::begin(out), std::end(out), u'x');
  const int32_t n = NarrowToWide(out, 64, narrow.c_str());
  if (n < 0) {
    EXPECT_EQ(out[0], 0) << "refused bytes leave an empty field";
    return std::nullopt;
  }
  EXPECT_EQ(size_t(n), std::u16string(out).size());
  return std::u16string(out);
}

// A path's native name is the same conversion, and a text without one names no file.
std::optional<std::string> ToNative(const std::u16string& wide) {
  char out[kNativePathBytes];
  if (!ToNativePath(wide.c_str(), out, false)) return std::nullopt;
  return std::string(out);
}

TEST(TextConversion, EveryBoundaryBothWaysAndBack) {
  for (const ConversionCase& c : kConversions) {
    SCOPED_TRACE(c.label);
    if (c.converts) {
      EXPECT_EQ(ToNarrow(*c.wide), c.narrow);
      EXPECT_EQ(ToWide(*c.narrow), c.wide);
      EXPECT_EQ(ToNative(*c.wide), c.narrow);
      // Round trips, from the results themselves.
      const std::optional<std::string> narrow = ToNarrow(*c.wide);
      ASSERT_TRUE(narrow.has_value());
      EXPECT_EQ(ToWide(*narrow), c.wide);
      const std::optional<std::u16string> wide = ToWide(*c.narrow);
      ASSERT_TRUE(wide.has_value());
      EXPECT_EQ(ToNarrow(*wide), c.narrow);
      continue;
    }
    if (c.wide) {
      EXPECT_EQ(ToNarrow(*c.wide), std::nullopt);
      EXPECT_EQ(ToNative(*c.wide), std::nullopt);
    }
    if (c.narrow) {
      EXPECT_EQ(ToWide(*c.narrow), std::nullopt);
    }
  }
}

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
    ::testing::Values(SplitCase{u"C:\\games\\k3\\hero.app", u"C:", u"\\games\\k3\\", u"hero",
                                u".app"},
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
