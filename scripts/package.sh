#!/usr/bin/env bash
# `make package`: builds the Debian package with Debian's own tools (dpkg-buildpackage over
# debian/) from a copy of the source in build/package, and puts the .deb with its
# .buildinfo and .changes into dist/. Installs the packaging tools and the build
# dependencies first, then checks the result with lintian (no error, no warning),
# desktop-file-validate and appstreamcli.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"

installPackages dpkg-dev debhelper lintian desktop-file-utils appstream
if ! dpkg-checkbuilddeps >/dev/null 2>&1; then
  step "installing the build dependencies of debian/control"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq "$root" >/dev/null
fi

version=$(kesuVersion)
arch=$(dpkg --print-architecture)
work="$root/build/package"
source="$work/kesu-tamrick-$version"
rm -rf "$work"
mkdir -p "$source" "$root/dist"
# The files of the project as a clone has them: build products, run folders and earlier
# packages stay out.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$source"
else
  tar --exclude=./build --exclude=./run --exclude=./dist --exclude=./.git -cf - . | tar -xf - -C "$source"
fi

step "building kesu-tamrick $version for $arch in $work"
start=$(date +%s)
# No separate package of debugging symbols: dist/ holds the one package.
(cd "$source" && DEB_BUILD_OPTIONS="parallel=$(nproc) noautodbgsym ${DEB_BUILD_OPTIONS:-}" \
  dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1) || {
  tail -40 "$work/build.log" >&2
  fail "dpkg-buildpackage failed; the whole log is $work/build.log"
}
base="kesu-tamrick_${version}_${arch}"
rm -f "$root/dist/$base".*
mv "$work/$base.deb" "$work/$base.buildinfo" "$work/$base.changes" "$root/dist/"
step "dist/$base.deb built in $(( $(date +%s) - start )) s"
step "lintian"
lintian --fail-on error,warning --info "$root/dist/$base.changes"
contents="$work/contents"
dpkg-deb -x "$root/dist/$base.deb" "$contents"
desktop-file-validate "$contents"/usr/share/applications/*.desktop
appstreamcli validate --no-net --explain "$contents"/usr/share/metainfo/*.metainfo.xml
ls -l "$root/dist/$base".*
