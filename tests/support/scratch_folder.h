// A scratch folder for one test: named for the process and the running test, so that tests run
// side by side never share one, emptied when it is made and removed with everything in it when
// the test ends.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vexmara::testing {

class ScratchFolder {
 public:
  // `suffix` tells apart two folders of one test.
  explicit ScratchFolder(const std::string& suffix = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "vexmara_" + std::to_string(::getpid());
    if (info != nullptr) name += std::string("_") + info->test_suite_name() + "_" + info->name();
    name += suffix;
    // Parameterised tests have a '/' in their names.
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    // The tests compare paths that the programs print, which come out resolved.
    path_ = std::filesystem::canonical(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes a file below the folder, making the folders on its way.
  void WriteBytes(const std::filesystem::path& relative, const std::vector<uint8_t>& bytes) const {
    std::filesystem::create_directories((path_ / relative).parent_path());
    std::ofstream out(path_ / relative, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << relative;
  }

  void Touch(const std::filesystem::path& relative) const { WriteBytes(relative, {1, 2, 3}); }

 private:
  std::filesystem::path path_;
};

}  // namespace vexmara::testing
