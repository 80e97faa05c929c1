// Names in the glTF document: valid UTF-8 taken from the texts the plug-in handed to the host,
// and unique within each kind of object, as every client needs them (assimp refuses a skin with
// two joints of one name; Blender renames what repeats).
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vexmara::cli {

// A host text as UTF-8. The wide half is what the host shows; it is empty when the plug-in could
// not convert a narrow name (on POSIX a name that is not UTF-8, such as the bytes FF FE). Then
// the narrow half is read: as UTF-8 where it is valid, otherwise as Windows-1252, the code page
// in which the Windows build converts it. Empty only when both halves are.
std::string HostText(const std::u16string& wide, const std::string& narrow);

// The names of one kind of object, made unique in the order they are claimed: the first keeps
// its name, a later one gets ".001", ".002", ... in place of any such number it ends in (as
// Blender names copies).
class UniqueNames {
 public:
  // `name`, or `fallback` when it is empty, made unique among the names claimed so far.
  std::string Claim(const std::string& name, const std::string& fallback);

 private:
  std::unordered_set<std::string> taken_;
  std::unordered_map<std::string, int> nextNumber_;  // per stem: the number to try first
};

}  // namespace vexmara::cli
