// The library's entry points: the two exported functions with which the host registers the
// plug-in, and the callback through which it drives every import.
#pragma once

#include <cstdint>

#include "abi/host_interface.h"

#if defined(_WIN32)
#define VEXMARA_EXPORT __declspec(dllexport)
#else
#define VEXMARA_EXPORT __attribute__((visibility("default")))
#endif

namespace vexmara {

constexpr int32_t kInterfaceVersion = 3606;

constexpr int32_t kMessageRegister = 0x10016;
constexpr int32_t kMessageQueryVersion = 0x10017;
constexpr int32_t kMessageReadFile = 0x10018;
constexpr int32_t kMessageReadFileNotice = 0x10019;
constexpr int32_t kMessageImport = 0x1001F;
constexpr int32_t kMessageImportNotice = 0x10020;

int32_t PluginCallback(int32_t message, HostContext* context, void* instance, uint64_t unused);

}  // namespace vexmara

extern "C" {
VEXMARA_EXPORT int32_t PluginVersion();
VEXMARA_EXPORT int32_t PluginProc(int32_t message, vexmara::PluginDescriptor* descriptor);

// For a client that imports many models one after another with the library loaded once: sets the
// choices that the dialog keeps from one import to the next (the texture directory and the three
// boxes) back to their values at load, so that the next import starts as the first import after
// loading does. Everything else an import reads is the read message's, which empties the store
// first. Meant for between imports; it changes nothing of a model already read.
VEXMARA_EXPORT void ResetImportOptions();
}
