# 7z.dll for the Windows programs: the 7-Zip codec library that the sevenzip bridge loads at run
# time, compiled from Debian's own 7zip source package with our mingw compiler and put beside
# marlox.exe and the test programs. It takes minutes to compile, so it is built once per build
# folder and kept. A failure never stops the build: there is then no 7z.dll, and the tests that
# need it say so and skip.

option(MARLOX_7Z_DLL "Build 7z.dll from Debian's 7zip sources for the Windows programs" ON)
if(NOT MARLOX_7Z_DLL)
  return()
endif()
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  message(STATUS "7z.dll: only the x64 build makes it")
  return()
endif()

set(MARLOX_7Z_PARENT ${CMAKE_BINARY_DIR}/deps/7zip)
set(MARLOX_7Z_DLL_FILE ${MARLOX_7Z_PARENT}/7z.dll)

# The sources are fetched while configuring, as for bzip2; the compile itself waits for the build.
file(GLOB marlox_7z_source LIST_DIRECTORIES true ${MARLOX_7Z_PARENT}/7zip-*)
if(NOT EXISTS ${MARLOX_7Z_DLL_FILE} AND NOT marlox_7z_source)
  file(MAKE_DIRECTORY ${MARLOX_7Z_PARENT})
  message(STATUS "Fetching Debian's 7zip source package into ${MARLOX_7Z_PARENT}")
  execute_process(COMMAND apt-get source 7zip
                  WORKING_DIRECTORY ${MARLOX_7Z_PARENT}
                  RESULT_VARIABLE fetch_result OUTPUT_QUIET ERROR_QUIET)
  if(NOT fetch_result EQUAL 0)
    message(WARNING "apt-get source 7zip failed (scripts/setup adds the deb-src entry it needs); "
                    "there will be no 7z.dll and the tests that need it will skip")
  endif()
endif()

find_program(MARLOX_GNU_MAKE NAMES make gmake)
cmake_host_system_information(RESULT marlox_7z_jobs QUERY NUMBER_OF_LOGICAL_CORES)

set(marlox_7z_targets)
if(TARGET marlox)
  list(APPEND marlox_7z_targets "$<TARGET_FILE_DIR:marlox>")
endif()
if(MARLOX_TESTS)
  list(APPEND marlox_7z_targets ${CMAKE_BINARY_DIR}/tests)
endif()
string(REPLACE ";" "|" marlox_7z_targets "${marlox_7z_targets}")

# Runs on every build: once 7z.dll exists (or has failed once) it only refreshes the copies.
add_custom_target(marlox_7z_dll ALL
  COMMAND ${CMAKE_COMMAND}
          -DPARENT=${MARLOX_7Z_PARENT}
          -DMAKE=${MARLOX_GNU_MAKE}
          -DJOBS=${marlox_7z_jobs}
          -DCC=${CMAKE_C_COMPILER}
          -DCXX=${CMAKE_CXX_COMPILER}
          -DRC=${CMAKE_RC_COMPILER}
          "-DCOPY_TO=${marlox_7z_targets}"
          -P ${CMAKE_CURRENT_LIST_DIR}/build-7z-dll.cmake
  USES_TERMINAL
  VERBATIM)
