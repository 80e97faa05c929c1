// A stand-in plug-in library for testing the host's loader and message plumbing. It registers
// "abc" and answers each callback by writing what it received into the context's error text.
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kErrorText = 3912;

struct Dual {
  char16_t wide[260];
  char narrow[260];
};

void WriteText(void* base, std::size_t offset, const char* text) {
  Dual record{};
  for (std::size_t i = 0; text[i] != '\0' && i < 259; ++i) {
    record.wide[i] = static_cast<char16_t>(text[i]);
    record.narrow[i] = text[i];
  }
  std::memcpy(static_cast<unsigned char*>(base) + offset, &record, sizeof record);
}

[[maybe_unused]] std::int32_t Callback(std::int32_t message, void* context, void* instance,
                                       std::uint64_t) {
  if (context == nullptr) {
    return -1;
  }
  char text[96];
  std::snprintf(text, sizeof text, "message %x instance %s", static_cast<unsigned>(message),
                instance != nullptr ? "set" : "null");
  WriteText(context, kErrorText, text);
  return message == 0x10018 ? 1 : 2;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t PluginVersion() { return 4242; }

#ifndef FAKE_WITHOUT_PROC
extern "C" __attribute__((visibility("default"))) std::int32_t PluginProc(std::int32_t message,
                                                                          void* descriptor) {
  if (message != 0x10016 || descriptor == nullptr) {
    return 7;
  }
  auto callback = &Callback;
  std::memcpy(static_cast<unsigned char*>(descriptor) + 40, &callback, sizeof callback);
  Dual extension{};
  WriteText(&extension, 0, "abc");
  void* const* table = nullptr;
  std::memcpy(&table, descriptor, sizeof table);
  auto registerExtension = reinterpret_cast<std::int32_t (*)(void*, const Dual*)>(table[3]);
  return registerExtension(descriptor, &extension) != 0 ? 1 : 0;
}
#endif
