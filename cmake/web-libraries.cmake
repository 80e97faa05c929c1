# What the web build (the page's WebAssembly module) takes from Debian's packages, compiled with
# emscripten. Defines the targets that the native build gets from find_package:
#
#   nlohmann_json::nlohmann_json   header-only (nlohmann-json3-dev)
#   TinyGLTF::TinyGLTF   tiny_gltf.h (libtinygltf-dev) with its implementation compiled here
#   vexmara_stb          stb_image.h and stb_image_write.h (libstb-dev), header-only
#   vexmara_squish       libsquish, built with emscripten from Debian's own source package, which
#                        `scripts/install-deps web` unpacks in build-web/libsquish
#
# emscripten searches its own system root only, so the headers are copied on their own into the
# build folder and only that copy is included.
include_guard(GLOBAL)

get_filename_component(vexmara_web_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(vexmara_web_third_party ${CMAKE_BINARY_DIR}/third_party)
set(vexmara_web_include ${vexmara_web_third_party}/include)

foreach(header IN ITEMS nlohmann/json.hpp tiny_gltf.h stb/stb_image.h stb/stb_image_write.h)
  if(NOT EXISTS /usr/include/${header})
    message(FATAL_ERROR "/usr/include/${header} is missing: run scripts/install-deps web")
  endif()
endforeach()
file(COPY /usr/include/nlohmann /usr/include/tiny_gltf.h DESTINATION ${vexmara_web_include})
file(COPY /usr/include/stb/stb_image.h /usr/include/stb/stb_image_write.h
     DESTINATION ${vexmara_web_include}/stb)

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${vexmara_web_include})
add_library(vexmara_stb INTERFACE)
target_include_directories(vexmara_stb SYSTEM INTERFACE ${vexmara_web_include})

# tinygltf's implementation, without its own image loading and writing: the export hands it
# images that are PNG files already.
set(vexmara_web_tinygltf ${vexmara_web_third_party}/tiny_gltf.cpp)
file(CONFIGURE OUTPUT ${vexmara_web_tinygltf}
     CONTENT "#define TINYGLTF_IMPLEMENTATION\n#include <tiny_gltf.h>\n")
add_library(vexmara_web_tinygltf STATIC EXCLUDE_FROM_ALL ${vexmara_web_tinygltf})
target_compile_definitions(vexmara_web_tinygltf PUBLIC TINYGLTF_NO_STB_IMAGE
                                                       TINYGLTF_NO_STB_IMAGE_WRITE)
target_link_libraries(vexmara_web_tinygltf PUBLIC nlohmann_json::nlohmann_json)
target_include_directories(vexmara_web_tinygltf SYSTEM PUBLIC ${vexmara_web_include})
add_library(TinyGLTF::TinyGLTF ALIAS vexmara_web_tinygltf)

# libsquish from Debian's source package (the newest unpacked version), as a static library of
# this build, by its own CMake file: no OpenMP, and no SSE2 (it serves only the encoder).
file(GLOB vexmara_web_squish_headers ${vexmara_web_root}/build-web/libsquish/libsquish-*/squish.h)
list(SORT vexmara_web_squish_headers)
list(POP_BACK vexmara_web_squish_headers vexmara_web_squish_header)
if(NOT vexmara_web_squish_header)
  message(FATAL_ERROR "libsquish's Debian source is not in build-web/libsquish: run scripts/install-deps web")
endif()
get_filename_component(vexmara_web_squish ${vexmara_web_squish_header} DIRECTORY)
set(BUILD_SQUISH_WITH_OPENMP OFF CACHE BOOL "" FORCE)
set(BUILD_SQUISH_WITH_SSE2 OFF CACHE BOOL "" FORCE)
set(BUILD_SQUISH_EXTRA OFF CACHE BOOL "" FORCE)
set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
# Its CMake file asks for an old CMake; the policies it gets are its own business.
set(CMAKE_WARN_DEPRECATED OFF CACHE BOOL "" FORCE)
add_subdirectory(${vexmara_web_squish} ${vexmara_web_third_party}/squish EXCLUDE_FROM_ALL)
add_library(vexmara_squish INTERFACE)
target_link_libraries(vexmara_squish INTERFACE squish)
target_include_directories(vexmara_squish SYSTEM INTERFACE ${vexmara_web_squish})
