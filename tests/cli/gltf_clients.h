// The outside clients that read what vexmara-import writes: the Khronos glTF Validator (npm
// gltf-validator on Node.js), assimp's command line, and Blender's glTF importer. Each reads a
// list of files in one process and gives what it made of each; a client that cannot run fails
// the test, naming what to install.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_program.h"

namespace vexmara::testing {

// The validator's report of each file, by path as given.
inline std::map<std::string, nlohmann::json> ValidateGltf(
    const std::vector<std::filesystem::path>& files, const std::filesystem::path& folder) {
  std::map<std::string, nlohmann::json> reports;
  const std::filesystem::path modules = VEXMARA_NODE_MODULES;
  if (!std::filesystem::exists(modules / "gltf-validator")) {
    ADD_FAILURE() << "gltf-validator is not installed in " << modules
                  << ": run scripts/install-deps cli";
    return reports;
  }
  std::vector<std::string> arguments{VEXMARA_VALIDATOR_SCRIPT};
  for (const auto& file : files) arguments.push_back(file.string());
  const ProgramRun run = RunProgram("node", arguments, folder, {"NODE_PATH=" + modules.string()});
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const auto report = nlohmann::json::parse(line, nullptr, false);
    if (!report.is_discarded() && report.contains("file")) reports[report["file"]] = report;
  }
  if (reports.size() != files.size()) {
    ADD_FAILURE() << "no report from the validator for every file (exit " << run.exitCode << "):\n"
                  << run.out << run.err;
  }
  return reports;
}

// What `assimp info` says of a file: the numbers of its summary and, per mesh, its bone count.
struct AssimpInfo {
  bool loaded = false;
  std::string output;                 // what it printed, for messages
  std::map<std::string, int> counts;  // "Meshes", "Bones", "Animations", "Faces", ...
  std::vector<int> bonesPerMesh;
};

inline AssimpInfo AssimpLoad(const std::filesystem::path& file,
                             const std::filesystem::path& folder) {
  AssimpInfo info;
  const ProgramRun run = RunProgram("assimp", {"info", file.string()}, folder);
  info.output = run.out + run.err;
  info.loaded = run.exitCode == 0;
  if (run.exitCode == 127) ADD_FAILURE() << "assimp did not run: is assimp-utils installed?";
  std::istringstream lines(run.out);
  const std::regex count(R"(^([A-Z][A-Za-z ]*[a-z]):\s+(\d+)\s*$)");
  const std::regex mesh(R"(^\s+\d+ \(.*\): \[(\d+) / (\d+) / (\d+) \|)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_match(line, match, count)) info.counts[match[1]] = std::stoi(match[2]);
    if (std::regex_search(line, match, mesh)) info.bonesPerMesh.push_back(std::stoi(match[2]));
  }
  return info;
}

// What Blender built from each file (cli/tools/blender-import.py), by path as given. Blender runs
// with Debian's own PATH and no Python variables of the caller's, which would make it load
// another Python library than its own and lose numpy.
inline std::map<std::string, nlohmann::json> BlenderImport(
    const std::vector<std::filesystem::path>& files, const std::filesystem::path& folder) {
  std::map<std::string, nlohmann::json> built;
  ProgramOptions options;
  options.unset = {"PYTHONHOME", "PYTHONPATH", "VIRTUAL_ENV", "PYENV_VERSION"};
  options.environment = {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"};
  std::vector<std::string> arguments{"-b", "--factory-startup", "--python-exit-code",
                                     "1",  "--python",          VEXMARA_BLENDER_SCRIPT,
                                     "--"};
  for (const auto& file : files) arguments.push_back(file.string());
  const ProgramRun run = RunProgram("/usr/bin/blender", arguments, folder, options);
  if (run.exitCode == 127 || !std::filesystem::exists("/usr/bin/blender")) {
    ADD_FAILURE() << "Blender did not run: run scripts/install-deps tests";
    return built;
  }
  std::istringstream lines(run.out);
  const std::string marker = "BLENDER-IMPORT ";
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(marker, 0) != 0) continue;
    const auto report = nlohmann::json::parse(line.substr(marker.size()), nullptr, false);
    if (!report.is_discarded()) built[report["file"]] = report;
  }
  if (built.size() != files.size()) {
    ADD_FAILURE() << "Blender did not describe every file (exit " << run.exitCode << "):\n"
                  << run.out << run.err;
  }
  return built;
}

}  // namespace vexmara::testing
