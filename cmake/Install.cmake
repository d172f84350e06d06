# Install layout, the CMake package and the pkg-config files.
#
#   include/                 vidra.h, vidra_core.h
#   lib/                     Linux: libvidra.so -> .so.MAJOR -> .so.MAJOR.MINOR.PATCH,
#                            libvidracore.so (the same links), libtesk.seg.so and the
#                            ONNX Runtime library beside them
#                            Windows: vidra.dll.a, vidracore.dll.a (import libraries),
#                            vidra.def, vidracore.def (exports)
#   lib/cmake/vidra/         find_package(vidra CONFIG) -> vidra::vidra, vidra::vidracore
#   lib/pkgconfig/           vidra.pc, vidracore.pc
#   bin/                     vidra-segment, example_host; Windows: vidra.dll,
#                            vidracore.dll, libtesk.seg.dll, onnxruntime.dll
#   share/vidra/models/      the two segmentation models
#   share/doc/vidra/         licences, changes, README.txt (cmake/Notices.cmake)
#
# The layout is fixed (not the distribution's multiarch lib folder): run paths
# ($ORIGIN/../lib) and the package files are relative to it, so an installed
# copy keeps working wherever it is moved.
include(CMakePackageConfigHelpers)

set(VIDRA_INSTALL_CMAKEDIR lib/cmake/vidra)
set(VIDRA_INSTALL_INCLUDEDIR include)
set(VIDRA_INSTALL_MODELDIR share/vidra/models)

# The header's version macros are the project version.
file(STRINGS ${CMAKE_SOURCE_DIR}/include/vidra_core.h _vidra_version_lines
     REGEX "^#define VIDRA_VERSION_(MAJOR|MINOR|PATCH|STRING) ")
foreach(_part MAJOR MINOR PATCH)
  string(REGEX MATCH "VIDRA_VERSION_${_part} ([0-9]+)" _m "${_vidra_version_lines}")
  if(NOT "${CMAKE_MATCH_1}" STREQUAL "${PROJECT_VERSION_${_part}}")
    message(FATAL_ERROR "include/vidra_core.h: VIDRA_VERSION_${_part} is '${CMAKE_MATCH_1}', "
                        "the project version ${PROJECT_VERSION} wants ${PROJECT_VERSION_${_part}}")
  endif()
endforeach()
if(NOT _vidra_version_lines MATCHES "VIDRA_VERSION_STRING \"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "include/vidra_core.h: VIDRA_VERSION_STRING is not \"${PROJECT_VERSION}\"")
endif()

# The libraries a host links: vidra (every export) and, where it is built,
# vidracore (the handle API alone, silent on standard output).
set(VIDRA_HOST_LIBRARIES vidra)
if(TARGET vidracore)
  list(APPEND VIDRA_HOST_LIBRARIES vidracore)
endif()
foreach(_lib ${VIDRA_HOST_LIBRARIES})
  target_include_directories(${_lib} INTERFACE
    $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>)
  if(WIN32)
    # The exports as the linker wrote them, for toolchains that make their
    # own import library (dlltool -d, lib /def).
    set(_def ${CMAKE_BINARY_DIR}/lib/${_lib}.def)
    set(_linker_def ${CMAKE_CURRENT_BINARY_DIR}/${_lib}.linker.def)
    target_link_options(${_lib} PRIVATE -Wl,--output-def,${_linker_def})
    add_custom_command(TARGET ${_lib} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DLINKER_DEF=${_linker_def} -DDEF=${_def}
              -DDLL=$<TARGET_FILE_NAME:${_lib}> -P ${CMAKE_SOURCE_DIR}/cmake/WriteDefFile.cmake
      BYPRODUCTS ${_def} VERBATIM)
    install(FILES ${_def} DESTINATION lib)
  else()
    set_target_properties(${_lib} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  endif()
endforeach()
if(WIN32)
  set(_vidra_shipped_dir bin)
else()
  # Libraries find each other in their own folder only.
  set_target_properties(${VIDRA_HOST_LIBRARIES} tesk_seg PROPERTIES INSTALL_RPATH "$ORIGIN")
  set(_vidra_shipped_dir lib)
endif()

install(TARGETS ${VIDRA_HOST_LIBRARIES}
  RUNTIME DESTINATION bin LIBRARY DESTINATION lib ARCHIVE DESTINATION lib)
install(FILES ${CMAKE_SOURCE_DIR}/include/vidra.h ${CMAKE_SOURCE_DIR}/include/vidra_core.h DESTINATION include)
# The engine and the runtime go beside the library; the engine's import
# library stays in the build tree (hosts never link it).
install(PROGRAMS $<TARGET_FILE:tesk_seg> ${VIDRA_ORT_RUNTIME} DESTINATION ${_vidra_shipped_dir})
install(TARGETS example_host RUNTIME DESTINATION bin)
if(TARGET vidra-segment)
  install(TARGETS vidra-segment RUNTIME DESTINATION bin)
endif()
# The two models of the parameter records; the test models stay behind.
install(FILES ${VIDRA_MODEL_DIR_UNIX}/model_144x80_2ch_nosig_sim_f32.tesk
              ${VIDRA_MODEL_DIR_UNIX}/model_640x480_9x9up_sim_f32.tesk
        DESTINATION ${VIDRA_INSTALL_MODELDIR})
include(${CMAKE_SOURCE_DIR}/cmake/InstallPython.cmake)

# What the package files name: each library, its import library (Windows)
# or soname (Linux, where a host needs the soname to ship), and the files a
# host ships beside its program.
get_target_property(_tesk_name tesk_seg OUTPUT_NAME)
set(VIDRA_INSTALL_RUNTIME_DIR ${_vidra_shipped_dir})
foreach(_lib ${VIDRA_HOST_LIBRARIES})
  string(TOUPPER ${_lib} _var)
  string(REPLACE "VIDRACORE" "VIDRA_CORE" _var ${_var})
  if(WIN32)
    set(${_var}_SONAME ${_lib}.dll)
    set(${_var}_INSTALL_LIBRARY_FILE bin/${_lib}.dll)
    set(${_var}_INSTALL_IMPLIB_FILE lib/${_lib}.dll.a)
  else()
    set(${_var}_SONAME lib${_lib}.so.${PROJECT_VERSION_MAJOR})
    set(${_var}_INSTALL_LIBRARY_FILE lib/lib${_lib}.so.${PROJECT_VERSION})
  endif()
endforeach()
if(WIN32)
  set(VIDRA_ENGINE_FILE_NAMES lib${_tesk_name}.dll ${VIDRA_ORT_RUNTIME_NAME})
else()
  set(VIDRA_ENGINE_FILE_NAMES lib${_tesk_name}.so ${VIDRA_ORT_RUNTIME_NAME})
endif()
if(TARGET vidracore)
  set(VIDRA_HAS_CORE 1)
else()
  set(VIDRA_HAS_CORE 0)
endif()

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/vidraConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/vidraConfig.cmake
  INSTALL_DESTINATION ${VIDRA_INSTALL_CMAKEDIR}
  PATH_VARS VIDRA_INSTALL_INCLUDEDIR VIDRA_INSTALL_MODELDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/vidraConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/vidraConfig.cmake
              ${CMAKE_BINARY_DIR}/package/vidraConfigVersion.cmake
        DESTINATION ${VIDRA_INSTALL_CMAKEDIR})
foreach(_lib ${VIDRA_HOST_LIBRARIES})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/${_lib}.pc.in ${CMAKE_BINARY_DIR}/package/${_lib}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/${_lib}.pc DESTINATION lib/pkgconfig)
endforeach()

# Licences, changes and the short README under share/doc/vidra.
include(${CMAKE_SOURCE_DIR}/cmake/Notices.cmake)

# A host project outside this tree, built against an installed copy. Not in
# the sanitizer build: its instrumented binaries carry the build tree's
# sanitizer runtime paths, which the install checks rightly refuse.
if(BUILD_TESTING AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  include(${CMAKE_SOURCE_DIR}/tests/consumer/consumer_tests.cmake)
endif()
