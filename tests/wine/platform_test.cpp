// The plug-in's Win32 platform layer on its own, against the real file system: directory
// search, the existence test and the positioned reads through a file mapping, including files
// that are empty, short, locked by another program, or not files at all.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/current_directory.h"
#include "platform/platform.h"

namespace vexmara::platform {
namespace {

const char16_t* Units(const std::wstring& text) {
  return reinterpret_cast<const char16_t*>(text.c_str());
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text != 0; ++text) out += *text < 0x80 ? char(*text) : '?';
  return out;
}

// Every entry visited, by name, with whether it was reported as a directory.
class Recorder final : public DirectoryVisitor {
 public:
  explicit Recorder(size_t stopAfter = SIZE_MAX) : stopAfter_(stopAfter) {}
  bool Visit(const char16_t* name, bool isDirectory) override {
    entries[Narrow(name)] = isDirectory;
    ++visits;
    return visits < stopAfter_;
  }
  std::map<std::string, bool> entries;
  size_t visits = 0;

 private:
  size_t stopAfter_;
};

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    directory_ = std::wstring(temp) + L"vexmara_platform_" +
                 std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial_);
    std::filesystem::remove_all(directory_);
    ASSERT_TRUE(std::filesystem::create_directories(directory_));
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    original_ = current;
  }

  void TearDown() override {
    for (HANDLE handle : held_) CloseHandle(handle);
    SetCurrentDirectoryW(original_.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  std::wstring Path(const std::wstring& name) const { return directory_ + L"\\" + name; }

  std::wstring Write(const std::wstring& name, const std::vector<uint8_t>& bytes) {
    const std::wstring path = Path(name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (!bytes.empty()) {
      EXPECT_TRUE(WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
    }
    CloseHandle(file);
    return path;
  }

  // Holds the file open as another program would, with the given access and sharing.
  void Hold(const std::wstring& path, DWORD access, DWORD share) {
    HANDLE handle = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    held_.push_back(handle);
  }

  static std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = uint8_t(i * 7 + 3);
    return bytes;
  }

  static inline int serial_ = 0;
  std::wstring directory_;  // no trailing separator
  std::wstring original_;
  std::vector<HANDLE> held_;
};

TEST_F(Win32Files, ListingReportsFilesAndFoldersWhateverTheirAttributes) {
  Write(L"a.tex", {1});
  Write(L"B.TEX", {});
  std::filesystem::create_directories(Path(L"folder.tex"));
  const std::wstring hidden = Write(L"hidden.tex", {1});
  ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  Recorder listing;
  ASSERT_TRUE(ListDirectory(Units(directory_ + L"\\"), listing));
  const std::map<std::string, bool> expected = {{".", true},          {"..", true},
                                                {"B.TEX", false},     {"a.tex", false},
                                                {"folder.tex", true}, {"hidden.tex", false}};
  EXPECT_EQ(listing.entries, expected);
  EXPECT_EQ(listing.visits, expected.size());
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32Files, ListingAddsTheSeparatorTheDirectoryLacks) {
  Write(L"only.tex", {1});
  ASSERT_TRUE(SetCurrentDirectoryW(directory_.c_str()));
  // With "\", without it, with "/" (which gets a "\" as well), and empty (the current folder).
  for (const std::wstring& given :
       {directory_ + L"\\", directory_, directory_ + L"/", std::wstring()}) {
    Recorder listing;
    EXPECT_TRUE(ListDirectory(Units(given), listing)) << std::string(given.begin(), given.end());
    EXPECT_EQ(listing.entries.count("only.tex"), 1u) << std::string(given.begin(), given.end());
    EXPECT_EQ(listing.entries.size(), 3u);
  }
}

TEST_F(Win32Files, ListingThatCannotStartVisitsNothing) {
  const std::wstring file = Write(L"plain.tex", {1});
  const std::u16string overlong(300, u'a');  // no terminator inside a path field
  const std::wstring cases[] = {Path(L"missing"), file};
  for (const std::wstring& directory : cases) {
    Recorder listing;
    EXPECT_FALSE(ListDirectory(Units(directory), listing));
    EXPECT_EQ(listing.visits, 0u);
  }
  Recorder listing;
  EXPECT_FALSE(ListDirectory(overlong.c_str(), listing));
  EXPECT_FALSE(ListDirectory(nullptr, listing));
  EXPECT_EQ(listing.visits, 0u);
}

TEST_F(Win32Files, VisitorCanEndTheListingEarly) {
  Write(L"one.tex", {1});
  Write(L"two.tex", {1});
  Recorder listing(2);
  EXPECT_TRUE(ListDirectory(Units(directory_), listing));
  EXPECT_EQ(listing.visits, 2u);
}

TEST_F(Win32Files, ExistenceIsOnlyForFiles) {
  const std::wstring file = Write(L"rock.dds", {1});
  const std::wstring empty = Write(L"empty.tga", {});
  const std::wstring locked = Write(L"locked.bmp", {1});
  Hold(locked, GENERIC_READ | GENERIC_WRITE, 0);
  std::filesystem::create_directories(Path(L"folder.dds"));
  const std::u16string overlong(300, u'a');
  const struct {
    std::wstring path;
    bool exists;
  } cases[] = {
      {file, true},
      {empty, true},
      {locked, true},  // held open without sharing by another program: still there
      {Path(L"missing.dds"), false},
      {Path(L"folder.dds"), false},
      {L"NUL", false},  // a device, not a file
      {L"", false},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(FileExists(Units(test.path)), test.exists)
        << std::string(test.path.begin(), test.path.end());
  }
  EXPECT_FALSE(FileExists(overlong.c_str()));
  EXPECT_FALSE(FileExists(nullptr));
}

TEST_F(Win32Files, PositionedReadsStayInsideTheFile) {
  const std::wstring path = Write(L"twenty.tex", Counting(20));
  ReadOnlyFile file;
  ASSERT_TRUE(file.Open(Units(path)));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.size(), 20u);
  uint8_t got[20] = {};
  ASSERT_TRUE(file.ReadAt(16, got, 4));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 4), (std::vector<uint8_t>{115, 122, 129, 136}));
  EXPECT_TRUE(file.ReadAt(0, got, 20));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 20), Counting(20));
  EXPECT_TRUE(file.ReadAt(20, got, 0));
  uint8_t untouched[4] = {9, 9, 9, 9};
  EXPECT_FALSE(file.ReadAt(17, untouched, 4)) << "one byte past the end";
  EXPECT_FALSE(file.ReadAt(21, untouched, 0));
  EXPECT_FALSE(file.ReadAt(UINT64_MAX - 1, untouched, 4)) << "no wrap-around";
  EXPECT_FALSE(file.ReadAt(0, nullptr, 4));
  file.Close();
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.size(), 0u);
  EXPECT_FALSE(file.ReadAt(16, got, 4));
}

TEST_F(Win32Files, PositionedReadsAcrossAndBeyondTheMappingGranularity) {
  const std::vector<uint8_t> bytes = Counting(200000);
  const std::wstring path = Write(L"large.tex", bytes);
  ReadOnlyFile file;
  ASSERT_TRUE(file.Open(Units(path)));
  for (uint64_t offset : {uint64_t(65534), uint64_t(65536), uint64_t(131070), uint64_t(199996)}) {
    uint8_t got[4] = {};
    ASSERT_TRUE(file.ReadAt(offset, got, 4)) << offset;
    EXPECT_EQ(std::vector<uint8_t>(got, got + 4),
              std::vector<uint8_t>(bytes.begin() + long(offset), bytes.begin() + long(offset) + 4))
        << offset;
  }
}

TEST_F(Win32Files, OpenRefusesWhatCannotBeReadAsAFile) {
  const std::wstring empty = Write(L"empty.tex", {});
  const std::wstring exclusive = Write(L"exclusive.tex", Counting(24));
  Hold(exclusive, GENERIC_READ, 0);
  const std::wstring writing = Write(L"writing.tex", Counting(24));
  Hold(writing, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  std::filesystem::create_directories(Path(L"folder.tex"));
  const std::wstring cases[] = {
      empty, exclusive, writing, Path(L"missing.tex"), Path(L"folder.tex"), L"NUL", L""};
  for (const std::wstring& path : cases) {
    ReadOnlyFile file;
    EXPECT_FALSE(file.Open(Units(path))) << std::string(path.begin(), path.end());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.size(), 0u);
  }
  ReadOnlyFile file;
  EXPECT_FALSE(file.Open(nullptr));
}

bool Writable(const std::wstring& path) {
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (writer == INVALID_HANDLE_VALUE) return false;
  CloseHandle(writer);
  return true;
}

TEST_F(Win32Files, OpenFileSharesReadingAndKeepsWritersOut) {
  const std::wstring shared = Write(L"shared.tex", Counting(24));
  Hold(shared, GENERIC_READ, FILE_SHARE_READ);
  ReadOnlyFile file;
  EXPECT_TRUE(file.Open(Units(shared))) << "another reader is no obstacle";

  const std::wstring first = Write(L"first.tex", Counting(24));
  ASSERT_TRUE(file.Open(Units(first)));
  EXPECT_FALSE(Writable(first)) << "nobody can change the file under the mapped view";
  // Opening another file closes the first; so does Close.
  const std::wstring second = Write(L"second.tex", Counting(30));
  ASSERT_TRUE(file.Open(Units(second)));
  EXPECT_EQ(file.size(), 30u);
  EXPECT_TRUE(Writable(first));
  EXPECT_FALSE(Writable(second));
  file.Close();
  EXPECT_TRUE(Writable(second));
}

TEST_F(Win32Files, CurrentDirectoryRoundTripsAndRefusesSmallBuffers) {
  ASSERT_TRUE(ChangeCurrentDirectory(Units(directory_)));
  char16_t current[260];
  ASSERT_TRUE(ReadCurrentDirectory(current, 260));
  EXPECT_EQ(Narrow(current), std::string(directory_.begin(), directory_.end()));
  char16_t small[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_FALSE(ReadCurrentDirectory(small, 4));
  EXPECT_EQ(small[0], 0);
  EXPECT_FALSE(ChangeCurrentDirectory(Units(Path(L"missing"))));
  EXPECT_FALSE(ChangeCurrentDirectory(u""));
}

}  // namespace
}  // namespace vexmara::platform
