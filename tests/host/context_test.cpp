// The import context: its file path, error text and lists at their byte offsets.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "tests/host/host_test_support.h"

namespace vexmara::host {
namespace {

using testing::NarrowAt;
using testing::ReadAt;
using testing::WideAt;
using testing::WriteAt;

TEST(ContextTest, StartsZeroedWithItsTable) {
  Host host;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&host.Context());
  EXPECT_NE(ReadAt<const void*>(bytes, 0), nullptr);
  std::size_t nonzero = 0;
  for (std::size_t i = 8; i < sizeof(HostContext); ++i) {
    nonzero += bytes[i] != 0;
  }
  EXPECT_EQ(nonzero, 0u);
  EXPECT_GE(sizeof(HostContext), 8016u);
}

TEST(ContextTest, ModelPathFillsBothHalvesAtTheirOffsets) {
  struct Case {
    std::u16string path;
    std::u16string wide;  // expected at 12
    std::string narrow;   // expected at 532
  };
  const std::u16string longAscii(300, u'a');
  const std::u16string longAccented(300, u'\u00e9');  // two UTF-8 bytes each
  std::string accented129;
  for (int i = 0; i < 129; ++i) {
    accented129 += "\xc3\xa9";
  }
  const Case cases[] = {
      {u"C:\\models\\hero.app", u"C:\\models\\hero.app", "C:\\models\\hero.app"},
      {u"/tmp/\u00fcber/\u6a21\u578b.app", u"/tmp/\u00fcber/\u6a21\u578b.app",
       "/tmp/\xc3\xbc"
       "ber/\xe6\xa8\xa1\xe5\x9e\x8b.app"},
      {longAscii, longAscii.substr(0, 259), std::string(259, 'a')},
      // 259 units fit, but only whole characters of their UTF-8 form fit in 259 bytes.
      {longAccented, longAccented.substr(0, 259), accented129},
      {u"", u"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.narrow.begin(),
                             c.narrow.begin() + std::min<std::size_t>(20, c.narrow.size())));
    Host host;
    host.SetModelPath(u"an older, longer path to be replaced entirely");
    host.SetModelPath(c.path);
    EXPECT_EQ(WideAt(&host.Context(), 12), c.wide);
    EXPECT_EQ(NarrowAt(&host.Context(), 532), c.narrow);
    EXPECT_EQ(host.ModelPathWide(), c.wide);
    EXPECT_EQ(host.ModelPathNarrow(), c.narrow);
    EXPECT_EQ(ReadAt<char16_t>(&host.Context(), 12 + 2 * c.wide.size()), u'\0');
  }
}

TEST(ContextTest, FileTagAndErrorTextAtTheirOffsets) {
  Host host;
  host.SetFileTag(-7);
  EXPECT_EQ(ReadAt<std::int32_t>(&host.Context(), 8), -7);

  EXPECT_EQ(host.ErrorTextWide(), u"");
  const std::u16string wide = u"Could not open file for reading.";
  for (std::size_t i = 0; i <= wide.size(); ++i) {
    WriteAt<char16_t>(&host.Context(), 3912 + 2 * i, i < wide.size() ? wide[i] : u'\0');
  }
  const std::string narrow = "narrow half";
  for (std::size_t i = 0; i <= narrow.size(); ++i) {
    WriteAt<char>(&host.Context(), 3912 + 520 + i, i < narrow.size() ? narrow[i] : '\0');
  }
  EXPECT_EQ(host.ErrorTextWide(), wide);
  EXPECT_EQ(host.ErrorTextNarrow(), narrow);
}

TEST(ContextTest, UnterminatedTextIsReadWithinItsField) {
  Host host;
  for (std::size_t i = 0; i < 260; ++i) {
    WriteAt<char16_t>(&host.Context(), 3912 + 2 * i, u'x');
    WriteAt<char>(&host.Context(), 3912 + 520 + i, 'y');
  }
  WriteAt<char>(&host.Context(), 3912 + 780, 'z');  // the byte after the field
  EXPECT_EQ(host.ErrorTextWide(), std::u16string(260, u'x'));
  EXPECT_EQ(host.ErrorTextNarrow(), std::string(260, 'y'));
}

}  // namespace
}  // namespace vexmara::host
