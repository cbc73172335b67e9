# cmake -P script behind the marlox_7z_dll target (see SevenZipDll.cmake). Compiles 7z.dll once
# into PARENT, then copies it into each folder of COPY_TO ("|" separated). Never fails the build:
# when 7z.dll cannot be made it says why and leaves no 7z.dll anywhere.
#
#   PARENT   folder holding the unpacked 7zip-* sources; 7z.dll, its objects and log go here too
#   MAKE     GNU make;  JOBS  parallel jobs;  CC, CXX, RC  the mingw compilers and windres

set(dll ${PARENT}/7z.dll)
set(failed ${PARENT}/7z.dll.failed)
set(log ${PARENT}/build.log)
string(REPLACE "|" ";" copy_to "${COPY_TO}")

function(give_up why)
  file(WRITE ${failed} "${why}\n")
  message(WARNING "7z.dll was not built: ${why}\n"
                  "The tests that need it will skip. Delete ${failed} to try again.")
endfunction()

if(NOT EXISTS ${dll} AND EXISTS ${failed})
  message(STATUS "No 7z.dll: an earlier attempt failed (${log}); delete ${failed} to try again")
elseif(NOT EXISTS ${dll})
  file(GLOB source LIST_DIRECTORIES true ${PARENT}/7zip-*)
  if(NOT source)
    # Nothing to remember: configuring again fetches the sources.
    message(WARNING "7z.dll was not built: no 7zip sources in ${PARENT} (apt-get source 7zip "
                    "failed while configuring); the tests that need it will skip")
  elseif(NOT MAKE)
    message(WARNING "7z.dll was not built: GNU make is missing; the tests that need it will skip")
  else()
    list(GET source 0 source)
    message(STATUS "Building 7z.dll from ${source} (a few minutes, once; log in ${log})")
    string(TIMESTAMP started "%s")
    # The bundle with every archive format, made with its gcc makefile in its MinGW mode (which
    # links libgcc, libstdc++ and winpthread statically). Debian strips the RAR decoders from the
    # sources for their licence, so the RAR handlers stay but without them. There is no
    # assembler for the .asm files here, so the C versions are used. -O1 compiles much faster
    # than the makefile's -O2 and is plenty for the test archives; -s drops the symbols.
    execute_process(
      COMMAND ${MAKE} -C ${source}/CPP/7zip/Bundles/Format7zF -f makefile.gcc -j${JOBS}
              IS_MINGW=1 IS_X64=1 DISABLE_RAR_COMPRESS=1
              CC=${CC} CXX=${CXX} RC=${RC}
              "MY_MKDIR=mkdir -p" "RM=rm -f"
              O=${PARENT}/obj
              "CFLAGS_BASE=-O1 -pipe -c -w -DNDEBUG -D_REENTRANT -D_FILE_OFFSET_BITS=64 -D_LARGEFILE_SOURCE"
              LFLAGS_STRIP=-s
      RESULT_VARIABLE result
      OUTPUT_FILE ${log} ERROR_FILE ${log})
    string(TIMESTAMP finished "%s")
    math(EXPR seconds "${finished} - ${started}")
    if(result EQUAL 0 AND EXISTS ${PARENT}/obj/7z.dll)
      file(COPY_FILE ${PARENT}/obj/7z.dll ${dll})
      message(STATUS "7z.dll built in ${seconds} s")
    else()
      give_up("make failed (${result}) after ${seconds} s; see ${log}")
    endif()
  endif()
endif()

foreach(folder IN LISTS copy_to)
  if(EXISTS ${dll})
    file(MAKE_DIRECTORY ${folder})
    file(COPY_FILE ${dll} ${folder}/7z.dll ONLY_IF_DIFFERENT)
  else()
    file(REMOVE ${folder}/7z.dll)
  endif()
endforeach()
