#!/usr/bin/env python3
"""Writes the sample jobs under examples/: one directory per job, each with a Corvanta.cmd.

Moves are relative, in HPGL units (1016 per inch, 40 per mm).  Run from the repository root:
    python3 tools/make_examples.py
"""
import math
import os

MM = 40  # HPGL units per millimetre


def polyline(points):
    """Relative pen-down moves through absolute points (HPGL units), rounding each step."""
    out, (x, y) = [], points[0]
    for px, py in points[1:]:
        dx, dy = round(px - x), round(py - y)
        out.append(f"pd_default {dx} {dy}")
        x, y = x + dx, y + dy
    return out, (x, y)


def travel(frm, to):
    return f"pu_default {round(to[0] - frm[0])} {round(to[1] - frm[1])}"


def rectangle():
    w, h = 100 * MM, 60 * MM
    return ["CorvantaCmdVer 1", "execute_penselect 1", travel((0, 0), (20 * MM, 20 * MM)),
            f"pd_default {w} 0", f"pd_default 0 {h}", f"pd_default {-w} 0", f"pd_default 0 {-h}",
            travel((20 * MM, 20 * MM), (0, 0))]


def circle(segments=180, radius=40 * MM):
    cx, cy = 60 * MM, 60 * MM
    pts = [(cx + radius * math.cos(2 * math.pi * i / segments), cy + radius * math.sin(2 * math.pi * i / segments))
           for i in range(segments + 1)]
    start = (round(pts[0][0]), round(pts[0][1]))
    moves, end = polyline([start] + pts[1:])
    return ["CorvantaCmdVer 1", "execute_penselect 1", travel((0, 0), start)] + moves + [travel(end, (0, 0))]


# A small stroke font: each letter is a list of strokes on a 4 x 6 grid.
LETTERS = {
    "C": [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5)]],
    "O": [[(1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0)]],
    "R": [[(0, 0), (0, 6), (3, 6), (4, 5), (4, 4), (3, 3), (0, 3)], [(2, 3), (4, 0)]],
    "V": [[(0, 6), (2, 0), (4, 6)]],
    "A": [[(0, 0), (2, 6), (4, 0)], [(1, 3), (3, 3)]],
    "N": [[(0, 0), (0, 6), (4, 0), (4, 6)]],
    "T": [[(0, 6), (4, 6)], [(2, 6), (2, 0)]],
}


def lettering(text="CORVANTA", cell=3 * MM):
    cmds, pos = ["CorvantaCmdVer 1", "execute_penselect 1"], (0, 0)
    for i, ch in enumerate(text):
        ox, oy = 10 * MM + i * 6 * cell, 10 * MM
        for stroke in LETTERS[ch]:
            pts = [(ox + x * cell, oy + y * cell) for x, y in stroke]
            cmds.append(travel(pos, pts[0]))
            moves, pos = polyline(pts)
            cmds += moves
    cmds.append(travel(pos, (0, 0)))
    return cmds


def pen_change():
    speeds = " ".join(str(s) for s in [1000, 800, 250, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500])
    cmds = ["CorvantaCmdVer 1", f"VectorSpeed {speeds}", "execute_penselect 1", travel((0, 0), (10 * MM, 10 * MM))]
    square = [f"pd_default {50 * MM} 0", f"pd_default 0 {50 * MM}", f"pd_default {-50 * MM} 0", f"pd_default 0 {-50 * MM}"]
    cmds += square + ["execute_penselect 3", travel((10 * MM, 10 * MM), (70 * MM, 10 * MM))] + square
    cmds.append(travel((70 * MM, 10 * MM), (0, 0)))
    return cmds


def raster_image(lines, firing, x_dots, y_rows, width=508, dpi=254, unit=508, speed=500):
    return [f"RasterDPI {dpi}", f"RasterUnit {unit}", f"RasterSpeedX {speed}", f"RasterSpeedY {speed}",
            f"RasterFiringType {firing}", "RasterBandingFree 1", "RasterPower 500", f"ImageWidth {width}",
            f"ImageHeight {lines}", f"SetHorizontalPositionPCL 1 {x_dots}", f"SetVerticalPositionPCL 1 {y_rows}",
            "SetStartRasterGraphics 0"] + ["RasterLineOut 0"] * lines + ["SetEndRasterGraphics 0"]


def engrave_photo():
    # Two 2 x 0.6 inch images of 300 lines: the first engraved in both directions,
    # the second forward only.
    return (["CorvantaCmdVer 1"] + raster_image(300, 0, 254, 508) + raster_image(300, 1, 254, 1016)
            + ["ToHpglMode 0"])


def mixed():
    # Engrave a 2 x 0.5 inch image 1 inch from the bed's left and top edges (x 25.4 to 76.2 mm), then cut a
    # rectangle 5 mm around it.  After ToHpglMode the carriage stands on the image's lower edge, 2 mm right of
    # its left edge (as --svg draws it), so a pen-up move first takes it to the outline's lower left corner.
    cmds = ["CorvantaCmdVer 1"] + raster_image(254, 0, 254, 508) + ["ToHpglMode 0", "execute_penselect 1"]
    w, h = 2 * 1016 + 10 * MM, 1016 // 2 + 10 * MM
    cmds += [travel((0, 0), (-7 * MM, -5 * MM))]
    cmds += [f"pd_default {w} 0", f"pd_default 0 {h}", f"pd_default {-w} 0", f"pd_default 0 {-h}", "pu_default 0 0"]
    return cmds


JOBS = {"rectangle": rectangle, "circle": circle, "lettering": lettering, "pen_change": pen_change,
        "engrave_photo": engrave_photo, "mixed": mixed}

if __name__ == "__main__":
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    for name, make in JOBS.items():
        os.makedirs(os.path.join(root, name), exist_ok=True)
        with open(os.path.join(root, name, "Corvanta.cmd"), "w") as f:
            f.write("\n".join(make()) + "\n")
