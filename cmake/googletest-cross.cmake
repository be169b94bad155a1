# GoogleTest for the cross builds, compiled from Debian's sources: no download.
set(KESTRIN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTRIN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
