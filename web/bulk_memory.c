/* memset and memcpy of the module as WebAssembly's own memory.fill and memory.copy (bulk memory),
 * in place of the C loops of emscripten 3.1.6's libc, which has no build with bulk memory. The
 * import zeroes and copies the host's records by the hundred megabytes. */
#include <stddef.h>

void* memset(void* destination, int value, size_t count) {
  __builtin_memset(destination, value, count);
  return destination;
}

void* memcpy(void* restrict destination, const void* restrict source, size_t count) {
  __builtin_memcpy(destination, source, count);
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  __builtin_memmove(destination, source, count);
  return destination;
}
