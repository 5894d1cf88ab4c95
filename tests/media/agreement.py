#!/usr/bin/env python3
"""The checker and the launcher agree.

    agreement.py EXPORT --native dist/trelvo-media [--windows trelvo-media.exe --wine scripts/wine-run]

EXPORT holds one N.json per end-to-end case, written by the e2e driver
(--export=DIR): the launcher's current directory (as Windows saw it, and as
this machine's path), the executable's name, and what the real launcher did
under Wine: its message boxes, its exit code, the command lines it started,
its window's title and shown buttons (caption, left edge in pixels) and the
slot the case pressed.

Each case's medium goes through `trelvo-media check --json`: the native build
over this machine's path, and the Windows build under Wine over the very path
the launcher had. Compared: mode, message title and text, exit code, started
command, caption, button captions, actions and left edges. The native build
cannot see outside the folder it is given, so a case whose INI names a file by
an absolute path is compared through the Windows build only; the native build
must then report that path as out of reach.

Prints one line per disagreement and "N passed, N failed" (cases x builds);
exit status 0 only when all agree. Removes the case folders afterwards.
"""
import argparse
import json
import pathlib
import shutil
import subprocess
import sys

START_FAILED = "Couldn't start the command line\n\n"
OPEN_FAILED = "Couldn't open\n\n"
# The e2e cases that open documents, URLs and folders register probe.exe as
# the shell's opener for them: its log line then says what the shell opened.
SHELL_OPENERS = (" /opened ", " /url ", " /folder ")


def directory_in_texts(medium):
    """The launcher's current directory in the checker's texts (its rule)."""
    d = medium
    while len(d) > 1 and d[-1] in "/\\" and not (len(d) == 3 and d[1] == ":"):
        d = d[:-1]
    return d or "."


def with_separator(path):
    return path if path.endswith("\\") else path + "\\"


def compare(case, report, medium_given):
    """Disagreements between the launcher's outcome and the checker's report."""
    out = []
    run = report["run"]
    boxes, started, window = case["boxes"], case["started"], case["window"]

    def launcher_text(text):
        return text.replace(with_separator(directory_in_texts(medium_given)), with_separator(case["cwd"]))

    def start_failed(command):
        """The launcher's box for a command it could not start (a program not
        on the machine): the checker must have warned about that action. A
        document or URL the shell could not open depends on what the user's
        machine has installed for it: the checker cannot know."""
        if boxes and boxes[0]["text"].startswith(OPEN_FAILED + command + "\n\n"):
            if case["exit_code"] != 3:
                out.append(f"exit code {case['exit_code']} after a failed opening, expected 3")
            return True
        if not boxes or not boxes[0]["text"].startswith(START_FAILED + command + "\n\n"):
            return False
        codes = {f["code"] for f in report["findings"]}
        if not codes & {"action-program-missing", "action-false"}:
            out.append(f"the launcher could not start {command!r}; the checker did not warn")
        if case["exit_code"] != 3:
            out.append(f"exit code {case['exit_code']} after a failed start, expected 3")
        return True

    if run["stop"]:
        stop = run["stop"]
        if not boxes:
            out.append(f"checker: stops with {stop['text']!r}; launcher: no message")
        else:
            if boxes[0]["title"] != stop["title"]:
                out.append(f"message title: launcher {boxes[0]['title']!r}, checker {stop['title']!r}")
            if boxes[0]["text"] != launcher_text(stop["text"]):
                out.append(f"message text: launcher {boxes[0]['text']!r}, checker {launcher_text(stop['text'])!r}")
        if case["exit_code"] != stop["exit_code"]:
            out.append(f"exit code: launcher {case['exit_code']}, checker {stop['exit_code']}")
        if window:
            out.append("the launcher showed its window; the checker says it stops")
        return out

    if run["mode"] == "silent":
        if window:
            out.append("checker: silent mode; the launcher showed its window")
        if run["start"] == "exit":
            if started or boxes:
                out.append(f"checker: exit; launcher started {started} and showed {len(boxes)} message(s)")
        elif not start_failed(run["start"]):
            if not same_start(started, run["start"], case):
                out.append(f"started: launcher {started}, checker {[run['start']]}")
            if boxes:
                out.append(f"the launcher showed a message: {boxes[0]['text']!r}")
        if not boxes and case["exit_code"] != 0:
            out.append(f"exit code: launcher {case['exit_code']}, checker 0")
        return out

    if run["mode"] != "dialog" or not run["window"]:
        return [f"checker: mode {run['mode']!r} without a stop"]
    shown = run["window"]
    if not window:
        return out + ["checker: the window shows; the launcher showed none"]
    if window["title"] != shown["caption"]:
        out.append(f"caption: launcher {window['title']!r}, checker {shown['caption']!r}")
    captions = [b["caption"] for b in shown["buttons"]]
    if [b["caption"] for b in window["buttons"]] != captions:
        out.append(f"button captions: launcher {[b['caption'] for b in window['buttons']]}, checker {captions}")
    if case["dpi"] == 96:
        lefts = [b["left_px"] for b in shown["buttons"]]
        if [b["left_px"] for b in window["buttons"]] != lefts:
            out.append(f"left edges: launcher {[b['left_px'] for b in window['buttons']]}, checker {lefts}")
    clicked = case["clicked"]
    if clicked is not None:
        if clicked >= len(shown["buttons"]):
            out.append(f"the case pressed slot {clicked}; the checker shows {len(shown['buttons'])} buttons")
        else:
            action = shown["buttons"][clicked]["action"]
            if action == "exit":
                if started or boxes:
                    out.append(f"slot {clicked} is exit for the checker; the launcher started {started}")
            elif not start_failed(action):
                if not same_start(started, action, case):
                    out.append(f"slot {clicked} starts: launcher {started}, checker {[action]}")
    return out


def split_command(command):
    """The program and the parameters, by the process start's first-token rule."""
    command = command.lstrip(" \t")
    if command.startswith('"'):
        close = command.find('"', 1)
        close = len(command) if close < 0 else close
        return command[1:close], command[close + 1:].lstrip(" \t")
    program, _, rest = command.partition(" ")
    return program, rest.lstrip(" \t")


def same_start(started, command, case):
    """The launcher started `command`, or the shell opened what it names
    (a URL as it is; a document or folder by its name, with the parameters)."""
    if started == [command]:
        return True
    if len(started) != 1 or not any(opener in started[0] for opener in SHELL_OPENERS):
        return False
    line = started[0].lower()
    if "://" in command or command.split(":", 1)[0].isalpha() and ":" in command[2:]:
        return command.lower() in line
    program, parameters = split_command(command)
    if program in (".", ""):
        program = case["cwd"]
    name = program.replace("/", "\\").rstrip("\\").split("\\")[-1]
    return name.lower() in line and parameters.lower() in line


def names_file_outside(report):
    """The checker says the INI names a picture or icon outside the medium,
    which it never reads: its dry run then rests on a guess."""
    return any(f["code"] in ("picture-outside", "icon-outside") for f in report["findings"])


def check(command, medium, exe):
    result = subprocess.run(command + ["check", medium, "--exe", exe, "--json"],
                            capture_output=True, timeout=120)
    if result.returncode not in (0, 1):
        raise RuntimeError(f"exit status {result.returncode}: {result.stderr.decode(errors='replace')}")
    return json.loads(result.stdout.decode("utf-8"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("export")
    parser.add_argument("--native", required=True)
    parser.add_argument("--windows")
    parser.add_argument("--wine")
    args = parser.parse_args()

    cases = sorted(pathlib.Path(args.export).glob("*.json"), key=lambda p: int(p.stem))
    if not cases:
        print(f"no exported cases in {args.export}")
        print("0 passed, 1 failed")
        return 1
    builds = [("native", [args.native], "cwd_unix")]
    if args.windows:
        builds.append(("windows", ([args.wine] if args.wine else []) + [args.windows], "cwd"))
    passed = failed = 0
    roots = set()
    for path in cases:
        case = json.loads(path.read_text(encoding="utf-8"))
        roots.add(str(pathlib.Path(case["case_root_unix"]).parent))
        for build, command, where in builds:
            try:
                report = check(command, case[where], case["exe"])
                if names_file_outside(report):
                    problems = []  # the checker says it cannot know; nothing to compare
                else:
                    problems = compare(case, report, case[where])
            except (RuntimeError, ValueError, subprocess.TimeoutExpired) as error:
                problems = [f"the checker failed: {error}"]
            for problem in problems:
                print(f"FAIL [{case['name']}] ({build}): {problem}")
            if problems:
                failed += 1
            else:
                passed += 1
    if failed == 0:
        for root in roots:
            if root and pathlib.Path(root).name.startswith(("trelvo-e2e", "trelvo-hostile")):
                shutil.rmtree(root, ignore_errors=True)
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
