# The sources of the one conversion of a model (convert/ and the rooms below it), relative to
# cli/: the converter's library vexmara_convert and the page's WebAssembly module are both made
# of them, so that neither can leave out what the other has.
set(VEXMARA_CONVERT_SOURCES
  text/path_text.cpp
  text/json_text.cpp
  files/folder_walk.cpp
  files/output_files.cpp
  gltf/document.cpp
  gltf/file.cpp
  gltf/images.cpp
  gltf/math.cpp
  gltf/names.cpp
  convert/animation_match.cpp
  convert/conversion.cpp
  convert/host_codec.cpp
  convert/library_exports.cpp
  convert/snapshot.cpp)
# What the operating system does for the conversion: its files and folders, and on Windows its
# text.
set(VEXMARA_CONVERT_POSIX_SOURCES
  files/folders_posix.cpp
  files/system_files_posix.cpp)
set(VEXMARA_CONVERT_WIN32_SOURCES
  text/win32_text.cpp
  files/folders_win32.cpp
  files/system_files_win32.cpp)
