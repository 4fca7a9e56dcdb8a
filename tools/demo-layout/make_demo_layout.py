#!/usr/bin/env python3
"""Writes data/Layouts/Demo.pln and Demo.dat: an oval main line whose eight feedback detectors
(S88 module 1, ports 1 to 8) follow the simulator's demo train (contacts 1..8, clockwise), a
station with a passing loop and its two routes, a siding with an uncoupling track, the emergency
stop, a light switch and two route switches."""
import pathlib

C = 27  # cell size in pixels
elements = []  # (Enummer, col, row, decod1..3, daten1..3, fahrnr)


def put(enr, col, row, dec=(0, 0, 0), dat=(0, 0, 0), fahrnr=0):
    elements.append((enr, col, row, dec, dat, fahrnr))


STRAIGHT_H, STRAIGHT_V = 21, 55
DET_H, DET_V = 65, 87
L, R, T, B = 2, 30, 3, 14

# Feedback detectors along the train's way: top line left to right, right side, bottom line right
# to left, left side.
top_detectors = {8: 1, 15: 2, 22: 3}
bottom_detectors = {25: 5, 14: 6, 6: 7}

# Corners (two curve pieces each).
put(32, L + 1, T); put(76, L, T + 1)          # top left
put(10, R - 1, T); put(75, R, T + 1)          # top right
put(53, R, B - 1); put(9, R - 1, B)           # bottom right
put(31, L + 1, B); put(54, L, B - 1)          # bottom left

# Station: passing loop inside the oval above the bottom line, turnouts at columns 9 and 21.
LEFT_TURNOUT, RIGHT_TURNOUT = (9, B), (21, B)
MAIN_SIGNAL, LOOP_SIGNAL = (20, B), (18, B - 2)
put(14, *LEFT_TURNOUT, dec=(1, 1, 0), dat=(1, 2, 0))
put(11, 10, B - 1)
put(32, 11, B - 2)
for col in range(12, 19):
    if (col, B - 2) != LOOP_SIGNAL:
        put(STRAIGHT_H, col, B - 2)
put(1, *LOOP_SIGNAL, dec=(3, 3, 0), dat=(3, 4, 0))
put(10, 19, B - 2)
put(33, 20, B - 1)
put(36, *RIGHT_TURNOUT, dec=(2, 2, 0), dat=(1, 2, 0))
put(1, *MAIN_SIGNAL, dec=(3, 3, 0), dat=(1, 2, 0))

# Yard inside the oval: a turnout on the top line leads down to a three-way turnout and three
# tracks ending at buffer stops; the middle one has an uncoupling track.
SIDING_TURNOUT = (12, T)
put(15, *SIDING_TURNOUT, dec=(7, 7, 0), dat=(1, 2, 0))
put(33, 13, 4)
put(33, 14, 5)
put(31, 15, 6)
put(STRAIGHT_H, 16, 6)
put(19, 17, 6, dec=(4, 4, 4), dat=(1, 2, 3))
put(11, 18, 5); put(32, 19, 4); put(STRAIGHT_H, 20, 4); put(STRAIGHT_H, 21, 4); put(12, 22, 4)
put(STRAIGHT_H, 18, 6); put(STRAIGHT_H, 19, 6); put(20, 20, 6, dec=(5, 0, 0), dat=(1, 0, 0)); put(STRAIGHT_H, 21, 6)
put(12, 22, 6)
put(33, 18, 7); put(31, 19, 8); put(STRAIGHT_H, 20, 8); put(STRAIGHT_H, 21, 8); put(12, 22, 8)

# Straight lines with their detectors.
for col in range(L + 2, R - 1):
    if (col, T) == SIDING_TURNOUT:
        continue
    if col in top_detectors:
        put(DET_H, col, T, dec=(1, 0, 0), dat=(top_detectors[col], 0, 0))
    else:
        put(STRAIGHT_H, col, T)
for col in range(L + 2, R - 1):
    if (col, B) in (LEFT_TURNOUT, RIGHT_TURNOUT, MAIN_SIGNAL):
        continue
    if col in bottom_detectors:
        put(DET_H, col, B, dec=(1, 0, 0), dat=(bottom_detectors[col], 0, 0))
    else:
        put(STRAIGHT_H, col, B)
for row in range(T + 2, B - 1):
    put(DET_V if row == 8 else STRAIGHT_V, R, row, dec=(1, 0, 0) if row == 8 else (0, 0, 0),
        dat=(4, 0, 0) if row == 8 else (0, 0, 0))
    put(DET_V if row == 8 else STRAIGHT_V, L, row, dec=(1, 0, 0) if row == 8 else (0, 0, 0),
        dat=(8, 0, 0) if row == 8 else (0, 0, 0))

# Controls in the second row: emergency stop, route switches 1 (main line) and 2 (passing loop), light.
put(22, 1, 1)
put(66, 3, 1, fahrnr=1)
put(88, 4, 1, fahrnr=2)
put(44, 6, 1, dec=(6, 6, 0), dat=(1, 2, 0))

labels = [
    ("Gtextlabel0", "Demo station", 12 * C, 15 * C + 4, "DejaVu Sans,11,1000,clNavy"),
    ("Gtextlabel1", "Passing loop", 12 * C + 4, 11 * C + 2, "DejaVu Sans,8,0100,clBlack"),
    ("Gtextlabel2", "Route 1: main line   Route 2: passing loop", 8 * C, C + 6, "DejaVu Sans,8,0000,clBlack"),
    ("Gtextlabel3", "Yard", 23 * C + 6, 6 * C + 6, "DejaVu Sans,8,0000,clMaroon"),
    ("Gtextlabel4", "Main line: detectors 1 to 8", 4 * C, 4 * C + 6, "DejaVu Sans,8,0100,clBlack"),
]

cells = [(e[1], e[2]) for e in elements]
assert len(cells) == len(set(cells)), "two elements in one cell"

out = [str(len(elements))]
for i, (enr, col, row, dec, dat, fahrnr) in enumerate(elements, 1):
    out += [str(i), str(enr), str(col * C), str(row * C), "1", *map(str, dec), *map(str, dat), str(fahrnr), "M"]
out.append(str(len(labels)))
for name, text, x, y, font in labels:
    out += [name, text, str(x), str(y), "0", font]

folder = pathlib.Path(__file__).resolve().parents[2] / "data" / "Layouts"
(folder / "Demo.pln").write_bytes(("\r\n".join(out) + "\r\n").encode("cp1252"))


def at(cell):
    return cell[0] * C, cell[1] * C


routes = [
    # route 1, the main line: both turnouts straight, main signal green, loop signal red
    (1, 14, *at(LEFT_TURNOUT), 11), (1, 36, *at(RIGHT_TURNOUT), 11),
    (1, 1, *at(MAIN_SIGNAL), 12), (1, 1, *at(LOOP_SIGNAL), 11),
    # route 2, the passing loop: both turnouts diverging, loop signal green, main signal red
    (2, 14, *at(LEFT_TURNOUT), 12), (2, 36, *at(RIGHT_TURNOUT), 12),
    (2, 1, *at(LOOP_SIGNAL), 12), (2, 1, *at(MAIN_SIGNAL), 11),
]
lines = [str(len(routes))]
for r in routes:
    lines += map(str, r)
lines.append("2")
(folder / "Demo.dat").write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1252"))
print(f"{len(elements)} elements, {len(routes)} route elements")
