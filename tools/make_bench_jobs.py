#!/usr/bin/env python3
"""Writes the large benchmark jobs: one directory each with a Corvanta.cmd.

    python3 tools/make_bench_jobs.py [--scale F] OUTDIR

  raster_10h       one image of 26,000 raster lines, 9.8 inches wide at 10 % of the X speed:
                   about 10 hours of machine time, nearly all of it constant-speed strokes
  vector_100k      a drawing of 100,000 short segments (0.5 to 1.5 mm) whose direction changes
                   by a few degrees from one to the next, as a curve exported as a polyline is
  pen_changes      2,000 small shapes, each with its own pen, and a new speed table every 50 pens

--scale F multiplies the number of lines, segments and shapes (e.g. 0.01 for a quick run).
Moves are relative, in HPGL units (1016 per inch, 40 per mm).  The output is deterministic.
"""
import argparse
import math
import os
import random

MM = 40  # HPGL units per millimetre


def raster_10h(scale):
    lines = max(1, round(26000 * scale))
    return (["CorvantaCmdVer 1", "RasterDPI 254", "RasterUnit 508", "RasterSpeedX 100", "RasterSpeedY 100",
             "RasterFiringType 0", "RasterBandingFree 1", "RasterPower 500", "ImageWidth 2500",
             f"ImageHeight {lines}", "SetHorizontalPositionPCL 1 100", "SetVerticalPositionPCL 1 100",
             "SetStartRasterGraphics 0"] + ["RasterLineOut 0"] * lines + ["SetEndRasterGraphics 0", "ToHpglMode 0"])


def vector_100k(scale):
    rng = random.Random(100000)
    segments = max(2, round(100000 * scale))
    cmds = ["CorvantaCmdVer 1", "execute_penselect 1", f"pu_default {20 * MM} {20 * MM}"]
    angle, turn = 0.0, 0.0
    x = y = 0.0  # exact position, so rounding never accumulates
    px = py = 0
    for _ in range(segments):
        # The turn rate drifts slowly: long gentle curves, now and then an S-bend.
        turn = max(-6.0, min(6.0, turn + rng.uniform(-0.8, 0.8)))
        angle += math.radians(turn)
        length = rng.uniform(0.5, 1.5) * MM
        x += length * math.cos(angle)
        y += length * math.sin(angle)
        dx, dy = round(x) - px, round(y) - py
        px, py = px + dx, py + dy
        cmds.append(f"pd_default {dx} {dy}")
    cmds.append(f"pu_default {-px - 20 * MM} {-py - 20 * MM}")
    return cmds


def pen_changes(scale):
    rng = random.Random(2000)
    shapes = max(1, round(2000 * scale))
    cmds = ["CorvantaCmdVer 1"]
    for i in range(shapes):
        if i % 50 == 0:
            cmds.append("VectorSpeed " + " ".join(str(rng.randint(100, 1000)) for _ in range(16)))
        cmds.append(f"execute_penselect {1 + i % 16}")
        cmds.append(f"pu_default {rng.randint(-40, 40) * MM} {rng.randint(-40, 40) * MM}")
        w, h = rng.randint(2, 30) * MM, rng.randint(2, 30) * MM
        cmds += [f"pd_default {w} 0", f"pd_default 0 {h}", f"pd_default {-w} 0", f"pd_default 0 {-h}"]
    return cmds


JOBS = {"raster_10h": raster_10h, "vector_100k": vector_100k, "pen_changes": pen_changes}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("outdir")
    ap.add_argument("--scale", type=float, default=1.0)
    a = ap.parse_args()
    for name, make in JOBS.items():
        d = os.path.join(a.outdir, name)
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, "Corvanta.cmd"), "w") as f:
            f.write("\n".join(make(a.scale)) + "\n")


if __name__ == "__main__":
    main()
