#!/usr/bin/env python3
"""Lays the data pack out for the page: each file under SITE/data/, named after its content's
digest so that a new build's files never pass for an old one's, the scenes packed with gzip
(the page unpacks them), and SITE/kesu-files.DIGEST.json, which lists them in the order the
show's loading reads them, stage by stage, with the bytes each sends; index.html names that
list (its kesu-files meta tag) and the page's scripts, which get digest names too. A page from
one build thus only ever loads that build's files, from the network or the cache.

    web-pack.py SITE DATA_FOLDER KESU_WEBPACK [PROGRAM_FOLDER]

KESU_WEBPACK is the tool that gives the loading's order; PROGRAM_FOLDER holds kesu.js and
kesu.wasm, laid out beside the pack under digest names too (the wasm packed with gzip). Without
it, the program the site's list names already stays.
"""
import gzip
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys

# Scenes and the program shrink with gzip; the pictures and the music are packed already.
PACKED = (".3ds", ".wasm", ".js")
DIGESTED = re.compile(r"\.[0-9a-f]{12}\.")


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


def name_scripts(site):
    """The page's scripts under digest names, and index.html naming them so: a new build's page
    never runs an old build's scripts. Scripts already so named stay."""
    page = os.path.join(site, "index.html")
    with open(page) as source:
        text = source.read()
    for script in re.findall(r'<script src="([^"/]+)\.js"></script>', text):
        if DIGESTED.search(script + ".js"):
            continue
        with open(os.path.join(site, script + ".js"), "rb") as source:
            data = source.read()
        named = "%s.%s.js" % (script, digest(data))
        os.replace(os.path.join(site, script + ".js"), os.path.join(site, named))
        text = text.replace('<script src="%s.js">' % script, '<script src="%s">' % named)
    return text


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    site, data, tool = sys.argv[1:4]
    order = json.loads(subprocess.run([tool, data], check=True, capture_output=True, text=True).stdout)
    page = name_scripts(site)
    listed = re.search(r'<meta name="kesu-files" content="([^"]*)">', page)
    if not listed:
        sys.exit("web-pack.py: %s/index.html has no kesu-files meta tag" % site)
    kept = {}
    if listed.group(1) and os.path.exists(os.path.join(site, listed.group(1))):
        with open(os.path.join(site, listed.group(1))) as old:
            kept = json.load(old).get("program", {})
        os.remove(os.path.join(site, listed.group(1)))
    if os.path.isdir(os.path.join(site, "data")):
        shutil.rmtree(os.path.join(site, "data"))
    os.makedirs(os.path.join(site, "data"))
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
    text = json.dumps(manifest, indent=1, sort_keys=True) + "\n"
    name = "kesu-files.%s.json" % digest(text.encode())
    with open(os.path.join(site, name), "w") as out:
        out.write(text)
    with open(os.path.join(site, "index.html"), "w") as out:
        out.write(page.replace(listed.group(0), '<meta name="kesu-files" content="%s">' % name))


if __name__ == "__main__":
    main()
