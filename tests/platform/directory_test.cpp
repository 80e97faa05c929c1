// The order of a directory listing: by the names' upper-case forms as NTFS's table gives them,
// ties broken by the bytes. The table decides which of two texture files wins a tie, also for
// names from localised releases.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vexmara::platform {
namespace {

namespace fs = std::filesystem;

class Names final : public DirectoryVisitor {
 public:
  bool Visit(const char16_t* name, bool isDirectory) override {
    if (!isDirectory) listed.emplace_back(name);
    return true;
  }
  std::vector<std::u16string> listed;
};

// Whether the listing takes the units `a` and `b` for the same letter: of the names a + "x",
// a + "y", b + "x" and b + "y", the two ending in "x" then come first, whatever the bytes of a
// and b; otherwise the two names of each unit stay together.
bool ListedAsOneLetter(const fs::path& folder, char16_t a, char16_t b) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (char16_t unit : {a, b}) {
    for (char16_t second : {u'x', u'y'}) {
      const std::u16string name{unit, second};
      std::ofstream(folder / fs::path(name)).put('1');
    }
  }
  Names names;
  EXPECT_TRUE(ListDirectory((folder / "").u16string().c_str(), names));
  EXPECT_EQ(names.listed.size(), 4u);
  return names.listed.size() == 4 && names.listed[0][1] == u'x' && names.listed[1][1] == u'x';
}

struct UpperCase {
  const char* what;
  char16_t unit;
  char16_t other;
  bool sameLetter;  // the unit's upper case is other's (true), or the unit is not other's letter
};

// The first and last unit of every range of the table, the unit just outside each end, and the
// exceptions inside a range, each against the unit it would fold onto.
const UpperCase kUpperCases[] = {
    {"a, first ASCII lower case", u'a', u'A', true},
    {"z, last ASCII lower case", u'z', u'Z', true},
    {"` before a", u'`', u'@', false},
    {"{ after z", u'{', u'[', false},
    {"U+00E0, first Latin-1 lower case", 0xE0, 0xC0, true},
    {"U+00DF before the range", 0xDF, 0xBF, false},
    {"U+00F6 before the division sign", 0xF6, 0xD6, true},
    {"U+00F7, the division sign, is no letter", 0xF7, 0xD7, false},
    {"U+00F8 after the division sign", 0xF8, 0xD8, true},
    {"U+00FE, last of the range", 0xFE, 0xDE, true},
    {"U+00FF, y with diaeresis, to U+0178", 0xFF, 0x178, true},
    {"U+00FF is not U+00DF", 0xFF, 0xDF, false},
    {"U+00B5, micro sign, to Greek Mu", 0xB5, 0x39C, true},
    {"U+0101 to U+0100, first pair of Latin Extended-A", 0x101, 0x100, true},
    {"U+0137 to U+0136, last pair before U+0138", 0x137, 0x136, true},
    {"U+0138 after the range", 0x138, 0x137, false},
    {"U+013A to U+0139, first odd-upper pair", 0x13A, 0x139, true},
    {"U+0139 is upper case", 0x139, 0x138, false},
    {"U+0148 to U+0147, last odd-upper pair", 0x148, 0x147, true},
    {"U+0149 after the range", 0x149, 0x148, false},
    {"U+014B to U+014A, first pair after U+0149", 0x14B, 0x14A, true},
    {"U+0177 to U+0176, last pair before U+0178", 0x177, 0x176, true},
    {"U+0178 after the range", 0x178, 0x177, false},
    {"U+017A to U+0179, first odd-upper pair", 0x17A, 0x179, true},
    {"U+0179 is upper case", 0x179, 0x178, false},
    {"U+017E to U+017D, last odd-upper pair", 0x17E, 0x17D, true},
    {"U+017F after the range", 0x17F, 0x17E, false},
    {"U+03B1, first Greek lower case", 0x3B1, 0x391, true},
    {"U+03B0 before the range", 0x3B0, 0x390, false},
    {"U+03C2, final sigma, to Sigma", 0x3C2, 0x3A3, true},
    {"U+03C3, sigma", 0x3C3, 0x3A3, true},
    {"U+03C2 is not U+03A2", 0x3C2, 0x3A2, false},
    {"U+03CB, last of the range", 0x3CB, 0x3AB, true},
    {"U+03CC after the range", 0x3CC, 0x3AC, false},
    {"U+0430, first Cyrillic lower case", 0x430, 0x410, true},
    {"U+042F before the range", 0x42F, 0x40F, false},
    {"U+044F, last of the range", 0x44F, 0x42F, true},
    {"U+0450, first of the second range", 0x450, 0x400, true},
    {"U+0450 is not U+0430's letter", 0x450, 0x430, false},
    {"U+045F, last of the second range", 0x45F, 0x40F, true},
    {"U+0460 after the range", 0x460, 0x410, false},
};

TEST(ListingOrder, UpperCaseTableAtEveryRangeEnd) {
  const fs::path folder =
      fs::temp_directory_path() / ("vexmara_listing_" + std::to_string(::getpid()));
  for (const UpperCase& c : kUpperCases) {
    EXPECT_EQ(ListedAsOneLetter(folder, c.unit, c.other), c.sameLetter) << c.what;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace vexmara::platform
