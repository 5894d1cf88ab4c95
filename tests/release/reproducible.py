#!/usr/bin/env python3
"""Builds the Windows executables twice, from two copies of this source tree
in two different temporary folders, at two different moments, under two
different umasks, and checks that they come out byte for byte the same:
dist/trelvo.exe, dist/trelvo-media.exe (with --checker=yes) and a launcher
branded by scripts/brand with the demo medium's icon.

usage: reproducible.py SOURCE_DIR [--checker=yes|no] [--keep]

Each copy is a git clone of SOURCE_DIR's HEAD with the working tree's own
changes laid over it, so what is tested is what is about to be committed,
and both copies take the commit's time as their date (a source tree outside
git is copied as it is). Besides equal
SHA-256 digests, every image must carry that date as its PE time stamp and
must not hold either copy's folder name (as bytes or UTF-16). Prints the
digests; exit status 1 when any check fails."""

import argparse
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

OUTPUTS = ["dist/trelvo.exe", "dist/trelvo-media.exe", "dist/branded/trelvo.exe"]


def run(cmd, cwd, umask, env=None):
    def preexec():
        os.umask(umask)
    result = subprocess.run(cmd, cwd=cwd, env=env, preexec_fn=preexec,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        sys.stdout.write(result.stdout)
        raise SystemExit(f"reproducible: {' '.join(cmd)} failed in {cwd} (exit {result.returncode})")
    return result.stdout


def copy_tree(src, dest, umask):
    """A clone of src's HEAD with the working tree's changes laid over it;
    outside a git checkout, a copy of the tree (dated 0 by both builds)."""
    if not os.path.isdir(os.path.join(src, ".git")) and not os.path.isfile(os.path.join(src, ".git")):
        shutil.copytree(src, dest, symlinks=True, ignore=shutil.ignore_patterns("build", "dist"))
        return
    head = run(["git", "-C", src, "rev-parse", "HEAD"], src, umask).strip()
    run(["git", "clone", "--quiet", "--shared", "--no-checkout", src, dest], src, umask)
    run(["git", "-C", dest, "checkout", "--quiet", "--detach", head], dest, umask)
    changed = run(["git", "-C", src, "ls-files", "-z", "--modified", "--others", "--exclude-standard"],
                  src, umask).split("\0")
    deleted = set(run(["git", "-C", src, "ls-files", "-z", "--deleted"], src, umask).split("\0"))
    for name in filter(None, changed):
        target = os.path.join(dest, name)
        if name in deleted:
            if os.path.lexists(target):
                os.remove(target)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(os.path.join(src, name), target)


def build(tree, umask, checker):
    env = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL="2")
    env.pop("SOURCE_DATE_EPOCH", None)  # the default: the commit's own time
    run(["cmake", "--preset", "windows"], tree, umask, env)
    targets = ["trelvo"] + (["trelvo-media"] if checker else [])
    run(["cmake", "--build", "--preset", "windows", "-j2", "--target"] + targets, tree, umask, env)
    run(["scripts/brand", "examples/demo.ico", "Demo Setup"], tree, umask, env)
    return int(run(["scripts/source-date-epoch"], tree, umask, env))


def pe_time_stamp(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, pe + 8)[0]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source")
    parser.add_argument("--checker", choices=["yes", "no"], default="no",
                        help="whether the build has dist/trelvo-media.exe")
    parser.add_argument("--keep", action="store_true", help="keep the two trees")
    args = parser.parse_args()
    source = os.path.realpath(args.source)
    checker = args.checker == "yes"
    if not checker and os.path.isdir(os.path.join(source, "src", "media")):
        raise SystemExit("reproducible: the source holds the checker (src/media), "
                         "but the build has no trelvo-media target")
    outputs = OUTPUTS if checker else [o for o in OUTPUTS if "trelvo-media" not in o]

    work = tempfile.mkdtemp(prefix="trelvo-repro-")
    # Two folders of different depth and length, two umasks.
    trees = [(os.path.join(work, "one"), 0o022),
             (os.path.join(work, "two", "a-longer-folder-name"), 0o077)]
    failures = []
    try:
        digests, epochs, images = [], [], []
        for index, (tree, umask) in enumerate(trees):
            if index:
                time.sleep(2)  # a later moment, whatever the build's speed
            os.makedirs(os.path.dirname(tree), exist_ok=True)
            started = time.monotonic()
            copy_tree(source, tree, umask)
            epochs.append(build(tree, umask, checker))
            print(f"build {index + 1} in {tree} (umask {umask:03o}): {time.monotonic() - started:.0f} s")
            found = {}
            for name in outputs:
                data = open(os.path.join(tree, name), "rb").read()
                found[name] = data
            images.append(found)
            digests.append({name: hashlib.sha256(data).hexdigest() for name, data in found.items()})

        if epochs[0] != epochs[1]:
            failures.append(f"the two copies have different dates: {epochs}")
        for name in outputs:
            a, b = digests[0][name], digests[1][name]
            print(f"{a}  {name} (build 1)\n{b}  {name} (build 2)")
            if a != b:
                failures.append(f"{name} differs between the two builds")
            for index, found in enumerate(images):
                stamp = pe_time_stamp(found[name])
                if stamp != epochs[index]:
                    failures.append(f"{name} (build {index + 1}) has time stamp {stamp}, not the source's date {epochs[index]}")
                for tree, _umask in trees:
                    for folder in (tree, os.path.basename(work)):
                        for encoded in (folder.encode(), folder.encode("utf-16-le")):
                            if encoded in found[name]:
                                failures.append(f"{name} (build {index + 1}) holds the build folder {folder!r}")
        if digests[0]["dist/trelvo.exe"] == digests[0]["dist/branded/trelvo.exe"]:
            failures.append("the branded launcher is the plain one: scripts/brand changed nothing")
    finally:
        if args.keep:
            print(f"trees kept in {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print(f"FAILED: {failure}")
    print(f"{len(outputs)} images compared, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
