#include "cli/name_exports.h"

#include "host/loader.h"

namespace vexmara::cli {
namespace {

struct Collected {
  std::vector<std::string> names;
  bool lost = false;  // a name could not be copied
};

// The visitor the library calls with each name. Nothing may unwind into the library, so a name
// that cannot be copied is only noted.
void CollectName(void* context, const char* name) noexcept {
  auto* collected = static_cast<Collected*>(context);
  try {
    collected->names.emplace_back(name != nullptr ? name : "");
  } catch (...) {
    collected->lost = true;
  }
}

}  // namespace

bool NameExports::Find(void* library, std::string* error) {
  *this = NameExports{};
  if (library == nullptr) {
    *error = "the library is not loaded";
    return false;
  }
  // Exports are found as data addresses; calling them as functions is the loader's guarantee.
  tracks_ = reinterpret_cast<ListAnimationTrackNamesFunction>(
      host::loader::FindSymbol(library, "ListAnimationTrackNames"));
  bones_ = reinterpret_cast<ListModelBoneNamesFunction>(
      host::loader::FindSymbol(library, "ListModelBoneNames"));
  const char* missing = tracks_ == nullptr  ? "ListAnimationTrackNames"
                        : bones_ == nullptr ? "ListModelBoneNames"
                                            : nullptr;
  if (missing != nullptr) {
    *error = std::string("the library has no export ") + missing;
    *this = NameExports{};
    return false;
  }
  return true;
}

TrackNames NameExports::AnimationTrackNames(const std::u16string& path) const {
  TrackNames result;
  if (tracks_ == nullptr) return result;
  Collected collected;
  const std::int32_t read =
      tracks_(reinterpret_cast<const std::uint16_t*>(path.c_str()), &CollectName, &collected);
  // Names that could not all be kept say nothing reliable about the file.
  if (collected.lost || read < 0 || read > 1) return result;
  result.read = read == 1 ? TrackNamesRead::Complete : TrackNamesRead::Rejected;
  result.names = std::move(collected.names);
  return result;
}

bool NameExports::ModelBoneNames(std::vector<std::string>* names) const {
  names->clear();
  if (bones_ == nullptr) return false;
  Collected collected;
  const std::int32_t count = bones_(&CollectName, &collected);
  if (collected.lost || count < 0 || std::size_t(count) != collected.names.size()) return false;
  *names = std::move(collected.names);
  return true;
}

}  // namespace vexmara::cli
