// Generated sample content: skinned models and animations of any size, described as data for
// the file writers. Used for the demo sample, fuzz seeds and benchmarks. Deterministic: the same
// parameters always give the same description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "writer/ani_writer.h"
#include "writer/app_writer.h"

namespace vexmara::writer {

struct SampleModelShape {
  uint32_t formatVersion = 260;
  int32_t vertices = 64;          // about this many, rounded to whole grid rows
  int32_t bones = 4;              // chains of bones, each from a root
  int32_t chains = 1;             // the bones split into this many chains of equal length
  int32_t influences = 2;         // bones weighting a vertex: 2 (0.75, 0.25) or 3 (0.5, 0.3, 0.2)
  int32_t materials = 2;          // one submesh per material, spread over the two geosets
  int32_t variants = 1;           // variant entries per material
  int32_t firstTextureId = 1000;  // material m has texture id firstTextureId + m
  // Texture entries per material (the first variant's are its texture slots). Entry t of
  // material m names texture firstTextureId + m + t * materials (+ 100 per later variant).
  int32_t texturesPerMaterial = 1;
};

// A grid of vertices (twice as many triangles), skinned to chains of bones, with one submesh
// per material named "material_<m>" and bones named "bone_<b>".
AppModel SampleModel(const SampleModelShape& shape);

struct SampleAnimationShape {
  uint32_t version = 117;
  std::string name = "sample";
  int32_t tracks = 4;      // tracks for "bone_0" .. "bone_<n-1>"
  int32_t keys = 16;       // keys per kind and track, at frames 0 .. keys-1
  bool frameTable = true;  // frame times at 1/30 s steps
};

AniFile SampleAnimation(const SampleAnimationShape& shape);

// The bytes of a texture ("tex") file naming texture `textureId`: the identifier is the
// little-endian int32 at byte 16, followed by a few bytes of image data.
std::vector<uint8_t> SampleTextureFile(int32_t textureId);

}  // namespace vexmara::writer
