#!/usr/bin/env python3
"""Checks the built launcher as a product team would receive it: a 32-bit GUI
image with ASLR and DEP, importing only DLLs that ship with Windows, with its
version record and its ten-image icon, under its size limit.

usage: check_exe.py dist/trelvo.exe --version 2.3.0.2 [--imports a.dll,b.dll]
                    [--readme README.md] [--subsystem 6.1] [--max-bytes N]
The version is the project's (CMakeLists.txt), handed over by the build; its
text form in the version record is major.minor.revision as 2.03.0002. With
--imports, the image imports exactly those DLLs; with --readme, that file
states the version; with --subsystem, the image asks for that oldest Windows.
Prints "N passed, N failed"; exit status 1 when any check fails."""

import argparse
import struct
import sys

# DLLs present on every Windows from 7 SP1 on.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
    "ole32.dll", "oleaut32.dll", "comctl32.dll", "msvcrt.dll", "gdiplus.dll",
    "shlwapi.dll", "version.dll", "uxtheme.dll", "msimg32.dll", "ntdll.dll",
}


class Pe:
    def __init__(self, data):
        self.data = data
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        self.machine, self.nsections = struct.unpack_from("<HH", data, self.pe + 4)
        opt_size = struct.unpack_from("<H", data, self.pe + 20)[0]
        self.opt = self.pe + 24
        self.magic = struct.unpack_from("<H", data, self.opt)[0]
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, self.opt + 68)
        self.subsystem_version = struct.unpack_from("<HH", data, self.opt + 48)
        self.dirs = self.opt + 96
        sec = self.opt + opt_size
        self.sections = [struct.unpack_from("<8sIIII", data, sec + 40 * i) for i in range(self.nsections)]

    def offset(self, rva):
        for _name, vsize, vaddr, rawsize, rawptr in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rva - vaddr + rawptr
        raise ValueError(f"rva {rva:#x} outside sections")

    def directory(self, index):
        return struct.unpack_from("<II", self.data, self.dirs + 8 * index)

    def imports(self):
        rva, _size = self.directory(1)
        names, at = [], self.offset(rva)
        while True:
            name_rva = struct.unpack_from("<I", self.data, at + 12)[0]
            if name_rva == 0:
                return names
            end = self.data.index(b"\0", self.offset(name_rva))
            names.append(self.data[self.offset(name_rva):end].decode("ascii").lower())
            at += 20

    def resources(self):
        """{(type, name): [data bytes per language]} for the resource tree."""
        rva, _size = self.directory(2)
        base = self.offset(rva)
        out = {}

        def entries(table):
            named, ids = struct.unpack_from("<HH", self.data, base + table + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, base + table + 16 + 8 * i)
                yield ident, target

        for type_id, t in entries(0):
            for name_id, n in entries(t & 0x7FFFFFFF):
                for _lang, leaf in entries(n & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    at = self.offset(data_rva)
                    out.setdefault((type_id, name_id), []).append(self.data[at:at + size])
        return out


def version_strings(block):
    """Key/value strings of a VS_VERSIONINFO resource."""
    strings = {}

    def walk(at, end):
        while at < end:
            length, value_len, kind = struct.unpack_from("<HHH", block, at)
            if length == 0:
                return
            key_end = at + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[at + 6:key_end].decode("utf-16-le")
            value_at = (key_end + 2 + 3) & ~3
            if kind == 1 and value_len and key not in ("StringFileInfo", "VarFileInfo"):
                raw = block[value_at:value_at + 2 * value_len]
                strings[key] = raw.decode("utf-16-le").rstrip("\0")
            children = value_at + (2 * value_len if kind == 1 else value_len)
            children = (children + 3) & ~3
            if key in ("VS_VERSION_INFO", "StringFileInfo") or (len(key) == 8 and key.isalnum()):
                walk(children, at + length)
            at = (at + length + 3) & ~3

    walk(0, len(block))
    fixed = block.index(struct.pack("<I", 0xFEEF04BD))
    ms, ls = struct.unpack_from("<II", block, fixed + 8)
    strings["#binary"] = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    return strings


def version_forms(version):
    """(binary four parts, text form) of a version 2.3.0.2: ((2, 3, 0, 2), "2.03.0002")."""
    parts = tuple(int(p) for p in version.split("."))
    if len(parts) != 4 or parts[2] != 0:
        raise SystemExit(f"check_exe.py: version {version!r} is not major.minor.0.revision")
    return parts, f"{parts[0]}.{parts[1]:02d}.{parts[3]:04d}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--version", required=True)
    parser.add_argument("--imports")
    parser.add_argument("--readme")
    parser.add_argument("--subsystem", help="oldest Windows as major.minor, e.g. 6.1")
    parser.add_argument("--max-bytes", type=int, default=300 * 1024)
    args = parser.parse_args()
    binary, text = version_forms(args.version)
    max_bytes = args.max_bytes
    data = open(args.exe, "rb").read()
    pe = Pe(data)
    results = []

    def check(ok, what):
        results.append(ok)
        if not ok:
            print(f"FAILED: {what}")

    check(pe.machine == 0x14C and pe.magic == 0x10B, "32-bit x86 image")
    check(pe.subsystem == 2, f"GUI subsystem (found {pe.subsystem})")
    if args.subsystem:
        wanted_subsystem = tuple(int(p) for p in args.subsystem.split("."))
        check(pe.subsystem_version == wanted_subsystem,
              f"subsystem version {args.subsystem} (found {pe.subsystem_version})")
    check(pe.dll_characteristics & 0x40, "ASLR (dynamic base)")
    check(pe.dll_characteristics & 0x100, "DEP (NX compatible)")
    foreign = [d for d in pe.imports() if d not in SYSTEM_DLLS]
    check(not foreign, f"imports only system DLLs (also: {foreign})")
    if args.imports:
        wanted_imports = sorted(args.imports.lower().split(","))
        check(sorted(pe.imports()) == wanted_imports,
              f"imports exactly {wanted_imports} (found {sorted(pe.imports())})")
    check(len(data) <= max_bytes, f"size {len(data)} bytes within {max_bytes}")

    res = pe.resources()
    version = version_strings(res[(16, 1)][0]) if (16, 1) in res else {}
    expected = {
        "FileVersion": text, "ProductVersion": text, "ProductName": "Trelvo",
        "InternalName": "Trelvo", "OriginalFilename": "trelvo.exe",
    }
    for key, value in expected.items():
        check(version.get(key) == value, f"version record {key} = {value!r} (found {version.get(key)!r})")
    check(version.get("#binary") == binary, f"binary file version {binary} (found {version.get('#binary')})")
    check("frmSplash" in version.get("Comments", ""), "comment invites replacing the window icon of frmSplash")
    check(bool(version.get("FileDescription")), "file description present")

    group = res.get((14, 1), [b""])[0]
    count = struct.unpack_from("<H", group, 4)[0] if len(group) >= 6 else 0
    images = {struct.unpack_from("<BBxxHH", group, 6 + 14 * i)[::3] for i in range(count)}
    wanted = {(s % 256, b) for s in (16, 24, 32, 48, 64) for b in (24, 32)}
    check(count == 10 and images == wanted, f"icon 1 has the ten images 16-64 px at 24 and 32 bits (found {sorted(images)})")
    manifest = res.get((24, 1), [b""])[0]
    check(b"asInvoker" in manifest, "manifest runs as the invoking user")
    check(f'name="Trelvo.Launcher" version="{args.version}"'.encode() in manifest,
          f"manifest names the launcher at version {args.version}")
    if args.readme:
        readme = open(args.readme, encoding="utf-8").read()
        check(f"Version {text}" in readme, f"{args.readme} states \"Version {text}\"")

    print(f"{results.count(True)} passed, {results.count(False)} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
