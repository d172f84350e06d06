# Exact single-precision arithmetic on both targets: no contraction into FMA,
# no fast-math. Baseline x86-64 (SSE2) everywhere; AVX2 only in the files
# given to vidra_avx2_sources below.
add_compile_options(-O2 -march=x86-64 -ffp-contract=off -fno-fast-math -Wall -Wextra)
# Source paths in __FILE__ (GStreamer's and GLib's log macros) relative to the
# checkout: no build machine's folder inside a shipped binary.
add_compile_options(-fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)
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

# vidra_avx2_sources(<files...>) and vidra_avx512_sources(<files...>): the
# files that hold the kernels of those tiers, compiled with their instruction
# sets. Code in them runs only through the kernel tables (common/dispatch.h),
# filled for the tier the processor has; they include no header with inline
# functions shared with baseline code (a merged inline copy could carry AVX
# instructions into the baseline path). Their functions are in a namespace
# named avx2 / avx512 or have names ending in Avx2 / Avx512: the test
# avx_confined_to_kernels disassembles the libraries and fails on any AVX
# instruction in a function named otherwise.
# On Windows the stack is only 16-byte aligned where GCC may assume more for
# spilled vectors; the assembler turns aligned vector moves into unaligned ones.
# GCC 12's AVX-512 intrinsics warn of their own undefined-value idiom.
set(_vidra_avx_win "")
if(WIN32)
  set(_vidra_avx_win "-Wa,-muse-unaligned-vector-move")
endif()
function(vidra_avx2_sources)
  set_source_files_properties(${ARGN} DIRECTORY ${CMAKE_SOURCE_DIR}
    PROPERTIES COMPILE_OPTIONS "-mavx2;${_vidra_avx_win}")
endfunction()
function(vidra_avx512_sources)
  set_source_files_properties(${ARGN} DIRECTORY ${CMAKE_SOURCE_DIR}
    PROPERTIES COMPILE_OPTIONS "-mavx2;-mavx512f;-mavx512bw;-mavx512dq;-mavx512vl;${_vidra_avx_win};-Wno-maybe-uninitialized;-Wno-uninitialized")
endfunction()
