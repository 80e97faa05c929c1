// The host's scene as a JSON document: what the plug-in registered and built, and how it used
// the host (call counts, unexpected slots, misuse, image accounting).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "host/host.h"

namespace vexmara::host {

nlohmann::json SceneJson(const Host& host);
// The document as text; indent < 0 gives a single line.
std::string SceneJsonText(const Host& host, int indent = 2);

}  // namespace vexmara::host
