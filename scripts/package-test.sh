#!/usr/bin/env bash
# `make package-test`: the checks of debian/tests run by autopkgtest on the package in dist/,
# as Debian runs them: in a throwaway bookworm system (autopkgtest-virt-unshare on a tarball
# made by mmdebstrap, cached in ~/.cache/kesu-tamrick/), so this machine's own packages stay
# as they are. Where the machine allows no user namespaces the checks run on the machine
# itself (autopkgtest's null runner), as they do with `scripts/package-test.sh --here`; then
# a kesu-tamrick already installed is left alone and the run refused, and what the run
# installs is purged again.
#
#   scripts/package-test.sh [--here]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"
deb="$root/dist/kesu-tamrick_$(kesuVersion)_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "$deb is missing; make package builds it"
installPackages autopkgtest mmdebstrap uidmap
work="$root/build/package-test"
rm -rf "$work"
mkdir -p "$work"

runner=unshare
user=$(id -un)
if [ "${1:-}" = "--here" ]; then
  runner=null
elif ! unshare --user --map-root-user true 2>/dev/null; then
  step "this machine allows no user namespaces, so the checks run on the machine itself (the null runner)"
  runner=null
elif ! grep -q "^$user:" /etc/subuid 2>/dev/null || ! grep -q "^$user:" /etc/subgid 2>/dev/null; then
  step "$user has no subordinate user and group ids for a throwaway system (/etc/subuid, /etc/subgid), so the checks run on the machine itself (the null runner); \`sudo usermod --add-subuids 100000-165535 --add-subgids 100000-165535 $user\` gives them"
  runner=null
fi

if [ "$runner" = unshare ]; then
  cache="${KESU_CACHE:-$HOME/.cache/kesu-tamrick}"
  tarball="$cache/bookworm-$(dpkg --print-architecture).tar"
  mkdir -p "$cache"
  if [ ! -f "$tarball" ] || [ -n "$(find "$tarball" -mtime +7 2>/dev/null)" ]; then
    step "a bookworm system for the tests: $tarball"
    # The format is named: mmdebstrap reads it from the name's ending otherwise, and makes a
    # folder of "….tar.new".
    rm -rf "$tarball" "$tarball.new"
    mmdebstrap --quiet --variant=apt --format=tar --include=ca-certificates bookworm "$tarball.new" \
      >"$work/mmdebstrap.log" 2>&1 || fail "mmdebstrap: $(tail -5 "$work/mmdebstrap.log")"
    mv "$tarball.new" "$tarball"
  fi
  step "autopkgtest in a throwaway bookworm system"
  # The tarball is made without package lists; the testbed reads them before installing.
  bounded 1800 autopkgtest --setup-commands "apt-get update -qq" --output-dir "$work/out" \
    --summary-file "$work/summary" "$deb" "$root" -- \
    unshare --release bookworm --arch "$(dpkg --print-architecture)" --tarball "$tarball"
else
  if dpkg-query -W -f='${Status}' kesu-tamrick 2>/dev/null | grep -q 'install ok installed'; then
    fail "kesu-tamrick is installed on this machine; the checks on the machine itself would remove it, so they do not run"
  fi
  before="$work/packages-before"
  dpkg-query -W -f='${Package}\n' | sort >"$before"
  purge() {
    local added
    added=$(dpkg-query -W -f='${Package}\n' | sort | comm -13 "$before" -)
    [ -z "$added" ] || $sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $added >/dev/null 2>&1 || true
  }
  trap purge EXIT
  step "autopkgtest on this machine (null runner)"
  bounded 1800 $sudo autopkgtest --output-dir "$work/out" --summary-file "$work/summary" "$deb" "$root" -- null
fi
cat "$work/summary" >&2 || true
[ "$status" -eq 0 ] || fail "autopkgtest exited with $status; its logs are in $work/out"

step "passed"
