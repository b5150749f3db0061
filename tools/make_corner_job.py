#!/usr/bin/env python3
"""Write a vector job of many short pen-down moves with small direction changes, the kind of job
(a curve drawn as a polyline) on which the planner's corner pass does most of its work.

    python3 tools/make_corner_job.py OUTDIR [--moves 25000] [--seed 1] [--min-len 1] [--max-len 40]
                                             [--max-turn 6] [--pen 1]

Writes OUTDIR/Corvanta.cmd. Moves are in HPGL units; the heading drifts by at most --max-turn degrees
per move and now and then the run starts over with a pen-up move, so the head stays on the table.
"""
import argparse
import math
import os
import random


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("outdir")
    ap.add_argument("--moves", type=int, default=25000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--min-len", type=int, default=1)
    ap.add_argument("--max-len", type=int, default=40)
    ap.add_argument("--max-turn", type=float, default=6.0)
    ap.add_argument("--pen", type=int, default=1)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    os.makedirs(a.outdir, exist_ok=True)
    recs = ["CorvantaCmdVer 1", f"execute_penselect {a.pen}", "pu_default 4000 4000"]
    heading = rng.uniform(0, 360)
    x = y = 0
    for i in range(a.moves):
        heading += rng.uniform(-a.max_turn, a.max_turn)
        length = rng.uniform(a.min_len, a.max_len)
        dx = round(length * math.cos(math.radians(heading)))
        dy = round(length * math.sin(math.radians(heading)))
        if dx == 0 and dy == 0:
            dx = 1
        # Keep within roughly +-3000 units of the start: turn back towards it when far out.
        if abs(x + dx) > 3000 or abs(y + dy) > 3000:
            heading += 180
            dx, dy = -dx, -dy
        x += dx
        y += dy
        recs.append(f"pd_default {dx} {dy}")
    with open(os.path.join(a.outdir, "Corvanta.cmd"), "w") as f:
        f.write("\n".join(recs) + "\n")


if __name__ == "__main__":
    main()
