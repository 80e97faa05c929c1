#include "cli/gltf/names.h"

#include <algorithm>
#include <cstdio>

namespace vexmara::cli {
namespace {

// A name ending in "." and digits, split into its stem and that number.
bool SplitNumber(const std::string& name, std::string* stem, int* number) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size() || name.size() - dot > 10) return false;
  int value = 0;
  for (size_t i = dot + 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    value = value * 10 + (name[i] - '0');
  }
  *stem = name.substr(0, dot);
  *number = value;
  return true;
}

}  // namespace

std::string UniqueNames::Claim(const std::string& name, const std::string& fallback) {
  const std::string& wanted = name.empty() ? fallback : name;
  if (taken_.insert(wanted).second) return wanted;
  std::string stem = wanted;
  int number = 0;
  SplitNumber(wanted, &stem, &number);  // "a.001" taken: try "a.002" and on, not "a.001.001"
  int& next = nextNumber_[stem];
  for (next = std::max(next, 1);; ++next) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%03d", next);
    std::string candidate = stem + suffix;
    if (taken_.insert(candidate).second) {
      ++next;
      return candidate;
    }
  }
}

}  // namespace vexmara::cli
