# The installed copy: layout and run paths, a host built against it with
# find_package and pkg-config (under Wine for Windows), the .def file as another
# toolchain would use it, and a copy moved elsewhere.
set(_consumer_steps layout find_package pkg_config moved)
if(WIN32)
  set(_consumer_target windows)
  list(APPEND _consumer_steps def_file)
else()
  set(_consumer_target linux)
endif()
foreach(_step ${_consumer_steps})
  add_test(NAME install_${_step}
    COMMAND /bin/bash ${CMAKE_CURRENT_LIST_DIR}/consumer_test.sh ${_step} ${_consumer_target}
            ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/consumer-test)
  set_tests_properties(install_${_step} PROPERTIES TIMEOUT 600 LABELS install)
  if(_step STREQUAL "layout")
    set_tests_properties(install_${_step} PROPERTIES FIXTURES_SETUP vidra_installed)
  elseif(NOT _step STREQUAL "moved")
    set_tests_properties(install_${_step} PROPERTIES FIXTURES_REQUIRED vidra_installed)
  endif()
endforeach()
