// Vertices, groups and meshes. All submeshes of all geosets share one host vertex list, in
// store order, so a submesh's vertex i is host vertex base + i where base counts the vertices
// of the submeshes before it. Counts come from the vertex and triangle lists themselves, never
// from the file's totals, so a hostile file cannot make the builder index past what it holds.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "scene/stages.h"

namespace vexmara {
namespace {

constexpr int32_t kMaxInfluences = 3;

// The number of vertices in all submeshes, or -1 when it does not fit an int32.
int64_t CountVertices(const ModelStore& store) {
  int64_t total = 0;
  for (const Geoset& geoset : store.geosets) {
    for (const Submesh& submesh : geoset.submeshes) {
      if (submesh.vertices.count > 0) total += submesh.vertices.count;
      if (total > INT32_MAX) return -1;
    }
  }
  return total;
}

}  // namespace

bool BuildVertices(HostContext* context, const ModelStore& store) {
  if (context == nullptr) return false;
  const int64_t total = CountVertices(store);
  if (total < 0) return false;
  if (total == 0) return true;
  if (host::SetVertexCount(context, int32_t(total)) == 0) return false;
  // The host promised `total` records; one that shows fewer would be written past its end.
  HostVertex* vertices = context->vertices.items;
  if (vertices == nullptr || context->vertices.count < total) return false;

  int32_t v = 0;
  for (const Geoset& geoset : store.geosets) {
    for (const Submesh& submesh : geoset.submeshes) {
      for (const Vertex& vertex : submesh.vertices) {
        vertices[v].position[0] = vertex.position[0];
        vertices[v].position[1] = vertex.position[1];
        vertices[v].position[2] = vertex.position[2];
        // The first n influences as they stand: not normalised, sorted or compacted.
        int32_t n = vertex.influenceCount;
        if (n > kMaxInfluences) n = kMaxInfluences;
        if (n > 0) {
          HostVertexWeights* weights = host::SetVertexWeights(context, v, n);
          if (weights != nullptr && weights->entries != nullptr) {
            for (int32_t h = 0; h < n; ++h) {
              weights->entries[h].boneIndex = vertex.boneIndices[h];
              weights->entries[h].weight = vertex.weights[h];
            }
          }
        }
        ++v;
      }
    }
  }
  return true;
}

bool BuildGroups(HostContext* context, const List<Material>& materials, List<Geoset>& geosets,
                 const ImportOptions& options) {
  if (context == nullptr) return false;
  if (geosets.empty()) return true;
  if (options.submeshesAsGroups == 1) {
    // One group per submesh, numbered in creation order; several may share a name.
    int32_t g = 0;
    for (Geoset& geoset : geosets) {
      for (Submesh& submesh : geoset.submeshes) {
        ScopedNarrowText name(submesh.materialName);
        if (host::CreateGroup(context, name.get()) == nullptr) return false;
        submesh.groupIndex = g++;
      }
    }
    return true;
  }
  // Group n stands for material n, whether or not a submesh uses it.
  for (const Material& material : materials) {
    ScopedNarrowText name(material.name);
    if (host::CreateGroup(context, name.get()) == nullptr) return false;
  }
  return true;
}

bool BuildMeshes(HostContext* context, const ModelStore& store, const ImportOptions& options) {
  if (context == nullptr) return false;
  const int64_t total = CountVertices(store);
  if (total < 0) return false;
  const bool groupsPerSubmesh = options.submeshesAsGroups == 1;

  int64_t base = 0;
  for (const Geoset& geoset : store.geosets) {
    for (const Submesh& submesh : geoset.submeshes) {
      HostMesh* mesh = host::CreateMesh(context);
      if (mesh == nullptr) return false;
      const int32_t vertexCount = submesh.vertices.count > 0 ? submesh.vertices.count : 0;
      const int32_t triangleCount = submesh.triangles.count > 0 ? submesh.triangles.count : 0;
      if (triangleCount > 0) {
        if (host::SetFaceCount(mesh, triangleCount) == 0) return false;
        if (mesh->faces == nullptr) return false;
      }

      const int32_t material = submesh.materialIndex;
      const int32_t group = groupsPerSubmesh ? submesh.groupIndex : material;
      // The lists as the host shows them now, after every material and group was made. -1
      // (no material, no group) passes.
      const bool hostHasVertices = context->vertices.items != nullptr;
      if (triangleCount > 0) {
        if (context->groups.items != nullptr && group >= context->groups.count) return false;
        if (context->materials.items != nullptr && material >= context->materials.count)
          return false;
      }

      // A local index below the submesh's vertex count can reach past the host's list only
      // when this submesh ends past it; otherwise the second test cannot fail and is left out.
      const bool globalTested = hostHasVertices && base + vertexCount > total;
      const Triangle* triangles = submesh.triangles.items;
      const Vertex* vertices = submesh.vertices.items;
      // Material and group sit side by side in a face: written as one pair.
      const int32_t materialAndGroup[2] = {material, group};
      static_assert(offsetof(HostFace, groupIndex) ==
                    offsetof(HostFace, materialIndex) + sizeof(int32_t));
      static_assert(offsetof(HostFaceCorner, v) == offsetof(HostFaceCorner, u) + sizeof(float));
      for (int32_t j = 0; j < triangleCount; ++j) {
        const int32_t* local = triangles[j].indices;
        // Every index is tested before the face is written, so a face is either complete or
        // left as the host made it. An unsigned comparison also refuses a negative index.
        for (int c = 0; c < 3; ++c) {
          if (uint32_t(local[c]) >= uint32_t(vertexCount)) return false;
          if (globalTested && base + local[c] >= total) return false;
        }
        HostFace& face = mesh->faces[j];
        int32_t* vertexIndices = face.vertexIndices;
        HostFaceMapping* mapping = face.mapping;
        if (vertexIndices == nullptr || mapping == nullptr) return false;
        HostFaceCorner* corners = mapping->corners;
        if (corners == nullptr) return false;
        std::memcpy(reinterpret_cast<unsigned char*>(&face) + offsetof(HostFace, materialIndex),
                    materialAndGroup, sizeof materialAndGroup);
        for (int c = 0; c < 3; ++c) {
          vertexIndices[c] = int32_t(base + local[c]);
          // u and v side by side, from the vertex's uv to the corner's.
          std::memcpy(reinterpret_cast<unsigned char*>(&corners[c]) + offsetof(HostFaceCorner, u),
                      vertices[local[c]].uv, sizeof(Vertex::uv));
        }
      }
      base += vertexCount;
    }
  }
  return true;
}

}  // namespace vexmara
