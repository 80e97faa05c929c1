#include "host/scene_json.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "host/text.h"

namespace vexmara::host {
namespace {

using nlohmann::json;

// A float as the shortest decimal that reads back to the same float, so that 0.1f is written
// 0.1 rather than the digits of its widening to double. Non-finite values become null.
json Number(float value) {
  if (!std::isfinite(value)) {
    return nullptr;
  }
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text - 1, value).ptr;
  *end = '\0';
  return std::strtod(text, nullptr);
}

template <std::size_t N>
json Numbers(const std::array<float, N>& values) {
  json result = json::array();
  for (float value : values) {
    result.push_back(Number(value));
  }
  return result;
}

json Text(const std::u16string& text) { return Utf16ToUtf8(text); }

json VectorKeys(const std::vector<HostVectorKey>& keys) {
  json result = json::array();
  for (const auto& key : keys) {
    result.push_back(json::array({Number(key.time), Number(key.x), Number(key.y), Number(key.z)}));
  }
  return result;
}

json RotationKeys(const std::vector<HostRotationKey>& keys) {
  json result = json::array();
  for (const auto& key : keys) {
    result.push_back(json::array(
        {Number(key.time), Number(key.x), Number(key.y), Number(key.z), Number(key.w)}));
  }
  return result;
}

template <std::size_t N>
std::array<float, N> ToArray(const float (&values)[N]) {
  std::array<float, N> result{};
  std::copy(values, values + N, result.begin());
  return result;
}

}  // namespace

json SceneJson(const Host& host) {
  json document;
  document["file"] = {{"path", Text(host.ModelPathWide())}, {"tag", host.Context().file.tag}};
  document["errorText"] = Text(host.ErrorTextWide());

  json extensions = json::array();
  for (const auto& extension : host.RegisteredExtensions()) {
    extensions.push_back(Text(extension.wide));
  }
  document["registeredExtensions"] = extensions;

  json materials = json::array();
  for (const auto& material : host.Materials()) {
    json slots = json::array();
    for (const auto& slot : material.textureSlots) {
      slots.push_back({{"slot", slot.slotIndex}, {"flags", slot.flags}, {"path", Text(slot.path)}});
    }
    materials.push_back(
        {{"name", Text(material.name)}, {"flags", material.flags}, {"textureSlots", slots}});
  }
  document["materials"] = materials;

  json groups = json::array();
  for (const auto& group : host.Groups()) {
    groups.push_back({{"name", Text(group.name)}, {"createArgument", group.createArgument}});
  }
  document["groups"] = groups;

  json vertices = json::array();
  for (const auto& vertex : host.Vertices()) {
    json entry = {{"position", Numbers(vertex.position)}};
    if (vertex.weighted) {
      json weights = json::array();
      for (const auto& weight : vertex.weights) {
        weights.push_back({{"bone", weight.boneIndex}, {"weight", Number(weight.weight)}});
      }
      entry["weights"] = weights;
    }
    vertices.push_back(entry);
  }
  document["vertices"] = vertices;

  json meshes = json::array();
  for (const auto& mesh : host.Meshes()) {
    json faces = json::array();
    for (const auto& face : mesh.faces) {
      json uv = json::array();
      for (const auto& corner : face.uv) {
        uv.push_back(Numbers(corner));
      }
      faces.push_back({{"material", face.materialIndex},
                       {"group", face.groupIndex},
                       {"vertices", face.vertices},
                       {"uv", uv}});
    }
    meshes.push_back({{"faces", faces}});
  }
  document["meshes"] = meshes;

  json bones = json::array();
  for (const auto& bone : host.Bones()) {
    bones.push_back({{"name", Text(bone.name)},
                     {"parent", bone.parentIndex},
                     {"translation", Numbers(bone.translation)},
                     {"rotation", Numbers(bone.rotation)},
                     {"scale", Numbers(bone.scale)},
                     {"localMatrix", Numbers(bone.localMatrix)},
                     {"worldMatrix", Numbers(bone.worldMatrix)}});
  }
  document["bones"] = bones;

  json animations = json::array();
  for (const auto& animation : host.Animations()) {
    json tracks = json::array();
    for (const auto& track : animation.tracks) {
      tracks.push_back({{"bone", track.boneIndex},
                        {"translationKeys", VectorKeys(track.translationKeys)},
                        {"rotationKeys", RotationKeys(track.rotationKeys)},
                        {"scaleKeys", VectorKeys(track.scaleKeys)}});
    }
    animations.push_back({{"name", Text(animation.name)},
                          {"firstFrame", animation.firstFrame},
                          {"frameCount", Number(animation.frameCount)},
                          {"framesPerSecond", Number(animation.framesPerSecond)},
                          {"tracks", tracks}});
  }
  document["animations"] = animations;

  json objectsA = json::array();
  for (const auto& object : host.SceneObjectsA()) {
    objectsA.push_back({{"position", Numbers(ToArray(object.position))},
                        {"matrix", Numbers(ToArray(object.matrix))},
                        {"distances", Numbers(ToArray(object.distances))}});
  }
  json objectsB = json::array();
  for (const auto& object : host.SceneObjectsB()) {
    objectsB.push_back({{"position", Numbers(ToArray(object.position))},
                        {"matrix", Numbers(ToArray(object.matrix))}});
  }
  document["sceneObjectsA"] = objectsA;
  document["sceneObjectsB"] = objectsB;

  json images = json::array();
  for (const auto& image : host.Images()) {
    images.push_back({{"origin", image.origin == ImageOrigin::Loaded ? "loaded" : "extracted"},
                      {"path", Text(image.path)},
                      {"source", image.sourceImage},
                      {"releases", image.releaseCount},
                      {"width", image.width},
                      {"height", image.height},
                      {"decoded", image.decoded}});
  }
  json saved = json::array();
  for (const auto& image : host.SavedImages()) {
    saved.push_back(
        {{"path", Text(image.path)}, {"image", image.image}, {"written", image.written}});
  }
  document["images"] = images;
  document["savedImages"] = saved;

  json counts = json::object();
  for (int i = 0; i < kOperationCount; ++i) {
    const auto operation = static_cast<Operation>(i);
    if (host.CallCount(operation) > 0) {
      counts[OperationName(operation)] = host.CallCount(operation);
    }
  }
  json unexpected = json::array();
  for (const auto& call : host.UnexpectedCalls()) {
    unexpected.push_back({{"object", ObjectKindName(call.object)}, {"slot", call.slot}});
  }
  document["calls"] = counts;
  document["unexpectedCalls"] = unexpected;
  document["misuses"] = host.Misuses();
  document["retiredArraysUntouched"] = host.RetiredArraysUntouched();
  return document;
}

std::string SceneJsonText(const Host& host, int indent) { return SceneJson(host).dump(indent); }

}  // namespace vexmara::host
