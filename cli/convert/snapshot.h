// What the reference host received from an import, taken out of its records as the glTF export
// takes it: every name and path converted once to UTF-8 here, and the counts of each kind of
// object.
#pragma once

#include <string>

#include "cli/gltf/scene_snapshot.h"
#include "host/host.h"

namespace vexmara::cli {

// A host text as UTF-8. The wide half is what the host shows; it is empty when the plug-in could
// not convert a narrow name (on POSIX a name that is not UTF-8, such as the bytes FF FE). Then
// the narrow half is read: as UTF-8 where it is valid, otherwise as Windows-1252, the code page
// in which the Windows build converts it. Empty only when both halves are.
std::string HostText(const std::u16string& wide, const std::string& narrow);

// The host gives up its meshes' faces as they are copied: after this it holds none.
SceneSnapshot TakeSnapshot(host::Host& host);

}  // namespace vexmara::cli
