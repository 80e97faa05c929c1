# Where libsquish's Debian source lies for a cross build, which scripts/install-deps unpacks
# below a folder of the project's (build-windows/libsquish: libsquish-1.15/ with squish.h and its
# CMakeLists.txt).
#
#   vexmara_find_squish_source(SEARCH_FOLDER GROUP)
#
# sets the cache entry VEXMARA_SQUISH_SOURCE to the newest source below SEARCH_FOLDER, or fails
# the configure saying what to run (scripts/install-deps GROUP). A path chosen by hand is kept while it holds the source; an
# empty or stale one (a configure that ran before the source was fetched) is looked up again, so
# that the configure succeeds once the advised command has run.
include_guard(GLOBAL)

function(vexmara_find_squish_source search_folder group)
  set(help "libsquish's Debian source (scripts/install-deps unpacks it in ${search_folder})")
  if(VEXMARA_SQUISH_SOURCE AND EXISTS ${VEXMARA_SQUISH_SOURCE}/CMakeLists.txt)
    return()
  endif()
  file(GLOB candidates ${search_folder}/libsquish-*/squish.h)
  set(found "")
  if(candidates)
    list(SORT candidates)
    list(POP_BACK candidates newest)
    get_filename_component(found ${newest} DIRECTORY)
  endif()
  if(NOT found OR NOT EXISTS ${found}/CMakeLists.txt)
    message(FATAL_ERROR "libsquish's Debian source was not found in ${search_folder}: "
                        "run scripts/install-deps ${group}")
  endif()
  set(VEXMARA_SQUISH_SOURCE "${found}" CACHE PATH "${help}" FORCE)
endfunction()
