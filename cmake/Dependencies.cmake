# The compression libraries the archive library decodes with, for whichever target is built.

# LZMA: the LZMA SDK decoder that Debian's lzma-dev installs, compiled into the library.
set(MARLOX_LZMA_SDK /usr/include/lzma CACHE PATH "Folder holding LzmaDec.c")
add_library(marlox_lzmadec STATIC ${MARLOX_LZMA_SDK}/LzmaDec.c)
target_include_directories(marlox_lzmadec SYSTEM PUBLIC ${MARLOX_LZMA_SDK})
if(WIN32)
  target_compile_definitions(marlox_lzmadec PUBLIC WIN32_LEAN_AND_MEAN)
endif()

if(WIN32)
  # zlib from libz-mingw-w64-dev, linked statically.
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)

  # libbz2 from Debian's own bzip2 source package, fetched into the build folder.
  set(MARLOX_BZIP2_PARENT ${CMAKE_BINARY_DIR}/deps/bzip2)
  file(GLOB MARLOX_BZIP2_SOURCE_DIR LIST_DIRECTORIES true ${MARLOX_BZIP2_PARENT}/bzip2-*)
  if(NOT MARLOX_BZIP2_SOURCE_DIR)
    file(MAKE_DIRECTORY ${MARLOX_BZIP2_PARENT})
    message(STATUS "Fetching Debian's bzip2 source package into ${MARLOX_BZIP2_PARENT}")
    execute_process(COMMAND apt-get source bzip2
                    WORKING_DIRECTORY ${MARLOX_BZIP2_PARENT}
                    RESULT_VARIABLE fetch_result OUTPUT_QUIET ERROR_QUIET)
    file(GLOB MARLOX_BZIP2_SOURCE_DIR LIST_DIRECTORIES true ${MARLOX_BZIP2_PARENT}/bzip2-*)
    if(NOT fetch_result EQUAL 0 OR NOT MARLOX_BZIP2_SOURCE_DIR)
      message(FATAL_ERROR "apt-get source bzip2 failed: scripts/setup adds the deb-src entry it needs")
    endif()
  endif()
  list(GET MARLOX_BZIP2_SOURCE_DIR 0 MARLOX_BZIP2_SOURCE_DIR)
  add_library(marlox_bz2 STATIC
    ${MARLOX_BZIP2_SOURCE_DIR}/blocksort.c
    ${MARLOX_BZIP2_SOURCE_DIR}/bzlib.c
    ${MARLOX_BZIP2_SOURCE_DIR}/compress.c
    ${MARLOX_BZIP2_SOURCE_DIR}/crctable.c
    ${MARLOX_BZIP2_SOURCE_DIR}/decompress.c
    ${MARLOX_BZIP2_SOURCE_DIR}/huffman.c
    ${MARLOX_BZIP2_SOURCE_DIR}/randtable.c)
  target_include_directories(marlox_bz2 SYSTEM PUBLIC ${MARLOX_BZIP2_SOURCE_DIR})
  target_compile_options(marlox_bz2 PRIVATE -w)
  add_library(BZip2::BZip2 ALIAS marlox_bz2)
else()
  find_package(ZLIB REQUIRED)
  find_package(BZip2 REQUIRED)
endif()
