// What the C++20 library of Debian's emscripten (3.1.6, an older libc++) lacks and the sources
// use, taken from the compiler, which has it. Included first in every file of the web build.
#pragma once

#ifdef __cplusplus
#include <bit>
#include <memory>
#include <type_traits>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
namespace std {
// An array whose elements are default-initialised: left as they are, for trivial types.
template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t n) {
  return unique_ptr<T>(new remove_extent_t<T>[n]);
}
}  // namespace std
#endif
#endif
