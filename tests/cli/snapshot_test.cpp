// What the export takes from the reference host: every name and path as UTF-8, decided once when
// the snapshot is taken, and the texture of each material from the slots the plug-in filled.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/convert/snapshot.h"
#include "host/host.h"
#include "host/records.h"
#include "tests/host/host_test_support.h"

namespace vexmara::testing {
namespace {

using host::testing::CallSlot;

TEST(HostText, TheWideHalfIsTakenAndANarrowHalfAloneIsReadAsUtf8OrWindows1252) {
  struct Case {
    const char* name;
    std::u16string wide;
    std::string narrow;
    std::string text;
  };
  const Case cases[] = {
      {"the wide half", u"Same", "anything", "Same"},
      {"an unpaired surrogate", u"half \xD800", "", "half \xEF\xBF\xBD"},
      {"not UTF-8: Windows-1252", u"", "\xFF\xFE", "\xC3\xBF\xC3\xBE"},
      {"UTF-8 in the narrow half only", u"", "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {"the euro sign, and a byte 1252 leaves undefined", u"", "\x80 \x81",
       "\xE2\x82\xAC \xC2\x81"},
      {"nothing", u"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cli::HostText(c.wide, c.narrow), c.text) << c.name;
  }
}

// A text record as the plug-in fills one: wide and narrow halves as given.
host::DualString Text(const std::u16string& wide, const std::string& narrow) {
  host::DualString record{};
  std::memcpy(record.wide, wide.data(), wide.size() * sizeof(char16_t));
  std::memcpy(record.narrow, narrow.data(), narrow.size());
  return record;
}

TEST(Snapshot, TakesEachTextOnceAsUtf8AndEachMaterialsTextureFromItsSlotsInUse) {
  host::Host host;
  void* context = &host.Context();
  const auto material = [&](const host::DualString& name) {
    return CallSlot<void*>(context, host::slot::kCreateMaterial, &name);
  };
  // A slot the plug-in filled: its path, and the flag that says it is in use.
  const auto fill = [&](void* made, int index, const std::string& path, std::int32_t flags) {
    auto* slot = CallSlot<host::HostTextureSlot*>(made, host::slot::kGetTextureSlot, index, 1);
    ASSERT_NE(slot, nullptr);
    slot->flags = flags;
    slot->path = Text(std::u16string(path.begin(), path.end()), path);
  };
  void* stone = material(Text(u"stone", "stone"));
  fill(stone, 0, "/textures/rock.tga", 1);
  fill(stone, 1, "/textures/rock_A.tga", 1);
  void* unset = material(Text(u"", "\xE9t\xE9"));  // a narrow name the plug-in could not convert
  fill(unset, 0, "/textures/unset.tga", 0);        // stored without its "in use" flag
  const host::DualString bone = Text(u"", "\xFF\xFE");
  ASSERT_NE(CallSlot<void*>(context, host::slot::kCreateBone, &bone, 0), nullptr);

  const cli::SceneSnapshot scene = cli::TakeSnapshot(host);
  ASSERT_EQ(scene.materials.size(), 2u);
  EXPECT_EQ(scene.materials[0].name, "stone");
  EXPECT_EQ(scene.materials[0].texture, "/textures/rock.tga");
  EXPECT_EQ(scene.materials[0].alphaMap, "/textures/rock_A.tga");
  EXPECT_EQ(scene.materials[1].name, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(scene.materials[1].texture, "") << "a slot not in use holds no texture";
  ASSERT_EQ(scene.bones.size(), 1u);
  EXPECT_EQ(scene.bones[0].name, "\xC3\xBF\xC3\xBE");
  EXPECT_EQ(scene.bones[0].parent, -1);
}

}  // namespace
}  // namespace vexmara::testing
