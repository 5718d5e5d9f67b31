#!/usr/bin/env python3
"""Draws the icon resources as text files (one character per pixel).

Run from anywhere: python3 host/resources/tools/make_icons.py. The host's
own icons go to host/resources, Zenvarth's beside the operator. The .icon
files are the resources; this script only keeps them reproducible.
"""
import math, os

W, H = 24, 16
COLORS = {  # char: (Y, U, V, alpha)
    '.': (16, 128, 128, 0),
    'w': (235, 128, 128, 255),
    'k': (16, 128, 128, 255),
    'g': (126, 128, 128, 255),
    'b': (80, 212, 110, 255),
    'y': (200, 40, 146, 255),
    'r': (82, 90, 240, 255),
    'c': (170, 166, 16, 255),
}

def blank():
    return [['.'] * W for _ in range(H)]

def put(g, x, y, c):
    if 0 <= x < W and 0 <= y < H:
        g[y][x] = c

def line(g, x0, y0, x1, y1, c):
    n = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(n + 1):
        put(g, round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

def rect(g, x, y, w, h, c, fill=None):
    for yy in range(y, y + h):
        for xx in range(x, x + w):
            edge = yy in (y, y + h - 1) or xx in (x, x + w - 1)
            if edge:
                put(g, xx, yy, c)
            elif fill:
                put(g, xx, yy, fill)

def disc(g, cx, cy, r, c):
    for yy in range(H):
        for xx in range(W):
            if (xx - cx) ** 2 + (yy - cy) ** 2 <= r * r:
                put(g, xx, yy, c)

def arrow(g, angle):
    cx, cy = 11.5, 7.5
    dx, dy = math.cos(angle), math.sin(angle)
    x0, y0 = cx - dx * 6, cy - dy * 6
    x1, y1 = cx + dx * 6, cy + dy * 6
    line(g, round(x0), round(y0), round(x1), round(y1), 'w')
    for side in (-1, 1):
        a = angle + math.pi + side * 0.6
        line(g, round(x1), round(y1), round(x1 + math.cos(a) * 4), round(y1 + math.sin(a) * 4), 'w')

def cross(g, c):
    line(g, 6, 2, 17, 13, c); line(g, 7, 2, 18, 13, c)
    line(g, 17, 2, 6, 13, c); line(g, 18, 2, 7, 13, c)

icons = {}

g = blank(); disc(g, 7, 7, 4, 'y'); disc(g, 7, 7, 1, '.'); rect(g, 11, 6, 10, 3, 'y', 'y')
put(g, 17, 9, 'y'); put(g, 17, 10, 'y'); put(g, 20, 9, 'y'); put(g, 20, 10, 'y'); put(g, 20, 11, 'y')
icons[('zv_ops', 2101)] = ('keyer settings', g)

g = blank(); rect(g, 2, 1, 20, 14, 'w', 'g'); rect(g, 8, 5, 8, 6, 'w', 'k')
icons[('zv_ops', 2102)] = ('starting matte', g)

g = blank()
for yy in range(H):
    for xx in range(W):
        d = math.hypot(xx - 11.5, yy - 7.5)
        put(g, xx, yy, 'w' if d < 4 else ('g' if d < 6 else ('k' if d < 7.5 else '.')))
icons[('zv_ops', 2103)] = ('key edge', g)

g = blank()
for xx in range(2, 22):
    top = 14 - (xx - 2) * 12 // 19
    for yy in range(top, 15):
        put(g, xx, yy, 'w' if xx > 14 else ('g' if xx > 8 else 'k'))
icons[('zv_ops', 2104)] = ('fades', g)

g = blank()
for i in range(5):
    a = -math.pi / 2 + i * 4 * math.pi / 5
    b = -math.pi / 2 + (i + 1) * 4 * math.pi / 5
    line(g, round(11.5 + 7 * math.cos(a)), round(7.5 + 7 * math.sin(a)),
         round(11.5 + 7 * math.cos(b)), round(7.5 + 7 * math.sin(b)), 'c')
icons[('zv_ops', 2105)] = ('effects', g)

g = blank(); rect(g, 1, 2, 9, 7, 'w'); rect(g, 13, 7, 9, 7, 'b', 'b'); line(g, 7, 11, 12, 11, 'w')
put(g, 11, 10, 'w'); put(g, 11, 12, 'w')
icons[('zv_ops', 2106)] = ('rectangle tools', g)

g = blank(); cross(g, 'r'); icons[('zv_ops', 2107)] = ('close', g)

g = blank(); rect(g, 2, 1, 20, 3, 'w', 'w'); line(g, 11, 5, 11, 14, 'w'); line(g, 12, 5, 12, 14, 'w')
line(g, 8, 8, 11, 5, 'w'); line(g, 15, 8, 12, 5, 'w'); line(g, 8, 11, 11, 14, 'w'); line(g, 15, 11, 12, 14, 'w')
icons[('host_gui', 20)] = ('panels at top or bottom', g)

names = ['right', 'down right', 'down', 'down left', 'left', 'up left', 'up', 'up right']
for i in range(8):
    g = blank(); arrow(g, i * math.pi / 4)
    icons[('host_gui', 21 + i)] = ('shadow ' + names[i], g)

g = blank(); rect(g, 3, 2, 7, 5, 'w', 'g'); rect(g, 14, 2, 7, 5, 'w', 'g'); rect(g, 3, 9, 7, 5, 'w', 'g')
rect(g, 14, 9, 7, 5, 'w', 'g'); icons[('host_gui', 43)] = ('compact panels', g)

g = blank(); cross(g, 'w'); icons[('host_gui', 50)] = ('close (narrow)', g)

g = blank(); disc(g, 11.5, 7.5, 7, 'b'); rect(g, 11, 6, 2, 7, 'w', 'w'); rect(g, 11, 3, 2, 2, 'w', 'w')
icons[('host_gui', 69)] = ('information', g)

TREE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..')
ROOTS = {'host_gui': 'host/resources', 'zv_ops': 'ops/Zenvarth/resources'}

for (setname, ident), (what, g) in sorted(icons.items()):
    used = sorted({c for row in g for c in row})
    with open(os.path.join(TREE, ROOTS[setname], f'images/{setname}/{ident}.icon'), 'w') as f:
        f.write(f'# {what}\nsize {W} {H}\n')
        for c in used:
            y, u, v, a = COLORS[c]
            f.write(f'color {c} {y} {u} {v} {a}\n')
        for row in g:
            f.write(''.join(row) + '\n')
