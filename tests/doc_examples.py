#!/usr/bin/env python3
"""Runs the examples of README.md and docs/*.md through murlin-host.

An example is a fenced block whose info string is `ombry`:

    ```ombry
    # file photo.jpg written 2024-03-05 09:07:04
    %*NowDateTime("Y-N-D",photo.jpg)
    → 2024-03-05
    ```

Lines beginning with `#` set the example's world; `→ TEXT` is a line the run
prints on standard output, `2→ TEXT` one it prints on standard error, and
`✗ TEXT` says that the last line fails, showing TEXT (one `✗` line for each
line of the message; a lone `✗`: it fails without a message). Every other
line is an Ombry command line. The lines of one block run in one
murlin-host, in a fresh folder with a fresh settings file.

World lines:
    # file NAME written DATE TIME[, accessed DATE TIME]   a dated file
    # folder NAME [written DATE TIME]                     a (dated) folder
    # stdin TEXT                  standard input (\\n, \\r, \\t, \\\\ escapes)
    # host version N              murlin-host --host-version N
    # host declines long values   murlin-host --decline-long-results
    # output as bytes             → lines give standard output in hexadecimal
    # drives LIST                 MURLIN_DRIVES          \
    # clipboard TEXT              MURLIN_CLIPBOARD        | the Linux stand-ins
    # era NAME=DATA               a line of MURLIN_ERAS   | only: skipped by a
    # system version V            MURLIN_OS_VERSION      /  Windows host

Times are UTC (TZ=UTC). Besides running the examples it checks that
docs/reference.ja.md holds the same examples as
docs/reference.md, docs/install.ja.md the same as the README's install
steps, that both references have a section for every name, and that every
release named in the documents is the version of CMakeLists.txt, with a
dated section in CHANGELOG.md.

usage: doc_examples.py --root SOURCE_DIR --host MURLIN_HOST --version V
                       [RUNNER...]
"""
import argparse
import concurrent.futures
import datetime
import os
import re
import subprocess
import sys
import tempfile

NAMES = ["LEFTSTR", "MIDSTR", "SUBSTRING", "RIGHTSTR", "PADDING", "NOWDATETIME", "STDIN",
         "STDOUT", "STDERR", "FINDDRIVE", "CLIPPEDTEXT", "VERSION", "ROTATEEXECUTE",
         "ROTATECUSTOMIZE"]
STAND_IN_ONLY = {"drives": "MURLIN_DRIVES", "clipboard": "MURLIN_CLIPBOARD",
                 "era": "MURLIN_ERAS", "system": "MURLIN_OS_VERSION"}
STAMP = r"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d(?:\.\d{3})?)"
INSTALL_HEADING = "## Installing Murlin in Ombry"


class Example:
    def __init__(self, path, line):
        self.path, self.line = path, line
        self.world, self.lines, self.out, self.err = [], [], [], []
        self.fails = 0  # ✗ lines
        self.text = []  # the block as written, for comparing two languages

    def where(self):
        return "%s:%d" % (self.path, self.line)


def blocks(path, text):
    """The examples of one document, in order."""
    found, current = [], None
    for number, raw in enumerate(text.split("\n"), 1):
        if current is None:
            if raw.strip() == "```ombry":
                current = Example(path, number)
                indent = len(raw) - len(raw.lstrip(" "))  # a block in a list item
            continue
        if raw[:indent].strip() == "":
            raw = raw[indent:]
        if raw.strip() == "```":
            found.append(current)
            current = None
            continue
        current.text.append(raw)
        if raw.startswith("#"):
            current.world.append(raw[1:].strip())
        elif raw.startswith("→"):
            current.out.append(raw[2:] if raw.startswith("→ ") else raw[1:])
        elif raw.startswith("2→"):
            current.err.append(raw[3:] if raw.startswith("2→ ") else raw[2:])
        elif raw.startswith("✗"):
            current.fails += 1
            current.err.append(raw[2:])
        elif current.fails:
            raise SystemExit("%s: a line after ✗: the failing line ends the run" % current.where())
        else:
            current.lines.append(raw)
    if current is not None:
        raise SystemExit("%s:%d: the example block is not closed" % (path, current.line))
    for example in found:
        if example.fails == 1 and example.err[-1] == "":
            example.err.pop()  # a lone ✗: no message
        if not example.lines:
            raise SystemExit("%s: an example without a command line" % example.where())
    return found


def unescape(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]), text)


def unix_nanoseconds(stamp):
    """A UTC time, milliseconds optional, in nanoseconds since 1970."""
    seconds, _, millis = stamp.partition(".")
    moment = datetime.datetime.strptime(seconds, "%Y-%m-%d %H:%M:%S")
    whole = int(moment.replace(tzinfo=datetime.timezone.utc).timestamp())
    return whole * 10**9 + int(millis or 0) * 10**6


def make_world(example, folder, windows):
    """Options, environment and standard input of the example, its files made;
    None when only the Linux stand-ins can make this world."""
    options, env, stdin, eras = [], {"TZ": "UTC"}, b"", []
    as_bytes = False
    for line in example.world:
        word = line.split(" ", 1)[0]
        rest = line[len(word):].strip()
        if word in STAND_IN_ONLY and windows:
            return None
        m = re.fullmatch(r"(file|folder) (\S+)(?: written %s(?:, accessed %s)?)?" % (STAMP, STAMP),
                         line)
        if m:
            path = os.path.join(folder, m[2])
            if m[1] == "folder":
                os.makedirs(path, exist_ok=True)
            else:
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w") as f:
                    f.write("Murlin\n")
            if m[3]:
                os.utime(path, ns=(unix_nanoseconds(m[4] or m[3]), unix_nanoseconds(m[3])))
        elif word == "stdin":
            stdin = unescape(rest).encode("utf-8")
        elif re.fullmatch(r"host version \d+", line):
            options += ["--host-version", line.split()[2]]
        elif line == "host declines long values":
            options.append("--decline-long-results")
        elif line == "output as bytes":
            as_bytes = True
        elif word == "drives":
            env["MURLIN_DRIVES"] = rest
        elif word == "clipboard":
            with open(os.path.join(folder, "clipboard.txt"), "w", encoding="utf-8") as f:
                f.write(unescape(rest))
            env["MURLIN_CLIPBOARD"] = "clipboard.txt"
        elif word == "era":
            eras.append(rest)
        elif line.startswith("system version "):
            env["MURLIN_OS_VERSION"] = line[len("system version "):]
        else:
            raise SystemExit("%s: unknown world line: # %s" % (example.where(), line))
    if eras:
        with open(os.path.join(folder, "eras.txt"), "w", encoding="utf-8") as f:
            f.write("".join(era + "\n" for era in eras))
        env["MURLIN_ERAS"] = "eras.txt"
    return options, env, stdin, as_bytes


def run_host(command, folder, env, stdin):
    # The input is in the pipe, its writer closed, before the host starts:
    # an example that does not wait for input still finds all of it.
    read_end, write_end = os.pipe()
    os.write(write_end, stdin)
    os.close(write_end)
    try:
        return subprocess.run(command, cwd=folder, stdin=read_end, capture_output=True,
                              env=dict(os.environ, **env), timeout=120)
    finally:
        os.close(read_end)


def run(example, host, runner, windows):
    """None when the example ran as written, else what went wrong; "skip"
    when this build cannot make its world."""
    want_out = "".join(line + "\n" for line in example.out)
    want_err = "".join(line + "\n" for line in example.err)
    want_status = 1 if example.fails else 0
    with tempfile.TemporaryDirectory(prefix="murlin-doc-") as folder:
        world = make_world(example, folder, windows)
        if world is None:
            return "skip"
        options, env, stdin, as_bytes = world
        with open(os.path.join(folder, "lines.txt"), "w", encoding="utf-8") as f:
            f.write("".join(line + "\n" for line in example.lines))
        command = runner + [host, "--settings", "settings.ini"] + options + ["-f", "lines.txt"]
        for _ in range(2):
            done = run_host(command, folder, env, stdin)
            out = (done.stdout.hex(" ").upper() + "\n" if as_bytes
                   else done.stdout.decode("utf-8", "replace"))
            raw = done.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
            # Wine's own notices (a drive it cannot ask, say) are none of the example's.
            wine = [line for line in raw.splitlines(True) if runner and line.startswith("wine: ")]
            err = "".join(line for line in raw.splitlines(True) if line not in wine)
            # A run that failed without a word from the host is Wine failing to
            # start it under load: tried once more, and said.
            silent = runner and done.returncode != 0 and out == "" and err == ""
            if (out, err, done.returncode) == (want_out, want_err, want_status) or not silent:
                break
            print("%s: the host said nothing and ended with %d under Wine (%s); once more" %
                  (example.where(), done.returncode, "".join(wine).strip() or "no notice"))
    if (out, err, done.returncode) == (want_out, want_err, want_status):
        return None
    return ("%s: %s\n  expected: status %d, output %r, errors %r\n"
            "  got:      status %d, output %r, errors %r" %
            (example.where(), " | ".join(example.lines), want_status, want_out, want_err,
             done.returncode, out, err))


def section(text, heading):
    """The part of a Markdown text from a level-2 heading to the next."""
    start = ("\n" + text).find("\n" + heading + "\n")
    if start < 0:
        return None
    end = text.find("\n## ", start + 1)
    return text[start:end if end >= 0 else len(text)]


def same_examples(name, mine, theirs, their_name):
    """Problems when two documents do not hold the same examples in order."""
    for index, (a, b) in enumerate(zip(mine, theirs)):
        if a.text != b.text:
            return ["%s and %s differ at example %d: %s against %s" %
                    (name, their_name, index + 1, a.where(), b.where())]
    if len(mine) != len(theirs):
        return ["%s holds %d examples, %s %d" % (name, len(mine), their_name, len(theirs))]
    return []


def check_documents(root, texts, examples, version):
    problems = []
    # Both references: a section for every name, and the same examples.
    for name in ("docs/reference.md", "docs/reference.ja.md"):
        if name not in texts:
            continue
        headings = re.findall(r"^## .*$", texts[name], re.M)
        for wanted in NAMES:
            if not any(re.search(r"\b%s\b" % wanted, h, re.I) for h in headings):
                problems.append("%s: no section for %s" % (name, wanted))
    pairs = [("docs/reference.ja.md", examples.get("docs/reference.ja.md"),
              "docs/reference.md", examples.get("docs/reference.md", []))]
    readme_install = section(texts["README.md"], INSTALL_HEADING)
    if readme_install is None:
        problems.append("README.md: no section '%s'" % INSTALL_HEADING)
        readme_install = ""
    pairs.append(("docs/install.ja.md", examples.get("docs/install.ja.md"),
                  "README.md (%s)" % INSTALL_HEADING[3:], blocks("README.md", readme_install)))
    for name, mine, their_name, theirs in pairs:
        if mine is None:
            problems.append("%s is missing" % name)
            continue
        problems += same_examples(name, mine, theirs, their_name)
    # One version everywhere.
    for name, text in texts.items():
        for named in re.findall(r"Murlin-(\d+(?:\.\d+)+)", text):
            if named != version:
                problems.append("%s names the release %s; CMakeLists.txt says %s" %
                                (name, named, version))
    for named in re.findall(r"its version, (\d+(?:\.\d+)+)", texts["README.md"]):
        if named != version:
            problems.append("README.md names the version %s; CMakeLists.txt says %s" %
                            (named, version))
    if "Murlin-%s.zip" % version not in texts["README.md"]:
        problems.append("README.md does not name Murlin-%s.zip" % version)
    with open(os.path.join(root, "CHANGELOG.md"), encoding="utf-8") as f:
        changelog = f.read()
    if not re.search(r"^## %s \(\d{4}-\d\d-\d\d\)$" % re.escape(version), changelog, re.M):
        problems.append("CHANGELOG.md has no dated section '## %s (YYYY-MM-DD)'" % version)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("runner", nargs="*")
    args = parser.parse_args()
    args.host = os.path.abspath(args.host)
    windows = args.host.lower().endswith(".exe")

    names = ["README.md"] + sorted("docs/" + n for n in os.listdir(os.path.join(args.root, "docs"))
                                   if n.endswith(".md"))
    texts, examples = {}, {}
    for name in names:
        with open(os.path.join(args.root, name), encoding="utf-8") as f:
            texts[name] = f.read()
        examples[name] = blocks(name, texts[name])

    problems = check_documents(args.root, texts, examples, args.version)
    ran = lines = skipped = 0
    every = [example for name in names for example in examples[name]]
    # Each example has a folder and settings of its own, so several run at
    # once: under Wine, most of an example's time is Wine starting.
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        outcomes = list(pool.map(lambda e: run(e, args.host, args.runner, windows), every))
    for example, outcome in zip(every, outcomes):
        if outcome == "skip":
            skipped += 1
            continue
        ran += 1
        lines += len(example.lines)
        if outcome:
            problems.append(outcome)
    print("doc examples: ran %d examples (%d command lines) from %d files%s" %
          (ran, lines, len(names),
           "; skipped %d whose world only the Linux stand-ins make" % skipped if skipped else ""))
    for problem in problems:
        print("FAILED " + problem)
    if problems:
        print("doc examples: %d failed" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
