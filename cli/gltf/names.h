// Names in the glTF document, unique within each kind of object, as every client needs them
// (assimp refuses a skin with two joints of one name; Blender renames what repeats).
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vexmara::cli {

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
