# GoogleTest is built from the sources Debian's googletest package installs, for whichever
# target this tree is being built.
set(MARLOX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source folder")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${MARLOX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
