#include "plugin/plugin_entry.h"

#include "abi/dual_string.h"
#include "model/read_cursor.h"
#include "plugin/import_driver.h"
#include "plugin/name_exports.h"
#include "plugin/read_model_file.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

namespace {

// The rest of the plug-in's module-wide state, for the life of the loaded library: the store and
// the model file's cursor start empty and the options hold their load values; at unload the
// store's destructor empties it and the cursor's releases its buffer. Only the entry points
// below reach these; every stage they run is handed what it reads and writes.
ModelStore modelStore;
ReadCursor modelCursor;
ImportOptions importOptions;

// The plug-in's fixed class identity.
const uint32_t kClassId[4] = {0xA3B0D6D4u, 0x4961FA1Cu, 0xE2660A96u, 0x351EF3A9u};

void AssignText(DualString& field, const char16_t* text) {
  ScopedDualString temporary(text);
  DualStringAssign(field, temporary.value());
}

int32_t Register(PluginDescriptor* descriptor) {
  descriptor->kind = 1;
  descriptor->secondWord = 2;
  descriptor->callback = reinterpret_cast<void*>(&PluginCallback);
  descriptor->id0 = kClassId[0];
  descriptor->id1 = kClassId[1];
  descriptor->id2 = kClassId[2];
  descriptor->id3 = kClassId[3];
  AssignText(descriptor->description, u"Karnath 3 APP Importer\r\n");
  AssignText(descriptor->version, u"3.50.60");
  AssignText(descriptor->filter, u"Karnath 3 (*.app)");
  ScopedDualString extension(u"app");  // cleared on the way out, also if the host unwinds
  return host::RegisterExtension(descriptor, extension.get()) != 0 ? 1 : 0;
}

}  // namespace

int32_t PluginCallback(int32_t message, HostContext* context, void* instance, uint64_t /*unused*/) {
  switch (message) {
    case kMessageReadFile:
      if (context == nullptr) return 0;
      return ReadModelFile(context, modelStore, modelCursor) ? 1 : 0;
    case kMessageImport:
      if (context == nullptr || instance == nullptr) return 0;
      return int32_t(RunImport(context, instance, modelStore, importOptions));
    // The notices that come with each message ask for nothing: every stage is handed the context
    // it works with, so none is kept between messages.
    case kMessageReadFileNotice:
    case kMessageImportNotice:
      return 0;
    default:
      return 0;
  }
}

}  // namespace vexmara

extern "C" int32_t PluginVersion() { return vexmara::kInterfaceVersion; }

extern "C" int32_t PluginProc(int32_t message, vexmara::PluginDescriptor* descriptor) {
  switch (message) {
    case vexmara::kMessageRegister:
      return descriptor == nullptr ? 0 : vexmara::Register(descriptor);
    case vexmara::kMessageQueryVersion:
      return vexmara::kInterfaceVersion;
    default:
      return 1;
  }
}

extern "C" void ResetImportOptions() { vexmara::importOptions = vexmara::ImportOptions{}; }

extern "C" int32_t ListModelBoneNames(VexmaraNameVisitor visit, void* context) {
  return vexmara::ListBoneNames(vexmara::modelStore, visit, context);
}
