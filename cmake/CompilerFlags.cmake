# Exact single-precision arithmetic on both targets: no contraction into FMA,
# no fast-math. Baseline x86-64 (SSE2) everywhere; AVX2 only in the files
# given to vidra_avx2_sources below.
add_compile_options(-O2 -march=x86-64 -ffp-contract=off -fno-fast-math -Wall -Wextra)
set(CMAKE_CXX_FLAGS_RELEASE "-DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-DNDEBUG")
if(WIN32)
  # C99-conforming printf on Windows, so log lines (NaN, %f) read as on Linux.
  add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
  # Programs and tests depend only on Windows system DLLs and our own.
  # -static links libgcc, libstdc++ and winpthread into each module; system
  # DLLs and our own DLLs are still imported through their import libraries.
  add_link_options(-static)
endif()

# vidra_avx2_sources(<files...>): the files that hold AVX2 kernels, compiled
# with -mavx2. Code in them runs only behind vidra::CpuHasAvx2(); they include
# no header with inline functions shared with baseline code (a merged inline
# copy could carry AVX2 instructions into the baseline path). Their functions
# are in a namespace named avx2 or have names ending in Avx2: the test
# avx2_confined_to_kernels disassembles the libraries and fails on any AVX
# instruction in a function named otherwise.
function(vidra_avx2_sources)
  set_source_files_properties(${ARGN} DIRECTORY ${CMAKE_SOURCE_DIR}
    PROPERTIES COMPILE_OPTIONS "-mavx2")
endfunction()
