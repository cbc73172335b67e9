# Compiler settings shared by every target of the tree.

set(MARLOX_WARNINGS -Wall -Wextra)
if(MARLOX_WERROR)
  list(APPEND MARLOX_WARNINGS -Werror)
endif()

# Applied to our own targets only; dependencies built in the tree keep their own flags.
function(marlox_target_settings target)
  target_compile_options(${target} PRIVATE ${MARLOX_WARNINGS})
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN
                                                 NOMINMAX _WIN32_WINNT=0x0601)
  endif()
endfunction()

if(MARLOX_SANITIZE)
  # The vptr check misfires on objects that libstdc++ itself creates (its shared library carries
  # type information of its own), so it is left out.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined -fno-sanitize=vptr)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MARLOX_FUZZ)
  # Everything is instrumented for coverage; the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(WIN32)
  # The Windows programs run with nothing beside them: no MinGW runtime DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(CMAKE_CROSSCOMPILING AND WIN32)
  # Windows tests run under Wine, in a prefix of their own inside the build folder.
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run;${CMAKE_BINARY_DIR}/wineprefix")
endif()
