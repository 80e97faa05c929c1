// Loading a plug-in library, registering it through the descriptor, and sending the import
// messages, with stand-in plug-ins so that nothing here needs the real one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/host.h"
#include "host/plugin_library.h"
#include "tests/host/host_test_support.h"

namespace vexmara::host {
namespace {

using testing::CallSlot;
using testing::Dual;
using testing::ReadAt;

TEST(PluginLibraryTest, LoadFindsBothEntryPoints) {
  PluginLibrary library;
  const auto libraryLoaded = library.Load(HOST_FAKE_PLUGIN_PATH);
  ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
  EXPECT_TRUE(library.IsLoaded());
  EXPECT_NE(library.Instance(), nullptr);
  EXPECT_EQ(library.Version(), 4242);
  EXPECT_EQ(library.Proc(0x10017, nullptr), 7);

  library.Unload();
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Version(), 0);
  EXPECT_EQ(library.Proc(0x10017, nullptr), 0);
}

TEST(PluginLibraryTest, LoadRejectsMissingLibraryOrEntryPoint) {
  struct Case {
    const char* name;
    std::string path;
    PluginLibrary::LoadCode code;
  };
  const Case cases[] = {
      {"no such file", "/nonexistent/vexmara_64.so", PluginLibrary::LoadCode::NotOpened},
      {"library without PluginProc", HOST_FAKE_PLUGIN_WITHOUT_PROC_PATH,
       PluginLibrary::LoadCode::MissingExport},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PluginLibrary library;
    const PluginLibrary::LoadResult loaded = library.Load(c.path);
    EXPECT_EQ(loaded.code, c.code);
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_FALSE(loaded.message.empty());
    Host host;
    EXPECT_EQ(host.Register(library), 0);
    EXPECT_EQ(host.CallCount(Operation::RegisterExtension), 0);
  }
}

TEST(PluginLibraryTest, MovedLibraryStaysLoadedOnce) {
  PluginLibrary first;
  ASSERT_TRUE(first.Load(HOST_FAKE_PLUGIN_PATH).ok());
  PluginLibrary second = std::move(first);
  EXPECT_FALSE(first.IsLoaded());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  EXPECT_TRUE(second.IsLoaded());
  EXPECT_EQ(second.Version(), 4242);
}

TEST(RegistrationTest, RegisterTakesCallbackAndRecordsExtension) {
  PluginLibrary library;
  const auto libraryLoaded = library.Load(HOST_FAKE_PLUGIN_PATH);
  ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
  Host host;
  EXPECT_EQ(host.CallbackAddress(), nullptr);
  ASSERT_EQ(host.Register(library), 1);

  ASSERT_EQ(host.RegisteredExtensions().size(), 1u);
  EXPECT_EQ(host.RegisteredExtensions()[0].wide, u"abc");
  EXPECT_EQ(host.RegisteredExtensions()[0].narrow, "abc");
  EXPECT_EQ(host.CallCount(Operation::RegisterExtension), 1);
  EXPECT_EQ(host.CallsOf(Operation::RegisterExtension)[0].object, &host.Descriptor());

  const auto callback = ReadAt<PluginCallbackFunction>(&host.Descriptor(), 40);
  EXPECT_NE(callback, nullptr);
  EXPECT_EQ(host.CallbackAddress(), callback);
  EXPECT_TRUE(host.UnexpectedCalls().empty());
  EXPECT_TRUE(host.Misuses().empty());
}

TEST(RegistrationTest, RegisterExtensionAnswerIsConfigurable) {
  PluginLibrary library;
  const auto libraryLoaded = library.Load(HOST_FAKE_PLUGIN_PATH);
  ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
  {
    Host host;
    host.SetRegisterExtensionResult(0);
    EXPECT_EQ(host.Register(library), 0);
    EXPECT_EQ(host.CallCount(Operation::RegisterExtension), 1);
  }
  {
    Host host;
    host.FailAlways(Operation::RegisterExtension);
    EXPECT_EQ(host.Register(library), 0);
    EXPECT_TRUE(host.CallsOf(Operation::RegisterExtension)[0].failed);
    EXPECT_TRUE(host.RegisteredExtensions().empty());
  }
  {
    Host host;
    host.SetRegisterExtensionResult(5);
    DualString extension = Dual("app");
    EXPECT_EQ(CallSlot<std::int32_t>(&host.Descriptor(), 3, &extension), 5);
  }
}

TEST(RegistrationTest, ReadAndImportSendTheirMessagesWithTheContext) {
  PluginLibrary library;
  const auto libraryLoaded = library.Load(HOST_FAKE_PLUGIN_PATH);
  ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
  Host host;
  ASSERT_EQ(host.Register(library), 1);

  EXPECT_EQ(host.Read(), 1);
  EXPECT_EQ(host.ErrorTextNarrow(), "message 10018 instance null");
  EXPECT_EQ(host.ErrorTextWide(), u"message 10018 instance null");

  EXPECT_EQ(host.Import(library.Instance()), 2);
  EXPECT_EQ(host.ErrorTextNarrow(), "message 1001f instance set");

  EXPECT_EQ(host.Callback(0x10019, &host.Context(), nullptr), 2);
  EXPECT_EQ(host.ErrorTextNarrow(), "message 10019 instance null");
  EXPECT_EQ(host.Callback(0x10018, nullptr, nullptr), -1);
}

TEST(RegistrationTest, WithoutCallbackMessagesGiveZero) {
  Host host;
  EXPECT_EQ(host.Read(), 0);
  EXPECT_EQ(host.Import(&host), 0);

  // A plug-in that registers without writing a callback leaves none to call.
  auto silent = [](std::int32_t, void*) -> std::int32_t { return 1; };
  EXPECT_EQ(host.Register(+silent), 1);
  EXPECT_EQ(host.CallbackAddress(), nullptr);
  EXPECT_EQ(host.Read(), 0);
}

TEST(RegistrationTest, SetCallbackRoutesMessages) {
  Host host;
  static std::int32_t lastMessage = 0;
  static void* lastContext = nullptr;
  static void* lastInstance = nullptr;
  host.SetCallback([](std::int32_t message, void* context, void* instance, std::uint64_t) {
    lastMessage = message;
    lastContext = context;
    lastInstance = instance;
    return std::int32_t{9};
  });
  int instance = 0;
  EXPECT_EQ(host.Import(&instance), 9);
  EXPECT_EQ(lastMessage, 0x1001F);
  EXPECT_EQ(lastContext, &host.Context());
  EXPECT_EQ(lastInstance, &instance);
  EXPECT_EQ(host.Read(), 9);
  EXPECT_EQ(lastMessage, 0x10018);
  EXPECT_EQ(lastInstance, nullptr);
}

TEST(DescriptorTest, StartsFilledExceptItsTable) {
  Host host;
  const auto bytes = host.DescriptorBytes();
  ASSERT_GE(bytes.size(), 2388u);
  EXPECT_NE(ReadAt<const void*>(bytes.data(), 0), nullptr);
  EXPECT_TRUE(host.DescriptorBytesUntouched(8, bytes.size() - 8));
  EXPECT_FALSE(host.DescriptorBytesUntouched(0, 8));
  EXPECT_FALSE(host.DescriptorBytesUntouched(bytes.size() - 4, 8));  // past the end

  std::memset(reinterpret_cast<unsigned char*>(&host.Descriptor()) + 30, 0, 1);
  EXPECT_FALSE(host.DescriptorBytesUntouched(28, 4));
  EXPECT_TRUE(host.DescriptorBytesUntouched(31, 9));
}

TEST(DescriptorTest, FieldsReadBackFromTheirOffsets) {
  struct Case {
    DescriptorText which;
    std::size_t offset;
  };
  const Case cases[] = {{DescriptorText::Description, 48},
                        {DescriptorText::Version, 828},
                        {DescriptorText::Filter, 1608}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    Host host;
    DualString text = Dual("some text");
    text.narrow[0] = 'S';  // the halves are read separately
    std::memcpy(reinterpret_cast<unsigned char*>(&host.Descriptor()) + c.offset, &text,
                sizeof text);
    EXPECT_EQ(host.DescriptorWide(c.which), u"some text");
    EXPECT_EQ(host.DescriptorNarrow(c.which), "Some text");
    EXPECT_TRUE(host.DescriptorBytesUntouched(c.offset + 780, 8));
  }

  Host host;
  testing::WriteAt<std::uint32_t>(&host.Descriptor(), 8, 0x11223344u);
  testing::WriteAt<std::uint32_t>(&host.Descriptor(), 20, 0x55667788u);
  testing::WriteAt<std::uint32_t>(&host.Descriptor(), 24, 1u);
  testing::WriteAt<std::uint32_t>(&host.Descriptor(), 28, 2u);
  EXPECT_EQ(host.Descriptor().id0, 0x11223344u);
  EXPECT_EQ(host.Descriptor().id3, 0x55667788u);
  EXPECT_EQ(host.Descriptor().kind, 1u);
  EXPECT_EQ(host.Descriptor().secondWord, 2u);
}

TEST(DescriptorTest, OtherSlotsAreTrapsThatRecordTheSlot) {
  Host host;
  EXPECT_EQ(CallSlot<std::uintptr_t>(&host.Descriptor(), 0), 0u);
  EXPECT_EQ(CallSlot<std::uintptr_t>(&host.Descriptor(), 4), 0u);
  ASSERT_EQ(host.UnexpectedCalls().size(), 2u);
  EXPECT_EQ(host.UnexpectedCalls()[0].object, ObjectKind::Descriptor);
  EXPECT_EQ(host.UnexpectedCalls()[0].slot, 0);
  EXPECT_EQ(host.UnexpectedCalls()[1].slot, 4);
  EXPECT_EQ(host.UnexpectedCalls()[1].self, &host.Descriptor());
  EXPECT_TRUE(host.Calls().empty());
}

}  // namespace
}  // namespace vexmara::host
