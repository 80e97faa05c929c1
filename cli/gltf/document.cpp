#include "cli/gltf/document.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <span>
#include <utility>

#include "cli/gltf/names.h"
#include "cli/text/path_text.h"

namespace vexmara::cli {

size_t BinaryChunk::AppendBlock(const std::uint8_t* data, size_t size,
                                std::shared_ptr<const void> owner) {
  const size_t offset = Size();
  blocks_.push_back(Block{offset, data, size, std::move(owner)});
  size_ = offset + size;
  return offset;
}

bool BinaryChunk::WriteTo(const std::function<bool(const void* bytes, size_t size)>& write) const {
  static constexpr std::uint8_t kZeros[4] = {};
  size_t written = 0;
  for (const Block& block : blocks_) {
    if (block.offset > written && !write(kZeros, block.offset - written)) return false;
    if (block.size > 0 && !write(block.data, block.size)) return false;
    written = block.offset + block.size;
  }
  return Size() == written || write(kZeros, Size() - written);
}

namespace {

float Finite(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

// The skin entries of vertex `v`.
std::span<const SkinWeight> WeightsOf(const SceneSnapshot& scene, size_t v) {
  const SnapshotVertex& vertex = scene.vertices[v];
  return std::span<const SkinWeight>(scene.weights).subspan(vertex.firstWeight, vertex.weightCount);
}

// The name of object `index` of a kind, or a name made of `kind` and the index when it has none.
std::string NameOr(const std::string& name, const char* kind, size_t index) {
  return name.empty() ? kind + std::to_string(index) : name;
}

// ---- Buffer
// ---------------------------------------------------------------------------------------

size_t ComponentBytes(int componentType) {
  switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return 1;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
      return 2;
    default:
      return 4;
  }
}

// min and max per component of `count` elements of `n` floats.
void SetBounds(const float* values, size_t count, size_t n, tinygltf::Accessor* accessor) {
  accessor->minValues.assign(n, std::numeric_limits<double>::infinity());
  accessor->maxValues.assign(n, -std::numeric_limits<double>::infinity());
  for (size_t k = 0; k < n; ++k) {
    // In float, which holds every value exactly; NaN never enters: the elements are finite.
    float low = std::numeric_limits<float>::infinity(), high = -low;
    for (size_t i = k; i < count * n; i += n) {
      low = std::min(low, values[i]);
      high = std::max(high, values[i]);
    }
    if (count > 0) {
      accessor->minValues[k] = low;
      accessor->maxValues[k] = high;
    }
  }
}

// Views and accessors of the document's one buffer; each accessor's elements become a block of
// the binary chunk as they are, without a copy.
class BufferBuilder {
 public:
  explicit BufferBuilder(GltfDocument& document)
      : model_(document.model), binary_(document.binary) {}

  // A view of bytes held elsewhere (an image's), with no target.
  int AddSharedView(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteLength = bytes->size();
    view.byteOffset = binary_.AppendShared(std::move(bytes));
    model_.bufferViews.push_back(view);
    return int(model_.bufferViews.size() - 1);
  }

  template <class T>
  int AddView(std::vector<T> elements, int target) {
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteLength = elements.size() * sizeof(T);
    view.target = target;
    view.byteOffset = binary_.Append(std::move(elements));
    model_.bufferViews.push_back(view);
    return int(model_.bufferViews.size() - 1);
  }

  // An accessor over elements of `components` components each; with `bounds`, its min and max
  // (float elements only).
  template <class T>
  int AddAccessor(std::vector<T> elements, int componentType, int type, size_t components,
                  int target, bool bounds) {
    tinygltf::Accessor accessor;
    accessor.componentType = componentType;
    accessor.type = type;
    accessor.count = elements.size() * sizeof(T) / ComponentBytes(componentType) / components;
    if (bounds)
      SetBounds(reinterpret_cast<const float*>(elements.data()), accessor.count, components,
                &accessor);
    accessor.bufferView = AddView(std::move(elements), target);
    model_.accessors.push_back(accessor);
    return int(model_.accessors.size() - 1);
  }

 private:
  tinygltf::Model& model_;
  BinaryChunk& binary_;
};

// ---- Skeleton
// -------------------------------------------------------------------------------------

struct Skeleton {
  std::vector<int> parent;  // effective parent; -1 for a root
  std::vector<Vec3> translation;
  std::vector<Quat> rotation;
  std::vector<Vec3> scale;
  std::vector<Matrix> world;
  int rootBone = 0;
};

// Parents outside the bone list or closing a cycle make a bone a root (the bone that reaches a
// parent still being visited), the same rule the host uses for its world matrices. World
// matrices are composed from the local transforms the file will carry, so that the inverse bind
// matrices match the node tree exactly.
Skeleton MakeSkeleton(const std::vector<SnapshotBone>& bones) {
  const int count = int(bones.size());
  Skeleton skeleton;
  skeleton.parent.assign(size_t(count), -1);
  skeleton.translation.resize(size_t(count));
  skeleton.rotation.resize(size_t(count));
  skeleton.scale.resize(size_t(count));
  skeleton.world.resize(size_t(count));
  for (int b = 0; b < count; ++b) {
    const SnapshotBone& bone = bones[size_t(b)];
    for (size_t k = 0; k < 3; ++k) {
      skeleton.translation[size_t(b)][k] = Finite(bone.translation[k], 0);
      skeleton.scale[size_t(b)][k] = Finite(bone.scale[k], 1);
    }
    skeleton.rotation[size_t(b)] = QuatNormalize(bone.rotation);
  }
  enum : char { kPending, kVisiting, kDone };
  std::vector<char> state(size_t(count), kPending);
  auto declaredParent = [&](int b) {
    const int p = bones[size_t(b)].parent;
    return p >= 0 && p < count && p != b ? p : -1;
  };
  std::vector<int> chain;
  for (int start = 0; start < count; ++start) {
    chain.clear();
    int bone = start;
    for (; bone >= 0 && state[size_t(bone)] == kPending; bone = declaredParent(bone)) {
      state[size_t(bone)] = kVisiting;
      chain.push_back(bone);
    }
    // `bone` is now -1, a finished bone, or a bone of this chain (a cycle).
    int above = bone >= 0 && state[size_t(bone)] == kDone ? bone : -1;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const int b = *it;
      skeleton.parent[size_t(b)] = above;
      const Matrix local = ComposeMatrix(skeleton.translation[size_t(b)],
                                         skeleton.rotation[size_t(b)], skeleton.scale[size_t(b)]);
      skeleton.world[size_t(b)] =
          above >= 0 ? MultiplyMatrices(skeleton.world[size_t(above)], local) : local;
      state[size_t(b)] = kDone;
      above = b;
    }
  }
  for (int b = 0; b < count; ++b) {
    if (skeleton.parent[size_t(b)] < 0) {
      skeleton.rootBone = b;
      break;
    }
  }
  return skeleton;
}

// ---- Meshes
// ---------------------------------------------------------------------------------------

struct Vec2 {
  float u, v;
};

// Finds the glTF vertex of each face corner: a host vertex with one pair of texture coordinates.
// Each host vertex leads to the first glTF vertex made from it, and each glTF vertex to the next
// one of the same host vertex (with other coordinates), so that a corner costs an array read or
// two. Coordinates are told apart by their bits.
class VertexSplit {
 public:
  explicit VertexSplit(size_t hostVertices) : first_(hostVertices, kNone) {}

  // The glTF vertex of host vertex `v` with coordinates `uv`, made when it is new.
  std::uint32_t Find(int v, Vec2 uv) {
    std::uint32_t* link = &first_[size_t(v)];
    while (*link != kNone) {
      const Vec2 known = uvs_[*link];
      if (std::bit_cast<std::uint32_t>(known.u) == std::bit_cast<std::uint32_t>(uv.u) &&
          std::bit_cast<std::uint32_t>(known.v) == std::bit_cast<std::uint32_t>(uv.v)) {
        return *link;
      }
      link = &next_[*link];
    }
    *link = std::uint32_t(source_.size());
    source_.push_back(v);
    uvs_.push_back(uv);
    next_.push_back(kNone);
    return *link;
  }

  // The host vertex of each glTF vertex, in order.
  const std::vector<int>& Sources() const { return source_; }
  // Hands over the coordinates of the glTF vertices and starts the next primitive.
  std::vector<Vec2> TakeUvs() {
    for (int v : source_) first_[size_t(v)] = kNone;
    source_.clear();
    next_.clear();
    return std::move(uvs_);
  }

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::vector<std::uint32_t> first_;  // per host vertex
  std::vector<std::uint32_t> next_;   // per glTF vertex
  std::vector<int> source_;           // per glTF vertex
  std::vector<Vec2> uvs_;             // per glTF vertex
};

// What the mesh steps share: the host's vertices, the skin they follow, and what they found wrong
// in the faces.
struct MeshInput {
  const SceneSnapshot& scene;
  bool skinned = false;
  int boneCount = 0;
  int rootBone = 0;  // what a vertex without usable weights follows
  VertexSplit split;
  int skippedFaces = 0;
  int nonFinite = 0;
};

using FaceList = std::vector<const SnapshotFace*>;

// Faces by material, in the order the materials first appear; a material index outside the list
// means none (-1). Faces naming a vertex the host does not hold are left out and counted.
std::vector<std::pair<int, FaceList>> FacesByMaterial(const SnapshotMesh& mesh,
                                                      size_t materialCount, MeshInput& input) {
  const auto vertexCount = std::uint32_t(input.scene.vertices.size());
  std::vector<std::pair<int, FaceList>> byMaterial;
  size_t last = 0;  // the material of the face before, which the next one shares as a rule
  for (const SnapshotFace& face : mesh.faces) {
    // A negative index is a large one as unsigned: one test a corner.
    if (std::uint32_t(face.vertices[0]) >= vertexCount ||
        std::uint32_t(face.vertices[1]) >= vertexCount ||
        std::uint32_t(face.vertices[2]) >= vertexCount) {
      ++input.skippedFaces;
      continue;
    }
    const int material =
        face.material >= 0 && size_t(face.material) < materialCount ? face.material : -1;
    if (last >= byMaterial.size() || byMaterial[last].first != material) {
      last = 0;
      while (last < byMaterial.size() && byMaterial[last].first != material) ++last;
      if (last == byMaterial.size()) {
        // The first material of a mesh is its only one as a rule.
        byMaterial.emplace_back(material, FaceList{});
        if (byMaterial.size() == 1) byMaterial.back().second.reserve(mesh.faces.size());
      }
    }
    byMaterial[last].second.push_back(&face);
  }
  return byMaterial;
}

// One primitive of the faces of one material. glTF attributes are per vertex, so a host vertex
// whose corners carry different texture coordinates becomes one glTF vertex per distinct pair.
tinygltf::Primitive AddPrimitive(int material, const FaceList& faces, MeshInput& input,
                                 BufferBuilder& buffer, GltfCounts& counts) {
  std::vector<std::uint32_t> indices;
  indices.reserve(faces.size() * 3);
  for (const SnapshotFace* face : faces) {
    for (size_t c = 0; c < 3; ++c) {
      Vec2 uv{face->uv[c][0], face->uv[c][1]};
      if (!std::isfinite(uv.u) || !std::isfinite(uv.v)) {
        ++input.nonFinite;
        uv = {Finite(uv.u, 0), Finite(uv.v, 0)};
      }
      indices.push_back(input.split.Find(face->vertices[c], uv));
    }
  }

  // The attributes, each filled at its final size from the host vertex of every glTF vertex.
  const std::vector<int>& sources = input.split.Sources();
  const size_t vertexCount = sources.size();
  std::vector<Vec3> positions(vertexCount);
  for (size_t g = 0; g < vertexCount; ++g) {
    const auto& p = input.scene.vertices[size_t(sources[g])].position;
    for (size_t k = 0; k < 3; ++k) {
      if (std::isfinite(p[k])) {
        positions[g][k] = p[k];
      } else {
        ++input.nonFinite;
      }
    }
  }
  const bool skinned = input.skinned;
  const bool shortJoints = input.boneCount > 256;
  std::vector<std::array<float, 4>> weights(skinned ? vertexCount : 0);
  std::vector<std::array<std::uint8_t, 4>> joints8(skinned && !shortJoints ? vertexCount : 0);
  std::vector<std::array<std::uint16_t, 4>> joints16(skinned && shortJoints ? vertexCount : 0);
  for (size_t g = 0; skinned && g < vertexCount; ++g) {
    const Influences in =
        SkinInfluences(WeightsOf(input.scene, size_t(sources[g])), input.boneCount, input.rootBone);
    weights[g] = in.weights;
    if (shortJoints) {
      joints16[g] = in.joints;
    } else {
      for (size_t k = 0; k < 4; ++k) joints8[g][k] = std::uint8_t(in.joints[k]);
    }
  }

  tinygltf::Primitive primitive;
  primitive.mode = TINYGLTF_MODE_TRIANGLES;
  primitive.material = material;
  primitive.attributes["POSITION"] =
      buffer.AddAccessor(std::move(positions), TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                         TINYGLTF_TARGET_ARRAY_BUFFER, true);
  primitive.attributes["TEXCOORD_0"] =
      buffer.AddAccessor(input.split.TakeUvs(), TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2,
                         2, TINYGLTF_TARGET_ARRAY_BUFFER, false);
  if (skinned) {
    primitive.attributes["JOINTS_0"] =
        shortJoints
            ? buffer.AddAccessor(std::move(joints16), TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                 TINYGLTF_TYPE_VEC4, 4, TINYGLTF_TARGET_ARRAY_BUFFER, false)
            : buffer.AddAccessor(std::move(joints8), TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                 TINYGLTF_TYPE_VEC4, 4, TINYGLTF_TARGET_ARRAY_BUFFER, false);
    primitive.attributes["WEIGHTS_0"] =
        buffer.AddAccessor(std::move(weights), TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, 4,
                           TINYGLTF_TARGET_ARRAY_BUFFER, false);
  }
  if (vertexCount <= 65535) {
    std::vector<std::uint16_t> shortIndices(indices.begin(), indices.end());
    primitive.indices =
        buffer.AddAccessor(std::move(shortIndices), TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                           TINYGLTF_TYPE_SCALAR, 1, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, false);
  } else {
    primitive.indices =
        buffer.AddAccessor(std::move(indices), TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                           TINYGLTF_TYPE_SCALAR, 1, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, false);
  }
  ++counts.primitives;
  counts.vertices += int(vertexCount);
  counts.triangles += int(faces.size());
  return primitive;
}

// ---- Steps of the document --------------------------------------------------------------------

// The images with one texture each, then the materials. An image is a view of the buffer, or
// a file beside the document when it has a URI.
void AddMaterials(const std::vector<SnapshotMaterial>& materials, const MaterialImages& images,
                  BufferBuilder& buffer, GltfDocument& document) {
  tinygltf::Model& model = document.model;
  UniqueNames imageNames;
  for (const ExportImage& exported : images.images) {
    if (model.samplers.empty()) {
      tinygltf::Sampler sampler;
      sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
      sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
      sampler.wrapS = TINYGLTF_TEXTURE_WRAP_REPEAT;
      sampler.wrapT = TINYGLTF_TEXTURE_WRAP_REPEAT;
      model.samplers.push_back(sampler);
    }
    tinygltf::Image image;
    image.name = imageNames.Claim(exported.name, "image_" + std::to_string(model.images.size()));
    if (!exported.uri.empty()) {
      image.uri = exported.uri;
      document.files.push_back(ExternalFile{exported.uri, exported.png});
    } else {
      image.bufferView = buffer.AddSharedView(exported.png);
      image.mimeType = "image/png";
    }
    model.images.push_back(image);
    tinygltf::Texture texture;
    texture.sampler = 0;
    texture.source = int(model.images.size() - 1);
    model.textures.push_back(texture);
  }
  for (size_t m = 0; m < materials.size(); ++m) {
    tinygltf::Material material;
    material.name = NameOr(materials[m].name, "material_", m);
    // The game's materials carry no metal: a dielectric surface shows the texture as it is.
    material.pbrMetallicRoughness.metallicFactor = 0;
    material.pbrMetallicRoughness.roughnessFactor = 1;
    const int image = m < images.imageOf.size() ? images.imageOf[m] : -1;
    if (image >= 0 && size_t(image) < images.images.size()) {
      material.pbrMetallicRoughness.baseColorTexture.index = image;  // one texture per image
      material.pbrMetallicRoughness.baseColorTexture.texCoord = 0;
      switch (images.images[size_t(image)].alpha) {
        case AlphaMode::Opaque:
          break;
        case AlphaMode::Mask:  // a cut-out: every texel shown or not
          material.alphaMode = "MASK";
          material.alphaCutoff = 0.5;
          break;
        case AlphaMode::Blend:
          material.alphaMode = "BLEND";
          break;
      }
      ++document.counts.texturedMaterials;
    }
    model.materials.push_back(material);
  }
  document.counts.materials = int(model.materials.size());
}

// One mesh and one node per host mesh that has faces (glTF has no mesh without primitives), one
// primitive per material. Gives the mesh nodes.
std::vector<int> AddMeshes(const SceneSnapshot& scene, MeshInput& input, BufferBuilder& buffer,
                           GltfDocument& document) {
  tinygltf::Model& model = document.model;
  std::vector<int> meshNodes;
  for (const SnapshotMesh& hostMesh : scene.meshes) {
    const auto byMaterial = FacesByMaterial(hostMesh, scene.materials.size(), input);
    if (byMaterial.empty()) continue;
    tinygltf::Mesh mesh;
    mesh.name = "mesh_" + std::to_string(hostMesh.index);
    for (const auto& [material, faces] : byMaterial) {
      mesh.primitives.push_back(AddPrimitive(material, faces, input, buffer, document.counts));
    }
    model.meshes.push_back(mesh);
    tinygltf::Node node;
    node.name = mesh.name;
    node.mesh = int(model.meshes.size() - 1);
    if (input.skinned) node.skin = 0;
    model.nodes.push_back(node);
    meshNodes.push_back(int(model.nodes.size() - 1));
  }
  document.counts.meshes = int(model.meshes.size());
  if (input.skippedFaces > 0) {
    document.warnings.push_back(std::to_string(input.skippedFaces) +
                                " face(s) name a vertex the host does not hold; left out");
  }
  if (input.nonFinite > 0) {
    document.warnings.push_back(std::to_string(input.nonFinite) +
                                " non-finite position or texture coordinate(s) written as 0");
  }
  return meshNodes;
}

// One node per bone under its parent, bone b at the model's next node + b. Gives the node at the
// top of the skeleton: the one root bone's node or, when the bones form more than one tree (roots
// made by cycles and missing parents among them), one extra node over every root bone, so that the
// skin's joints have a common root. Without bones, -1.
int AddBoneNodes(const std::vector<SnapshotBone>& bones, const Skeleton& skeleton,
                 tinygltf::Model& model) {
  const int firstBoneNode = int(model.nodes.size());
  const int boneCount = int(bones.size());
  for (int b = 0; b < boneCount; ++b) {
    tinygltf::Node node;
    node.name = NameOr(bones[size_t(b)].name, "bone_", size_t(b));
    const Vec3& t = skeleton.translation[size_t(b)];
    const Quat& q = skeleton.rotation[size_t(b)];
    const Vec3& s = skeleton.scale[size_t(b)];
    node.translation = {t[0], t[1], t[2]};
    node.rotation = {q[0], q[1], q[2], q[3]};
    node.scale = {s[0], s[1], s[2]};
    model.nodes.push_back(node);
  }
  std::vector<int> roots;
  for (int b = 0; b < boneCount; ++b) {
    const int parent = skeleton.parent[size_t(b)];
    if (parent >= 0) {
      model.nodes[size_t(firstBoneNode + parent)].children.push_back(firstBoneNode + b);
    } else {
      roots.push_back(firstBoneNode + b);
    }
  }
  if (roots.size() <= 1) return roots.empty() ? -1 : roots[0];
  // The extra node has the identity transform: the bones' world matrices stay as they are.
  tinygltf::Node top;
  top.name = "skeleton_root";
  top.children = std::move(roots);
  model.nodes.push_back(std::move(top));
  return int(model.nodes.size() - 1);
}

// The skin over every bone, with inverse bind matrices that undo each bone's world matrix.
void AddSkin(const Skeleton& skeleton, int firstBoneNode, int skeletonTop, BufferBuilder& buffer,
             GltfDocument& document) {
  const int boneCount = int(skeleton.parent.size());
  tinygltf::Skin skin;
  skin.name = "skeleton";
  std::vector<float> inverseBind;
  inverseBind.reserve(size_t(boneCount) * 16);
  int singular = 0;
  for (int b = 0; b < boneCount; ++b) {
    skin.joints.push_back(firstBoneNode + b);
    Matrix inverse{};
    if (!InvertAffine(skeleton.world[size_t(b)], &inverse)) {
      ++singular;
      inverse = IdentityMatrix();
    }
    // glTF matrices are stored column by column.
    for (size_t column = 0; column < 4; ++column) {
      for (size_t row = 0; row < 4; ++row) inverseBind.push_back(float(inverse[row * 4 + column]));
    }
  }
  if (singular > 0) {
    document.warnings.push_back(std::to_string(singular) +
                                " bone(s) with a singular bind matrix get the identity as inverse");
  }
  skin.inverseBindMatrices = buffer.AddAccessor(
      std::move(inverseBind), TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, 16, -1, false);
  skin.skeleton = skeletonTop;
  document.model.skins.push_back(skin);
  document.counts.joints = boneCount;
}

// The times and values of one channel, as its sampler takes them.
struct Channel {
  std::vector<float> times;
  std::vector<float> values;  // `components` floats a key
};

// The channel of a track's keys of one kind, each key's value made by `value`: the keys as
// OrderKeys leaves them. The host's keys come finite, from time 0 on and in order as a rule, and
// then go straight into the channel.
template <class Key, class Value>
Channel MakeChannel(const std::vector<Key>& keys, int components, Value value) {
  Channel channel;
  const size_t n = size_t(components);
  channel.times.resize(keys.size());
  channel.values.resize(keys.size() * n);
  bool ready = true;
  for (size_t k = 0; k < keys.size(); ++k) {
    const float time = keys[k].time;
    const std::array<float, 4> made = value(keys[k]);
    channel.times[k] = time;
    bool finite = std::isfinite(time);
    for (size_t c = 0; c < n; ++c) {
      channel.values[k * n + c] = made[c];
      finite = finite && std::isfinite(made[c]);
    }
    ready = ready && finite && time >= 0 && (k == 0 || time > channel.times[k - 1]);
  }
  if (ready) return channel;
  std::vector<ChannelKey> ordered(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    ordered[k].time = channel.times[k];
    for (size_t c = 0; c < n; ++c) ordered[k].value[c] = channel.values[k * n + c];
  }
  ordered = OrderKeys(std::move(ordered), components);
  channel.times.resize(ordered.size());
  channel.values.resize(ordered.size() * n);
  for (size_t k = 0; k < ordered.size(); ++k) {
    channel.times[k] = ordered[k].time;
    for (size_t c = 0; c < n; ++c) channel.values[k * n + c] = ordered[k].value[c];
  }
  return channel;
}

// The channels of one animation, sampled LINEAR. Channels with the same key times share their
// input accessor.
class ChannelWriter {
 public:
  ChannelWriter(tinygltf::Animation& animation, int firstBoneNode, BufferBuilder& buffer)
      : animation_(animation), firstBoneNode_(firstBoneNode), buffer_(buffer) {}

  void Add(int bone, const char* path, Channel channel, int components) {
    if (channel.times.empty() || !targets_.emplace(bone, path).second) return;
    auto input = inputOf_.find(channel.times);
    if (input == inputOf_.end()) {
      const int accessor = buffer_.AddAccessor(channel.times, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                               TINYGLTF_TYPE_SCALAR, 1, -1, true);
      input = inputOf_.emplace(std::move(channel.times), accessor).first;
    }
    tinygltf::AnimationSampler sampler;
    sampler.input = input->second;
    sampler.output = buffer_.AddAccessor(std::move(channel.values), TINYGLTF_COMPONENT_TYPE_FLOAT,
                                         components == 4 ? TINYGLTF_TYPE_VEC4 : TINYGLTF_TYPE_VEC3,
                                         size_t(components), -1, false);
    sampler.interpolation = "LINEAR";
    animation_.samplers.push_back(sampler);
    tinygltf::AnimationChannel channelOut;
    channelOut.sampler = int(animation_.samplers.size() - 1);
    channelOut.target_node = firstBoneNode_ + bone;
    channelOut.target_path = path;
    animation_.channels.push_back(channelOut);
  }

 private:
  tinygltf::Animation& animation_;
  int firstBoneNode_;
  BufferBuilder& buffer_;
  std::map<std::vector<float>, int> inputOf_;
  std::set<std::pair<int, std::string>> targets_;
};

// One glTF animation per host animation that has keys for a bone; the host holds keys relative to
// the bind pose, glTF wants them absolute: each key composed with the bone's bind transform.
void AddAnimations(const std::vector<SnapshotAnimation>& animations, const Skeleton& skeleton,
                   int firstBoneNode, BufferBuilder& buffer, GltfDocument& document) {
  const int boneCount = int(skeleton.parent.size());
  for (size_t a = 0; a < animations.size(); ++a) {
    const SnapshotAnimation& hostAnimation = animations[a];
    tinygltf::Animation animation;
    animation.name = NameOr(hostAnimation.name, "animation_", a);
    ChannelWriter channels(animation, firstBoneNode, buffer);
    for (const SnapshotTrack& track : hostAnimation.tracks) {
      const int bone = track.bone;
      if (bone < 0 || bone >= boneCount) continue;
      const Vec3& t = skeleton.translation[size_t(bone)];
      const Quat& q = skeleton.rotation[size_t(bone)];
      const Vec3& s = skeleton.scale[size_t(bone)];
      const Matrix turn = RotationMatrix(q);  // once for all the bone's translation keys
      channels.Add(bone, "translation",
                   MakeChannel(track.translation, 3,
                               [&](const VectorKey& key) {
                                 const Vec3 turned = Rotate(turn, {key.x, key.y, key.z});
                                 return std::array<float, 4>{t[0] + turned[0], t[1] + turned[1],
                                                             t[2] + turned[2], 0};
                               }),
                   3);
      channels.Add(
          bone, "rotation",
          MakeChannel(
              track.rotation, 4,
              [&](const RotationKey& key) {
                return QuatNormalize(QuatMultiply(q, QuatNormalize({key.x, key.y, key.z, key.w})));
              }),
          4);
      channels.Add(
          bone, "scale",
          MakeChannel(track.scale, 3,
                      [&](const VectorKey& key) {
                        return std::array<float, 4>{s[0] * key.x, s[1] * key.y, s[2] * key.z, 0};
                      }),
          3);
    }
    if (animation.channels.empty()) {
      document.warnings.push_back("animation \"" + animation.name +
                                  "\" has no keys for any bone; left out");
      continue;
    }
    document.counts.channels += int(animation.channels.size());
    document.model.animations.push_back(std::move(animation));
    document.animationSources.push_back(int(a));
  }
  document.counts.animations = int(document.model.animations.size());
}

// Makes the names of each kind unique. The bones claim theirs before the other nodes: theirs come
// from the model file, the others' are made here.
void MakeNamesUnique(int firstBoneNode, int boneCount, tinygltf::Model& model) {
  UniqueNames nodes;
  for (int b = 0; b < boneCount; ++b) {
    std::string& name = model.nodes[size_t(firstBoneNode + b)].name;
    name = nodes.Claim(name, "bone_" + std::to_string(b));
  }
  for (size_t n = 0; n < model.nodes.size(); ++n) {
    if (int(n) >= firstBoneNode && int(n) < firstBoneNode + boneCount) continue;
    model.nodes[n].name = nodes.Claim(model.nodes[n].name, "node_" + std::to_string(n));
  }
  const auto unique = [](auto& objects, const char* kind) {
    UniqueNames names;
    for (size_t i = 0; i < objects.size(); ++i) {
      objects[i].name = names.Claim(objects[i].name, kind + std::to_string(i));
    }
  };
  unique(model.meshes, "mesh_");
  unique(model.materials, "material_");
  unique(model.skins, "skin_");
  unique(model.animations, "animation_");
}

// The one scene: the mesh nodes and the top of the skeleton.
void AddScene(const std::vector<int>& meshNodes, int skeletonTop, tinygltf::Model& model) {
  tinygltf::Scene scene;
  scene.name = "scene";
  scene.nodes = meshNodes;
  if (skeletonTop >= 0) scene.nodes.push_back(skeletonTop);
  model.scenes.push_back(scene);
  model.defaultScene = 0;
}

}  // namespace

std::vector<ChannelKey> OrderKeys(std::vector<ChannelKey> keys, int components) {
  // In place: the keys kept move to the front.
  size_t kept = 0;
  for (ChannelKey& key : keys) {
    bool finite = std::isfinite(key.time);
    for (int c = 0; c < components; ++c) finite = finite && std::isfinite(key.value[size_t(c)]);
    if (!finite) continue;
    if (key.time < 0) key.time = 0;
    keys[kept++] = key;
  }
  keys.resize(kept);
  const auto earlier = [](const ChannelKey& a, const ChannelKey& b) { return a.time < b.time; };
  // The host's keys come in order of time as a rule; only those that do not are sorted.
  if (!std::is_sorted(keys.begin(), keys.end(), earlier)) {
    std::stable_sort(keys.begin(), keys.end(), earlier);
  }
  size_t merged = 0;
  for (size_t k = 0; k < keys.size(); ++k) {
    if (merged > 0 && keys[merged - 1].time == keys[k].time) {
      keys[merged - 1] = keys[k];
    } else {
      keys[merged++] = keys[k];
    }
  }
  keys.resize(merged);
  return keys;
}

namespace {

// The influences of `count` bones with the given sums of weight: the four largest sums, largest
// first (of equal ones the first), scaled to sum 1; the root alone when none is usable.
inline Influences LargestFour(const int* bones, const double* sums, size_t count, int rootBone) {
  // The usable sums in that order, by an insertion that passes over equal sums: at most four
  // of them are kept, so a sum below the fourth goes nowhere.
  std::array<size_t, 4> top;
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!(sums[i] > 0)) continue;
    size_t at = kept;
    while (at > 0 && sums[top[at - 1]] < sums[i]) --at;
    if (at == top.size()) continue;
    if (kept < top.size()) ++kept;
    for (size_t k = kept - 1; k > at; --k) top[k] = top[k - 1];
    top[at] = i;
  }
  double total = 0;
  for (size_t k = 0; k < kept; ++k) total += sums[top[k]];
  Influences influences;
  if (kept == 0 || !(total > 0) || !std::isfinite(total)) {
    influences.joints[0] = std::uint16_t(std::max(rootBone, 0));
    influences.weights[0] = 1;
    return influences;
  }
  for (size_t k = 0; k < kept; ++k) {
    influences.joints[k] = std::uint16_t(bones[top[k]]);
    influences.weights[k] = float(sums[top[k]] / total);
  }
  return influences;
}

// The sum of each bone's weights into `bones` and `sums` (room for every entry), in the order
// the bones first appear; gives how many bones there are.
inline size_t SumByBone(std::span<const SkinWeight> entries, int boneCount, int* bones,
                        double* sums) {
  size_t count = 0;
  for (const SkinWeight& entry : entries) {
    if (entry.bone < 0 || entry.bone >= boneCount) continue;
    if (!(entry.weight > 0) || !std::isfinite(entry.weight)) continue;
    size_t i = 0;
    while (i < count && bones[i] != entry.bone) ++i;
    if (i < count) {
      sums[i] += entry.weight;
    } else {
      bones[count] = entry.bone;
      sums[count++] = entry.weight;
    }
  }
  return count;
}

}  // namespace

Influences SkinInfluences(std::span<const SkinWeight> entries, int boneCount, int rootBone) {
  // They stay on the stack unless there are more than eight.
  constexpr size_t kFew = 8;
  int bones[kFew];
  double sums[kFew];
  const size_t n = entries.size();
  // As most vertices have them: at most four usable entries of distinct bones, each its own sum,
  // taken as they are without the search for a bone seen before.
  bool plain = n > 0 && n <= 4;
  for (size_t i = 0; plain && i < n; ++i) {
    const SkinWeight& entry = entries[i];
    plain = entry.bone >= 0 && entry.bone < boneCount && entry.weight > 0 &&
            entry.weight <= std::numeric_limits<float>::max();
    for (size_t j = 0; plain && j < i; ++j) plain = entries[j].bone != entry.bone;
    bones[i] = entry.bone;
    sums[i] = entry.weight;
  }
  if (plain) return LargestFour(bones, sums, n, rootBone);
  if (n <= kFew)
    return LargestFour(bones, sums, SumByBone(entries, boneCount, bones, sums), rootBone);
  std::vector<int> manyBones(n);
  std::vector<double> manySums(n);
  const size_t count = SumByBone(entries, boneCount, manyBones.data(), manySums.data());
  return LargestFour(manyBones.data(), manySums.data(), count, rootBone);
}

GltfDocument BuildGltf(const SceneSnapshot& scene, const MaterialImages& images) {
  GltfDocument document;
  tinygltf::Model& model = document.model;
  model.asset.version = "2.0";
  model.asset.generator = "vexmara-import";
  BufferBuilder buffer(document);

  AddMaterials(scene.materials, images, buffer, document);

  const int boneCount = int(scene.bones.size());
  const bool skinned = boneCount > 0 && boneCount <= 65536;
  if (boneCount > 65536) {
    document.warnings.push_back("more than 65536 bones: the meshes are written without a skin");
  }
  const Skeleton skeleton = MakeSkeleton(scene.bones);
  MeshInput input{scene, skinned, boneCount, skeleton.rootBone, VertexSplit(scene.vertices.size())};
  const std::vector<int> meshNodes = AddMeshes(scene, input, buffer, document);

  const int firstBoneNode = int(model.nodes.size());
  const int skeletonTop = AddBoneNodes(scene.bones, skeleton, model);
  if (skinned) AddSkin(skeleton, firstBoneNode, skeletonTop, buffer, document);
  AddAnimations(scene.animations, skeleton, firstBoneNode, buffer, document);
  AddScene(meshNodes, skeletonTop, model);
  MakeNamesUnique(firstBoneNode, boneCount, model);
  return document;
}
}  // namespace vexmara::cli
