// The texture directory scan over fuzzed tex files: a folder of files whose names, sizes and
// contents come from the input, and materials whose slot identifiers do too. The scan, the slot
// assignment and the converted-image lookup must stay inside every buffer and field.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_input.h"
#include "platform/platform.h"
#include "store/model_store.h"
#include "textures/texture_files.h"

namespace fs = std::filesystem;
using namespace vexmara;

namespace {

// Files of one run live in memory when the system offers a RAM-backed folder.
fs::path ScratchRoot() {
  std::error_code error;
  return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

const fs::path& Folder() {
  static const fs::path folder =
      ScratchRoot() / ("vexmara_fuzz_scan_" + std::to_string(::getpid()));
  return folder;
}

const char* const kNames[] = {"a.tex", "B.TEX", "c.Tex", "d.tex.bak", "e.dds",
                              "a.dds", "b.tga", "c.bmp", "sub.tex"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzInput input(data, size);
  std::error_code error;
  fs::remove_all(Folder(), error);
  fs::create_directories(Folder());

  const uint8_t fileCount = input.Take<uint8_t>() % 8;
  for (uint8_t i = 0; i < fileCount; ++i) {
    const uint8_t pick = input.Take<uint8_t>();
    const std::string name = kNames[pick % std::size(kNames)];
    if (name == "sub.tex") {
      fs::create_directories(Folder() / name, error);  // a directory that looks like a tex file
      continue;
    }
    const std::vector<uint8_t> bytes = input.TakeBytes(input.Take<uint8_t>() % 40);
    std::ofstream(Folder() / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  ModelStore store;
  const int32_t materials = input.Take<uint8_t>() % 4;
  if (!store.materials.Reset(materials)) return 0;
  for (Material& material : store.materials) {
    const int32_t slots = input.Take<uint8_t>() % 3;
    if (!material.textureSlots.Reset(slots)) return 0;
    for (TextureRef& slot : material.textureSlots) slot.textureId = input.Take<int8_t>();
  }

  std::u16string directory = Folder().u16string() + (input.Take<uint8_t>() % 2 ? u"/" : u"\\");
  ScanTextureDirectory(store.textureFiles, store.materials, directory.c_str());
  ScanTextureDirectory(store.textureFiles, store.materials,
                       directory.c_str());  // a rescan keeps earlier matches
  for (const Material& material : store.materials) {
    for (const TextureRef& slot : material.textureSlots) {
      if (WideLength(slot.fileName, kPathUnits) >= kPathUnits ||
          WideLength(slot.directory, kPathUnits) >= kPathUnits) {
        std::abort();
      }
      char16_t path[kPathUnits];
      WideCopy(path, kPathUnits, slot.directory);
      WideAppend(path, kPathUnits, slot.fileName);
      FindConvertedImage(path);
      if (WideLength(path, kPathUnits) >= kPathUnits) std::abort();
    }
  }
  for (int32_t id = -2; id < 130; ++id) FindTextureFileById(store.textureFiles, id);
  return 0;
}
