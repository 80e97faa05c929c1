// Inputs of the benchmarks, written by the project's own file writers into one folder (the
// environment's VEXMARA_BENCH_INPUTS, or a folder under the system's temporary directory). Each
// input is written the first time a benchmark asks for it in a run, so a filtered run writes
// only what it uses.
//
// Models live together in models/, beside the tex files (and converted dds images) of their
// materials, so that every import finds its textures in the model's own directory, as the
// dialog's default texture directory is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vexmara::bench {

std::filesystem::path InputRoot();

struct InputFile {
  std::filesystem::path path;
  std::u16string widePath;
  uint64_t bytes = 0;
};

// A model of about `vertices` vertices (twice as many triangles), 8 materials, one texture slot
// each, and `bones` bones in `chains` chains, each vertex weighted to `influences` bones (2 or
// 3). Its 8 textures are in the same folder.
const InputFile& SampleModelFile(int32_t vertices, int32_t bones, int32_t chains = 1,
                                 int32_t influences = 2);

// The same model in a folder of its own whose 8 textures are real images (256 x 256 TGA files),
// so that an export decodes and encodes each of them.
const InputFile& TexturedModelFile(int32_t vertices, int32_t bones, int32_t chains,
                                   int32_t influences);

// The bone count that goes with a model size: 50 bones for 10 thousand vertices, 100 for 100
// thousand, 200 for a million.
int32_t BonesForVertices(int32_t vertices);

// An animation with `tracks` tracks (for bones "bone_0" ...) of `keys` keys of each kind, with a
// frame table; `variant` only changes its name, so that many files can be told apart.
const InputFile& SampleAnimationFile(int32_t tracks, int32_t keys, int32_t variant = 0);

// A model without materials, with a small mesh and `bones` bones in a chain, for the skeleton
// and animation transfer at scale.
const InputFile& SkeletonModelFile(int32_t bones);

// A model of `materials` materials, each with one small submesh (a 2 x 2 grid) that names it,
// and 8 bones: the per-submesh material lookup at scale.
const InputFile& ManyMaterialsModelFile(int32_t materials);

// A folder of `files` tex files named tex_00000.tex ..., carrying the identifiers 1000 ...
// 1000 + files - 1, and a model whose 8 materials have files / 8 texture slots each, whose
// identifiers are exactly those (so every slot finds its file).
struct TextureFolder {
  std::filesystem::path directory;
  std::u16string wideDirectory;  // ends in a separator
  InputFile model;
};
const TextureFolder& SampleTextureFolder(int32_t files);

// A game folder for the folder batch: `models` models of about `vertices` vertices (as
// SampleModelFile writes them, with the bones BonesForVertices gives), spread over subfolders of
// 20 models each, every subfolder with the tex files and converted images of its models'
// materials.
std::filesystem::path SampleModelTree(int32_t models, int32_t vertices);

// Writes bytes to a file (replacing it); aborts the run when it cannot.
void WriteInput(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace vexmara::bench
