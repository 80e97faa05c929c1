// The loader of a program that has the plug-in linked in, where there is no dynamic loader (the
// WebAssembly module of the page): "opening" the library gives one table of the plug-in's
// exports, and a symbol is looked up in it by name, as dlsym and GetProcAddress look one up in a
// loaded library. The host's side declares the exports itself, with its own types, and never
// includes the plug-in's headers; the names and types are those of the library's export list.
#include <cstdint>
#include <cstring>

#include "host/loader.h"

extern "C" {
// The plug-in's exports, as the host calls them.
std::int32_t PluginVersion();
std::int32_t PluginProc(std::int32_t message, void* descriptor);
void SetScriptedDialog(const void* script);
std::int32_t GetDialogText(std::int32_t controlId, std::uint16_t* out, std::int32_t units);
std::int32_t GetDialogListLine(std::int32_t line, std::uint16_t* out, std::int32_t units);
std::int32_t GetDialogCheck(std::int32_t controlId);
void ResetImportOptions();
using NameVisitor = void (*)(void* context, const char* name);
std::int32_t ListAnimationTrackNames(const std::uint16_t* path, NameVisitor visit, void* context);
std::int32_t ListModelBoneNames(NameVisitor visit, void* context);
}

namespace vexmara::host::loader {
namespace {

struct Export {
  const char* name;
  void* address;
};

// Function addresses are kept as data addresses, as the other loaders hand them out.
template <class Function>
void* Address(Function* function) {
  return reinterpret_cast<void*>(function);
}

const Export kExports[] = {
    {"PluginVersion", Address(&PluginVersion)},
    {"PluginProc", Address(&PluginProc)},
    {"SetScriptedDialog", Address(&SetScriptedDialog)},
    {"GetDialogText", Address(&GetDialogText)},
    {"GetDialogListLine", Address(&GetDialogListLine)},
    {"GetDialogCheck", Address(&GetDialogCheck)},
    {"ResetImportOptions", Address(&ResetImportOptions)},
    {"ListAnimationTrackNames", Address(&ListAnimationTrackNames)},
    {"ListModelBoneNames", Address(&ListModelBoneNames)},
};

}  // namespace

// Any path names the one linked-in library; its handle is the table.
void* OpenLibrary(const std::string& /*path*/, std::string& /*error*/) {
  return const_cast<Export*>(kExports);
}

void* FindSymbol(void* library, const char* name) {
  if (library != kExports || name == nullptr) return nullptr;
  for (const Export& entry : kExports) {
    if (std::strcmp(entry.name, name) == 0) return entry.address;
  }
  return nullptr;
}

// The linked-in library stays: its module-wide state lives as long as the program.
void CloseLibrary(void* /*library*/) {}

}  // namespace vexmara::host::loader
