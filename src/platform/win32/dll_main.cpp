// Library entry on Windows: the plug-in starts no threads and needs no per-thread set-up, so
// thread attach and detach notifications are turned off.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
