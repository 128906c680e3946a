#!/usr/bin/env python3
"""Runs a road of "From source to chip" in docs/notation.md as written:
the blink program is assembled with the korva-asm commands shown, which
must print the messages shown; gpsim runs the command file shown, and every
line of the output shown must come out of gpsim, in that order.

  gpsim_example.py KORVA_ASM NOTATION_MD WORK_DIR [SECTION CHIP]

SECTION is the section's heading ("## From source to chip" unless given),
CHIP the chip of its program (16F877A unless given).

Exit status 77 (skipped) where gpsim is not installed, once the assembly is
checked.
"""

import pathlib
import re
import shlex
import shutil
import subprocess
import sys

SKIPPED = 77


def section_blocks(document, heading):
    """The fenced blocks of one section: (tag, lines) in order."""
    lines = document.splitlines()
    start = lines.index(heading)
    blocks = []
    i = start + 1
    while i < len(lines) and not lines[i].startswith("## "):
        if lines[i].startswith("```"):
            tag = lines[i][3:]
            end = lines.index("```", i + 1)
            blocks.append((tag, lines[i + 1:end]))
            i = end
        i += 1
    return blocks


def one_block(blocks, tag, containing=""):
    found = [body for t, body in blocks if t == tag and any(containing in line for line in body)]
    if len(found) != 1:
        raise SystemExit(f"expected one ```{tag} block with {containing!r}, found {len(found)}")
    return found[0]


def command_lines(block, program):
    lines = [line for line in block if line.split()[:1] == [program]]
    if not lines:
        raise SystemExit(f"expected a {program} command, found none")
    return lines


def command_line(block, program):
    lines = command_lines(block, program)
    if len(lines) != 1:
        raise SystemExit(f"expected one {program} command, found {lines}")
    return shlex.split(lines[0])


def squeezed(text):
    return " ".join(text.split())


def main():
    korva_asm = str(pathlib.Path(sys.argv[1]).resolve())
    notation, work = pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
    heading = sys.argv[4] if len(sys.argv) > 4 else "## From source to chip"
    chip = sys.argv[5] if len(sys.argv) > 5 else "16F877A"
    blocks = section_blocks(notation.read_text(encoding="utf-8"), heading)
    program = one_block(blocks, "korva " + chip, "; blink.as")
    script = one_block(blocks, "gpsim")
    shown = [line for line in one_block(blocks, "text") if line.strip()]
    messages = one_block(blocks, "", "warning:")
    assembles = command_lines(one_block(blocks, "sh", "korva-asm"), "korva-asm")
    simulate = command_line(one_block(blocks, "sh", "gpsim"), "gpsim")

    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    (work / "blink.as").write_bytes(("\r\n".join(program) + "\r\n").encode("ascii"))
    (work / "blink.stc").write_text("\n".join(script) + "\n", encoding="ascii")

    printed = ""
    for line in assembles:
        # As the shell runs it, output redirections included.
        command = shlex.quote(korva_asm) + line[len("korva-asm"):]
        assembled = subprocess.run(command, shell=True, cwd=work, capture_output=True, text=True)
        if assembled.returncode != 0:
            print(f"{line} exited with {assembled.returncode}:\n{assembled.stderr}")
            return 1
        printed += assembled.stderr
    if not (work / "blink.hex").exists():
        print("the korva-asm commands wrote no blink.hex")
        return 1
    if printed.splitlines() != messages:
        print(f"korva-asm printed:\n{printed}--- the document shows:")
        print("\n".join(messages))
        return 1
    if shutil.which("gpsim") is None:
        print("skipped: gpsim is not installed (Debian package gpsim); the assembly was checked")
        return SKIPPED
    run = subprocess.run(simulate, cwd=work, stdin=subprocess.DEVNULL, capture_output=True,
                         text=True, errors="replace", timeout=300)
    output = [squeezed(line) for line in (run.stdout + run.stderr).splitlines()]

    at = 0
    for line in shown:
        wanted = squeezed(line)
        while at < len(output) and wanted not in output[at]:
            at += 1
        if at == len(output):
            print(f"gpsim did not print, in the documented order: {line}\n--- gpsim printed:")
            print(run.stdout + run.stderr)
            return 1
        at += 1
    print(f"gpsim printed all {len(shown)} documented lines in order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
