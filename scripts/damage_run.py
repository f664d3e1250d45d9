#!/usr/bin/env python3
"""Converts damaged copies of the shared sample files with zelconv and reports every run that
crashed, hung, was slow to refuse, drew a sanitizer report or failed without naming its file.

The copies are made here from the samples (bytes flipped, fields overwritten with extreme values,
files cut short, stretches repeated or removed) and are never kept unless a run went wrong: those
are saved with the output of the run under OUT/findings/. Use a sanitizer build of zelconv:

    scripts/damage_run.py --zelconv build-asan/bin/zelconv --copies 200 --out /tmp/damage

ZEL images made from the samples are damaged too and taken back with zelconv -r.
"""
import argparse
import concurrent.futures
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TESTDATA = ROOT.parent / "shared" / "testdata"
SUFFIXES = {".dng", ".tif", ".tiff", ".png", ".fits", ".fit", ".fts", ".mat", ".txt"}
EXTREMES = [0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF]
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "ERROR: ThreadSanitizer", "Sanitizer:DEADLYSIGNAL")


def samples():
    found = []
    for folder in ("external", "derived"):
        for path in sorted((TESTDATA / folder).rglob("*")):
            if path.is_file() and path.suffix.lower() in SUFFIXES:
                found.append(path)
    return found


def damage(data, rng):
    data = bytearray(data)
    if not data:
        return bytes(data)
    kind = rng.randrange(6)
    if kind == 0:  # flip a few bytes
        for _ in range(rng.randint(1, 16)):
            data[rng.randrange(len(data))] ^= 1 << rng.randrange(8)
    elif kind == 1:  # an extreme value in a 16- or 32-bit field, either byte order
        value = rng.choice(EXTREMES)
        width = rng.choice((2, 4))
        fmt = rng.choice("<>") + ("H" if width == 2 else "I")
        at = rng.randrange(max(1, len(data) - width))
        # Headers sit near the start: favour the first kilobytes.
        if rng.random() < 0.7:
            at = rng.randrange(max(1, min(len(data) - width, 4096)))
        data[at:at + width] = struct.pack(fmt, value & ((1 << (8 * width)) - 1))
    elif kind == 2:  # cut short
        del data[rng.randrange(len(data)):]
    elif kind == 3:  # a stretch repeated
        at = rng.randrange(len(data))
        size = rng.randint(1, min(4096, len(data) - at))
        data[at:at] = data[at:at + size]
    elif kind == 4:  # a stretch removed
        at = rng.randrange(len(data))
        del data[at:at + rng.randint(1, 256)]
    else:  # random bytes over a stretch
        at = rng.randrange(len(data))
        size = rng.randint(1, 64)
        data[at:at + size] = bytes(rng.randrange(256) for _ in range(min(size, len(data) - at)))
    return bytes(data)


def run(command, timeout):
    start = time.monotonic()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
               ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:exitcode=86")
    try:
        done = subprocess.run(command, capture_output=True, timeout=timeout, env=env)
        return done.returncode, (done.stdout + done.stderr).decode(errors="replace"), \
            time.monotonic() - start
    except subprocess.TimeoutExpired as expired:
        out = (expired.stdout or b"") + (expired.stderr or b"")
        return None, out.decode(errors="replace"), time.monotonic() - start


def judge(code, output, seconds, name, slow):
    """Why the run went wrong, or None."""
    if code is None:
        return "hang"
    for mark in SANITIZER_MARKS:
        if mark in output:
            return "sanitizer"
    if code < 0 or code >= 128 or code == 86:
        return f"crash (status {code})"
    if seconds > slow:
        return f"slow ({seconds:.1f} s)"
    if code != 0 and name not in output:
        return "failure without the file's name"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--zelconv", default=str(ROOT / "build-asan" / "bin" / "zelconv"))
    parser.add_argument("--copies", type=int, default=100, help="damaged copies per sample")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--out", default=tempfile.gettempdir() + "/zel-damage")
    parser.add_argument("--timeout", type=float, default=30)
    parser.add_argument("--slow", type=float, default=5, help="seconds a refusal may take")
    parser.add_argument("--only", default="", help="only samples whose name contains this")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()

    out = Path(args.out)
    shutil.rmtree(out, ignore_errors=True)
    work, findings = out / "work", out / "findings"
    work.mkdir(parents=True)
    findings.mkdir()
    rng = random.Random(args.seed)

    sources = [s for s in samples() if args.only in s.name]
    # ZEL images of the samples, for the way back.
    zel_sources = []
    for source in sources:
        if source.suffix.lower() in (".png", ".tif", ".tiff", ".dng", ".fits"):
            target = work / (source.stem + ".zel.png")
            code, _, _ = run([args.zelconv, "-i", str(source), "-o", str(target), "-a", "id"],
                             args.timeout)
            if code == 0 and target.exists():
                zel_sources.append(target.rename(work / ("seed_" + target.name)))

    # Each copy has a seed of its own, drawn in order, so that a run is repeatable whatever the
    # number of workers.
    jobs = []
    for source in sources + zel_sources:
        back = source.name.endswith(".zel.png")
        suffix = ".zel.png" if back else source.suffix
        stem = source.name[:-len(suffix)]
        for n in range(args.copies):
            jobs.append((work / f"d{n}_{stem}{suffix}", source, rng.getrandbits(64), back))

    def convert(job):
        damaged, source, seed, back = job
        damaged.write_bytes(damage(source.read_bytes(), random.Random(seed)))
        result = damaged.with_name(damaged.name + (".back.tif" if back else ".out.zel.png"))
        command = [args.zelconv, "-r", "-i", str(damaged), "-o", str(result)] if back else \
            [args.zelconv, "-i", str(damaged), "-o", str(result), "-a", "id"]
        code, output, seconds = run(command, args.timeout)
        why = judge(code, output, seconds, damaged.name, args.slow)
        if why:
            kept = findings / damaged.name
            shutil.copy(damaged, kept)
            kept.with_name(kept.name + ".log").write_text(f"{' '.join(command)}\n{why}\n{output}")
            print(f"{why}: {kept}", flush=True)
        damaged.unlink()
        result.unlink(missing_ok=True)
        return code, why

    counts = {"runs": 0, "converted": 0, "refused": 0}
    bad = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for code, why in pool.map(convert, jobs):
            counts["runs"] += 1
            counts["converted" if code == 0 else "refused"] += 1
            if why:
                bad.append(why)
    print(f"{counts['runs']} runs over {len(sources)} samples and {len(zel_sources)} ZEL images: "
          f"{counts['converted']} converted, {counts['refused']} refused, {len(bad)} went wrong")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
