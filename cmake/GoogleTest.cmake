# GoogleTest from Debian's sources (/usr/src/googletest), built with whichever
# toolchain this tree uses, so the same tests run natively and under Wine.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# vidra_add_gtest(<name> SOURCES <files...> [LIBS <targets...>])
# One test program; its cases are discovered when CTest runs (under Wine for
# the Windows tree), with the model folder and source tree known to the code.
function(vidra_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    VIDRA_TEST_MODEL_DIR="${VIDRA_MODEL_DIR_NATIVE}"
    VIDRA_TEST_SOURCE_DIR="${VIDRA_SOURCE_DIR_NATIVE}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin PROPERTIES TIMEOUT 600)
endfunction()
