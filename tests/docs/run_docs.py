#!/usr/bin/env python3
"""Runs the shell blocks of README.md and docs/*.md that are marked runnable and
compares what they print with the output the page shows.

Each page runs top to bottom in a fresh folder of its own, with `build/qrnmvl`
there standing for the tool under test, as a newcomer would run it from a fresh
checkout. The marks are HTML comments on the line just before a fence:

    <!-- run -->              run this sh block; it must exit 0
    <!-- run: exit N -->      run it; it (or a transcript's last command) must exit N
    <!-- run: background -->  start it and go on; it is stopped (SIGTERM) when the page ends
    <!-- output -->           this block is what the run block before it prints
    <!-- file: NAME -->       write this block to NAME in the folder
    <!-- skip: REASON -->     not run here; REASON is printed

A run block whose lines start with "$ " is a transcript: each command's output
is the lines up to the next "$ ", and a last line "[exit N]" there says that
command exits N (the block's last command may say it in its mark instead).
Outputs are compared after masking what
differs from run to run: the moments of today, the run's own folder and
version numbers. A line "..." in a shown output stands for any lines.
With --golden, pages are expected files: QRNMVL_UPDATE_GOLDEN=1 rewrites each
output that differs with what was printed, and $QRNMVL_SOURCE is the project's
folder (for the data files beside a page). See tests/README.md.
"""

import argparse
import dataclasses
import datetime
import difflib
import os
import pathlib
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MARK = re.compile(r"^<!--\s*(run|output|file|skip)\s*(?::\s*(.*?))?\s*-->\s*$")
ANY_MARK = re.compile(r"^<!--\s*(\w+)\b.*-->\s*$")
FENCE = re.compile(r"^(`{3,})\s*([\w+-]*)\s*$")
SHELLS = {"sh", "bash", "shell", "console", ""}
ELISION = "..."
NOW = "<now>"
VERSION = re.compile(r"(?<![\w.])\d+\.\d+\.\d+(?![\w.])")
# A date with its time, in the forms the tool and its logs print.
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
MOMENT = re.compile(
    r"\b(?:(?P<d>\d{2})/(?P<m>\d{2})/(?P<y>\d{4})|(?P<y2>\d{4})[-/](?P<m2>\d{2})[-/](?P<d2>\d{2}))"
    r"[T ]\d{2}:\d{2}(?::\d{2}(?:\.\d+)?)?Z?"
    # and HTTP's: "Mon, 07 Dec 2026 04:44:48 GMT"
    r"|\b[A-Z][a-z]{2}, (?P<d3>\d{2}) (?P<m3>" + "|".join(MONTHS) + r") (?P<y3>\d{4}) "
    r"\d{2}:\d{2}:\d{2} GMT")
EXIT = re.compile(r"^\[exit (\d+)\]$")
COMMAND_SECONDS = 120


class DocError(Exception):
    """A page whose marks cannot be followed."""


@dataclasses.dataclass
class Block:
    line: int  # of the opening fence, counted from 1
    language: str
    text: str
    mark: str = ""
    argument: str = ""


@dataclasses.dataclass
class Run:
    block: Block
    exit_code: int
    output: Block | None = None
    background: bool = False


def read_blocks(path):
    """The fenced blocks of a page, each with the mark on the line before it."""
    lines = path.read_text(encoding="utf-8").splitlines()
    blocks, i = [], 0
    while i < len(lines):
        fence = FENCE.match(lines[i])
        if not fence:
            i += 1
            continue
        start, close = i, fence.group(1)
        i += 1
        while i < len(lines) and lines[i].rstrip() != close:
            i += 1
        if i == len(lines):
            raise DocError(f"{path.name}:{start + 1}: the block is never closed")
        block = Block(start + 1, fence.group(2), "\n".join(lines[start + 1:i]) + "\n")
        before = lines[start - 1].strip() if start > 0 else ""
        mark = MARK.match(before)
        if mark:
            block.mark, block.argument = mark.group(1), mark.group(2) or ""
        elif ANY_MARK.match(before):
            raise DocError(f"{path.name}:{start}: unknown mark {before}")
        blocks.append(block)
        i += 1
    return blocks


def plan(path, blocks):
    """What to do for a page, in order: Run, ("file", name, text) and ("skip", block)."""
    steps, last_run = [], None
    for block in blocks:
        where = f"{path.name}:{block.line}"
        if block.mark == "run":
            if block.language not in SHELLS:
                raise DocError(f"{where}: only a shell block can run, not {block.language}")
            exit_code, background = 0, block.argument == "background"
            if block.argument and not background:
                wanted = re.fullmatch(r"exit (\d+)", block.argument)
                if not wanted:
                    raise DocError(f"{where}: 'run: {block.argument}' is not 'run: exit N' "
                                   "or 'run: background'")
                exit_code = int(wanted.group(1))
            last_run = Run(block, exit_code, background=background)
            steps.append(last_run)
        elif block.mark == "output":
            if (last_run is None or last_run.output is not None or is_transcript(last_run.block)
                    or last_run.background):
                raise DocError(f"{where}: an output block follows no run block of its own")
            last_run.output = block
        elif block.mark == "file":
            if not re.fullmatch(r"[\w.-]+", block.argument):
                raise DocError(f"{where}: 'file: {block.argument}' is not a plain file name")
            steps.append(("file", block.argument, block.text))
            last_run = None
        elif block.mark == "skip":
            if not block.argument:
                raise DocError(f"{where}: a skip says why")
            steps.append(("skip", block))
            last_run = None
    return steps


def is_transcript(block):
    first = next((line for line in block.text.splitlines() if line.strip()), "")
    return first.startswith("$ ")


def transcript(block):
    """[(command, shown output, exit code or None)] of a transcript block."""
    pairs = []
    lines = block.text.splitlines()
    i = 0
    while i < len(lines):
        if not lines[i].startswith("$ "):
            raise DocError(f"line {block.line + 1 + i}: output before any command")
        command = [lines[i][2:]]
        while command[-1].endswith("\\") and i + 1 < len(lines):
            i += 1
            command.append(lines[i])
        i += 1
        shown = []
        while i < len(lines) and not lines[i].startswith("$ "):
            shown.append(lines[i])
            i += 1
        exit_code = None
        if shown and EXIT.match(shown[-1]):
            exit_code = int(EXIT.match(shown.pop()).group(1))
        pairs.append(("\n".join(command), "\n".join(shown) + "\n" if shown else "", exit_code))
    return pairs


def transcript_text(pairs):
    """A transcript block's text from its commands, outputs and exit codes."""
    text = ""
    for command, shown, exit_code in pairs:
        text += "$ " + command + "\n" + shown
        if exit_code:
            text += f"[exit {exit_code}]\n"
    return text


def mask(text, folder):
    """What a run prints, with what differs between runs in the form the pages show."""
    for root in {str(folder), os.path.realpath(folder)}:
        text = text.replace(os.path.join(root, "tmp"), "/tmp").replace(root + "/", "")
    text = VERSION.sub("<version>", text)
    today = datetime.date.today()

    def now_or_moment(match):
        day = match.group("d") or match.group("d2") or match.group("d3")
        month = match.group("m") or match.group("m2") or MONTHS.index(match.group("m3")) + 1
        year = match.group("y") or match.group("y2") or match.group("y3")
        try:
            when = datetime.date(int(year), int(month), int(day))
        except ValueError:
            return match.group(0)
        return NOW if abs((when - today).days) <= 1 else match.group(0)

    return MOMENT.sub(now_or_moment, text)


def expected_pattern(shown):
    """A pattern for what a page shows: a moment there may be the run's own
    moment, a line "..." any lines, and a version number any version."""
    parts = []
    for line in shown.splitlines():
        if line.strip() == ELISION:
            parts.append(r"(?:[^\n]*\n)*?")
            continue
        line = VERSION.sub("<version>", line.rstrip())
        pieces, at = [], 0
        for moment in MOMENT.finditer(line):
            pieces.append(re.escape(line[at:moment.start()]))
            pieces.append(f"(?:{re.escape(moment.group(0))}|{re.escape(NOW)})")
            at = moment.end()
        pieces.append(re.escape(line[at:]))
        parts.append("".join(pieces) + r"\n")
    return re.compile("".join(parts))


def matches(shown, printed):
    printed = "".join(line.rstrip() + "\n" for line in printed.splitlines())
    return expected_pattern(shown).fullmatch(printed) is not None


class Shell:
    """The commands of one page, run in its folder as in one terminal: what a command
    exports is there for the commands after it, and a background block runs on
    until the page ends."""

    NOT_CARRIED = {"PWD", "OLDPWD", "SHLVL", "_"}

    def __init__(self, folder, env):
        self.folder, self.env, self.background = folder, env, []
        # Beside the folder, not in it: a page may list its folder.
        self.exported = folder.with_name(folder.name + ".env")

    def run(self, command):
        """What the command printed (masked) and its exit code."""
        carry = f"trap 'env -0 > {shlex.quote(str(self.exported))}' EXIT\n"
        try:
            done = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", carry + command],
                                  cwd=self.folder, env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  timeout=COMMAND_SECONDS)
            printed, code = done.stdout.decode("utf-8", "replace"), done.returncode
        except subprocess.TimeoutExpired as e:
            printed = (e.stdout or b"").decode("utf-8", "replace")
            code = f"killed after {COMMAND_SECONDS} s"
        if self.exported.exists():
            for item in self.exported.read_bytes().decode("utf-8", "replace").split("\0"):
                name, _, value = item.partition("=")
                if name and name not in self.NOT_CARRIED and not name.startswith("BASH_FUNC_"):
                    self.env[name] = value
            self.exported.unlink()
        return mask(printed, self.folder), code

    def start(self, command):
        """Starts a block that runs on (a service); what it prints goes to a log beside the
        folder, shown if the page fails."""
        log = self.folder.with_name(f"{self.folder.name}.background-{len(self.background)}.log")
        with open(log, "wb") as out:
            self.background.append((subprocess.Popen(
                ["bash", "-e", "-o", "pipefail", "-c", command], cwd=self.folder,
                env=dict(self.env), stdin=subprocess.DEVNULL, stdout=out,
                stderr=subprocess.STDOUT, start_new_session=True), log))

    def stop(self):
        """Stops the background blocks as an operator would (SIGTERM, then SIGKILL after
        half a minute); answers what they printed."""
        printed = ""
        for process, log in self.background:
            for sig, seconds in ((signal.SIGTERM, 30), (signal.SIGKILL, 30)):
                try:
                    os.killpg(process.pid, sig)
                    process.wait(seconds)
                    break
                except (ProcessLookupError, subprocess.TimeoutExpired):
                    continue
            printed += log.read_text(encoding="utf-8", errors="replace")
            log.unlink()
        return printed


def check(where, command, shown, exit_code, shell, failures):
    """Runs a command and records what differs from the page; answers what it printed
    and its exit code, or None when it is what the page shows."""
    printed, code = shell.run(command)
    problems = []
    if code != exit_code:
        problems.append(f"exit code {code}, the page expects {exit_code}")
    if shown is not None and not matches(shown, printed):
        diff = difflib.unified_diff(shown.splitlines(), printed.splitlines(), "shown", "printed",
                                    lineterm="")
        problems.append("output differs:\n" + "\n".join(diff))
    elif shown is None and code != exit_code:
        problems.append("it printed:\n" + printed)
    if problems:
        failures.append(f"{where}: {command.splitlines()[0]}\n  " + "\n  ".join(problems))
        return printed, code
    return None


def ended(printed):
    """What was printed, ending its last line: what follows it in a page starts a line."""
    return printed + "\n" if printed and not printed.endswith("\n") else printed


def rewrite(path, replacements):
    """Puts new texts in the page in place of blocks: [(block, text)]."""
    lines = path.read_text(encoding="utf-8").splitlines(keepends=True)
    for block, text in sorted(replacements, key=lambda r: r[0].line, reverse=True):
        body = len(block.text.splitlines()) if block.text.strip() else 0
        lines[block.line:block.line + body] = text.splitlines(keepends=True)
    path.write_text("".join(lines), encoding="utf-8")


def run_steps(path, steps, shell, failures):
    """Runs a page's steps in order; answers the blocks to rewrite with what was printed."""
    replacements = []
    for step in steps:
        if isinstance(step, tuple):
            if step[0] == "file":
                (shell.folder / step[1]).write_text(step[2], encoding="utf-8")
            continue
        where = f"{path.name}:{step.block.line}"
        if step.background:
            shell.start(step.block.text)
        elif is_transcript(step.block):
            pairs, changed = transcript(step.block), False
            for n, (command, shown, exit_code) in enumerate(pairs):
                mark = step.exit_code if n == len(pairs) - 1 else 0
                differs = check(where, command, shown, mark if exit_code is None else exit_code,
                                shell, failures)
                if differs:
                    printed, code = differs
                    pairs[n] = (command, ended(printed), None if code == mark else code)
                    changed = True
            if changed:
                replacements.append((step.block, transcript_text(pairs)))
        else:
            shown = step.output.text if step.output else None
            differs = check(where, step.block.text, shown, step.exit_code, shell, failures)
            if differs and step.output:
                replacements.append((step.output, ended(differs[0])))
    return replacements


def run_page(path, tool, keep, failures, update=False, source=None):
    steps = plan(path, read_blocks(path))
    runs = [s for s in steps if isinstance(s, Run)]
    for step in steps:
        if isinstance(step, tuple) and step[0] == "skip":
            print(f"  {path.name}:{step[1].line} skipped: {step[1].argument}")
    if not runs:
        return 0
    folder = pathlib.Path(tempfile.mkdtemp(prefix="qrnmvl-docs-"))
    (folder / "build").mkdir()
    (folder / "build" / "qrnmvl").symlink_to(tool)
    (folder / "tmp").mkdir()
    env = dict(os.environ, LC_ALL="C.UTF-8", TMPDIR=str(folder / "tmp"))
    if source:
        env["QRNMVL_SOURCE"] = str(source)
    env.pop("QRNMVL_TRACE_DIR", None)
    shell, failed_before = Shell(folder, env), len(failures)
    try:
        replacements = run_steps(path, steps, shell, failures)
    finally:
        background = shell.stop()
        if background and len(failures) > failed_before:
            failures.append(f"{path.name}: what its background blocks printed:\n{background}")
        if keep:
            print(f"  {path.name}: kept {folder}")
        else:
            shutil.rmtree(folder, ignore_errors=True)
    print(f"  {path.name}: {plural(len(runs), 'block')} ran")
    if update and replacements:
        rewrite(path, replacements)
        print(f"  {path.name}: rewrote {plural(len(replacements), 'block')}")
    return len(runs)


def plural(count, noun):
    return f"{count} {noun}" + ("" if count == 1 else "s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="the qrnmvl tool under test")
    parser.add_argument("--root", required=True, help="the project's source folder")
    parser.add_argument("--only", action="append", default=[],
                        help="run only this page (a path under --root); repeatable")
    parser.add_argument("--keep", action="store_true", help="keep each page's folder")
    parser.add_argument("--golden", metavar="FOLDER",
                        help="run the pages of this folder (under --root) instead of the docs; "
                             "with QRNMVL_UPDATE_GOLDEN=1, rewrite what differs")
    args = parser.parse_args()

    root = pathlib.Path(args.root)
    tool = pathlib.Path(args.tool).resolve()
    if args.golden:
        pages = sorted((root / args.golden).glob("*.md"))
    else:
        pages = [root / p for p in args.only] or [root / "README.md",
                                                  *sorted(root.glob("docs/*.md"))]
    update = bool(args.golden) and os.environ.get("QRNMVL_UPDATE_GOLDEN") == "1"
    started, ran, failures, unmarked = time.monotonic(), 0, [], []
    for page in pages:
        try:
            ran += run_page(page, tool, args.keep, failures, update,
                            root.resolve() if args.golden else None)
            unmarked += [f"{page.name}:{b.line}" for b in read_blocks(page)
                         if not b.mark and b.language in SHELLS - {""}]
        except DocError as e:
            failures.append(f"{page.relative_to(root)}: {e}")
    if unmarked:
        print("Shell blocks with no mark (neither run nor skipped): " + ", ".join(unmarked))
    print(f"{plural(ran, 'block')} ran in {time.monotonic() - started:.1f} s; "
          f"{len(failures)} failed")
    for failure in failures:
        print("\nFAILED " + failure)
    return 1 if (failures and not update) or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
