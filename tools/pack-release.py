#!/usr/bin/env python3
"""Packs the release archive from a Windows build tree and its source tree:

    pack-release.py --build build/windows --source . -o dist/

writes trelvo-<version>-win32.zip (version in the product's displayed form,
2.03.0002) into the -o folder and prints its path. The build tree's
release.txt (written by cmake/windows.cmake) names the version and the
executables; when the source holds the checker (src/media) the build must
have made trelvo-media.exe, or packing fails.

The archive holds one folder trelvo-<version>-win32/ with the launcher, the
checker, the demo medium (examples/), the configuration reference, the
guide to shipping a medium and each trelvo-media command's document
(docs/), LICENSE.txt, NOTICES.txt (the licences
of what is linked into the executables, from the build machine's Debian
packages) and SHA256SUMS (every other file; `sha256sum -c SHA256SUMS` in
that folder checks them). It is reproducible: entries sorted, every time
SOURCE_DATE_EPOCH (scripts/source-date-epoch), fixed modes, fixed
compression."""

import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

# The documents a product team needs beside the programs: the two below,
# and each trelvo-media command's own (docs/trelvo-media-*.md).
REQUIRED_DOCS = ["docs/configuration.md", "docs/shipping-a-medium.md"]
ZIP_EPOCH = 315532800  # 1980-01-01, the oldest time a ZIP entry can hold

# What is linked into the executables, by Debian package. The GCC packages'
# copyright file carries the GCC Runtime Library Exception under which
# libgcc and libstdc++ may be linked into any program.
RUNTIME_NOTICES = [
    ("The MinGW-w64 runtime (C runtime start-up, import libraries)", "mingw-w64-i686-dev"),
    ("GCC's runtime libraries libgcc and libstdc++, under the GCC Runtime Library Exception",
     "g++-mingw-w64-i686-win32"),
]
CHECKER_NOTICES = [
    ("JSON for Modern C++ (nlohmann-json)", "nlohmann-json3-dev"),
    ("CLI11, the command-line parser", "libcli11-dev"),
]


def fail(message):
    raise SystemExit(f"pack-release: {message}")


def read_manifest(build):
    path = os.path.join(build, "release.txt")
    try:
        lines = open(path, encoding="utf-8").read().splitlines()
    except OSError as error:
        fail(f"{path}: {error.strerror}; configure the Windows build first (cmake --preset windows)")
    manifest = {}
    for line in lines:
        key, _, value = line.partition(" ")
        manifest[key] = value.strip()
    return manifest


def package_notice(title, package):
    version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                             capture_output=True, text=True)
    copyright_file = f"/usr/share/doc/{package}/copyright"
    if version.returncode != 0 or not os.path.isfile(copyright_file):
        fail(f"the Debian package {package} (or its {copyright_file}) is not installed; "
             "its notice belongs in the release")
    text = open(copyright_file, encoding="utf-8", errors="replace").read().rstrip("\n")
    rule = "=" * 78
    return f"{rule}\n{title}\nDebian package {package} {version.stdout}, {copyright_file}:\n{rule}\n\n{text}\n\n"


def notices(version, with_checker):
    out = [f"Third-party notices for Trelvo {version} (win32)\n\n"
           "trelvo.exe" + (" and trelvo-media.exe are" if with_checker else " is") +
           " statically linked with the MinGW-w64 runtime and GCC's runtime\n"
           "libraries; " + ("trelvo-media.exe also contains nlohmann-json and CLI11. "
                            if with_checker else "") +
           "Their copyright and licence\nnotices follow, as the Debian packages "
           "they were built from state them.\n\n"]
    for title, package in RUNTIME_NOTICES + (CHECKER_NOTICES if with_checker else []):
        out.append(package_notice(title, package))
    return "".join(out).encode("utf-8")


def source_date_epoch(source):
    result = subprocess.run([os.path.join(source, "scripts", "source-date-epoch")],
                            capture_output=True, text=True)
    if result.returncode != 0:
        fail(result.stderr.strip() or "scripts/source-date-epoch failed")
    return int(result.stdout)


def contents(manifest, source):
    """{archive path: bytes} of everything but SHA256SUMS."""
    files = {}
    version = manifest.get("version") or fail("release.txt names no version")
    launcher = manifest.get("launcher") or fail("release.txt names no launcher")
    checker = manifest.get("checker", "")
    if os.path.isdir(os.path.join(source, "src", "media")) and not checker:
        fail("the source holds the checker (src/media) but the build has no trelvo-media target")
    for name, path in (("trelvo.exe", launcher), ("trelvo-media.exe", checker)):
        if not path:
            continue
        if not os.path.isfile(path):
            fail(f"{path} is not built")
        files[name] = open(path, "rb").read()
    examples = os.path.join(source, "examples")
    for folder, dirs, names in os.walk(examples):
        dirs.sort()
        for name in names:
            path = os.path.join(folder, name)
            files["examples/" + os.path.relpath(path, examples).replace(os.sep, "/")] = open(path, "rb").read()
    docs = os.path.join(source, "docs")
    command_docs = sorted(n for n in os.listdir(docs) if n.startswith("trelvo-media-") and n.endswith(".md"))
    for doc in REQUIRED_DOCS + [f"docs/{n}" for n in command_docs]:
        path = os.path.join(source, doc)
        if not os.path.isfile(path):
            fail(f"{path} is missing")
        files[doc] = open(path, "rb").read()
    files["LICENSE.txt"] = open(os.path.join(source, "LICENSE"), "rb").read()
    files["NOTICES.txt"] = notices(version, bool(checker))
    return version, files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the Windows build tree")
    parser.add_argument("--source", required=True, help="the source tree it was built from")
    parser.add_argument("-o", "--output", required=True, help="folder the archive is written to")
    args = parser.parse_args()

    manifest = read_manifest(args.build)
    version, files = contents(manifest, args.source)
    files["SHA256SUMS"] = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n"
                                  for name, data in sorted(files.items())).encode()
    stamp = time.gmtime(max(source_date_epoch(args.source), ZIP_EPOCH))[:6]
    top = f"trelvo-{version}-win32"
    os.makedirs(args.output, exist_ok=True)
    archive = os.path.join(args.output, f"{top}.zip")
    partial = archive + ".part"
    with zipfile.ZipFile(partial, "w") as zip_file:
        for name in sorted(files):
            entry = zipfile.ZipInfo(f"{top}/{name}", date_time=stamp)
            entry.create_system = 3  # modes below are Unix modes
            entry.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            zip_file.writestr(entry, files[name], compresslevel=9)
    os.replace(partial, archive)
    print(archive)
    return 0


if __name__ == "__main__":
    sys.exit(main())
