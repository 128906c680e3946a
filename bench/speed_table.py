#!/usr/bin/env python3
"""The whole-process table of docs/performance.md: alternating runs of
korva-asm, of the I/O floor of the same outputs (../shared/bench/
io_floor_all.c, reading the sources and the chip file whole and writing and
reading back files of the outputs' sizes) and, for the chip row, of gpasm on
the same program in mnemonics; medians, ratios and peak memory.

usage: speed_table.py KORVA_ASM KORVA_BENCH_PROJECT RUNS
ROWS=chip,50k,200k chooses the rows."""
import os, statistics, subprocess, sys, time, shutil
asm, gen, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
floor_src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "bench", "io_floor_all.c")
floor = os.path.join(os.environ.get("TMPDIR", "/tmp"), "korva-io-floor-all")
if not os.path.exists(floor) or os.path.getmtime(floor) < os.path.getmtime(floor_src):
    subprocess.run(["cc", "-O2", "-o", floor, floor_src], check=True)
chips = os.path.join(os.path.dirname(os.path.realpath(asm)), "chips")

def timed(cmd, cwd):
    t = time.perf_counter()
    subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - t

def peak(cmd, cwd):
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, cwd=cwd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    return int(r.stderr.strip().splitlines()[-1])

def row(name, lines, chip, options, gpasm):
    d = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"korva-speed-{name}")
    shutil.rmtree(d, ignore_errors=True)
    extra = ["--chip"] if chip else []
    subprocess.run([gen, d, str(lines)] + extra, check=True, stdout=subprocess.DEVNULL)
    cmd = [asm] + options + ["bench.amk"]
    subprocess.run(cmd, cwd=d, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    src = os.path.join(d, "all.src")
    with open(src, "wb") as out:
        for f in ["defs.inc", "main.as"] + ([os.path.join(chips, "16F877A.inc")] if chip else []):
            out.write(open(os.path.join(d, f), "rb").read())
    exts = [e for e in [".obj", ".out", ".bin", ".hex", ".cod", ".map"] if os.path.exists(os.path.join(d, "bench" + e))]
    fl = [floor, src, os.path.join(d, "floor")] + [f"{e}={os.path.getsize(os.path.join(d, 'bench' + e))}" for e in exts]
    g = None
    if gpasm:
        gd = d + "-mpasm"
        shutil.rmtree(gd, ignore_errors=True)
        subprocess.run([gen, "--mpasm", gd, str(lines)] + extra, check=True, stdout=subprocess.DEVNULL)
        g = ["gpasm", "-p", "16f877a", "bench.asm"]
    a, b, c = [], [], []
    for _ in range(runs):
        a.append(timed(cmd, d)); b.append(timed(fl, d))
        if g: c.append(timed(g, gd))
    ma, mb = statistics.median(a) * 1000, statistics.median(b) * 1000
    srcsize = sum(os.path.getsize(os.path.join(d, f)) for f in ["defs.inc", "main.as"])
    line = f"{name}: korva {ma:.1f} ms, floor {mb:.1f} ms, ratio {ma/mb:.2f}"
    if g:
        mc = statistics.median(c) * 1000
        line += f", gpasm {mc:.1f} ms, korva/gpasm {ma/mc:.2f}"
    line += f", peak {peak(cmd, d)} KiB, source {srcsize//1024} KiB, listing {os.path.getsize(os.path.join(d,'bench.out'))//1024} KiB"
    print(line, flush=True)

if "chip" in os.environ.get("ROWS","chip,50k,200k"): row("chip10k", 10000, True, ["--chip", "16F877A", "--hex", "--cod", "--map"], True)
if "50k" in os.environ.get("ROWS","chip,50k,200k"): row("plain50k", 50000, False, [], False)
if "200k" in os.environ.get("ROWS","chip,50k,200k"): row("plain200k", 200000, False, [], False)
