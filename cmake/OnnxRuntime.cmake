# ONNX Runtime comes from the pinned npm package onnxruntime-node (installed by
# `make deps` with `npm ci --ignore-scripts`); only its shared library is used.
set(_ort_pkg ${CMAKE_SOURCE_DIR}/node_modules/onnxruntime-node/bin/napi-v6)
if(WIN32)
  set(VIDRA_ORT_RUNTIME ${_ort_pkg}/win32/x64/onnxruntime.dll)
else()
  set(VIDRA_ORT_RUNTIME ${_ort_pkg}/linux/x64/libonnxruntime.so.1)
endif()
if(NOT EXISTS ${VIDRA_ORT_RUNTIME})
  message(FATAL_ERROR "ONNX Runtime not found at ${VIDRA_ORT_RUNTIME}; run `make deps` first")
endif()
get_filename_component(VIDRA_ORT_RUNTIME_NAME ${VIDRA_ORT_RUNTIME} NAME)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
configure_file(${VIDRA_ORT_RUNTIME} ${CMAKE_BINARY_DIR}/bin/${VIDRA_ORT_RUNTIME_NAME} COPYONLY)
