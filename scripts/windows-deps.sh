#!/usr/bin/env bash
# The libraries the Windows player needs and Debian does not ship for MinGW (SDL2, libmpg123
# with libsyn123, libjpeg-turbo, libpng), built from Debian's own source packages with the
# MinGW-w64 cross compiler into a prefix outside the clone:
#
#   ~/.cache/kesu-tamrick/mingw-SDL2VERSION-MPG123VERSION-JPEGVERSION-PNGVERSION
#
# The sources come through `apt-get source` with a private sources list and state folder,
# so the machine's apt configuration is left as it is. A prefix whose versions are already
# built is reused. Prints the prefix on its last line.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cache="${KESU_CACHE:-$HOME/.cache/kesu-tamrick}"
host=x86_64-w64-mingw32
jobs=$(nproc)

installPackages mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev \
  dpkg-dev cmake make pkg-config autoconf automake libtool zip

# A private sources list of Debian's source packages, for the release this machine runs.
apt="$cache/apt"
mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$cache/src" "$cache/build"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
echo "deb-src http://deb.debian.org/debian $codename main" > "$apt/sources.list"
aptOptions=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
            -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt" -o "APT::Sandbox::User=root")
if [ ! -f "$apt/updated" ] || [ -n "$(find "$apt/updated" -mmin +1440 2>/dev/null)" ]; then
  apt-get "${aptOptions[@]}" update -qq >&2
  touch "$apt/updated"
fi
version() { apt-cache "${aptOptions[@]}" showsrc "$1" | sed -n 's/^Version: //p' | head -1; }
sdlVersion=$(version libsdl2)
mpg123Version=$(version mpg123)
jpegVersion=$(version libjpeg-turbo)
pngVersion=$(version libpng1.6)
if [ -z "$sdlVersion" ] || [ -z "$mpg123Version" ] || [ -z "$jpegVersion" ] || [ -z "$pngVersion" ]; then
  fail "the source packages libsdl2, mpg123, libjpeg-turbo and libpng1.6 are not in $codename's sources"
fi
tag=$(echo "$sdlVersion-$mpg123Version-$jpegVersion-$pngVersion" | tr ':+~' '___')
prefix="$cache/mingw-$tag"
if [ -f "$prefix/.complete" ]; then
  echo "windows-deps: reusing $prefix" >&2
  echo "$prefix"
  exit 0
fi

# Fetches and unpacks a source package into the cache; prints its folder. Each file is
# checked against the hash the signed Sources index gives (the .dsc) or the .dsc gives (the
# rest). An upstream tarball's own .asc signature is optional: some mirrors do not carry it,
# and the archive's checksums hold without it.
fetch() {
  local package=$1 version=$2 folder work log
  folder="$cache/src/$package-${version//:/_}"
  if [ ! -d "$folder" ]; then
    work="$cache/src/.work-$package"
    log="$cache/build/$package-source.log"
    rm -rf "$work" "$log"
    mkdir -p "$work"
    (cd "$work" && apt-get "${aptOptions[@]}" --print-uris source "$package=$version") 2>>"$log" |
      sed -n "s/^'\([^']*\)' \([^ ]*\) [0-9]* \(.*\)\$/\1 \2 \3/p" >"$work/files"
    if [ ! -s "$work/files" ]; then
      echo "windows-deps: apt-get lists no files for the source package $package $version" >&2
      exit 1
    fi
    local uri name hash
    while read -r uri name hash; do
      if ! /usr/lib/apt/apt-helper -o APT::Sandbox::User=root download-file "$uri" "$work/$name" "$hash" >>"$log" 2>&1; then
        case "$name" in
          *.asc) echo "windows-deps: $name is not on the mirror; going on without the upstream signature" >&2 ;;
          *) echo "windows-deps: cannot download $uri:" >&2; tail -n 5 "$log" >&2; exit 1 ;;
        esac
      fi
    done <"$work/files"
    if ! (cd "$work" && dpkg-source --no-check -x ./*.dsc unpacked) >>"$log" 2>&1; then
      echo "windows-deps: cannot unpack $package $version:" >&2
      tail -n 10 "$log" >&2
      exit 1
    fi
    mv "$work/unpacked" "$folder"
    rm -rf "$work"
  fi
  echo "$folder"
}

toolchain="$root/cmake/mingw-w64-x86_64.cmake"
mkdir -p "$prefix"
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"

# Runs one library's build with its output in build/NAME.log; on failure shows the log's end.
# A library built into this prefix before is skipped, so a failure in one does not cost the
# others again.
built() { [ -f "$prefix/.built-$1" ]; }
run() {
  local name=$1
  shift
  if ! "$@" >>"$cache/build/$name.log" 2>&1; then
    echo "windows-deps: building $name failed; the end of $cache/build/$name.log:" >&2
    tail -n 30 "$cache/build/$name.log" >&2
    exit 1
  fi
}
cmakeLibrary() {
  local name=$1 source=$2
  shift 2
  rm -rf "$cache/build/$name" "$cache/build/$name.log"
  run "$name" cmake -S "$source" -B "$cache/build/$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DKESU_MINGW_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
  run "$name" cmake --build "$cache/build/$name" -j "$jobs"
  run "$name" cmake --install "$cache/build/$name"
  touch "$prefix/.built-$name"
}

if ! built sdl2; then
  echo "windows-deps: SDL2 $sdlVersion" >&2
  cmakeLibrary sdl2 "$(fetch libsdl2 "$sdlVersion")" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    -DSDL2_DISABLE_SDL2MAIN=OFF
fi

if ! built jpeg; then
  echo "windows-deps: libjpeg-turbo $jpegVersion" >&2
  cmakeLibrary jpeg "$(fetch libjpeg-turbo "$jpegVersion")" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
fi

# Screenshots are PNG files; zlib comes from Debian's MinGW package.
if ! built png; then
  echo "windows-deps: libpng $pngVersion" >&2
  cmakeLibrary png "$(fetch libpng1.6 "$pngVersion")" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF
fi

# libmpg123 and libsyn123 are LGPL: they stay DLLs beside the program, so they can be
# replaced.
if ! built mpg123; then
  echo "windows-deps: mpg123 $mpg123Version" >&2
  mpg123=$(fetch mpg123 "$mpg123Version")
  rm -rf "$cache/build/mpg123" "$cache/build/mpg123.log"
  mkdir -p "$cache/build/mpg123"
  cd "$cache/build/mpg123"
  run mpg123 "$mpg123/configure" --host="$host" --prefix="$prefix" --enable-shared --disable-static \
    --disable-components --enable-libmpg123 --enable-libsyn123 CC="$host-gcc-posix"
  run mpg123 make -j "$jobs"
  run mpg123 make install
  cd "$root"
  touch "$prefix/.built-mpg123"
fi

touch "$prefix/.complete"
echo "windows-deps: built into $prefix" >&2
echo "$prefix"
