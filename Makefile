# Setup and everyday commands. On a fresh Debian 12 machine:
#   make demo   installs what is missing, builds, segments the sample footage
#   make test   installs what is missing, builds both targets, runs every test
SHELL := /bin/bash
.DEFAULT_GOAL := build

JOBS ?= 2
# Debian's own interpreter: the model build uses Debian's python3-onnx.
PYTHON := /usr/bin/python3
APT_PACKAGES := cmake make g++ git pkg-config libgtest-dev googletest libbenchmark-dev \
  g++-mingw-w64-x86-64 wine wine64 python3 python3-onnx python3-numpy python3-flatbuffers \
  python3-skimage opencv-doc ffmpeg ca-certificates qemu-user \
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools gstreamer1.0-plugins-base \
  gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav python3-gst-1.0
# Benchmark-only peer, installed by `make bench`: never needed to build or test.
BENCH_APT_PACKAGES := libopencv-dev
# The release archives (make dist) and their test.
APT_PACKAGES += zip unzip
NPM_STAMP := node_modules/.vidra-installed

.PHONY: deps apt-deps bench-deps npm-deps models build build-linux build-windows test test-linux test-windows test-tsan demo speed bench bench-gst clean \
  install install-windows install-tree-linux install-tree-windows dist test-dist
.PHONY: sanitize-deps build-sanitize test-sanitize fuzz fuzz-short

deps: apt-deps npm-deps

apt-deps:
	@missing=$$(for p in $(APT_PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if ! command -v node >/dev/null; then missing="$$missing nodejs"; fi; \
	if ! command -v npm >/dev/null; then missing="$$missing npm"; fi; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	fi

npm-deps: $(NPM_STAMP)
$(NPM_STAMP): package.json package-lock.json
	npm ci --ignore-scripts --no-audit --no-fund --loglevel=error
	@touch $@

# The two segmentation models (converted from the pinned source network), the
# small engine test models and the test photographs; each script skips
# outputs that are up to date.
models: deps
	$(PYTHON) models/build_models.py --out build/models
	$(PYTHON) tests/engine/make_test_models.py --out build/models/test
	$(PYTHON) tests/exports/make_test_frames.py --out build/models/test/frames

build: build-linux build-windows

build-linux: models
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j $(JOBS)

build-windows: models
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

test: test-linux test-windows test-dist test-tsan test-sanitize fuzz-short

test-linux: build-linux
	ctest --preset linux -j $(JOBS)

# The Wine prefix is made once, before tests start in parallel.
test-windows: build-windows
	@cmake/wine-run.sh wineboot -i >/dev/null 2>&1 || true
	ctest --preset windows -j $(JOBS)

# The threaded instance test again, built with ThreadSanitizer in a tree of
# its own; any report fails the step.
TSAN_FLAGS := -fsanitize=thread -g
test-tsan: models
	cmake -S . -B build/linux-tsan -DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS=$(TSAN_FLAGS)" \
	  "-DCMAKE_CXX_FLAGS=$(TSAN_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
	  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
	cmake --build build/linux-tsan --target test_instances_threads -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/instances/tsan.supp" \
	  build/linux-tsan/bin/test_instances_threads

# Installs include/, lib/, bin/, share/vidra/models, share/doc/vidra (licences,
# changes, README.txt), the CMake package and the pkg-config files under PREFIX:
# the Linux build (default /usr/local), or the Windows DLLs and import libraries
# laid out for shipping (default out/vidra-windows). Each is built in a tree of
# its own without tests and benchmarks (build/install-linux,
# build/install-windows); a tree configured from another folder (a copied
# checkout) is configured anew.
PREFIX ?= /usr/local
INSTALL_TREE_LINUX := build/install-linux
INSTALL_TREE_WINDOWS := build/install-windows
define install_tree
	@if [ -f $(1)/CMakeCache.txt ] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$(CURDIR)" $(1)/CMakeCache.txt; then \
	  echo "$(1) was configured from another folder: configuring it anew"; rm -rf $(1); fi
	cmake -S . -B $(1) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVIDRA_BENCHMARKS=OFF $(2) >/dev/null
	cmake --build $(1) -j $(JOBS)
endef

install-tree-linux: models
	$(call install_tree,$(INSTALL_TREE_LINUX))

install-tree-windows: models
	$(call install_tree,$(INSTALL_TREE_WINDOWS),-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-mingw64.cmake)

install: install-tree-linux
	cmake --install $(INSTALL_TREE_LINUX) --prefix "$(PREFIX)"

install-windows: install-tree-windows
	cmake --install $(INSTALL_TREE_WINDOWS) --prefix "$(if $(filter file,$(origin PREFIX)),out/vidra-windows,$(PREFIX))"

# The release archives out/vidra-VERSION-linux-x86_64.tar.gz and
# out/vidra-VERSION-win64.zip, laid out like the install (cmake/dist.sh).
dist: install-tree-linux install-tree-windows
	cmake/dist.sh $(INSTALL_TREE_LINUX) linux out
	cmake/dist.sh $(INSTALL_TREE_WINDOWS) windows out

# The same archives made from the trees the tests built, each unpacked into a
# fresh folder and used from there alone (tests/dist).
test-dist: build-linux build-windows
	@cmake/wine-run.sh wineboot -i >/dev/null 2>&1 || true
	tests/dist/run.sh build/linux build/windows

# ---- Sanitizers and fuzzing --------------------------------------------------
# test-sanitize: every test under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang, no recovery; preset linux-sanitize, build/linux-sanitize). The library
# answers an allocation it cannot make with -1, so the sanitizer's allocator
# returns null there too; tests/sanitize/lsan.supp suppresses only ONNX
# Runtime's own leaks.
# fuzz: each libFuzzer target (tests/fuzz) for FUZZ_SECONDS; an input that finds
# a fault lands in tests/fuzz/corpus/<target>/ (commit it: the tests replay it).
# fuzz-short, part of `make test`: FUZZ_SHORT for FUZZ_SHORT_SECONDS each.
SANITIZE_PACKAGES := clang libclang-rt-dev
FUZZ_TARGETS := model_file params call_sequence model_folder
FUZZ_SHORT := $(FUZZ_TARGETS)
FUZZ_SECONDS ?= 300
FUZZ_SHORT_SECONDS ?= 45

sanitize-deps:
	@$(MAKE) --no-print-directory apt-deps APT_PACKAGES="$(SANITIZE_PACKAGES)"

build-sanitize: models sanitize-deps
	cmake --preset linux-sanitize >/dev/null
	cmake --build --preset linux-sanitize -j $(JOBS)

test-sanitize: build-sanitize
	ctest --preset linux-sanitize -j $(JOBS)

fuzz: build-sanitize
	tests/fuzz/run.sh $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-short: build-sanitize
	FUZZ_SEED=1 FUZZ_MAX_RUNS=2500 tests/fuzz/run.sh $(FUZZ_SHORT_SECONDS) $(FUZZ_SHORT)

demo: build-linux
	tools/demo.sh

# vidra-segment's wall-clock frame rate, file to file, at 720p and 1080p.
speed: build-linux
	tools/speed.sh

bench-deps:
	@$(MAKE) --no-print-directory apt-deps APT_PACKAGES="$(BENCH_APT_PACKAGES)"

# Per-frame and per-stage costs, the image routines (the library's AVX2
# kernels, the baseline SSE2 ones and scalar), the mask resize against
# OpenCV's on the same input, compositing and refinement, and our inference
# against the WebAssembly reference runtime.
bench: bench-deps build-linux
	build/linux/bin/bench_vidra
	build/linux/bin/bench_image_routines
	build/linux/bin/bench_mask_resize
	build/linux/bin/bench_compositing --benchmark_filter='BM_Composite/|BM_Refine/'
	build/linux/bin/bench_instances
	bench/compare_reference.sh

# 720p NV12 streams one process holds through the GStreamer element, against
# the same frames through the C API (bench/gst_streams.sh; STREAMS, FRAMES).
bench-gst: build-linux
	bench/gst_streams.sh build/linux

clean:
	rm -rf build out
