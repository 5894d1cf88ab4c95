#!/usr/bin/env python3
"""trelvo-media preview, iso and sign, run as a product team runs them.

    disc_tools_test.py iso|preview|sign|disc --tool dist/trelvo-media --launcher dist/trelvo.exe
                       --examples examples [--disc-driver EXE --probe EXE] [--release-check ARGS...]

Each part builds its media in a temporary folder, runs the tool, and checks
what it printed, its exit status and what it wrote, from outside: the image
through xorriso, the PNG through ImageMagick, the signature through
osslsigncode. Prints one line per failed check and "N passed, N failed".
"""
import argparse
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

passed = failed = 0


def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f"FAILED {what}", flush=True)
    return ok


def run(args, env=None, **kw):
    full = dict(os.environ, **(env or {}))
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, env=full, **kw)


def snapshot(folder):
    """Names, sizes, contents and times of everything under a folder."""
    state = {}
    for path in sorted(Path(folder).rglob("*")):
        info = path.lstat()
        digest = hashlib.sha256(path.read_bytes()).hexdigest() if path.is_file() else "folder"
        state[str(path.relative_to(folder))] = (info.st_size if path.is_file() else 0, digest, info.st_mtime_ns)
    return state


def demo_medium(root, launcher, examples):
    medium = Path(root) / "Aurora Disc"
    shutil.copytree(examples, medium)
    shutil.copy(launcher, medium / "trelvo.exe")
    return medium


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


# ---------------------------------------------------------------------------
# iso

def joliet_extract(image, into):
    result = run(["xorriso", "-no_rc", "-report_about", "SORRY", "-rockridge", "off", "-joliet", "on",
                  "-osirrox", "on:auto_chmod_on", "-indev", f"stdio:{image}", "-extract", "/", into])
    return result.returncode == 0


def test_iso(args, work):
    tool = args.tool
    medium = demo_medium(work, args.launcher, args.examples)
    before = snapshot(medium)
    image = Path(work) / "demo.iso"
    epoch = {"SOURCE_DATE_EPOCH": "1700000000"}

    made = run([tool, "iso", medium, "-o", image], env=epoch)
    check(made.returncode == 0, f"iso of the demo medium: exit {made.returncode}: {made.stderr}")
    check("volume ID AURORA_NOTES_3_SETUP" in made.stdout, f"volume ID reported: {made.stdout!r}")
    check("Joliet volume ID holds 16 characters" in made.stderr, f"shortened Joliet ID said: {made.stderr!r}")
    check(snapshot(medium) == before, "the medium is unchanged by iso")
    pvd = run(["xorriso", "-no_rc", "-indev", f"stdio:{image}", "-pvd_info"])
    check("AURORA_NOTES_3_SETUP" in pvd.stdout, f"the image's volume ID: {pvd.stdout!r}")

    back = Path(work) / "joliet"
    check(joliet_extract(image, back), "the image reads back through Joliet")
    autorun = (back / "autorun.inf").read_bytes() if (back / "autorun.inf").exists() else b""
    check(autorun == b"[autorun]\r\nopen=trelvo.exe\r\nicon=trelvo.exe,0\r\nlabel=Aurora Notes 3 Setup\r\n",
          f"autorun.inf added with open=, icon= and label=: {autorun!r}")
    for name, (size, digest, _) in before.items():
        if digest != "folder":
            check((back / name).exists() and sha256(back / name) == digest, f"{name} reads back equal")
    check(not (medium / "autorun.inf").exists(), "autorun.inf is added to the image, never to the medium")

    # The same medium gives the same bytes, whatever the files' own times.
    os.utime(medium / "readme.txt", (1, 1))
    again = Path(work) / "again.iso"
    run([tool, "iso", medium, "-o", again], env=epoch)
    check(again.exists() and sha256(again) == sha256(image), "the same SOURCE_DATE_EPOCH gives the same image")

    # An error refuses the image; --force builds it.
    broken = Path(work) / "broken"
    broken.mkdir()
    (broken / "setup.ini").write_bytes(b"[DIALOG]\r\nShow=True\r\nBackColor=1,2\r\nPicture=splash.bmp\r\n")
    shutil.copy(Path(args.examples) / "splash.bmp", broken / "splash.bmp")
    refused_image = Path(work) / "refused.iso"
    refused = run([tool, "iso", broken, "-o", refused_image, "--exe", "setup.exe"])
    check(refused.returncode == 1, f"an error refuses the image: exit {refused.returncode}")
    check("backcolor-invalid" in refused.stderr and "refused" in refused.stderr, f"findings printed: {refused.stderr!r}")
    check(not refused_image.exists(), "no image is left behind when refused")
    forced = run([tool, "iso", broken, "-o", refused_image, "--exe", "setup.exe", "--force"])
    check(forced.returncode == 0 and refused_image.exists(), f"--force builds it: {forced.stderr!r}")

    # Names: non-ASCII letters and 103 characters are kept; 104 are not.
    names = Path(work) / "names"
    shutil.copytree(medium, names)
    long_name = "L" * 99 + ".txt"
    (names / "Überblick – Ärger.txt").write_text("umlauts")
    (names / long_name).write_text("long")
    named = Path(work) / "names.iso"
    result = run([tool, "iso", names, "-o", named])
    check(result.returncode == 0, f"long and non-ASCII names: {result.stderr!r}")
    named_back = Path(work) / "names-back"
    joliet_extract(named, named_back)
    for name in ("Überblick – Ärger.txt", long_name):
        check((named_back / name).exists(), f"{name[:20]}... arrives whole through Joliet")
    too_long = "T" * 100 + ".txt"
    (names / too_long).write_text("too long")
    failed_image = Path(work) / "too-long.iso"
    result = run([tool, "iso", names, "-o", failed_image])
    check(result.returncode == 1 and too_long in result.stderr and "103" in result.stderr,
          f"a name Joliet cannot hold is an error naming the file: {result.stderr!r}")
    check(not failed_image.exists(), "no image when a name cannot be held")

    inside = run([tool, "iso", medium, "-o", medium / "self.iso"])
    check(inside.returncode != 0 and not (medium / "self.iso").exists(), "an image inside the medium is refused")


# ---------------------------------------------------------------------------
# preview

def pixel(png, x, y):
    out = run(["convert", png, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"]).stdout
    # "0,0: (24,20,64)  #181440  srgb(24,20,64)"
    values = out.splitlines()[-1].split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in values[:3])


def size(png):
    out = run(["identify", "-format", "%w %h", png]).stdout.split()
    return int(out[0]), int(out[1])


def preview_env(work):
    # The preview's own prefix, made from the suite's so it needs no first boot.
    prefix = Path(os.environ.get("TRELVO_PREVIEW_PREFIX", Path(work).parent / "trelvo-preview-wine"))
    suite = os.environ.get("WINEPREFIX")
    if not (prefix / "system.reg").exists() and suite and Path(suite, "system.reg").exists():
        shutil.copytree(suite, prefix, symlinks=True)
    return {"TRELVO_WINEPREFIX": str(prefix)}


def test_preview(args, work):
    tool = args.tool
    env = preview_env(work)
    medium = demo_medium(work, args.launcher, args.examples)
    before = snapshot(medium)
    background = (24, 20, 64)
    for dpi in (96, 144):
        png = Path(work) / f"demo-{dpi}.png"
        shown = run([tool, "preview", medium, "-o", png, "--dpi", dpi], env=env)
        check(shown.returncode == 0, f"preview at {dpi} DPI: exit {shown.returncode}: {shown.stderr}")
        check("window: Aurora Notes 3 Setup" in shown.stdout, f"caption printed: {shown.stdout!r}")
        if not png.exists():
            check(False, f"PNG written at {dpi} DPI")
            continue
        scale = dpi / 96
        client_w, client_h = round(481 * scale), round(345 * scale)
        width, height = size(png)
        check(client_w < width <= client_w + 24 * scale and client_h < height <= client_h + 60 * scale,
              f"PNG of the window and its frame at {dpi} DPI: {width}x{height} for a {client_w}x{client_h} client")
        border = (width - client_w) // 2
        top = height - client_h - border

        def at(x, y):
            return pixel(png, border + round(x * scale), top + round(y * scale))

        # Below the 481 x 297 picture the background colour shows, between the
        # buttons of the three-button row (left, middle, right).
        for x, y in ((140, 320), (300, 320), (240, 300), (5, 342)):
            check(at(x, y) == background, f"background at ({x},{y}) at {dpi} DPI: {at(x, y)}")
        for left in (2, 194, 386):
            face = at(left + 6, 308)
            check(face != background and sum(face) > 450, f"button at {left} px at {dpi} DPI: {face}")
    check(snapshot(medium) == before, "the medium is unchanged by preview")

    # A missing picture: the PNG shows the launcher's message.
    no_picture = Path(work) / "no-picture"
    no_picture.mkdir()
    (no_picture / "setup.ini").write_bytes(b"[DIALOG]\r\nShow=True\r\nCaption=Lost\r\nPicture=missing.bmp\r\n")
    png = Path(work) / "message.png"
    stopped = run([tool, "preview", no_picture, "--launcher", args.launcher, "--exe", "setup.exe", "-o", png], env=env)
    check(stopped.returncode == 1, f"a stop message: exit {stopped.returncode}: {stopped.stderr}")
    check("message: Couldn't find splash screen picture - missing.bmp" in stopped.stdout, f"text: {stopped.stdout!r}")
    check(png.exists() and size(png)[0] < 481, "the PNG shows the message box")

    # Buttons and silent mode that would start something: nothing is started.
    marker = Path(tempfile.gettempdir()) / f"trelvo-preview-marker-{os.getpid()}"
    action = f"cmd.exe /c mkdir z:{str(marker).replace('/', chr(92))}"
    acting = Path(work) / "acting"
    acting.mkdir()
    shutil.copy(Path(args.examples) / "splash.bmp", acting / "splash.bmp")
    (acting / "setup.ini").write_text("[DIALOG]\nShow=True\nCaption=Acting\nPicture=splash.bmp\n"
                                      f"[BUTTON1]\nShow=True\nCaption=Go\nAction={action}\n")
    result = run([tool, "preview", acting, "--launcher", args.launcher, "--exe", "setup.exe",
                  "-o", Path(work) / "acting.png"], env=env)
    check(result.returncode == 0, f"a medium whose button starts a program: exit {result.returncode}: {result.stderr}")
    (acting / "setup.ini").write_text(f"[DIALOG]\nShow=False\nDefaultAction={action}\n")
    result = run([tool, "preview", acting, "--launcher", args.launcher, "--exe", "setup.exe",
                  "-o", Path(work) / "silent.png"], env=env)
    check(result.returncode == 2 and "silent mode" in result.stderr, f"silent mode is not run: {result.stderr!r}")
    check(not marker.exists(), "preview started nothing")


# ---------------------------------------------------------------------------
# sign

def pe_layout(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    security = directories + 4 * 8
    return optional + 64, security, struct.unpack_from("<II", data, security)


def test_sign(args, work):
    tool = args.tool
    w = Path(work)
    password = "s3cret-Pa55"
    (w / "password.txt").write_text(password + "\n")

    def certificate(name, usage):
        key, cert, pfx = w / f"{name}.key", w / f"{name}.pem", w / f"{name}.pfx"
        run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-keyout", key, "-out", cert, "-days", "2", "-nodes",
             "-subj", f"/CN=Trelvo test {name}", "-addext", f"extendedKeyUsage={usage}"], check=True)
        run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
             "-passout", f"file:{w / 'password.txt'}"], check=True)
        return cert, pfx

    cert, pfx = certificate("signer", "codeSigning")
    _, web_pfx = certificate("web", "serverAuth")
    unsigned = Path(args.launcher).read_bytes()
    exe = w / "setup.exe"
    exe.write_bytes(unsigned)
    outputs = []

    signed = run([tool, "sign", exe, "--pfx", pfx, "--password-file", w / "password.txt", "--name", "Aurora Notes 3",
                  "--url", "https://aurora.example", "--ca", cert])
    outputs.append(signed.stdout + signed.stderr)
    check(signed.returncode == 0, f"sign: exit {signed.returncode}: {signed.stderr}")
    verified = run(["osslsigncode", "verify", "-CAfile", cert, "-in", exe])
    check(verified.returncode == 0, f"osslsigncode verifies the signed launcher: {verified.stdout[-300:]}")
    check("Aurora Notes 3" in verified.stdout and "https://aurora.example" in verified.stdout,
          "the product's name and URL are in the signature")
    check("SHA256" in verified.stdout, "a SHA-256 signature")

    data = exe.read_bytes()
    checksum, security, (offset, length) = pe_layout(data)
    same = all(data[i] == unsigned[i] for i in range(len(unsigned))
               if not (checksum <= i < checksum + 4 or security <= i < security + 8))
    check(same, "outside the checksum and the security entry the unsigned bytes stand as they were")
    check(set(data[len(unsigned):offset]) <= {0}, "only zero padding before the signature")
    check(offset + length == len(data) and length > 0, "the signature ends the file")

    if args.release_check:
        result = run(["python3", args.release_check[0], exe] + args.release_check[1:])
        check(result.returncode == 0, f"the signed launcher passes the release checks: {result.stdout[-400:]}")
    env = preview_env(work)
    medium = demo_medium(work, exe, args.examples)
    shown = run([tool, "preview", medium, "-o", w / "signed.png"], env=env)
    check(shown.returncode == 0, f"the signed launcher runs under Wine: {shown.stderr}")

    tampered = w / "tampered.exe"
    tampered.write_bytes(data[:0x400] + bytes([data[0x400] ^ 0xFF]) + data[0x401:])
    check(run(["osslsigncode", "verify", "-CAfile", cert, "-in", tampered]).returncode != 0,
          "verification fails for a tampered byte")

    (w / "wrong.txt").write_text("not the password\n")
    (w / "notes.txt").write_text("not a program")
    fresh = w / "fresh.exe"
    bad = [
        ("missing certificate file", fresh, ["--pfx", w / "absent.pfx", "--password-file", w / "password.txt"], "no certificate"),
        ("wrong password", fresh, ["--pfx", pfx, "--password-file", w / "wrong.txt"], "password does not open"),
        ("not for code signing", fresh, ["--pfx", web_pfx, "--password-file", w / "password.txt"], "not for code signing"),
        ("not a PE image", w / "notes.txt", ["--pfx", pfx, "--password-file", w / "password.txt"], "not a Windows executable"),
        ("already signed", exe, ["--pfx", pfx, "--password-file", w / "password.txt"], "already signed"),
    ]
    for what, target, options, message in bad:
        if target == fresh:
            fresh.write_bytes(unsigned)
        before = target.read_bytes()
        result = run([tool, "sign", target] + options)
        outputs.append(result.stdout + result.stderr)
        check(result.returncode != 0, f"{what}: exit {result.returncode}")
        check(message in result.stderr, f"{what}: says {message!r}: {result.stderr!r}")
        check(target.read_bytes() == before, f"{what}: the file is unchanged")
    check(all(password not in text for text in outputs), "the password is never printed")


# ---------------------------------------------------------------------------
# from the disc

def test_disc(args, work):
    """The image extracted (no mounting), mapped as CD-ROM drive D: in the
    suite's Wine prefix, and the launcher started at D:\\ as AutoPlay would."""
    w = Path(work)
    medium = w / "medium"
    medium.mkdir()
    shutil.copy(Path(args.examples) / "splash.bmp", medium / "splash.bmp")
    shutil.copy(args.launcher, medium / "setup.exe")
    shutil.copy(args.probe, medium / "probe.exe")
    (medium / "setup.ini").write_text("[DIALOG]\nShow=True\nCaption=From The Disc\nPicture=splash.bmp\n"
                                      "[BUTTON1]\nShow=True\nCaption=Probe\nAction=probe.exe /from-disc\n")
    image = w / "disc.iso"
    made = run([args.tool, "iso", medium, "-o", image])
    if not check(made.returncode == 0, f"the disc image is built: {made.stderr}"):
        return
    disc = w / "disc"
    check(joliet_extract(image, disc), "the image is extracted through its Joliet names")

    # The preview's prefix, not the suite's: the drive's type is read when
    # Wine starts, so its server is restarted around the mapping.
    prefix = Path(preview_env(work)["TRELVO_WINEPREFIX"])
    drive = prefix / "dosdevices" / "d:"
    old_target = os.readlink(drive) if drive.is_symlink() else None
    wine_env = {"WINEPREFIX": str(prefix), "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
    try:
        if drive.is_symlink():
            drive.unlink()
        drive.symlink_to(disc)
        run(["wine", "reg", "add", "HKLM\\Software\\Wine\\Drives", "/v", "d:", "/d", "cdrom", "/f", "/reg:64"], env=wine_env)
        run(["wineserver", "-k"], env=wine_env)
        result = run(["wine", args.disc_driver, "D:\\", "setup.exe", "From The Disc"], env=wine_env)
        lines = result.stdout.strip().splitlines()
        for line in lines:
            if line.startswith("FAILED"):
                print(line)
        check(result.returncode == 0 and lines and lines[-1].endswith(" 0 failed"),
              f"the launcher from drive D: (exit {result.returncode}): {lines[-1] if lines else result.stderr}")
    finally:
        run(["wine", "reg", "delete", "HKLM\\Software\\Wine\\Drives", "/v", "d:", "/f", "/reg:64"], env=wine_env)
        run(["wineserver", "-k"], env=wine_env)
        if drive.is_symlink():
            drive.unlink()
        if old_target:
            drive.symlink_to(old_target)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("part", choices=["iso", "preview", "sign", "disc"])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--disc-driver")
    parser.add_argument("--probe")
    parser.add_argument("--release-check", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    args.tool, args.launcher, args.examples = (str(Path(p).resolve()) for p in (args.tool, args.launcher, args.examples))
    with tempfile.TemporaryDirectory(prefix=f"trelvo-{args.part}-") as work:
        {"iso": test_iso, "preview": test_preview, "sign": test_sign, "disc": test_disc}[args.part](args, work)
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
