#!/bin/bash
# dist_test.sh ARCHIVE linux|windows SOURCE_DIR BUILD_DIR
# Unpacks a release archive into a fresh folder and uses it from there alone:
# its contents, tests/consumer built against it (mingw-w64 and Wine for
# Windows), and vidra-segment on a photograph. BUILD_DIR is the tree the
# archive was made from: what it built must be in the archive.
set -euo pipefail
archive=$1 target=$2 src=$3 build=$4
fail() { echo "FAIL ($target): $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
photo=/usr/lib/python3/dist-packages/skimage/data/astronaut.png

if [ "$target" = windows ]; then
  exe=.exe toolchain=(-DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw64.cmake")
  run() { "$src/cmake/wine-run.sh" "$@"; }
  native() { local p=${1//\//\\}; echo "Z:$p"; }
  mkdir "$work/unpacked" && unzip -q "$archive" -d "$work/unpacked"
else
  exe='' toolchain=()
  run() { env -u LD_LIBRARY_PATH "$@"; }
  native() { echo "$1"; }
  mkdir "$work/unpacked" && tar -xzf "$archive" -C "$work/unpacked"
fi
name=$(basename "$archive") && name=${name%.zip} && name=${name%.tar.gz}
[ "$(ls "$work/unpacked")" = "$name" ] || fail "the archive holds $(ls "$work/unpacked"), not one folder $name"
root=$work/unpacked/$name
version=${name#vidra-} && version=${version%%-*}

# ---- Contents ----------------------------------------------------------------
docs=(README.txt LICENSE.txt share/doc/vidra/README.txt share/doc/vidra/LICENSE share/doc/vidra/CHANGELOG.md
  share/doc/vidra/ONNXRUNTIME-LICENSE.txt share/doc/vidra/MODELS-LICENSE.txt)
expect=("${docs[@]}" lib/cmake/vidra/vidraConfig.cmake lib/cmake/vidra/vidraConfigVersion.cmake
  lib/pkgconfig/vidra.pc bin/example_host$exe share/vidra/models/model_144x80_2ch_nosig_sim_f32.tesk
  share/vidra/models/model_640x480_9x9up_sim_f32.tesk)
libraries=(vidra)
[ -f "$build/bin/vidracore.dll" ] || [ -f "$build/bin/libvidracore.so" ] && libraries+=(vidracore)
for lib in "${libraries[@]}"; do
  if [ "$target" = windows ]; then
    expect+=(bin/$lib.dll lib/$lib.dll.a lib/$lib.def lib/pkgconfig/$lib.pc)
  else
    expect+=(lib/lib$lib.so lib/lib$lib.so.${version%%.*} lib/lib$lib.so.$version lib/pkgconfig/$lib.pc)
  fi
done
for h in "$src"/include/*.h; do expect+=(include/${h##*/}); done
if [ "$target" = windows ]; then
  expect+=(bin/libtesk.seg.dll bin/onnxruntime.dll)
else
  expect+=(lib/libtesk.seg.so lib/libonnxruntime.so.1)
fi
# The tool goes along wherever the tree built it.
[ -f "$build/bin/vidra-segment$exe" ] && expect+=(bin/vidra-segment$exe)
for f in "${expect[@]}"; do [ -f "$root/$f" ] || fail "missing $f"; done

# Nothing from the test tree: no test or fuzz program, test double, benchmark,
# test model or data, or compiled Python.
from_tests=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | grep -E \
  '(^|/)(tests?|Testing)/|(^|/)(test_[^/]*|[^/]*_test(\.[^/]*)?|[^/]*g(test|mock)[^/]*|bench_[^/]*|fuzz_[^/]*|consumer[^/]*|[^/]*double[^/]*|[^/]*\.(supp|pyc))$' || true)
[ -z "$from_tests" ] || fail "files from the test tree: $from_tests"
[ "$(find "$root" -name '*.tesk' | wc -l)" = 2 ] || fail "models other than the two of share/vidra/models"
# No file names the build tree, no text file the source tree.
if grep -rlF "$src/build" "$root" >&2; then fail "files above name the build tree $src/build"; fi
if grep -rlIF "$src" "$root" >&2; then fail "text files above name the source tree $src"; fi

cmp -s "$root/LICENSE.txt" "$src/LICENSE" || fail "LICENSE.txt is not the project's LICENSE"
cmp -s "$root/share/doc/vidra/CHANGELOG.md" "$src/CHANGELOG.md" || fail "CHANGELOG.md differs from the source's"
grep -q "^## ${version//./\\.} " "$root/share/doc/vidra/CHANGELOG.md" ||
  fail "CHANGELOG.md has no section for $version"
grep -qF "## Using the library from a host" "$root/README.txt" || fail "README.txt lacks the host section"
if [ "$target" = windows ]; then
  grep -qF "## Windows" "$root/README.txt" || fail "README.txt lacks the Windows section"
fi
ort_version=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' \
  "$src/node_modules/onnxruntime-node/package.json")
grep -qF "ONNX Runtime $ort_version" "$root/share/doc/vidra/ONNXRUNTIME-LICENSE.txt" &&
  grep -qF "Permission is hereby granted" "$root/share/doc/vidra/ONNXRUNTIME-LICENSE.txt" ||
  fail "ONNXRUNTIME-LICENSE.txt is not the licence of ONNX Runtime $ort_version"
grep -qF "Apache License" "$root/share/doc/vidra/MODELS-LICENSE.txt" || fail "MODELS-LICENSE.txt lacks the licence text"

# ---- A host built against the unpacked folder --------------------------------
consumer=$work/consumer
{ cmake -S "$src/tests/consumer" -B "$consumer" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$root" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF &&
  cmake --build "$consumer"; } >"$work/consumer.log" 2>&1 || { cat "$work/consumer.log" >&2; fail "consumer build"; }
grep -q "vidra_DIR:PATH=$root/lib/cmake/vidra" "$consumer/CMakeCache.txt" || fail "find_package did not take vidra from $root"
programs=(consumer)
[ "${libraries[1]:-}" = vidracore ] && programs+=(consumer_core)
for program in "${programs[@]}"; do
  [ -f "$consumer/$program$exe" ] || fail "$program not built: the package has no target for its library"
  run "$consumer/$program$exe" "$(native "$root/share/vidra/models")" >"$work/$program-stdout.txt" ||
    { rc=$?; fail "$program exited $rc"; }
done
# The core library never writes to standard output.
[ ! -s "$work/consumer_core-stdout.txt" ] || fail "consumer_core's standard output: $(head -c 300 "$work/consumer_core-stdout.txt")"
if [ "$target" = windows ] && [ -f "$consumer/consumer_core.exe" ] &&
  x86_64-w64-mingw32-objdump -p "$consumer/consumer_core.exe" | grep -q "DLL Name: vidra.dll"; then
  fail "consumer_core imports the full library"
fi
if [ "$target" = linux ]; then
  # Every library a host loads comes out of the unpacked folder; a host of
  # the core library loads that one only.
  major=${version%%.*}
  for program in "${programs[@]}"; do
    resolved=$(env -u LD_LIBRARY_PATH ldd "$consumer/$program")
    needs=(libtesk.seg.so libonnxruntime.so.1)
    if [ "$program" = consumer ]; then needs+=(libvidra.so.$major); else needs+=(libvidracore.so.$major); fi
    for f in "${needs[@]}"; do
      grep -qE "^\s*$f => $root/lib/$f " <<<"$resolved" || fail "$program does not take $f from $root/lib: $resolved"
    done
    if [ "$program" = consumer_core ] && grep -q "libvidra\.so" <<<"$resolved"; then
      fail "consumer_core loads the full library: $resolved"
    fi
  done
fi

# ---- vidra-segment on a photograph ---------------------------------------------
tool=$root/bin/vidra-segment$exe
if [ -f "$tool" ]; then
  if [ "$target" = windows ]; then
    # A Windows ffmpeg on the tool's PATH (npm packages of the tests).
    for f in ffmpeg ffprobe; do
      bin=$(ls "$src"/node_modules/@$f-installer/win32-x64/$f.exe 2>/dev/null) ||
        fail "vidra-segment.exe is in the archive but no Windows $f is installed (make deps)"
      cp "$bin" "$work/"
    done
    export WINEPATH=$(native "$work")
  fi
  cp "$photo" "$work/photo.png"
  run "$tool" --no-progress -m "$(native "$work/mask.png")" -o "$(native "$work/out.png")" \
    "$(native "$work/photo.png")" >/dev/null 2>"$work/segment.txt" || { cat "$work/segment.txt" >&2; fail "vidra-segment"; }
  # The astronaut fills a good part of the picture, the face certainly.
  /usr/bin/python3 - "$work/photo.png" "$work/mask.png" "$work/out.png" <<'EOF' || fail "vidra-segment's mask"
import sys
from skimage import io
photo, mask, out = (io.imread(p) for p in sys.argv[1:])
assert mask.shape == photo.shape[:2] and out.shape[:2] == photo.shape[:2], (photo.shape, mask.shape, out.shape)
person = (mask >= 128).mean()
face = mask[80:160, 180:240].mean()
print(f"mask: person {person:.0%} of the picture, face {face:.0f}/255", file=sys.stderr)
assert 0.2 <= person <= 0.8 and face >= 200
EOF
fi
echo "dist test ($target): $(basename "$archive") unpacked, built against and run from $root: ok" >&2
