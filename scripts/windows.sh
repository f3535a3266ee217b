#!/usr/bin/env bash
# `make windows`: cross-builds the player for 64-bit Windows with Debian's MinGW-w64
# toolchain and packs dist/kesu-tamrick-windows-x64.zip: kesu.exe, the DLLs it still needs,
# the data pack (made by this machine's data generator), a kesu.ini, the licence and a
# README.txt for Windows. The libraries come from scripts/windows-deps.sh.
#
#   scripts/windows.sh RELEASE_BUILD
set -euo pipefail
source "$(dirname "$0")/lib.sh"
release=$(cd "${1:-build/release}" && pwd)
cd "$root"
prefix=$(bash scripts/windows-deps.sh | tail -1)
build="$root/build/windows"
host=x86_64-w64-mingw32
version=$(kesuVersion)

step "building kesu.exe $version in $build"
buildPlayer "$build" cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DKESU_MINGW_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DKESU_TESTS=OFF -DKESU_BENCH=OFF

# The data pack and its configuration, generated here as `make run` generates them.
pack="$build/pack"
freshDataPack "$release/tools/datagen/kesu-datagen" "$pack"

stage="$build/stage/kesu-tamrick"
rm -rf "$build/stage"
mkdir -p "$stage/data"
cp "$build/host/kesu.exe" "$stage/"
"$host-strip" "$stage/kesu.exe"
find "$pack/data" -maxdepth 1 -type f ! -name .complete -exec cp {} "$stage/data/" \;
sed 's/$/\r/' "$pack/kesu.ini" > "$stage/kesu.ini"
# The DLLs kesu.exe imports that are not part of Windows: LGPL libraries stay replaceable.
# Every other import must be one of Windows' own DLLs, or the zip would not start.
system="advapi32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32 opengl32 glu32 setupapi shell32 shlwapi user32 version winmm"
for file in "$stage/kesu.exe" "$prefix"/bin/libmpg123-0.dll "$prefix"/bin/libsyn123-0.dll; do
  for dll in $("$host-objdump" -p "$file" | sed -n 's/.*DLL Name: //p'); do
    lower=$(echo "${dll%.dll}" | tr 'A-Z' 'a-z')
    lower=${lower%.dll}
    if [ -f "$prefix/bin/$dll" ]; then
      cp "$prefix/bin/$dll" "$stage/"
      "$host-strip" "$stage/$dll"
    elif ! grep -qw "$lower" <<<"$system"; then
      fail "$(basename "$file") imports $dll, which is neither built here nor part of Windows"
    fi
  done
done
sed 's/$/\r/' LICENSE > "$stage/LICENSE.txt"
bash scripts/windows-readme.sh "$version" "$prefix" | sed 's/$/\r/' > "$stage/README.txt"

mkdir -p dist
zip="$root/dist/kesu-tamrick-windows-x64.zip"
rm -f "$zip"
(cd "$build/stage" && zip -q -r -9 "$zip" kesu-tamrick)
step "$(basename "$zip"), $(du -h "$zip" | cut -f1)"
unzip -l "$zip" | sed -n '4,$p' | grep -v '/data/' >&2
