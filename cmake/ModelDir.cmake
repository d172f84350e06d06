# The models are build outputs of `make models`, in build/models at the top of
# the tree. Programs built here learn that folder in the form their target's
# file system understands (Wine maps the Unix root to drive Z:).
set(VIDRA_MODEL_DIR_UNIX ${CMAKE_SOURCE_DIR}/build/models)
if(WIN32)
  string(REPLACE "/" "\\\\" _win_path "${VIDRA_MODEL_DIR_UNIX}")
  set(VIDRA_MODEL_DIR_NATIVE "Z:${_win_path}")
  set(VIDRA_SOURCE_DIR_NATIVE "Z:${CMAKE_SOURCE_DIR}")
  string(REPLACE "/" "\\\\" VIDRA_SOURCE_DIR_NATIVE "${VIDRA_SOURCE_DIR_NATIVE}")
else()
  set(VIDRA_MODEL_DIR_NATIVE ${VIDRA_MODEL_DIR_UNIX})
  set(VIDRA_SOURCE_DIR_NATIVE ${CMAKE_SOURCE_DIR})
endif()
