#!/usr/bin/env python3
"""Runs clang-tidy over source files, skipping those found clean before.

usage: tidy_cached.py BUILD_DIR FILE...

A file is skipped when clang-tidy already found nothing in exactly the same
input: its preprocessed text with comments (so every header it includes and
every NOLINT), its compile flags, the .clang-tidy configuration and the
versions of clang-tidy and clang. Paths under the source
tree and the build folder are taken relative to them, so that a fresh clone
in another folder finds what an earlier one checked. Only clean results are
remembered: a file with findings is checked again every time. Two files are
checked at once. The cache lives in $XDG_CACHE_HOME/korva-tidy (or
~/.cache/korva-tidy); KORVA_TIDY_CACHE=0 checks every file.
"""

import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def tool_version(tool):
    return subprocess.run([tool, "--version"], capture_output=True, text=True, check=True).stdout


def compile_arguments(entry):
    """The compiler's arguments of a compile_commands.json entry, without
    the compiler itself, any launcher in front of it, -c and -o."""
    args = entry.get("arguments") or shlex.split(entry["command"])
    start = next(i for i, arg in enumerate(args) if arg.endswith(("g++", "c++", "clang++")))
    args = args[start + 1:]
    kept = []
    skip_next = False
    for arg in args:
        if skip_next:
            skip_next = False
        elif arg == "-o":
            skip_next = True
        elif arg != "-c":
            kept.append(arg)
    return kept


def relative_paths(text, build):
    return text.replace(str(build), "<build>").replace(str(ROOT), "<source>")


def input_key(entry, build, fixed):
    """The hash of everything clang-tidy reads for this file, or None when
    the file cannot be preprocessed (it is then always checked)."""
    args = compile_arguments(entry)
    preprocessed = subprocess.run(["clang++", *args, "-E", "-C", "-o", "-"], cwd=entry["directory"],
                                  capture_output=True)
    if preprocessed.returncode != 0:
        return None
    digest = hashlib.sha256(fixed)
    digest.update(relative_paths(" ".join(args), build).encode())
    digest.update(b"\0")
    digest.update(relative_paths(preprocessed.stdout.decode("utf-8", "surrogateescape"), build)
                  .encode("utf-8", "surrogateescape"))
    return digest.hexdigest()


def check(path, entry, build, fixed, cache):
    key = input_key(entry, build, fixed) if cache else None
    if key and (cache / key).exists():
        return True, ""
    tidy = subprocess.run(["clang-tidy", "-p", str(build), "--quiet", "--warnings-as-errors=*",
                           str(path)], capture_output=True, text=True)
    if tidy.returncode == 0 and key:
        cache.mkdir(parents=True, exist_ok=True)
        (cache / key).touch()
    # Standard error holds clang-tidy's counts of suppressed warnings; it is
    # shown only when there are no findings to explain a failure.
    return tidy.returncode == 0, tidy.stdout or tidy.stderr


def main():
    argv = sys.argv[1:]
    if len(argv) < 2:
        sys.exit(__doc__)
    build = Path(argv[0]).resolve()
    files = [Path(f).resolve() for f in argv[1:]]
    entries = {str(Path(e["directory"], e["file"]).resolve()): e
               for e in json.loads((build / "compile_commands.json").read_text())}
    fixed = "\0".join([tool_version("clang-tidy"), tool_version("clang++"),
                       (ROOT / ".clang-tidy").read_text()]).encode()
    cache = None
    if os.environ.get("KORVA_TIDY_CACHE", "1") != "0":
        base = Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache")
        cache = base / "korva-tidy"
    failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        jobs = {}
        for path in files:
            entry = entries.get(str(path))
            if entry is None:
                print(f"{path}: not in {build}/compile_commands.json", file=sys.stderr)
                failed += 1
                continue
            jobs[pool.submit(check, path, entry, build, fixed, cache)] = path
        for job in concurrent.futures.as_completed(jobs):
            clean, findings = job.result()
            if not clean:
                failed += 1
                print(findings or f"{jobs[job]}: clang-tidy failed", end="")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
