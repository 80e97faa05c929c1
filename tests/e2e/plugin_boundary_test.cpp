// Registration and message dispatch, through the exported entry points of the real library.
#include <gtest/gtest.h>

#include <cstring>

#include "loaded_plugin.h"

namespace vexmara {
namespace {

using host::DescriptorText;
using host::Host;
using testing::LoadedPlugin;

TEST(PluginLibraryExports, AnswerVersionAndUnknownMessages) {
  host::PluginLibrary library;
  const auto libraryLoaded = library.Load(VEXMARA_PLUGIN_PATH);
  ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
  EXPECT_EQ(library.Version(), 3606);
  uint8_t scratch[4096];
  std::memset(scratch, 0x5A, sizeof scratch);
  EXPECT_EQ(library.Proc(0x10017, nullptr), 3606);
  EXPECT_EQ(library.Proc(0x10017, scratch), 3606);
  EXPECT_EQ(library.Proc(0x10016, nullptr), 0);
  EXPECT_EQ(library.Proc(0, nullptr), 1);
  EXPECT_EQ(library.Proc(0x10018, scratch), 1);
  for (uint8_t byte : scratch) ASSERT_EQ(byte, 0x5A);  // no message but registration writes
}

TEST_F(LoadedPlugin, RegistrationWritesExactlyTheDescriptorFields) {
  const auto bytes = host_->DescriptorBytes();
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  EXPECT_EQ(u32(8), 0xA3B0D6D4u);
  EXPECT_EQ(u32(12), 0x4961FA1Cu);
  EXPECT_EQ(u32(16), 0xE2660A96u);
  EXPECT_EQ(u32(20), 0x351EF3A9u);
  EXPECT_EQ(u32(24), 1u);
  EXPECT_EQ(u32(28), 2u);
  EXPECT_TRUE(host_->DescriptorBytesUntouched(32, 8));
  EXPECT_NE(host_->CallbackAddress(), nullptr);

  struct Field {
    DescriptorText which;
    size_t offset;
    const char* text;
  };
  const Field fields[] = {{DescriptorText::Description, 48, "Karnath 3 APP Importer\r\n"},
                          {DescriptorText::Version, 828, "3.50.60"},
                          {DescriptorText::Filter, 1608, "Karnath 3 (*.app)"}};
  for (const Field& f : fields) {
    const size_t n = std::strlen(f.text);
    EXPECT_EQ(host_->DescriptorNarrow(f.which), f.text);
    EXPECT_EQ(host_->DescriptorWide(f.which), std::u16string(f.text, f.text + n));
    // Wide text with its terminator at the field, narrow text 520 bytes on; nothing after either.
    for (size_t i = 0; i <= n; ++i) {
      uint16_t unit;
      std::memcpy(&unit, bytes.data() + f.offset + 2 * i, 2);
      EXPECT_EQ(unit, i < n ? uint16_t(f.text[i]) : 0) << f.text << " unit " << i;
      EXPECT_EQ(bytes[f.offset + 520 + i], i < n ? uint8_t(f.text[i]) : 0)
          << f.text << " byte " << i;
    }
    EXPECT_TRUE(host_->DescriptorBytesUntouched(f.offset + 2 * (n + 1), 520 - 2 * (n + 1)))
        << f.text;
    EXPECT_TRUE(host_->DescriptorBytesUntouched(f.offset + 520 + n + 1, 260 - (n + 1))) << f.text;
  }
  EXPECT_TRUE(host_->DescriptorBytesUntouched(2388, bytes.size() - 2388));

  ASSERT_EQ(host_->RegisteredExtensions().size(), 1u);
  EXPECT_EQ(host_->RegisteredExtensions()[0].wide, u"app");
  EXPECT_EQ(host_->RegisteredExtensions()[0].narrow, "app");
}

TEST_F(LoadedPlugin, RefusedExtensionFailsRegistration) {
  Host other;
  other.SetRegisterExtensionResult(0);
  EXPECT_EQ(other.Register(library_), 0);
  EXPECT_EQ(other.DescriptorNarrow(DescriptorText::Version),
            "3.50.60");  // fields already written stay
}

TEST_F(LoadedPlugin, CallbackNeedsItsArgumentsAndIgnoresOtherMessages) {
  void* context = &host_->Context();
  int instance = 0;
  struct Case {
    int32_t message;
    void* context;
    void* instance;
  };
  const Case cases[] = {
      {0x10018, nullptr, &instance}, {0x10019, context, nullptr},   {0x10019, nullptr, nullptr},
      {0x1001F, context, nullptr},   {0x1001F, nullptr, &instance}, {0x10020, context, &instance},
      {0x10020, context, nullptr},   {0x10016, context, &instance}, {0, context, &instance}};
  const size_t callsBefore = host_->Calls().size();
  for (const Case& c : cases)
    EXPECT_EQ(host_->Callback(c.message, c.context, c.instance), 0) << std::hex << c.message;
  EXPECT_EQ(host_->Calls().size(), callsBefore);  // none of these reaches the host
  EXPECT_EQ(host_->ErrorTextWide(), u"");
}

}  // namespace
}  // namespace vexmara
