// A test fixture holding the plug-in library loaded and registered with a fresh reference host.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "host/host.h"
#include "host/plugin_library.h"
#include "writer/common.h"

namespace vexmara::testing {

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.Load(VEXMARA_PLUGIN_PATH)) << library_.LoadError();
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    directory_ = std::filesystem::temp_directory_path() /
                 ("vexmara_e2e_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
  }

  void TearDown() override {
    if (host_) {
      EXPECT_TRUE(host_->UnexpectedCalls().empty()) << "the plug-in called a slot outside the interface";
      EXPECT_TRUE(host_->Misuses().empty()) << (host_->Misuses().empty() ? "" : host_->Misuses().front());
    }
    host_.reset();
    std::filesystem::remove_all(directory_);
  }

  // Writes `bytes` as a file in this test's folder and returns its path.
  std::filesystem::path WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = directory_ / name;
    EXPECT_TRUE(writer::SaveBytes(path.string(), bytes));
    return path;
  }

  int32_t ReadModel(const std::filesystem::path& path) {
    host_->SetModelPath(path.u16string());
    return host_->Read();
  }

  host::PluginLibrary library_;
  std::unique_ptr<host::Host> host_;
  std::filesystem::path directory_;
};

}  // namespace vexmara::testing
