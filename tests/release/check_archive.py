#!/usr/bin/env python3
"""Checks the release archive packed from a Windows build tree, as a product
team receives it (tools/pack-release.py, the step scripts/release ends with):

- one folder trelvo-<version>-win32/ (version as 2.03.0002) holding the
  launcher and (when the build has it) the checker, byte for byte the
  build's, the demo medium, the two documents, LICENSE.txt, NOTICES.txt with
  each linked library's licence, and SHA256SUMS;
- `sha256sum -c SHA256SUMS` in the unpacked folder passes and SHA256SUMS
  names every other file, exactly once;
- entries sorted, every time the source's date, fixed modes; packed again
  later under another umask it is the same bytes;
- packing refuses a build without the checker when the source holds it;
- scripts/release refuses a tree with uncommitted changes before building.

It does not run the full scripts/release (a fresh clone and build): the
reproducible_build test covers building the same bytes in a fresh clone.

usage: check_archive.py --build build/windows --source .
Prints "N passed, N failed"; exit status 1 when any check fails."""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

results = []


def check(ok, what):
    results.append(bool(ok))
    if not ok:
        print(f"FAILED: {what}")


def pack(tool, build, source, output, umask):
    result = subprocess.run([sys.executable, tool, "--build", build, "--source", source, "-o", output],
                            capture_output=True, text=True, preexec_fn=lambda: os.umask(umask))
    return result.returncode, result.stdout.strip(), result.stderr.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    source = os.path.realpath(args.source)
    tool = os.path.join(source, "tools", "pack-release.py")
    manifest = dict(line.partition(" ")[::2] for line in
                    open(os.path.join(args.build, "release.txt"), encoding="utf-8").read().splitlines())
    version, checker = manifest["version"], manifest["checker"].strip()
    epoch = int(subprocess.run([os.path.join(source, "scripts", "source-date-epoch")],
                               capture_output=True, text=True, check=True).stdout)
    work = tempfile.mkdtemp(prefix="trelvo-archive-")
    try:
        # Packed twice, at two moments, under two umasks.
        code, archive, err = pack(tool, args.build, source, os.path.join(work, "one"), 0o022)
        check(code == 0, f"packing succeeds ({err})")
        if code != 0:
            return 1
        time.sleep(2)
        code, again, err = pack(tool, args.build, source, os.path.join(work, "two"), 0o077)
        check(code == 0 and open(archive, "rb").read() == open(again, "rb").read(),
              f"packed again later under another umask, the archive has the same bytes ({err})")

        check(re.fullmatch(r"\d+\.\d{2}\.\d{4}", version), f"version {version!r} in the displayed form 2.03.0002")
        top = f"trelvo-{version}-win32"
        check(os.path.basename(archive) == f"{top}.zip", f"archive named {top}.zip (found {archive})")
        with zipfile.ZipFile(archive) as zip_file:
            entries = zip_file.infolist()
            names = [e.filename for e in entries]
            check(names == sorted(names), "entries sorted")
            check(all(n.startswith(top + "/") for n in names), f"everything inside {top}/")
            stamp = time.gmtime(max(epoch, 315532800))[:6]
            stamp = stamp[:5] + (stamp[5] // 2 * 2,)  # ZIP keeps even seconds
            check(all(e.date_time == stamp for e in entries), f"every entry dated {stamp} (the source's date)")
            modes = {n: e.external_attr >> 16 for n, e in zip(names, entries)}
            check(all(m == (0o100755 if n.endswith(".exe") else 0o100644) for n, m in modes.items()),
                  f"modes 755 for programs, 644 for the rest (found {sorted(set(map(oct, modes.values())))})")
            unpacked = os.path.join(work, "unpacked")
            zip_file.extractall(unpacked)
        folder = os.path.join(unpacked, top)
        files = sorted(n[len(top) + 1:] for n in names)
        print(f"{os.path.basename(archive)}: {len(files)} files")
        for name in files:
            print(f"  {os.path.getsize(os.path.join(folder, name)):8d}  {name}")

        wanted = ["trelvo.exe", "examples/trelvo.ini", "examples/splash.bmp", "docs/configuration.md",
                  "docs/shipping-a-medium.md", "LICENSE.txt", "NOTICES.txt", "SHA256SUMS"]
        if checker:
            wanted.append("trelvo-media.exe")
        missing = [w for w in wanted if w not in files]
        check(not missing, f"the archive holds {wanted} (missing {missing})")
        check(checker or "trelvo-media.exe" not in files, "no checker in the archive of a build without one")
        demo = sorted(os.path.relpath(os.path.join(d, f), source) for d, _, fs in
                      os.walk(os.path.join(source, "examples")) for f in fs)
        check([f for f in files if f.startswith("examples/")] == demo, "the whole demo medium, nothing else")
        for name, built in (("trelvo.exe", manifest["launcher"]), ("trelvo-media.exe", checker)):
            if built and name in files:
                check(open(os.path.join(folder, name), "rb").read() == open(built, "rb").read(),
                      f"{name} is the build's {built}")

        verify = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=folder,
                                capture_output=True, text=True)
        check(verify.returncode == 0, f"sha256sum -c SHA256SUMS passes ({verify.stdout}{verify.stderr})")
        listed = [line.split("  ", 1)[1] for line in
                  open(os.path.join(folder, "SHA256SUMS"), encoding="utf-8").read().splitlines()]
        check(listed == [f for f in files if f != "SHA256SUMS"],
              "SHA256SUMS names every other file once, in order")
        license_text = open(os.path.join(folder, "LICENSE.txt"), encoding="utf-8").read()
        check(license_text.startswith("MIT License") and "The Trelvo developers" in license_text,
              "LICENSE.txt is the MIT licence of the Trelvo developers")
        notices = open(os.path.join(folder, "NOTICES.txt"), encoding="utf-8").read()
        packages = ["mingw-w64-i686-dev", "g++-mingw-w64-i686-win32"]
        packages += ["nlohmann-json3-dev", "libcli11-dev"] if checker else []
        for package in packages:
            check(f"Debian package {package} " in notices, f"NOTICES.txt carries {package}'s notice")
        check("GCC RUNTIME LIBRARY EXCEPTION" in notices, "NOTICES.txt carries the GCC Runtime Library Exception")
        check(bool(checker) == ("nlohmann" in notices), "the checker's libraries noticed exactly when it is shipped")

        # A source that holds the checker, a build that lacks it.
        fake_source = os.path.join(work, "fake-source")
        fake_build = os.path.join(work, "fake-build")
        shutil.copytree(os.path.join(source, "scripts"), os.path.join(fake_source, "scripts"))
        os.makedirs(os.path.join(fake_source, "src", "media"))
        os.makedirs(fake_build)
        with open(os.path.join(fake_build, "release.txt"), "w", encoding="utf-8") as out:
            out.write(f"version {version}\nlauncher {manifest['launcher']}\nchecker \ntargets trelvo\n")
        code, _out, err = pack(tool, fake_build, fake_source, os.path.join(work, "fake-out"), 0o022)
        check(code != 0 and "trelvo-media" in err and not os.path.exists(os.path.join(work, "fake-out", f"{top}.zip")),
              f"packing a build without the checker from a source with it fails, naming it ({code}, {err})")

        # scripts/release on a clone with an untracked file.
        clone = os.path.join(work, "dirty")
        subprocess.run(["git", "clone", "--quiet", "--shared", source, clone], check=True)
        subprocess.run(["git", "-C", clone, "checkout", "--quiet", "--detach",
                        subprocess.run(["git", "-C", source, "rev-parse", "HEAD"], capture_output=True,
                                       text=True, check=True).stdout.strip()], check=True)
        with open(os.path.join(clone, "stray.txt"), "w") as out:
            out.write("not committed\n")
        result = subprocess.run([os.path.join(clone, "scripts", "release")], capture_output=True, text=True)
        check(result.returncode == 1 and "uncommitted" in result.stderr and "stray.txt" in result.stderr
              and not os.path.exists(os.path.join(clone, "build")),
              f"scripts/release refuses a tree with an untracked file before building ({result.returncode}, {result.stderr})")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{results.count(True)} passed, {results.count(False)} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
