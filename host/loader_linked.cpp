// The loader of a program that has the plug-in linked into it (the fuzz harness of the export,
// the page's WebAssembly module): there is one library, whatever path names it, and its exports
// are the plug-in's own functions. They are declared here from the host's side, by the names the
// library exports, as every other client of the library declares them; only their addresses are
// taken.
#include <cstdint>
#include <cstring>

#include "host/loader.h"

extern "C" {
std::int32_t PluginVersion();
std::int32_t PluginProc(std::int32_t message, void* descriptor);
void SetScriptedDialog(const void* script);
std::int32_t GetDialogText(std::int32_t controlId, std::uint16_t* out, std::int32_t units);
std::int32_t GetDialogListLine(std::int32_t line, std::uint16_t* out, std::int32_t units);
std::int32_t GetDialogCheck(std::int32_t controlId);
void ResetImportOptions();
std::int32_t ListAnimationTrackNames(const std::uint16_t* path,
                                     void (*visit)(void* context, const char* name), void* context);
std::int32_t ListModelBoneNames(void (*visit)(void* context, const char* name), void* context);
}

namespace vexmara::host::loader {
namespace {

struct Export {
  const char* name;
  void* address;
};

// Function addresses as the data addresses that FindSymbol gives, as dlsym gives them.
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

// The handle of the one library: any non-null address would do.
const char kLinkedLibrary = 0;

}  // namespace

void* OpenLibrary(const std::string&, std::string&) { return const_cast<char*>(&kLinkedLibrary); }

void* FindSymbol(void* library, const char* name) {
  if (library != &kLinkedLibrary || name == nullptr) return nullptr;
  for (const Export& entry : kExports) {
    if (std::strcmp(entry.name, name) == 0) return entry.address;
  }
  return nullptr;
}

void CloseLibrary(void*) {}

}  // namespace vexmara::host::loader
