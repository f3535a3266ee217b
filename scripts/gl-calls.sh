#!/usr/bin/env bash
# The GL 1.1, GLU and extension calls the show makes (the drawing folders, the player's screen
# and the capture tool's readback, and the entry points the program fetches by name, which
# fixedgl/glCalls.h lists), against those the fixed-function layer defines.
#
#   scripts/gl-calls.sh           both lists, side by side
#   scripts/gl-calls.sh --check   fails, naming them, when the layer lacks a call the show makes
#                                 or defines one the show never makes
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"

# Names of our own that begin with "gl" but are no GL call.
ours='^(glCalls|glExtensions)$'
# The list's rows the program fetches: KESU_GL_PROGRAM_CALLS takes the SHARED, SHARED_ES and
# OWN rows.
fetched=$(grep -oE '##_(SHARED|SHARED_ES|OWN)\(X, [A-Za-z0-9]+, [A-Za-z0-9]+' fixedgl/glCalls.h | sed -E 's/.*, /gl/')
called=$( { grep -rhoE '\bglu?[A-Z][A-Za-z0-9]*\(' effects render scene3ds particles textures timeline host platform \
              tools/capture --include=*.cpp | tr -d '('
            echo "$fetched"; } |
          grep -vE "$ours" | sort -u)
taken=$(grep -hoE '^[A-Za-z* ]*APIENTRY glu?[A-Z][A-Za-z0-9]*\(' fixedgl/entryPoints.cpp |
        sed -E 's/.*APIENTRY (glu?[A-Za-z0-9]*)\(/\1/' | sort -u)

missing=$(comm -23 <(echo "$called") <(echo "$taken"))
extra=$(comm -13 <(echo "$called") <(echo "$taken"))
if [ "${1:-}" = "--check" ]; then
  [ -z "$missing" ] || { echo "the layer lacks: $(echo $missing)" >&2; exit 1; }
  [ -z "$extra" ] || { echo "the layer takes calls the show never makes: $(echo $extra)" >&2; exit 1; }
  echo "the layer takes the $(echo "$called" | wc -l) calls the show makes, and no other"
  exit 0
fi
printf '%-28s %s\n' "the show calls" "the layer"
while read -r name; do
  if echo "$taken" | grep -qx "$name"; then how=defines; else how=MISSING; fi
  printf '%-28s %s\n' "$name" "$how"
done <<<"$called"
[ -z "$extra" ] || echo "defined but never called: $(echo $extra)"
