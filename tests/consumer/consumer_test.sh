#!/bin/bash
# One step of the install tests (consumer_tests.cmake), each in a copy installed from BUILD_DIR:
#   consumer_test.sh layout|find_package|pkg_config|def_file|moved linux|windows SOURCE_DIR BUILD_DIR WORK_DIR
set -euo pipefail
step=$1 target=$2 src=$3 build=$4 work=$5
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$target" = windows ]; then
  cc=x86_64-w64-mingw32-gcc-posix exe=.exe toolchain=(-DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw64.cmake")
  run() { "$src/cmake/wine-run.sh" "$@"; }
  native() { local p=${1//\//\\}; echo "Z:$p"; }  # Wine maps the Unix root to drive Z:
else
  cc=cc exe='' toolchain=()
  run() { "$@"; }
  native() { echo "$1"; }
fi
install_into() { rm -rf "$1" && cmake --install "$build" --prefix "$1" >/dev/null; }
header_version() { sed -n 's/^#define VIDRA_VERSION_STRING "\(.*\)"$/\1/p' "$1/include/vidra_core.h"; }

# The library's log goes to stdout; only the consumer's verdict matters.
run_consumer() {
  run "$1" "$(native "$2/share/vidra/models")" >"$work/$step-stdout.txt" || fail "$1 exited $? (stdout: $work/$step-stdout.txt)"
}

# Whether the tool's help names FOLDER as its default models (wrapped lines joined).
default_models() {
  local help
  help=$("$1" --help 2>&1 >/dev/null | tr -s ' \n' ' ')
  [[ $help == *"(default"*": $2)"* ]]
}

cmake_consumer() {
  local root=$1 out=$2
  rm -rf "$out"
  { cmake -S "$src/tests/consumer" -B "$out" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$root" &&
    cmake --build "$out"; } >"$out.log" 2>&1 || { cat "$out.log" >&2; fail "configure or build against $root"; }
  grep -q "vidra_DIR:PATH=$root/lib/cmake/vidra" "$out/CMakeCache.txt" || fail "find_package did not take vidra from $root"
  run_consumer "$out/consumer$exe" "$root"
  [ -f "$out/consumer_core$exe" ] || fail "the package has no vidra::vidracore"
  run_consumer "$out/consumer_core$exe" "$root"
  [ ! -s "$work/$step-stdout.txt" ] || fail "consumer_core: the core library wrote to standard output"
}

check_layout() {
  local root=$1 version major f p
  version=$(header_version "$root") && major=${version%%.*}
  [ -n "$version" ] || fail "no version in the installed header"
  local expect=(include/vidra.h include/vidra_core.h lib/cmake/vidra/vidraConfig.cmake
    lib/cmake/vidra/vidraConfigVersion.cmake bin/example_host$exe
    share/vidra/models/model_144x80_2ch_nosig_sim_f32.tesk share/vidra/models/model_640x480_9x9up_sim_f32.tesk
    share/doc/vidra/LICENSE share/doc/vidra/CHANGELOG.md share/doc/vidra/README.txt
    share/doc/vidra/ONNXRUNTIME-LICENSE.txt share/doc/vidra/MODELS-LICENSE.txt)
  for lib in vidra vidracore; do
    expect+=(lib/pkgconfig/$lib.pc)
    if [ "$target" = windows ]; then
      expect+=(bin/$lib.dll lib/$lib.dll.a lib/$lib.def)
    else
      expect+=(lib/lib$lib.so lib/lib$lib.so.$major lib/lib$lib.so.$version)
    fi
  done
  if [ "$target" = windows ]; then
    expect+=(bin/libtesk.seg.dll bin/onnxruntime.dll)
  else
    expect+=(bin/vidra-segment lib/libtesk.seg.so lib/libonnxruntime.so.1)
  fi
  for f in "${expect[@]}"; do [ -f "$root/$f" ] || fail "missing $f"; done
  [ "$(find "$root/share" -name '*.tesk' | wc -l)" = 2 ] || fail "models other than the two installed"
  [ -z "$(find "$root" -name 'test_*' -o -name '*gtest*')" ] || fail "test programs installed"
  if grep -rlF "$src/build" "$root" >&2; then fail "files above name the build tree"; fi
  [ "$target" = linux ] || return 0
  for lib in vidra vidracore; do
    readelf -d "$root/lib/lib$lib.so.$version" | grep -q "Library soname: \[lib$lib.so.$major\]" ||
      fail "lib$lib.so.$version has no soname lib$lib.so.$major"
  done
  for f in "$root"/bin/* "$root"/lib/*.so*; do
    [ -L "$f" ] && continue
    for p in $(readelf -d "$f" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]/\2/p' | tr ':' ' '); do
      case "$p" in '$ORIGIN'|'$ORIGIN/../lib') ;; *) fail "$f: run path entry $p" ;; esac
    done
  done
  # Programs find the library they link (vidra or vidracore), the engine and
  # the runtime in the copy itself.
  local resolved linked
  resolved=$(env -u LD_LIBRARY_PATH ldd "$root/bin/vidra-segment")
  linked=$(readelf -d "$root/bin/vidra-segment" | sed -n "s/.*(NEEDED).*\[\(libvidra\(core\)\?\.so\.$major\)\]/\1/p")
  [ -n "$linked" ] || fail "vidra-segment links neither libvidra.so.$major nor libvidracore.so.$major"
  for f in $linked libtesk.seg.so libonnxruntime.so.1; do
    grep -qE "^\s*$f => $root/(bin/\.\./)?lib/$f " <<<"$resolved" ||
      fail "vidra-segment does not take $f from $root/lib: $resolved"
  done
}

mkdir -p "$work" && out=$work/$step
case "$step" in
  layout)
    install_into "$prefix"
    check_layout "$prefix"
    # In the build tree the tool's default is the build tree's models.
    [ "$target" = windows ] || default_models "$build/bin/vidra-segment" "$(cd "$src/build/models" && pwd -P)" ||
      fail "build-tree vidra-segment does not default to $src/build/models"
    ;;
  find_package) cmake_consumer "$prefix" "$out" ;;
  pkg_config|def_file)
    rm -rf "$out" && mkdir -p "$out"
    version=$(header_version "$prefix")
    # Windows finds the library beside the program, Linux through a run path.
    if [ "$target" = windows ]; then cp "$prefix"/bin/*.dll "$out/"; fi
    # Each library with a host of its own: consumer.c links vidra, consumer_core.c vidracore.
    for pair in vidra:consumer vidracore:consumer_core; do
      lib=${pair%:*} program=${pair#*:}
      if [ "$step" = pkg_config ]; then
        export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
        [ "$(pkg-config --modversion $lib)" = "$version" ] || fail "$lib.pc says $(pkg-config --modversion $lib)"
        read -ra link <<<"$(pkg-config --cflags --libs $lib)"
        [ "$target" = windows ] || link+=(-Wl,-rpath,"$(pkg-config --variable=libdir $lib)")
      else
        # The .def names exactly the DLL's exports; another toolchain's import library is made from it alone.
        x86_64-w64-mingw32-objdump -p "$prefix/bin/$lib.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          awk '/^[ \t]*\[ *[0-9]+\]/ {print $NF}' | sort >"$out/$lib.dll.txt"
        sed -n '/^EXPORTS/,$p' "$prefix/lib/$lib.def" | awk 'NR > 1 && NF {print $1}' | sort >"$out/$lib.def.txt"
        [ -s "$out/$lib.dll.txt" ] || fail "no exports read from $lib.dll"
        diff -u "$out/$lib.dll.txt" "$out/$lib.def.txt" >&2 || fail "$lib.def differs from the DLL's exports"
        x86_64-w64-mingw32-dlltool -d "$prefix/lib/$lib.def" -D $lib.dll -l "$out/lib${lib}_from_def.a"
        link=(-I"$prefix/include" "$out/lib${lib}_from_def.a")
      fi
      $cc -o "$out/$program$exe" "$src/tests/consumer/$program.c" -DVIDRA_PACKAGE_VERSION="\"$version\"" "${link[@]}" ||
        fail "$step build of $program"
      run_consumer "$out/$program$exe" "$prefix"
    done
    [ ! -s "$work/$step-stdout.txt" ] || fail "consumer_core: the core library wrote to standard output"
    ;;
  moved)
    rm -rf "$out" && mkdir -p "$out/elsewhere"
    install_into "$out/first"
    root=$out/elsewhere/vidra && mv "$out/first" "$root"
    check_layout "$root"
    run "$root/bin/example_host$exe" "$(native "$root/share/vidra/models")" >"$out/example_host.txt" 2>&1 ||
      fail "moved example_host"
    if [ "$target" = linux ]; then
      default_models "$root/bin/vidra-segment" "$root/share/vidra/models" ||
        fail "vidra-segment's default model folder is not $root/share/vidra/models"
      ffmpeg -v error -f lavfi -i "color=c=gray:s=64x48" -frames:v 1 "$out/in.png"
      "$root/bin/vidra-segment" --no-progress -m "$out/mask.png" "$out/in.png" 2>"$out/segment.txt" ||
        { cat "$out/segment.txt" >&2; fail "moved vidra-segment"; }
    fi
    cmake_consumer "$root" "$out/find_package"
    ;;
  *) fail "unknown step $step" ;;
esac
echo "install test $step ($target): ok" >&2
