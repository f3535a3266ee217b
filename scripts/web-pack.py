#!/usr/bin/env python3
"""Lays the data pack out for the page: each file under SITE/data/, named after its content's
digest so that a new build's files never pass for an old one's, the scenes packed with gzip
(the page unpacks them), and SITE/kesu-files.json, which lists them in the order the show's
loading reads them, stage by stage, with the bytes each sends.

    web-pack.py SITE DATA_FOLDER KESU_WEBPACK [PROGRAM_FOLDER]

KESU_WEBPACK is the tool that gives the loading's order; PROGRAM_FOLDER holds kesu.js and
kesu.wasm, laid out beside the pack under digest names too (the wasm packed with gzip). Without
it, the program SITE/kesu-files.json names already stays.
"""
import gzip
import hashlib
import json
import os
import subprocess
import sys

# Scenes and the program shrink with gzip; the pictures and the music are packed already.
PACKED = (".3ds", ".wasm", ".js")


def digest(data):
    return hashlib.sha256(data).hexdigest()[:12]


def lay_out(site, source, name, folder=""):
    """SITE/folder/stem.DIGEST.ext[.gz] from source; returns its path in the site and its bytes."""
    with open(source, "rb") as file:
        data = file.read()
    stem, ext = os.path.splitext(name)
    packs = ext.lower() in PACKED
    if packs:
        data = gzip.compress(data, compresslevel=9, mtime=0)
    path = "%s%s.%s%s%s" % (folder, stem, digest(data), ext, ".gz" if packs else "")
    with open(os.path.join(site, path), "wb") as out:
        out.write(data)
    return path, len(data)


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    site, data, tool = sys.argv[1:4]
    order = json.loads(subprocess.run([tool, data], check=True, capture_output=True, text=True).stdout)
    listed = os.path.join(site, "kesu-files.json")
    kept = {}
    if os.path.exists(listed):
        with open(listed) as old:
            kept = json.load(old).get("program", {})
    os.makedirs(os.path.join(site, "data"), exist_ok=True)
    files = {}
    names = [order["music"], order["waitScreen"]] + [name for stage in order["stages"] for name in stage["files"]]
    for name in names:
        if name not in files:
            path, size = lay_out(site, os.path.join(data, name), name, "data/")
            files[name] = {"path": path, "bytes": size}
    manifest = {"music": order["music"], "waitScreen": order["waitScreen"], "files": files, "stages": order["stages"],
                "program": kept}
    if len(sys.argv) == 5:
        program = sys.argv[4]
        wasm, wasm_bytes = lay_out(site, os.path.join(program, "kesu.wasm"), "kesu.wasm")
        script, script_bytes = lay_out(site, os.path.join(program, "kesu.js"), "kesu.js")
        manifest["program"] = {"wasm": {"path": wasm, "bytes": wasm_bytes}, "script": {"path": script, "bytes": script_bytes}}
    with open(listed, "w") as out:
        json.dump(manifest, out, indent=1, sort_keys=True)
        out.write("\n")


if __name__ == "__main__":
    main()
