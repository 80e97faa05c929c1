# Cross build for 64-bit Windows with mingw-w64's posix thread model: std::thread, std::mutex
# and std::condition_variable are available (libwinpthread, linked statically with -static).
# Used for the Windows test programs, whose test framework needs them; the plug-in itself is
# built with the default win32 model and needs no thread library.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
