#!/usr/bin/env python3
"""Random command files against the built program: every run must end with exit status 0 and a
well-formed status file (five success lines or two failure lines), within a time limit, with
nothing on standard error (so a sanitizer build reports no error).

    python3 tools/fuzz_jobs.py [--binary build-asan/xr7/corvanta] [--runs 200] [--seed 1] [--threaded]

Failing jobs are kept under fuzz-failures/ for replay.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

ONE_VALUE = ["CorvantaCmdVer", "RasterDPI", "RasterUnit", "RasterBandingFree", "RasterFiringType", "RasterSpeedX",
             "RasterSpeedY", "ImageWidth", "ImageHeight", "RasterPower", "RasterAccelEngrave", "RasterBuEngrave",
             "SetStartRasterGraphics", "SetEndRasterGraphics", "ToHpglMode", "execute_penselect", "ToPclMode",
             "RasterLineOut"]
TWO_VALUE = ["pd_default", "pu_default", "SetHorizontalPositionPCL", "SetVerticalPositionPCL"]
EXTREMES = [0, 1, -1, 2, 3, 255, 256, 65535, 65536, 2**31 - 1, -2**31, 2**32 + 5, -2**33, 1073741824, -1073741824]


def value(rng, small=2000):
    r = rng.random()
    if r < 0.6:
        return rng.randint(-small, small)
    if r < 0.8:
        return rng.choice(EXTREMES)
    return rng.randint(-2**31, 2**31 - 1)


def move(rng):
    # Mostly moves a machine can make in reasonable time; now and then an extreme one.
    if rng.random() < 0.97:
        return rng.randint(-3000, 3000), rng.randint(-3000, 3000)
    return value(rng), value(rng)


def job(rng):
    recs = []
    if rng.random() < 0.9:
        recs.append("CorvantaCmdVer 1")
    if rng.random() < 0.8:
        recs.append(f"execute_penselect {rng.randint(0, 16)}")
    for _ in range(rng.randint(0, 60)):
        r = rng.random()
        if r < 0.45:
            dx, dy = move(rng)
            recs.append(f"{rng.choice(['pd_default', 'pu_default'])} {dx} {dy}")
        elif r < 0.55:
            recs.append(f"VectorSpeed " + " ".join(str(rng.randint(0, 1200)) for _ in range(rng.randint(14, 16))))
        elif r < 0.65 and recs:
            recs.append(rng.choice(["RasterDPI 254", "RasterUnit 508", "RasterUnit 304", "RasterUnit 609",
                                    "ImageWidth 254", "ImageHeight 5", "RasterSpeedX 500", "RasterSpeedY 500"]))
        elif r < 0.72:
            lines = rng.randint(0, 6)
            recs += ["SetStartRasterGraphics 0"] + ["RasterLineOut 0"] * lines + ["SetEndRasterGraphics 0"]
        elif r < 0.95:
            kw = rng.choice(ONE_VALUE)
            v = rng.randint(0, 17) if kw == "execute_penselect" else value(rng, 600)
            if kw == "CorvantaCmdVer" and rng.random() < 0.8:
                v = 1
            recs.append(f"{kw} {v}")
        else:
            recs.append(rng.choice([f"{rng.choice(TWO_VALUE)} {value(rng)}", "x" * rng.randint(1, 400) + " 1 2",
                                    f"{rng.choice(ONE_VALUE)} 1 2", "pd_default 5", "-- -", "+7 8"]))
    return "\n".join(recs) + ("\n" if rng.random() < 0.8 else "")


def check(binary, text, threaded, timeout):
    d = tempfile.mkdtemp(prefix="corvanta_fuzz_")
    try:
        with open(os.path.join(d, "Corvanta.cmd"), "w") as f:
            f.write(text)
        args = [binary] + ([] if threaded else ["--deterministic"]) + [d]
        try:
            p = subprocess.run(args, capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return "timeout"
        if p.returncode != 0:
            return f"exit status {p.returncode}: {p.stderr.decode(errors='replace')[-800:]}"
        if p.stderr:
            return "stderr: " + p.stderr.decode(errors="replace")[-800:]
        sts = open(os.path.join(d, "Corvanta.sts"), "rb").read()
        lines = sts.split(b"\r\n\r")
        if not sts.endswith(b"\r\n\r") or lines[-1] != b"":
            return f"bad status file {sts!r}"
        lines = lines[:-1]
        if not ((len(lines) == 5 and lines[0] == b"CVQX_OK") or (len(lines) == 2 and lines[0] == b"CVQX_Error")):
            return f"bad status lines {lines!r}"
        return None
    finally:
        shutil.rmtree(d, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", default="build/xr7/corvanta")
    ap.add_argument("--runs", type=int, default=200)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--threaded", action="store_true")
    ap.add_argument("--timeout", type=float, default=60)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    failures = 0
    for i in range(a.runs):
        text = job(rng)
        problem = check(a.binary, text, a.threaded, a.timeout)
        if problem:
            failures += 1
            os.makedirs("fuzz-failures", exist_ok=True)
            path = os.path.join("fuzz-failures", f"seed{a.seed}_run{i}.cmd")
            with open(path, "w") as f:
                f.write(text)
            print(f"run {i}: {problem.strip()} (job kept in {path})")
    print(f"{a.runs} runs, {failures} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
