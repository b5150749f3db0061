#!/usr/bin/env python3
"""Turns an HPGL plot file into a Corvanta.cmd job of relative pen-up/pen-down moves.

    python3 tools/hpgl2cmd.py drawing.hpgl > job/Corvanta.cmd

Understood: IN, SP (pen selection), PU, PD, PA, PR (absolute and relative plotting, coordinate pairs
separated by commas or blanks, decimals rounded), LB (label text skipped up to its terminator), DT (label
terminator).  Everything else (scaling, arcs, fills, device-control escapes) is skipped: coordinates are taken
as plotter units of 1/1016 inch.
"""
import re
import sys

NUMBER = re.compile(r"[-+]?(?:\d+\.?\d*|\.\d+)")


def commands(text):
    """Yields (mnemonic, parameter text) pairs."""
    i, n, label_end = 0, len(text), "\x03"
    while i < n:
        c = text[i]
        if c == "\x1b":  # device-control escape: skip to its terminator or the next letter pair
            j = i + 1
            while j < n and not (text[j] in ":;" or (text[j].isalpha() and text[j].isupper() and j > i + 2)):
                j += 1
            i = j + 1 if j < n and text[j] in ":;" else j
            continue
        if c.isalpha() and i + 1 < n and text[i + 1].isalpha():
            mnem = (c + text[i + 1]).upper()
            i += 2
            if mnem == "LB":
                j = text.find(label_end, i)
                i = n if j < 0 else j + 1
                continue
            j = i
            while j < n and not text[j].isalpha() and text[j] not in ";\x1b":
                j += 1
            params = text[i:j]
            if mnem == "DT" and params:
                label_end = params[0]
            yield mnem, params
            i = j + 1 if j < n and text[j] == ";" else j
        else:
            i += 1


def convert(text):
    out = ["CorvantaCmdVer 1", "execute_penselect 1"]
    x = y = 0          # plotter position (rounded, plotter units)
    absolute, pen_down = True, False

    def move_to(nx, ny):
        nonlocal x, y
        nx, ny = round(nx), round(ny)
        if nx != x or ny != y:
            out.append(f"{'pd_default' if pen_down else 'pu_default'} {nx - x} {ny - y}")
        x, y = nx, ny

    for mnem, params in commands(text):
        nums = [float(v) for v in NUMBER.findall(params)]
        if mnem == "IN":
            absolute, pen_down = True, False
        elif mnem == "SP":
            if nums and 0 <= nums[0] <= 16:
                out.append(f"execute_penselect {int(nums[0])}")
                pen_down = False
        elif mnem in ("PU", "PD", "PA", "PR"):
            if mnem == "PU":
                pen_down = False
            elif mnem == "PD":
                pen_down = True
            elif mnem == "PA":
                absolute = True
            else:
                absolute = False
            for k in range(0, len(nums) - 1, 2):
                if absolute:
                    move_to(nums[k], nums[k + 1])
                else:
                    move_to(x + nums[k], y + nums[k + 1])
    if pen_down:
        out.append("pu_default 0 0")
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="latin-1") as f:
        sys.stdout.write(convert(f.read()))
