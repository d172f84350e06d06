# Install layout, the CMake package and the pkg-config file.
#
#   include/                 vidra.h
#   lib/                     Linux: libvidra.so -> .so.MAJOR -> .so.MAJOR.MINOR.PATCH,
#                            libtesk.seg.so and the ONNX Runtime library beside it
#                            Windows: vidra.dll.a (import library), vidra.def (exports)
#   lib/cmake/vidra/         find_package(vidra CONFIG) -> vidra::vidra
#   lib/pkgconfig/vidra.pc
#   bin/                     vidra-segment (Linux), example_host; Windows: vidra.dll,
#                            libtesk.seg.dll, onnxruntime.dll
#   share/vidra/models/      the two segmentation models
#
# The layout is fixed (not the distribution's multiarch lib folder): run paths
# ($ORIGIN/../lib) and the package files are relative to it, so an installed
# copy keeps working wherever it is moved.
include(CMakePackageConfigHelpers)

set(VIDRA_INSTALL_CMAKEDIR lib/cmake/vidra)
set(VIDRA_INSTALL_INCLUDEDIR include)
set(VIDRA_INSTALL_MODELDIR share/vidra/models)

# The header's version macros are the project version.
file(STRINGS ${CMAKE_SOURCE_DIR}/include/vidra.h _vidra_version_lines
     REGEX "^#define VIDRA_VERSION_(MAJOR|MINOR|PATCH|STRING) ")
foreach(_part MAJOR MINOR PATCH)
  string(REGEX MATCH "VIDRA_VERSION_${_part} ([0-9]+)" _m "${_vidra_version_lines}")
  if(NOT "${CMAKE_MATCH_1}" STREQUAL "${PROJECT_VERSION_${_part}}")
    message(FATAL_ERROR "include/vidra.h: VIDRA_VERSION_${_part} is '${CMAKE_MATCH_1}', "
                        "the project version ${PROJECT_VERSION} wants ${PROJECT_VERSION_${_part}}")
  endif()
endforeach()
if(NOT _vidra_version_lines MATCHES "VIDRA_VERSION_STRING \"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "include/vidra.h: VIDRA_VERSION_STRING is not \"${PROJECT_VERSION}\"")
endif()

target_include_directories(vidra INTERFACE
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>)
if(WIN32)
  # The exports as the linker wrote them, for toolchains that make their own
  # import library (dlltool -d, lib /def).
  set(VIDRA_DEF_FILE ${CMAKE_BINARY_DIR}/lib/vidra.def)
  set(_linker_def ${CMAKE_CURRENT_BINARY_DIR}/vidra.linker.def)
  target_link_options(vidra PRIVATE -Wl,--output-def,${_linker_def})
  add_custom_command(TARGET vidra POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DLINKER_DEF=${_linker_def} -DDEF=${VIDRA_DEF_FILE}
            -DDLL=$<TARGET_FILE_NAME:vidra> -P ${CMAKE_SOURCE_DIR}/cmake/WriteDefFile.cmake
    BYPRODUCTS ${VIDRA_DEF_FILE} VERBATIM)
  set(_vidra_shipped_dir bin)
else()
  set_target_properties(vidra PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  # Libraries find each other in their own folder only.
  set_target_properties(vidra tesk_seg PROPERTIES INSTALL_RPATH "$ORIGIN")
  set(_vidra_shipped_dir lib)
endif()

install(TARGETS vidra
  RUNTIME DESTINATION bin LIBRARY DESTINATION lib ARCHIVE DESTINATION lib)
install(FILES ${CMAKE_SOURCE_DIR}/include/vidra.h DESTINATION include)
# The engine and the runtime go beside the library; the engine's import
# library stays in the build tree (hosts never link it).
install(PROGRAMS $<TARGET_FILE:tesk_seg> ${VIDRA_ORT_RUNTIME} DESTINATION ${_vidra_shipped_dir})
install(TARGETS example_host RUNTIME DESTINATION bin)
if(TARGET vidra-segment)
  install(TARGETS vidra-segment RUNTIME DESTINATION bin)
endif()
if(WIN32)
  install(FILES ${VIDRA_DEF_FILE} DESTINATION lib)
endif()
# The two models of the parameter records; the test models stay behind.
install(FILES ${VIDRA_MODEL_DIR_UNIX}/model_144x80_2ch_nosig_sim_f32.tesk
              ${VIDRA_MODEL_DIR_UNIX}/model_640x480_9x9up_sim_f32.tesk
        DESTINATION ${VIDRA_INSTALL_MODELDIR})

# What the package file names: the library, its import library or soname,
# and the files a host ships beside its program.
get_target_property(_tesk_name tesk_seg OUTPUT_NAME)
set(VIDRA_INSTALL_RUNTIME_DIR ${_vidra_shipped_dir})
if(WIN32)
  set(VIDRA_INSTALL_LIBRARY_FILE bin/vidra.dll)
  set(VIDRA_INSTALL_IMPLIB_FILE lib/vidra.dll.a)
  set(VIDRA_RUNTIME_FILE_NAMES vidra.dll lib${_tesk_name}.dll ${VIDRA_ORT_RUNTIME_NAME})
else()
  set(VIDRA_SONAME libvidra.so.${PROJECT_VERSION_MAJOR})
  set(VIDRA_INSTALL_LIBRARY_FILE lib/libvidra.so.${PROJECT_VERSION})
  set(VIDRA_RUNTIME_FILE_NAMES ${VIDRA_SONAME} lib${_tesk_name}.so ${VIDRA_ORT_RUNTIME_NAME})
endif()

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/vidraConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/vidraConfig.cmake
  INSTALL_DESTINATION ${VIDRA_INSTALL_CMAKEDIR}
  PATH_VARS VIDRA_INSTALL_INCLUDEDIR VIDRA_INSTALL_MODELDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/vidraConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
configure_file(${CMAKE_SOURCE_DIR}/cmake/vidra.pc.in ${CMAKE_BINARY_DIR}/package/vidra.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/vidraConfig.cmake
              ${CMAKE_BINARY_DIR}/package/vidraConfigVersion.cmake
        DESTINATION ${VIDRA_INSTALL_CMAKEDIR})
install(FILES ${CMAKE_BINARY_DIR}/package/vidra.pc DESTINATION lib/pkgconfig)

# A host project outside this tree, built against an installed copy. Not in
# the sanitizer build: its instrumented binaries carry the build tree's
# sanitizer runtime paths, which the install checks rightly refuse.
if(BUILD_TESTING AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  include(${CMAKE_SOURCE_DIR}/tests/consumer/consumer_tests.cmake)
endif()
