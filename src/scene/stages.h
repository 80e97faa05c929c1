// The stages of a scene build, each turning one part of the model store into host objects. Each
// returns false only for a failure that ends the import; what it made before stays in the host.
#pragma once

#include <cstdint>

#include "abi/dual_string.h"
#include "abi/host_interface.h"
#include "abi/text.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// A narrow model text (a material, group or bone name) as a host text: the wide half converted
// in the current multibyte encoding, the narrow half copied as it is; both cut to their field.
// Cleared when it goes out of scope.
class ScopedNarrowText {
 public:
  explicit ScopedNarrowText(const char* text);
  ~ScopedNarrowText() { DualStringClear(value_); }
  ScopedNarrowText(const ScopedNarrowText&) = delete;
  ScopedNarrowText& operator=(const ScopedNarrowText&) = delete;
  DualString* get() { return &value_; }

 private:
  DualString value_;
};

// Makes the directory of the model file at `sourcePath` the process's current directory, before
// the materials are made; it is not restored afterwards. Nothing when the path has no directory.
void EnterModelDirectory(const char16_t* sourcePath);

// Materials: one host material per model material, in model order, each with the converted
// image of its first texture slot and, with `extractAlphaMaps`, the alpha map in slot 1. False
// only when the host cannot create a material.
bool BuildMaterials(HostContext* context, const ModelStore& store, const ImportOptions& options);

// Loads the image at `path` through the host, derives its alpha map and has the host write it
// beside the image as <name>_A.tga. True when the alpha map was handed to the host to save.
// Every image obtained is released before it returns.
bool ExtractAlphaMap(HostContext* context, const char16_t* path);

// `path` with its extension (from the last ".") replaced by "_A.tga"; appended when the file
// name has no extension. False when the result would not fit a 260-unit path.
bool MakeAlphaMapPath(const char16_t* path, char16_t out[kPathUnits]);

// The shared host vertex list with positions and skin weights, the groups (one per material,
// or with `submeshesAsGroups` one per submesh, whose groupIndex it then sets), and one host mesh
// per submesh.
bool BuildVertices(HostContext* context, const ModelStore& store);
bool BuildGroups(HostContext* context, const List<Material>& materials, List<Geoset>& geosets,
                 const ImportOptions& options);
bool BuildMeshes(HostContext* context, const ModelStore& store, const ImportOptions& options);

// One host bone per model bone, in model order, with its parent and bind transform.
bool BuildBones(HostContext* context, const ModelStore& store);

// Cleans every animation's key times and scales in place, then sends each animation that fits
// the skeleton to the host, re-timed to 15 frames per second and relative to the bind pose;
// each bone's trackIndex is left matched to the last animation sent.
bool BuildAnimations(HostContext* context, List<Bone>& bones, List<Animation>& animations);

// Sets every bone's trackIndex to the track of `animation` that drives it, or -1.
void MatchBoneTracks(List<Bone>& bones, const Animation& animation);

}  // namespace vexmara
