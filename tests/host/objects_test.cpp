// The context's operations and the objects they return, driven by slot as the plug-in drives
// them, with every field checked at its numeric byte offset.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"
#include "tests/host/host_test_support.h"

namespace vexmara::host {
namespace {

using testing::CallSlot;
using testing::Dual;
using testing::NarrowAt;
using testing::ReadAt;
using testing::WideAt;
using testing::WriteAt;

void* At(void* base, std::size_t offset) { return static_cast<unsigned char*>(base) + offset; }

TEST(VertexListTest, SetVertexCountMakesVerticesInTheContext) {
  Host host;
  void* context = &host.Context();
  ASSERT_EQ(CallSlot<std::int32_t>(context, 100, 3), 1);
  EXPECT_EQ(ReadAt<std::int32_t>(context, 7872), 3);
  auto* vertices = ReadAt<unsigned char*>(context, 7880);
  ASSERT_NE(vertices, nullptr);
  EXPECT_EQ(ReadAt<float>(vertices, 2 * 88 + 12), 0.0f);

  WriteAt<float>(vertices, 2 * 88 + 12, 1.5f);
  WriteAt<float>(vertices, 2 * 88 + 16, -2.0f);
  WriteAt<float>(vertices, 2 * 88 + 20, 3.25f);
  const auto views = host.Vertices();
  ASSERT_EQ(views.size(), 3u);
  EXPECT_EQ(views[2].position, (std::array<float, 3>{1.5f, -2.0f, 3.25f}));
  EXPECT_EQ(views[1].position, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
  EXPECT_FALSE(views[2].weighted);

  // A new count replaces the list.
  ASSERT_EQ(CallSlot<std::int32_t>(context, 100, 2), 1);
  EXPECT_EQ(ReadAt<std::int32_t>(context, 7872), 2);
  EXPECT_EQ(host.Vertices()[1].position, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));

  EXPECT_EQ(CallSlot<std::int32_t>(context, 100, -1), 0);
  EXPECT_EQ(ReadAt<std::int32_t>(context, 7872), 2);
  EXPECT_EQ(host.Misuses().size(), 1u);
  EXPECT_EQ(host.CallsOf(Operation::SetVertexCount)[0].integers[0], 3);
}

TEST(VertexListTest, SetVertexWeightsGivesEntriesThroughOffset80) {
  Host host;
  void* context = &host.Context();
  ASSERT_EQ(CallSlot<std::int32_t>(context, 100, 2), 1);
  void* weights = CallSlot<void*>(context, 147, 1, 3);
  ASSERT_NE(weights, nullptr);
  auto* entries = ReadAt<unsigned char*>(weights, 80);
  ASSERT_NE(entries, nullptr);
  for (int h = 0; h < 3; ++h) {
    WriteAt<std::int32_t>(entries, 8 * static_cast<std::size_t>(h), 10 + h);
    WriteAt<float>(entries, 8 * static_cast<std::size_t>(h) + 4, 0.25f * static_cast<float>(h));
  }
  const auto views = host.Vertices();
  EXPECT_FALSE(views[0].weighted);
  ASSERT_TRUE(views[1].weighted);
  ASSERT_EQ(views[1].weights.size(), 3u);
  EXPECT_EQ(views[1].weights[2].boneIndex, 12);
  EXPECT_EQ(views[1].weights[2].weight, 0.5f);
  EXPECT_EQ(host.CallsOf(Operation::SetVertexWeights)[0].integers,
            (std::array<std::int32_t, 2>{1, 3}));

  struct Case {
    std::int32_t vertex;
    std::int32_t count;
  };
  for (const Case c : {Case{2, 1}, Case{-1, 1}, Case{0, 0}}) {
    SCOPED_TRACE(c.vertex);
    EXPECT_EQ(CallSlot<void*>(context, 147, c.vertex, c.count), nullptr);
  }
  EXPECT_EQ(host.Misuses().size(), 3u);
}

// Records are pooled: many of them, one far larger than the rest and one given twice must each
// keep their own entries, starting at bone -1 and weight 0, and never overlap.
TEST(VertexListTest, EveryWeightRecordKeepsItsOwnEntries) {
  Host host;
  void* context = &host.Context();
  constexpr std::int32_t kVertices = 20000;  // more records than one pool block holds
  ASSERT_EQ(CallSlot<std::int32_t>(context, 100, kVertices), 1);
  auto countFor = [](std::int32_t v) { return v == 7 ? 70000 : 1 + v % 3; };
  for (std::int32_t v = 0; v < kVertices; ++v) {
    void* weights = CallSlot<void*>(context, 147, v, countFor(v));
    ASSERT_NE(weights, nullptr) << v;
    EXPECT_EQ(ReadAt<std::int32_t>(weights, 4), countFor(v));
    auto* entries = ReadAt<unsigned char*>(weights, 80);
    const auto last = 8 * static_cast<std::size_t>(countFor(v) - 1);
    ASSERT_EQ(ReadAt<std::int32_t>(entries, last), -1) << v;
    ASSERT_EQ(ReadAt<float>(entries, last + 4), 0.0f) << v;
    for (std::int32_t h = 0; h < countFor(v); ++h)
      WriteAt<std::int32_t>(entries, 8 * static_cast<std::size_t>(h), v);
  }
  void* again = CallSlot<void*>(context, 147, 3, 2);  // a second record replaces the first
  WriteAt<float>(ReadAt<unsigned char*>(again, 80), 12, 0.75f);

  const auto views = host.Vertices();
  ASSERT_EQ(views.size(), static_cast<std::size_t>(kVertices));
  for (std::int32_t v = 0; v < kVertices; ++v) {
    const auto& view = views[static_cast<std::size_t>(v)];
    if (v == 3) {
      ASSERT_EQ(view.weights.size(), 2u);
      EXPECT_EQ(view.weights[0].boneIndex, -1);
      EXPECT_EQ(view.weights[1].weight, 0.75f);
      continue;
    }
    ASSERT_EQ(view.weights.size(), static_cast<std::size_t>(countFor(v))) << v;
    for (const HostWeightEntry& entry : view.weights) ASSERT_EQ(entry.boneIndex, v) << v;
  }
}

TEST(MaterialTest, MaterialsAreListedInCreationOrder) {
  Host host;
  void* context = &host.Context();
  std::vector<void*> created;
  for (const char* name : {"stone", "wood", "glass"}) {
    const DualString text = Dual(name);
    created.push_back(CallSlot<void*>(context, 150, &text));
    ASSERT_NE(created.back(), nullptr);
    EXPECT_EQ(ReadAt<std::int32_t>(context, 7856), static_cast<std::int32_t>(created.size()));
  }
  auto* const* list = ReadAt<void* const*>(context, 7864);
  ASSERT_NE(list, nullptr);
  for (std::size_t i = 0; i < created.size(); ++i) {
    EXPECT_EQ(list[i], created[i]);
    EXPECT_EQ(ReadAt<std::int32_t>(created[i], 8), 0);  // flags start clear
  }
  WriteAt<std::int32_t>(created[1], 8, 2);
  const auto views = host.Materials();
  ASSERT_EQ(views.size(), 3u);
  EXPECT_EQ(views[0].name, u"stone");
  EXPECT_EQ(views[2].narrowName, "glass");
  EXPECT_EQ(views[1].flags, 2);
  EXPECT_EQ(views[0].flags, 0);
  EXPECT_EQ(host.CallsOf(Operation::CreateMaterial)[1].text, u"wood");
}

TEST(MaterialTest, TextureSlotsAreMadeOnDemandAndKept) {
  Host host;
  const DualString name = Dual("stone");
  void* material = CallSlot<void*>(&host.Context(), 150, &name);
  ASSERT_NE(material, nullptr);
  EXPECT_TRUE(host.Materials()[0].textureSlots.empty());

  void* slot0 = CallSlot<void*>(material, 6, 0, 1);
  ASSERT_NE(slot0, nullptr);
  EXPECT_EQ(CallSlot<void*>(material, 6, 0, 1), slot0);
  void* slot1 = CallSlot<void*>(material, 6, 1, 1);
  ASSERT_NE(slot1, nullptr);
  EXPECT_NE(slot1, slot0);

  EXPECT_EQ(ReadAt<std::int32_t>(slot0, 8), 0);
  WriteAt<std::int32_t>(slot0, 8, 1);
  const DualString path = Dual("C:\\tex\\rock.dds");
  std::memcpy(At(slot0, 48), &path, sizeof path);
  EXPECT_EQ(WideAt(slot0, 48), u"C:\\tex\\rock.dds");
  EXPECT_EQ(NarrowAt(slot0, 568), "C:\\tex\\rock.dds");

  const auto slots = host.Materials()[0].textureSlots;
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[0].slotIndex, 0);
  EXPECT_EQ(slots[0].flags, 1);
  EXPECT_EQ(slots[0].path, u"C:\\tex\\rock.dds");
  EXPECT_EQ(slots[1].flags, 0);
  EXPECT_EQ(host.CallsOf(Operation::GetTextureSlot)[2].integers,
            (std::array<std::int32_t, 2>{1, 1}));

  EXPECT_EQ(CallSlot<void*>(material, 6, -1, 1), nullptr);
  EXPECT_EQ(host.Misuses().size(), 1u);
}

TEST(GroupTest, GroupsKeepNameAndCreationArgument) {
  Host host;
  void* context = &host.Context();
  const DualString a = Dual("body");
  const DualString b = Dual("body");
  void* first = CallSlot<void*>(context, 151, &a, -1);
  void* second = CallSlot<void*>(context, 151, &b, 4);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(ReadAt<std::int32_t>(context, 7936), 2);
  auto* const* list = ReadAt<void* const*>(context, 7944);
  EXPECT_EQ(list[0], first);
  EXPECT_EQ(list[1], second);
  const auto groups = host.Groups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].name, u"body");
  EXPECT_EQ(groups[0].createArgument, -1);
  EXPECT_EQ(groups[1].index, 1);
  EXPECT_EQ(groups[1].createArgument, 4);
}

TEST(BoneListTest, BonesStartAtRestAndTheListFollowsGrowth) {
  Host host;
  void* context = &host.Context();
  std::vector<void*> firstAddress;
  for (int i = 0; i < 5; ++i) {
    const DualString name = Dual("bone" + std::to_string(i));
    void* bone = CallSlot<void*>(context, 152, &name, -1);
    ASSERT_NE(bone, nullptr);
    firstAddress.push_back(bone);
    EXPECT_EQ(ReadAt<std::int32_t>(context, 7968), i + 1);
    auto* list = ReadAt<unsigned char*>(context, 7976);
    EXPECT_EQ(list + 1176 * static_cast<std::size_t>(i), bone);

    EXPECT_EQ(ReadAt<std::int32_t>(bone, 792), -1);
    EXPECT_EQ(ReadAt<float>(bone, 832), 0.0f);
    EXPECT_EQ(ReadAt<float>(bone, 844), 1.0f);
    EXPECT_EQ(ReadAt<float>(bone, 852), 1.0f);
    EXPECT_EQ(ReadAt<float>(bone, 920), 0.0f);
    EXPECT_EQ(ReadAt<float>(bone, 932), 1.0f);
    EXPECT_EQ(ReadAt<float>(bone, 948), 1.0f);           // local [0][0]
    EXPECT_EQ(ReadAt<float>(bone, 1012 + 4 * 5), 1.0f);  // world [1][1]
    EXPECT_EQ(ReadAt<float>(bone, 1012 + 4 * 3), 0.0f);

    // Written right after creation, as the plug-in does, before the next bone is made.
    WriteAt<std::int32_t>(bone, 792, i - 1);
    WriteAt<float>(bone, 836, static_cast<float>(i));
  }
  const auto bones = host.Bones();
  ASSERT_EQ(bones.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(bones[static_cast<std::size_t>(i)].parentIndex, i - 1);
    EXPECT_EQ(bones[static_cast<std::size_t>(i)].translation[1], static_cast<float>(i));
    EXPECT_EQ(bones[static_cast<std::size_t>(i)].createArgument, -1);
  }
  EXPECT_EQ(bones[3].name, u"bone3");
  EXPECT_TRUE(host.RetiredArraysUntouched());

  // The first bone's first address is in an array that has since moved.
  ASSERT_NE(firstAddress[0], ReadAt<void*>(context, 7976));
  WriteAt<float>(firstAddress[0], 832, 9.0f);
  EXPECT_FALSE(host.RetiredArraysUntouched());
  EXPECT_EQ(host.Bones()[0].translation[0], 0.0f);
}

TEST(MeshTest, FacesHaveIndexArraysAndMappings) {
  Host host;
  void* mesh = CallSlot<void*>(&host.Context(), 156);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(ReadAt<void*>(mesh, 24), nullptr);
  ASSERT_EQ(CallSlot<std::int32_t>(mesh, 5, 2), 1);
  auto* faces = ReadAt<unsigned char*>(mesh, 24);
  ASSERT_NE(faces, nullptr);
  for (std::size_t f = 0; f < 2; ++f) {
    unsigned char* face = faces + 88 * f;
    WriteAt<std::int32_t>(face, 16, static_cast<std::int32_t>(f) - 1);
    WriteAt<std::int32_t>(face, 20, 7);
    auto* indices = ReadAt<std::int32_t*>(face, 48);
    ASSERT_NE(indices, nullptr);
    auto* mapping = ReadAt<unsigned char*>(face, 80);
    ASSERT_NE(mapping, nullptr);
    auto* corners = ReadAt<unsigned char*>(mapping, 24);
    ASSERT_NE(corners, nullptr);
    for (std::size_t c = 0; c < 3; ++c) {
      indices[c] = static_cast<std::int32_t>(10 * f + c);
      WriteAt<float>(corners, 16 * c + 4, 0.5f * static_cast<float>(c));
      WriteAt<float>(corners, 16 * c + 8, static_cast<float>(f));
    }
  }
  auto meshes = host.Meshes();
  ASSERT_EQ(meshes.size(), 1u);
  ASSERT_EQ(meshes[0].faces.size(), 2u);
  const FaceView& second = meshes[0].faces[1];
  EXPECT_EQ(second.materialIndex, 0);
  EXPECT_EQ(meshes[0].faces[0].materialIndex, -1);
  EXPECT_EQ(second.groupIndex, 7);
  EXPECT_EQ(second.vertices, (std::array<std::int32_t, 3>{10, 11, 12}));
  EXPECT_EQ(second.uv[2], (std::array<float, 2>{1.0f, 1.0f}));
  EXPECT_TRUE(second.cornerMarkersIntact);

  // The host's bytes of a corner (0 to 3 and 12 to 15) are its own.
  auto* mapping = ReadAt<unsigned char*>(faces + 88, 80);
  WriteAt<float>(ReadAt<unsigned char*>(mapping, 24), 16 + 12, 0.0f);
  EXPECT_FALSE(host.Meshes()[0].faces[1].cornerMarkersIntact);
  EXPECT_TRUE(host.Meshes()[0].faces[0].cornerMarkersIntact);

  EXPECT_EQ(CallSlot<std::int32_t>(mesh, 5, -3), 0);
  EXPECT_EQ(host.MeshCount(), 1);
  EXPECT_EQ(host.MeshRecord(0), mesh);
}

// Records are written whole into storage that is not cleared first. Each is checked byte by
// byte after the plug-in's side has scribbled over earlier records of the same sizes, whose
// storage the new ones may take: a byte the host forgot would show the scribble.
bool BytesAre(const void* record, std::size_t from, std::size_t to, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(record);
  for (std::size_t i = from; i < to; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

TEST(RecordTest, EveryByteOfANewRecordIsTheHostsOwn) {
  Host host;
  void* context = &host.Context();
  constexpr std::int32_t kCount = 300;
  void* mesh = CallSlot<void*>(context, 156);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(CallSlot<std::int32_t>(context, 100, kCount), 1);
    ASSERT_EQ(CallSlot<std::int32_t>(mesh, 5, kCount), 1);
    auto* vertices = ReadAt<unsigned char*>(context, 7880);
    auto* faces = ReadAt<unsigned char*>(mesh, 24);
    for (std::int32_t i = 0; i < kCount; ++i) {
      const auto n = static_cast<std::size_t>(i);
      unsigned char* vertex = vertices + 88 * n;
      ASSERT_EQ(ReadAt<std::int32_t>(vertex, 0), i);
      ASSERT_TRUE(BytesAre(vertex, 4, 88, 0)) << "vertex " << i;

      void* weights = CallSlot<void*>(context, 147, i, 1 + i % 3);
      ASSERT_EQ(ReadAt<std::int32_t>(weights, 0), i);
      ASSERT_EQ(ReadAt<std::int32_t>(weights, 4), 1 + i % 3);
      ASSERT_TRUE(BytesAre(weights, 8, 80, 0)) << "weights of vertex " << i;
      auto* entries = ReadAt<unsigned char*>(weights, 80);
      for (std::int32_t h = 0; h < 1 + i % 3; ++h) {
        ASSERT_EQ(ReadAt<std::int32_t>(entries, 8 * static_cast<std::size_t>(h)), -1);
        ASSERT_EQ(ReadAt<float>(entries, 8 * static_cast<std::size_t>(h) + 4), 0.0f);
      }

      unsigned char* face = faces + 88 * n;
      ASSERT_EQ(ReadAt<std::int32_t>(face, 0), i);
      ASSERT_TRUE(BytesAre(face, 4, 48, 0) && BytesAre(face, 56, 80, 0)) << "face " << i;
      auto* indices = ReadAt<unsigned char*>(face, 48);
      ASSERT_TRUE(BytesAre(indices, 0, 12, 0)) << "indices of face " << i;
      auto* mapping = ReadAt<unsigned char*>(face, 80);
      ASSERT_EQ(ReadAt<std::int32_t>(mapping, 0), i);
      ASSERT_TRUE(BytesAre(mapping, 4, 24, 0)) << "mapping of face " << i;
      auto* corners = ReadAt<unsigned char*>(mapping, 24);
      for (std::size_t c = 0; c < 3; ++c) {
        ASSERT_EQ(ReadAt<std::uint32_t>(corners, 16 * c), kCornerMarker);
        ASSERT_TRUE(BytesAre(corners, 16 * c + 4, 16 * c + 12, 0)) << "corner of face " << i;
        ASSERT_EQ(ReadAt<std::uint32_t>(corners, 16 * c + 12), kCornerMarker);
      }
      // The plug-in's side writes over everything, reserved bytes included.
      std::memset(indices, 0xEE, 12);
      std::memset(corners, 0xEE, 48);
      std::memset(mapping, 0xEE, 24);
      std::memset(face, 0xEE, 48);
      std::memset(face + 56, 0xEE, 24);
      std::memset(entries, 0xEE, 8 * static_cast<std::size_t>(1 + i % 3));
      std::memset(weights, 0xEE, 80);
      std::memset(vertex, 0xEE, 88);
    }
  }
  const auto views = host.Vertices();
  ASSERT_EQ(views.size(), static_cast<std::size_t>(kCount));
  EXPECT_TRUE(views[5].weighted);
  EXPECT_FALSE(host.Meshes()[0].faces[0].cornerMarkersIntact);
}

TEST(AnimationTest, TracksAndKeysAtTheirOffsets) {
  Host host;
  void* context = &host.Context();
  const DualString name = Dual("walk");
  void* animation = CallSlot<void*>(context, 154, &name);
  ASSERT_NE(animation, nullptr);
  EXPECT_EQ(ReadAt<std::int32_t>(context, 8000), 1);
  EXPECT_EQ(ReadAt<void*>(context, 8008), animation);
  EXPECT_EQ(ReadAt<float>(animation, 804), Host::kDefaultFramesPerSecond);

  WriteAt<std::int32_t>(animation, 796, 0);
  WriteAt<float>(animation, 800, 30.0f);
  WriteAt<float>(animation, 804, 15.0f);
  ASSERT_EQ(CallSlot<std::int32_t>(animation, 12, 3), 1);
  EXPECT_EQ(ReadAt<std::int32_t>(animation, 808), 3);
  auto* tracks = ReadAt<unsigned char*>(animation, 816);
  ASSERT_NE(tracks, nullptr);

  void* track = CallSlot<void*>(animation, 13, 1, 2);
  ASSERT_EQ(track, tracks + 56);
  EXPECT_EQ(ReadAt<std::int32_t>(track, 8), 2);
  auto* translation = ReadAt<unsigned char*>(track, 16);
  WriteAt<float>(translation, 16 + 0, 2.0f);
  WriteAt<float>(translation, 16 + 12, -4.0f);

  ASSERT_EQ(CallSlot<void*>(animation, 14, 1, 2), track);
  auto* rotation = ReadAt<unsigned char*>(track, 32);
  WriteAt<float>(rotation, 20 + 16, 1.0f);  // second key's w

  ASSERT_EQ(CallSlot<void*>(animation, 15, 2, 1), tracks + 112);
  auto* scale = ReadAt<unsigned char*>(tracks + 112, 48);
  WriteAt<float>(scale, 4, 3.0f);

  const auto views = host.Animations();
  ASSERT_EQ(views.size(), 1u);
  const AnimationView& walk = views[0];
  EXPECT_EQ(walk.name, u"walk");
  EXPECT_EQ(walk.frameCount, 30.0f);
  EXPECT_EQ(walk.framesPerSecond, 15.0f);
  ASSERT_EQ(walk.tracks.size(), 3u);
  EXPECT_TRUE(walk.tracks[0].translationKeys.empty());
  ASSERT_EQ(walk.tracks[1].translationKeys.size(), 2u);
  EXPECT_EQ(walk.tracks[1].translationKeys[1].time, 2.0f);
  EXPECT_EQ(walk.tracks[1].translationKeys[1].z, -4.0f);
  ASSERT_EQ(walk.tracks[1].rotationKeys.size(), 2u);
  EXPECT_EQ(walk.tracks[1].rotationKeys[1].w, 1.0f);
  ASSERT_EQ(walk.tracks[2].scaleKeys.size(), 1u);
  EXPECT_EQ(walk.tracks[2].scaleKeys[0].x, 3.0f);
  EXPECT_EQ(walk.tracks[2].boneIndex, 2);

  for (int bone : {-1, 3}) {
    EXPECT_EQ(CallSlot<void*>(animation, 13, bone, 1), nullptr);
  }
  EXPECT_EQ(host.Misuses().size(), 2u);
}

TEST(AnimationTest, CallsThroughAMovedAnimationAreRefusedAndNoted) {
  Host host;
  const DualString name = Dual("a");
  void* first = CallSlot<void*>(&host.Context(), 154, &name);
  void* second = CallSlot<void*>(&host.Context(), 154, &name);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(ReadAt<void*>(&host.Context(), 8008), first);  // the list moved
  // The moved-from record is filled with the marker, so its table pointer is useless; reach the
  // operation through the current record's table, passing the stale address as the object.
  const RawOperation* table = ReadAt<const RawOperation*>(second, 0);
  auto setTrackCount = reinterpret_cast<std::int32_t (*)(void*, std::int32_t)>(table[12]);
  WriteAt<const RawOperation*>(first, 0, table);
  EXPECT_EQ(setTrackCount(first, 1), 0);
  ASSERT_EQ(host.Misuses().size(), 1u);
  EXPECT_NE(host.Misuses()[0].find("moved"), std::string::npos);
  EXPECT_EQ(CallSlot<std::int32_t>(second, 12, 1), 1);
}

TEST(ContextOperationsTest, NotificationsRecordTheirArguments) {
  Host host;
  void* context = &host.Context();
  EXPECT_EQ(CallSlot<void*>(context, 17), nullptr);
  int window = 0;
  host.SetMainWindow(&window);
  EXPECT_EQ(CallSlot<void*>(context, 17), &window);
  EXPECT_EQ(CallSlot<std::int32_t>(context, 121, 1), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(context, 136, 1), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(context, 137), 1);

  const auto& calls = host.Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].operation, Operation::GetMainWindow);
  EXPECT_EQ(calls[2].operation, Operation::NotifyMeshesDone);
  EXPECT_EQ(calls[2].integers[0], 1);
  EXPECT_EQ(calls[3].operation, Operation::NotifyBoneTransform);
  EXPECT_EQ(calls[4].operation, Operation::NotifyAnimationsDone);
  EXPECT_EQ(host.CallCount(Operation::GetMainWindow), 2);
  for (const auto& call : calls) {
    EXPECT_EQ(call.object, context);
  }
}

TEST(ContextOperationsTest, WithoutTheCallLogCallsAreStillCountedAndFailed) {
  Host host;
  host.SetCallLogging(false);
  host.FailCall(Operation::CreateMesh, 2);
  EXPECT_NE(CallSlot<void*>(&host.Context(), 156), nullptr);
  EXPECT_EQ(CallSlot<void*>(&host.Context(), 156), nullptr);
  EXPECT_TRUE(host.Calls().empty());
  EXPECT_EQ(host.CallCount(Operation::CreateMesh), 2);
  EXPECT_EQ(host.MeshCount(), 1);
  host.SetCallLogging(true);
  EXPECT_NE(CallSlot<void*>(&host.Context(), 156), nullptr);
  ASSERT_EQ(host.Calls().size(), 1u);
  EXPECT_EQ(host.Calls()[0].result, host.MeshRecord(1));
}

TEST(TrapTest, EverySlotOutsideTheInterfaceRecordsItsNumber) {
  Host host;
  const DualString name = Dual("x");
  void* material = CallSlot<void*>(&host.Context(), 150, &name);
  void* mesh = CallSlot<void*>(&host.Context(), 156);
  void* animation = CallSlot<void*>(&host.Context(), 154, &name);
  host.SetImageLoadPolicy(ImageLoadPolicy::Always);
  HostFileInfo info{};
  void* image = CallSlot<void*>(&host.Context(), 142, &name, &info, 2);
  ASSERT_NE(image, nullptr);
  const std::size_t callsBefore = host.Calls().size();

  struct Case {
    ObjectKind kind;
    void* object;
    std::vector<int> operations;
  };
  const Case cases[] = {
      {ObjectKind::Context,
       &host.Context(),
       {17, 100, 121, 136, 137, 142, 143, 144, 146, 147, 150, 151, 152, 154, 156}},
      {ObjectKind::Descriptor, &host.Descriptor(), {3}},
      {ObjectKind::Material, material, {6}},
      {ObjectKind::Mesh, mesh, {5}},
      {ObjectKind::Animation, animation, {12, 13, 14, 15}},
      {ObjectKind::Image, image, {4}},
  };
  std::vector<std::pair<ObjectKind, int>> expected;
  for (const auto& c : cases) {
    for (int slot = 0; slot < kOperationSlots; ++slot) {
      if (std::find(c.operations.begin(), c.operations.end(), slot) == c.operations.end()) {
        EXPECT_EQ(CallSlot<std::uintptr_t>(c.object, slot), 0u);
        expected.emplace_back(c.kind, slot);
      }
    }
  }
  const auto& unexpected = host.UnexpectedCalls();
  ASSERT_EQ(unexpected.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(unexpected[i].object, expected[i].first);
    EXPECT_EQ(unexpected[i].slot, expected[i].second);
  }
  EXPECT_EQ(host.Calls().size(), callsBefore);
}

TEST(MisuseTest, OperationOnTheWrongObjectIsNoted) {
  Host host;
  void* mesh = CallSlot<void*>(&host.Context(), 156);
  // A mesh passed as the object of a context operation: the mesh's table is found, its own
  // kind reported.
  const RawOperation* table = ReadAt<const RawOperation*>(&host.Context(), 0);
  auto createMesh = reinterpret_cast<void* (*)(void*)>(table[156]);
  EXPECT_NE(createMesh(mesh), nullptr);
  ASSERT_EQ(host.Misuses().size(), 1u);
  EXPECT_NE(host.Misuses()[0].find("mesh instead of a context"), std::string::npos);
}

}  // namespace
}  // namespace vexmara::host
