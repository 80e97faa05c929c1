// The library's exports that a folder batch uses to pick each model's animation files: the bone
// names of an animation file's tracks, read by the import's own reader, and the bone names of
// the model that the last read message left in the library. Declared here from the client's
// side and found by name in the loaded library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexmara::cli {

extern "C" {
using NameVisitorFunction = void (*)(void* context, const char* name);
using ListAnimationTrackNamesFunction = std::int32_t (*)(const std::uint16_t* path,
                                                         NameVisitorFunction visit, void* context);
using ListModelBoneNamesFunction = std::int32_t (*)(NameVisitorFunction visit, void* context);
}

// What the library's reader made of one animation file.
enum class TrackNamesRead {
  Complete,    // the file was parsed completely
  Rejected,    // the parse stopped partway; the names are those of the tracks read before
  Unreadable,  // the file could not be read at all; no names
};

struct TrackNames {
  TrackNamesRead read = TrackNamesRead::Unreadable;
  std::vector<std::string> names;  // in track order, as the file has them
};

class NameExports {
 public:
  // Looks the exports up in a loaded library (its module handle). False, with the missing name
  // in `error`, when one is absent.
  bool Find(void* library, std::string* error);

  TrackNames AnimationTrackNames(const std::u16string& path) const;
  // The bones of the model read by the last read message, in model order. False (and no
  // names) when they could not all be had.
  bool ModelBoneNames(std::vector<std::string>* names) const;

 private:
  ListAnimationTrackNamesFunction tracks_ = nullptr;
  ListModelBoneNamesFunction bones_ = nullptr;
};

}  // namespace vexmara::cli
