#include "tests/support/gltf_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>
#include <set>
#include <utility>

namespace vexmara::testing {
namespace {

const std::vector<std::uint8_t>* FindFile(const MemoryFiles& files, const std::string& path) {
  return files.Find(std::filesystem::path(path).lexically_normal());
}

tinygltf::FsCallbacks MemoryCallbacks(const MemoryFiles& files) {
  tinygltf::FsCallbacks callbacks{};
  callbacks.FileExists = [](const std::string& path, void* user) {
    return FindFile(*static_cast<const MemoryFiles*>(user), path) != nullptr;
  };
  callbacks.ExpandFilePath = [](const std::string& path, void*) { return path; };
  callbacks.ReadWholeFile = [](std::vector<unsigned char>* out, std::string* error,
                               const std::string& path, void* user) {
    const std::vector<std::uint8_t>* bytes = FindFile(*static_cast<const MemoryFiles*>(user), path);
    if (bytes == nullptr) {
      if (error != nullptr) *error += "no file " + path + "\n";
      return false;
    }
    out->assign(bytes->begin(), bytes->end());
    return true;
  };
  callbacks.WriteWholeFile = [](std::string* error, const std::string&,
                                const std::vector<unsigned char>&, void*) {
    if (error != nullptr) *error += "nothing is written while reading back\n";
    return false;
  };
  callbacks.user_data = const_cast<MemoryFiles*>(&files);
  return callbacks;
}

// Keeps an image's file bytes as they are in place of its pixels.
bool KeepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
  image->image.assign(bytes, bytes + size);
  return true;
}

}  // namespace

bool LoadWritten(const MemoryFiles& files, const std::filesystem::path& path, bool decodeImages,
                 tinygltf::Model* model, std::string* error) {
  const std::vector<std::uint8_t>* bytes = files.Find(path.lexically_normal());
  if (bytes == nullptr) {
    *error = path.string() + ": not written";
    return false;
  }
  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks(MemoryCallbacks(files));
  if (!decodeImages) loader.SetImageLoader(&KeepImageBytes, nullptr);
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  const std::string folder = path.parent_path().string();
  std::string warning;
  error->clear();
  const bool loaded = extension == ".glb"
                          ? loader.LoadBinaryFromMemory(model, error, &warning, bytes->data(),
                                                        unsigned(bytes->size()), folder)
                          : loader.LoadASCIIFromString(model, error, &warning,
                                                       reinterpret_cast<const char*>(bytes->data()),
                                                       unsigned(bytes->size()), folder);
  // What tinygltf only warns of (an image it cannot find, for one) is a fault of an export too.
  *error += warning;
  return loaded && warning.empty();
}

namespace {

constexpr double kUnitTolerance = 1e-5;  // how far from unit length a rotation may be

// Problems of one document, each "where: what".
class Checker {
 public:
  explicit Checker(const tinygltf::Model& model) : model_(model) {}

  std::vector<std::string> Run(const MemoryFiles& files, const std::filesystem::path& path) {
    if (model_.asset.version != "2.0") Fail("asset", "version is not 2.0");
    CheckBufferViews();
    for (size_t a = 0; a < model_.accessors.size(); ++a) CheckAccessor(int(a));
    CheckNodeForest();
    CheckScenes();
    for (size_t m = 0; m < model_.meshes.size(); ++m) CheckMesh(int(m));
    for (size_t s = 0; s < model_.skins.size(); ++s) CheckSkin(int(s));
    CheckSkinnedNodes();
    for (size_t a = 0; a < model_.animations.size(); ++a) CheckAnimation(int(a));
    CheckMaterials();
    CheckImages(files, path);
    CheckNames();
    return std::move(problems_);
  }

 private:
  void Fail(const std::string& where, const std::string& what) {
    problems_.push_back(where + ": " + what);
  }

  template <class T>
  static bool InRange(int index, const std::vector<T>& list) {
    return index >= 0 && size_t(index) < list.size();
  }

  // ---- Buffers and accessors ------------------------------------------------------------------

  void CheckBufferViews() {
    for (size_t v = 0; v < model_.bufferViews.size(); ++v) {
      const tinygltf::BufferView& view = model_.bufferViews[v];
      const std::string where = "bufferViews/" + std::to_string(v);
      if (!InRange(view.buffer, model_.buffers)) {
        Fail(where, "no such buffer");
        continue;
      }
      if (view.byteLength == 0) Fail(where, "byteLength 0");
      if (view.byteOffset + view.byteLength > model_.buffers[size_t(view.buffer)].data.size()) {
        Fail(where, "ends past its buffer");
      }
      if (view.target != 0 && view.target != TINYGLTF_TARGET_ARRAY_BUFFER &&
          view.target != TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER) {
        Fail(where, "target " + std::to_string(view.target));
      }
      if (view.byteStride != 0) Fail(where, "a byteStride, which the export never writes");
    }
  }

  static size_t ComponentSize(int type) {
    switch (type) {
      case TINYGLTF_COMPONENT_TYPE_BYTE:
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
      case TINYGLTF_COMPONENT_TYPE_SHORT:
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
      case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return 4;
      default:
        return 0;
    }
  }

  static size_t Components(int type) {
    const int n = tinygltf::GetNumComponentsInType(std::uint32_t(type));
    return n > 0 ? size_t(n) : 0;
  }

  // Where an accessor's data starts, when it lies wholly within its view; null otherwise (the
  // accessor check says why).
  const std::uint8_t* Data(int index) const {
    if (!InRange(index, model_.accessors)) return nullptr;
    const tinygltf::Accessor& accessor = model_.accessors[size_t(index)];
    if (!InRange(accessor.bufferView, model_.bufferViews)) return nullptr;
    const tinygltf::BufferView& view = model_.bufferViews[size_t(accessor.bufferView)];
    if (!InRange(view.buffer, model_.buffers)) return nullptr;
    const size_t element = ComponentSize(accessor.componentType) * Components(accessor.type);
    if (element == 0 || accessor.byteOffset + accessor.count * element > view.byteLength ||
        view.byteOffset + view.byteLength > model_.buffers[size_t(view.buffer)].data.size()) {
      return nullptr;
    }
    return model_.buffers[size_t(view.buffer)].data.data() + view.byteOffset + accessor.byteOffset;
  }

  // Component `c` of element `e` of an accessor whose data is in range.
  double Value(int index, size_t e, size_t c) const {
    const tinygltf::Accessor& accessor = model_.accessors[size_t(index)];
    const size_t size = ComponentSize(accessor.componentType);
    const std::uint8_t* p = Data(index) + (e * Components(accessor.type) + c) * size;
    switch (accessor.componentType) {
      case TINYGLTF_COMPONENT_TYPE_BYTE:
        return double(std::int8_t(*p));
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return double(*p);
      case TINYGLTF_COMPONENT_TYPE_SHORT: {
        std::int16_t v;
        std::memcpy(&v, p, 2);
        return double(v);
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return double(v);
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return double(v);
      }
      default: {
        float v;
        std::memcpy(&v, p, 4);
        return double(v);
      }
    }
  }

  void CheckAccessor(int index) {
    const tinygltf::Accessor& accessor = model_.accessors[size_t(index)];
    const std::string where = "accessors/" + std::to_string(index);
    const size_t size = ComponentSize(accessor.componentType), n = Components(accessor.type);
    if (size == 0 || n == 0) {
      Fail(where, "unknown component type or type");
      return;
    }
    if (accessor.count == 0) Fail(where, "count 0");
    if (accessor.sparse.isSparse) Fail(where, "sparse, which the export never writes");
    if (!InRange(accessor.bufferView, model_.bufferViews)) {
      Fail(where, "no buffer view");
      return;
    }
    const tinygltf::BufferView& view = model_.bufferViews[size_t(accessor.bufferView)];
    if ((view.byteOffset + accessor.byteOffset) % size != 0)
      Fail(where, "data not aligned to its components");
    if (Data(index) == nullptr) {
      Fail(where, "elements end past the view or its buffer");
      return;
    }
    if (accessor.normalized && accessor.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
      Fail(where, "normalized float components");
    }
    const bool bounded = !accessor.minValues.empty() || !accessor.maxValues.empty();
    if (bounded && (accessor.minValues.size() != n || accessor.maxValues.size() != n)) {
      Fail(where, "min or max of the wrong length");
      return;
    }
    std::vector<double> low(n, std::numeric_limits<double>::infinity());
    std::vector<double> high(n, -std::numeric_limits<double>::infinity());
    for (size_t e = 0; e < accessor.count; ++e) {
      for (size_t c = 0; c < n; ++c) {
        const double value = Value(index, e, c);
        if (!std::isfinite(value)) {
          Fail(where, "a non-finite value at element " + std::to_string(e));
          return;
        }
        low[c] = std::min(low[c], value);
        high[c] = std::max(high[c], value);
      }
    }
    for (size_t c = 0; bounded && c < n; ++c) {
      if (!std::isfinite(accessor.minValues[c]) || !std::isfinite(accessor.maxValues[c])) {
        Fail(where, "a non-finite min or max");
      } else if (float(accessor.minValues[c]) != float(low[c]) ||
                 float(accessor.maxValues[c]) != float(high[c])) {
        Fail(where, "min or max differ from the elements' in component " + std::to_string(c));
      }
    }
  }

  // True when accessor `index` exists and has the given types; otherwise a problem at `where`.
  bool Expect(int index, int type, std::initializer_list<int> componentTypes,
              const std::string& where) {
    if (!InRange(index, model_.accessors)) {
      Fail(where, "no such accessor");
      return false;
    }
    const tinygltf::Accessor& accessor = model_.accessors[size_t(index)];
    if (accessor.type != type || std::find(componentTypes.begin(), componentTypes.end(),
                                           accessor.componentType) == componentTypes.end()) {
      Fail(where, "accessor of the wrong type");
      return false;
    }
    return Data(index) != nullptr;
  }

  // ---- Nodes and scenes ------------------------------------------------------------------------

  void CheckNodeForest() {
    parent_.assign(model_.nodes.size(), -1);
    for (size_t n = 0; n < model_.nodes.size(); ++n) {
      const tinygltf::Node& node = model_.nodes[n];
      const std::string where = "nodes/" + std::to_string(n);
      for (int child : node.children) {
        if (!InRange(child, model_.nodes) || size_t(child) == n) {
          Fail(where, "child " + std::to_string(child));
        } else if (parent_[size_t(child)] >= 0) {
          Fail(where, "child " + std::to_string(child) + " has another parent");
        } else {
          parent_[size_t(child)] = int(n);
        }
      }
      if (node.mesh != -1 && !InRange(node.mesh, model_.meshes)) Fail(where, "no such mesh");
      if (node.skin != -1 && !InRange(node.skin, model_.skins)) Fail(where, "no such skin");
      if (!node.matrix.empty()) Fail(where, "a matrix, which the export never writes");
      const auto finite = [](const std::vector<double>& values) {
        return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
      };
      const auto sized = [](const std::vector<double>& values, size_t n) {
        return values.empty() || values.size() == n;
      };
      if (!sized(node.translation, 3) || !sized(node.rotation, 4) || !sized(node.scale, 3) ||
          !finite(node.translation) || !finite(node.scale) || !finite(node.rotation)) {
        Fail(where, "a translation, rotation or scale that is not finite or of the wrong length");
      } else if (node.rotation.size() == 4) {
        const double length =
            std::sqrt(node.rotation[0] * node.rotation[0] + node.rotation[1] * node.rotation[1] +
                      node.rotation[2] * node.rotation[2] + node.rotation[3] * node.rotation[3]);
        if (std::fabs(length - 1) > kUnitTolerance) Fail(where, "a rotation not of unit length");
      }
    }
    // With at most one parent each, a node whose chain of parents does not end is in a cycle.
    for (size_t n = 0; n < model_.nodes.size(); ++n) {
      int above = int(n);
      for (size_t steps = 0; above >= 0 && steps <= model_.nodes.size(); ++steps)
        above = parent_[size_t(above)];
      if (above >= 0) Fail("nodes/" + std::to_string(n), "in a cycle of children");
    }
  }

  // True when `ancestor` is `node` or above it.
  bool Above(int ancestor, int node) const {
    for (size_t steps = 0; node >= 0 && steps <= model_.nodes.size();
         ++steps, node = parent_[size_t(node)]) {
      if (node == ancestor) return true;
    }
    return false;
  }

  void CheckScenes() {
    if (model_.scenes.empty()) Fail("scenes", "none");
    if (!model_.scenes.empty() && !InRange(model_.defaultScene, model_.scenes))
      Fail("scene", "no such scene");
    inScene_.assign(model_.nodes.size(), false);
    for (size_t s = 0; s < model_.scenes.size(); ++s) {
      for (int node : model_.scenes[s].nodes) {
        const std::string where = "scenes/" + std::to_string(s);
        if (!InRange(node, model_.nodes)) {
          Fail(where, "no such node " + std::to_string(node));
        } else if (parent_[size_t(node)] >= 0) {
          Fail(where, "node " + std::to_string(node) + " is not a root");
        } else if (inScene_[size_t(node)]) {
          Fail(where, "node " + std::to_string(node) + " twice");
        } else {
          inScene_[size_t(node)] = true;
        }
      }
    }
    for (size_t n = 0; n < model_.nodes.size(); ++n) {
      int top = int(n);
      for (size_t steps = 0; parent_[size_t(top)] >= 0 && steps <= model_.nodes.size(); ++steps) {
        top = parent_[size_t(top)];
      }
      inScene_[n] = inScene_[size_t(top)];
    }
  }

  // ---- Meshes
  // -------------------------------------------------------------------------------------

  void CheckMesh(int index) {
    const tinygltf::Mesh& mesh = model_.meshes[size_t(index)];
    const std::string where = "meshes/" + std::to_string(index);
    if (mesh.primitives.empty()) Fail(where, "no primitives");
    for (size_t p = 0; p < mesh.primitives.size(); ++p) {
      const tinygltf::Primitive& primitive = mesh.primitives[p];
      const std::string at = where + "/primitives/" + std::to_string(p);
      if (primitive.mode != TINYGLTF_MODE_TRIANGLES) Fail(at, "not triangles");
      if (primitive.material != -1 && !InRange(primitive.material, model_.materials))
        Fail(at, "no such material");
      const auto attribute = [&](const char* name) {
        const auto found = primitive.attributes.find(name);
        return found == primitive.attributes.end() ? -1 : found->second;
      };
      const int position = attribute("POSITION");
      if (position < 0 || !Expect(position, TINYGLTF_TYPE_VEC3, {TINYGLTF_COMPONENT_TYPE_FLOAT},
                                  at + "/POSITION")) {
        if (position < 0) Fail(at, "no POSITION");
        continue;
      }
      if (model_.accessors[size_t(position)].minValues.empty())
        Fail(at + "/POSITION", "no min and max");
      const size_t vertices = model_.accessors[size_t(position)].count;
      for (const auto& [name, accessor] : primitive.attributes) {
        if (InRange(accessor, model_.accessors) &&
            model_.accessors[size_t(accessor)].count != vertices) {
          Fail(at + "/" + name, "not as many elements as positions");
        }
      }
      const int uv = attribute("TEXCOORD_0");
      if (uv >= 0)
        Expect(uv, TINYGLTF_TYPE_VEC2, {TINYGLTF_COMPONENT_TYPE_FLOAT}, at + "/TEXCOORD_0");
      const int joints = attribute("JOINTS_0"), weights = attribute("WEIGHTS_0");
      if ((joints >= 0) != (weights >= 0)) Fail(at, "JOINTS_0 without WEIGHTS_0 or the other way");
      if (joints >= 0 && weights >= 0 &&
          Expect(joints, TINYGLTF_TYPE_VEC4,
                 {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT},
                 at + "/JOINTS_0") &&
          Expect(weights, TINYGLTF_TYPE_VEC4, {TINYGLTF_COMPONENT_TYPE_FLOAT}, at + "/WEIGHTS_0")) {
        CheckInfluences(joints, weights, at);
        skinnedMeshes_.insert(index);
      }
      if (primitive.indices < 0) {
        Fail(at, "no indices");
      } else if (Expect(
                     primitive.indices, TINYGLTF_TYPE_SCALAR,
                     {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                      TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT},
                     at + "/indices")) {
        const tinygltf::Accessor& indices = model_.accessors[size_t(primitive.indices)];
        if (indices.count % 3 != 0) Fail(at + "/indices", "not whole triangles");
        const double restart = std::ldexp(1.0, int(ComponentSize(indices.componentType) * 8)) - 1;
        const int view = indices.bufferView;
        if (model_.bufferViews[size_t(view)].target != TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER) {
          Fail(at + "/indices", "its view is not an element array");
        }
        for (size_t i = 0; i < indices.count; ++i) {
          const double value = Value(primitive.indices, i, 0);
          if (value >= double(vertices) || value == restart) {
            Fail(at + "/indices",
                 "index " + std::to_string(i) + " out of range or the restart value");
            break;
          }
        }
      }
    }
  }

  // Each vertex's weights non-negative, summing to 1, with no joint twice among those that weigh.
  void CheckInfluences(int joints, int weights, const std::string& at) {
    const size_t count = model_.accessors[size_t(weights)].count;
    for (size_t v = 0; v < count; ++v) {
      double sum = 0;
      for (size_t k = 0; k < 4; ++k) {
        const double w = Value(weights, v, k);
        if (w < 0) Fail(at + "/WEIGHTS_0", "a negative weight at vertex " + std::to_string(v));
        sum += w;
        for (size_t j = 0; j < k && w > 0; ++j) {
          if (Value(weights, v, j) > 0 && Value(joints, v, j) == Value(joints, v, k)) {
            Fail(at + "/JOINTS_0", "one joint twice at vertex " + std::to_string(v));
          }
        }
        maxJoint_[joints] = std::max(maxJoint_[joints], Value(joints, v, k));
      }
      if (std::fabs(sum - 1) > 1e-5) {
        Fail(at + "/WEIGHTS_0", "weights not summing to 1 at vertex " + std::to_string(v));
        return;
      }
    }
  }

  // ---- Skins
  // --------------------------------------------------------------------------------------

  void CheckSkin(int index) {
    const tinygltf::Skin& skin = model_.skins[size_t(index)];
    const std::string where = "skins/" + std::to_string(index);
    if (skin.joints.empty()) Fail(where, "no joints");
    std::set<int> seen;
    for (int joint : skin.joints) {
      if (!InRange(joint, model_.nodes)) {
        Fail(where, "no such joint node " + std::to_string(joint));
      } else if (!seen.insert(joint).second) {
        Fail(where, "joint " + std::to_string(joint) + " twice");
      } else if (skin.skeleton >= 0 && !Above(skin.skeleton, joint)) {
        Fail(where, "the skeleton is not above joint " + std::to_string(joint));
      }
    }
    if (skin.skeleton >= 0 && !InRange(skin.skeleton, model_.nodes))
      Fail(where, "no such skeleton node");
    if (skin.skeleton < 0 && skin.joints.size() > 1) Fail(where, "no skeleton");
    if (skin.inverseBindMatrices >= 0 &&
        Expect(skin.inverseBindMatrices, TINYGLTF_TYPE_MAT4, {TINYGLTF_COMPONENT_TYPE_FLOAT},
               where + "/inverseBindMatrices")) {
      const tinygltf::Accessor& matrices = model_.accessors[size_t(skin.inverseBindMatrices)];
      if (matrices.count != skin.joints.size())
        Fail(where, "not one inverse bind matrix per joint");
      for (size_t m = 0; m < matrices.count; ++m) {
        // Column by column: the last row is elements 3, 7, 11 and 15.
        if (Value(skin.inverseBindMatrices, m, 3) != 0 ||
            Value(skin.inverseBindMatrices, m, 7) != 0 ||
            Value(skin.inverseBindMatrices, m, 11) != 0 ||
            Value(skin.inverseBindMatrices, m, 15) != 1) {
          Fail(where, "inverse bind matrix " + std::to_string(m) + " is not affine");
        }
      }
    }
  }

  // A node with a skinned mesh has the skin its joints index, stays a root without transforms,
  // and its joints are in a scene as it is.
  void CheckSkinnedNodes() {
    for (size_t n = 0; n < model_.nodes.size(); ++n) {
      const tinygltf::Node& node = model_.nodes[n];
      const std::string where = "nodes/" + std::to_string(n);
      const bool skinnedMesh = skinnedMeshes_.count(node.mesh) != 0;
      if (node.skin >= 0 && !skinnedMesh) Fail(where, "a skin without a skinned mesh");
      if (!skinnedMesh) continue;
      if (!InRange(node.skin, model_.skins)) {
        Fail(where, "a skinned mesh without a skin");
        continue;
      }
      if (parent_[n] >= 0) Fail(where, "a skinned mesh below another node");
      if (!node.translation.empty() || !node.rotation.empty() || !node.scale.empty()) {
        Fail(where, "a skinned mesh with transforms of its own");
      }
      const tinygltf::Skin& skin = model_.skins[size_t(node.skin)];
      for (const tinygltf::Primitive& primitive : model_.meshes[size_t(node.mesh)].primitives) {
        const auto joints = primitive.attributes.find("JOINTS_0");
        if (joints != primitive.attributes.end() &&
            maxJoint_[joints->second] >= double(skin.joints.size())) {
          Fail(where, "a joint index past its skin's joints");
        }
      }
      for (int joint : skin.joints) {
        if (InRange(joint, model_.nodes) && inScene_[n] && !inScene_[size_t(joint)]) {
          Fail(where, "joint " + std::to_string(joint) + " is in no scene");
        }
      }
    }
  }

  // ---- Animations
  // ---------------------------------------------------------------------------------

  void CheckAnimation(int index) {
    const tinygltf::Animation& animation = model_.animations[size_t(index)];
    const std::string where = "animations/" + std::to_string(index);
    if (animation.channels.empty()) Fail(where, "no channels");
    std::set<std::pair<int, std::string>> targets;
    for (size_t c = 0; c < animation.channels.size(); ++c) {
      const tinygltf::AnimationChannel& channel = animation.channels[c];
      const std::string at = where + "/channels/" + std::to_string(c);
      if (!InRange(channel.target_node, model_.nodes)) Fail(at, "no such target node");
      if (!targets.emplace(channel.target_node, channel.target_path).second)
        Fail(at, "a target animated twice");
      const bool rotation = channel.target_path == "rotation";
      if (!rotation && channel.target_path != "translation" && channel.target_path != "scale") {
        Fail(at, "path " + channel.target_path);
        continue;
      }
      if (!InRange(channel.sampler, animation.samplers)) {
        Fail(at, "no such sampler");
        continue;
      }
      const tinygltf::AnimationSampler& sampler = animation.samplers[size_t(channel.sampler)];
      const std::string on = where + "/samplers/" + std::to_string(channel.sampler);
      if (sampler.interpolation != "LINEAR" && sampler.interpolation != "STEP") {
        Fail(on, "interpolation " + sampler.interpolation);
      }
      if (!Expect(sampler.input, TINYGLTF_TYPE_SCALAR, {TINYGLTF_COMPONENT_TYPE_FLOAT},
                  on + "/input") ||
          !Expect(sampler.output, rotation ? TINYGLTF_TYPE_VEC4 : TINYGLTF_TYPE_VEC3,
                  {TINYGLTF_COMPONENT_TYPE_FLOAT}, on + "/output")) {
        continue;
      }
      const tinygltf::Accessor& input = model_.accessors[size_t(sampler.input)];
      if (input.minValues.empty()) Fail(on + "/input", "no min and max");
      for (size_t k = 0; k < input.count; ++k) {
        const double time = Value(sampler.input, k, 0);
        if (time < 0 || (k > 0 && time <= Value(sampler.input, k - 1, 0))) {
          Fail(on + "/input", "times not increasing from 0 or above at key " + std::to_string(k));
          break;
        }
      }
      const size_t outputs = model_.accessors[size_t(sampler.output)].count;
      if (outputs != input.count) Fail(on + "/output", "not one value per key time");
      for (size_t k = 0; rotation && k < outputs; ++k) {
        double length = 0;
        for (size_t i = 0; i < 4; ++i)
          length += Value(sampler.output, k, i) * Value(sampler.output, k, i);
        if (std::fabs(std::sqrt(length) - 1) > kUnitTolerance) {
          Fail(on + "/output", "a rotation not of unit length at key " + std::to_string(k));
          break;
        }
      }
    }
  }

  // ---- Materials and images
  // -----------------------------------------------------------------------

  void CheckMaterials() {
    for (size_t m = 0; m < model_.materials.size(); ++m) {
      const tinygltf::Material& material = model_.materials[m];
      const std::string where = "materials/" + std::to_string(m);
      if (material.alphaMode != "OPAQUE" && material.alphaMode != "MASK" &&
          material.alphaMode != "BLEND") {
        Fail(where, "alphaMode " + material.alphaMode);
      }
      if (material.alphaCutoff != 0.5 && material.alphaMode != "MASK")
        Fail(where, "an alphaCutoff without MASK");
      const int texture = material.pbrMetallicRoughness.baseColorTexture.index;
      if (texture != -1 && !InRange(texture, model_.textures)) Fail(where, "no such texture");
    }
    for (size_t t = 0; t < model_.textures.size(); ++t) {
      const tinygltf::Texture& texture = model_.textures[t];
      if (!InRange(texture.source, model_.images))
        Fail("textures/" + std::to_string(t), "no such image");
      if (texture.sampler != -1 && !InRange(texture.sampler, model_.samplers)) {
        Fail("textures/" + std::to_string(t), "no such sampler");
      }
    }
  }

  void CheckImages(const MemoryFiles& files, const std::filesystem::path& path) {
    static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto isPng = [](const std::uint8_t* bytes, size_t size) {
      return size >= 8 && std::memcmp(bytes, kPng, 8) == 0;
    };
    for (size_t i = 0; i < model_.images.size(); ++i) {
      const tinygltf::Image& image = model_.images[i];
      const std::string where = "images/" + std::to_string(i);
      if (image.uri.empty() == (image.bufferView < 0)) {
        Fail(where, "neither or both of a URI and a buffer view");
      } else if (image.bufferView >= 0) {
        if (image.mimeType != "image/png") Fail(where, "mimeType " + image.mimeType);
        if (!InRange(image.bufferView, model_.bufferViews)) {
          Fail(where, "no such buffer view");
          continue;
        }
        const tinygltf::BufferView& view = model_.bufferViews[size_t(image.bufferView)];
        if (view.target != 0) Fail(where, "its view has a target");
        if (!InRange(view.buffer, model_.buffers)) continue;
        const std::vector<unsigned char>& buffer = model_.buffers[size_t(view.buffer)].data;
        const bool inside = view.byteOffset + view.byteLength <= buffer.size();
        if (inside && !isPng(buffer.data() + view.byteOffset, view.byteLength)) {
          Fail(where, "not a PNG file");
        }
      } else {
        const std::vector<std::uint8_t>* bytes =
            files.Find((path.parent_path() / image.uri).lexically_normal());
        if (bytes == nullptr) {
          Fail(where, "no file " + image.uri);
        } else if (!isPng(bytes->data(), bytes->size())) {
          Fail(where, "not a PNG file");
        }
      }
    }
  }

  // ---- Names
  // --------------------------------------------------------------------------------------

  void CheckNames() {
    const auto unique = [&](const auto& objects, const char* kind) {
      std::set<std::string> seen;
      for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i].name.empty()) {
          Fail(std::string(kind) + "/" + std::to_string(i), "no name");
        } else if (!seen.insert(objects[i].name).second) {
          Fail(std::string(kind) + "/" + std::to_string(i),
               "the name \"" + objects[i].name + "\" twice");
        }
      }
    };
    unique(model_.nodes, "nodes");
    unique(model_.meshes, "meshes");
    unique(model_.materials, "materials");
    unique(model_.skins, "skins");
    unique(model_.animations, "animations");
    unique(model_.images, "images");
  }

  const tinygltf::Model& model_;
  std::vector<std::string> problems_;
  std::vector<int> parent_;    // per node, -1 for a root
  std::vector<bool> inScene_;  // per node
  std::set<int> skinnedMeshes_;
  std::map<int, double> maxJoint_;  // per JOINTS_0 accessor, its largest joint index
};

// The container of a .glb: its header, a JSON chunk padded with spaces and a binary chunk as long
// as the buffer, give or take the padding.
void CheckGlbContainer(const std::vector<std::uint8_t>& bytes, const tinygltf::Model& model,
                       std::vector<std::string>* problems) {
  const auto le32 = [&](size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
  };
  if (bytes.size() < 20 || std::memcmp(bytes.data(), "glTF", 4) != 0 || le32(4) != 2 ||
      le32(8) != bytes.size()) {
    problems->push_back("glb: header");
    return;
  }
  const size_t json = le32(12);
  if (std::memcmp(bytes.data() + 16, "JSON", 4) != 0 || json % 4 != 0 || 20 + json > bytes.size()) {
    problems->push_back("glb: JSON chunk");
    return;
  }
  size_t at = 20 + json;
  const size_t buffer = model.buffers.empty() ? 0 : model.buffers[0].data.size();
  if (at == bytes.size()) {
    if (buffer != 0) problems->push_back("glb: no binary chunk for the buffer");
    return;
  }
  if (at + 8 > bytes.size() || std::memcmp(bytes.data() + at + 4, "BIN\0", 4) != 0) {
    problems->push_back("glb: binary chunk");
    return;
  }
  const size_t binary = le32(at);
  if (binary % 4 != 0 || at + 8 + binary != bytes.size() || binary < buffer ||
      binary > buffer + 3) {
    problems->push_back("glb: binary chunk of " + std::to_string(binary) +
                        " bytes for a buffer of " + std::to_string(buffer));
  }
}

}  // namespace

std::vector<std::string> CheckGltf(const MemoryFiles& files, const std::filesystem::path& path) {
  tinygltf::Model model;
  std::string error;
  if (!LoadWritten(files, path, false, &model, &error)) return {path.string() + ": " + error};
  std::vector<std::string> problems = Checker(model).Run(files, path);
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  if (extension == ".glb")
    CheckGlbContainer(*files.Find(path.lexically_normal()), model, &problems);
  return problems;
}

}  // namespace vexmara::testing
