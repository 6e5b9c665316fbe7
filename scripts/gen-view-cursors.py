#!/usr/bin/python3
"""Draws the image view's cursors (32 x 32, black with a white outline on a transparent ground)
and their resource list. Run it with Debian's python3 (Pillow) from the repository root; it
rewrites src/rastova/view/resources/. The hot spots are kept beside the cursor table in
src/rastova/view/RastovaViewStartup.cpp; the names without a given meaning ("1795" ...) are
aliases of the plain cross."""
import importlib.util
import math
import os

from PIL import Image, ImageDraw

# The arrows and the white outline are drawn as the editor's own cursors draw them.
_spec = importlib.util.spec_from_file_location(
    "editor_resources", os.path.join(os.path.dirname(os.path.abspath(__file__)), "gen-editor-resources.py"))
_editor = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_editor)
INK, EDGE = _editor.INK, _editor.EDGE
arrow, double_arrow, outline = _editor.arrow, _editor.double_arrow, _editor.outline

OUT = os.path.join("src", "rastova", "view", "resources")
NUMBERED = ["1795", "1796", "1797", "1798", "1799", "1800", "1801", "1802", "1803", "1805", "1806", "1807",
            "1808"]






def cross(d, gap=0, width=1):
    """Crosshair through (15, 15), with an open centre of `gap` pixels each way."""
    for a, b in ((0, 15 - gap), (15 + gap + 1, 31)):
        if b > a:
            d.line([(a, 15), (b - 1 if a == 0 else b, 15)], fill=INK, width=width)
            d.line([(15, a), (15, b - 1 if a == 0 else b)], fill=INK, width=width)


def sign(d, plus):
    """A small plus or minus sign at the lower right, beside the cross."""
    d.line([(21, 25), (29, 25)], fill=INK, width=2)
    if plus:
        d.line([(25, 21), (25, 29)], fill=INK, width=2)


def magnifier(d, plus):
    d.ellipse([3, 3, 21, 21], outline=INK, width=2)
    d.line([(19, 19), (29, 29)], fill=INK, width=4)
    d.line([(8, 12), (16, 12)], fill=INK, width=2)
    if plus:
        d.line([(12, 8), (12, 16)], fill=INK, width=2)


def eraser(d):
    d.polygon([(4, 24), (18, 10), (27, 19), (13, 28)], fill=EDGE, outline=INK)
    d.polygon([(4, 24), (10, 18), (19, 27), (13, 28)], fill=INK)




def pen(d):
    d.polygon([(3, 28), (6, 20), (24, 2), (30, 8), (12, 26)], fill=EDGE, outline=INK)
    d.line([(6, 20), (12, 26)], fill=INK)
    d.polygon([(3, 28), (4, 25), (6, 27)], fill=INK)


def turning(d, quarter):
    """A quarter-circle arrow around a corner: quarter 0 top-left, 1 top-right, 2 bottom-right,
    3 bottom-left."""
    cx, cy = [(26, 26), (5, 26), (5, 5), (26, 5)][quarter]
    start = [180, 270, 0, 90][quarter]
    d.arc([cx - 18, cy - 18, cx + 18, cy + 18], start, start + 90, fill=INK, width=2)
    a = math.radians(start + 90)
    ex, ey = cx + 18 * math.cos(a), cy + 18 * math.sin(a)
    t = a + math.pi / 2
    tip = (ex + 6 * math.cos(t), ey + 6 * math.sin(t))
    n = (math.cos(a), math.sin(a))
    d.polygon([tip, (ex + 5 * n[0], ey + 5 * n[1]), (ex - 5 * n[0], ey - 5 * n[1])], fill=INK)




def cursor(name, draw):
    img = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    draw(ImageDraw.Draw(img))
    outline(img)
    img.save(os.path.join(OUT, "cursors", name + ".png"))
    return name


def main():
    os.makedirs(os.path.join(OUT, "cursors"), exist_ok=True)
    names = [
        cursor("ZOOMMENO", lambda d: magnifier(d, False)),
        cursor("ZOOMPIU", lambda d: magnifier(d, True)),
        cursor("CROCE", lambda d: cross(d)),
        cursor("GOMMA", eraser),
        cursor("MANO", lambda d: _editor.hand(d, False)),
        cursor("PENNA", pen),
        cursor("CROCE1", lambda d: cross(d, gap=3)),
        cursor("CROCE3", lambda d: cross(d, width=2)),
        cursor("CROCE3+", lambda d: (cross(d, width=2), sign(d, True))),
        cursor("CROCE3-", lambda d: (cross(d, width=2), sign(d, False))),
        cursor("CROCE2", lambda d: (cross(d, gap=2), d.rectangle([13, 13, 17, 17], outline=INK))),
        cursor("CROCE2+", lambda d: (cross(d, gap=2), d.rectangle([13, 13, 17, 17], outline=INK), sign(d, True))),
        cursor("CROCE2-", lambda d: (cross(d, gap=2), d.rectangle([13, 13, 17, 17], outline=INK), sign(d, False))),
        cursor("MOVE", lambda d: (double_arrow(d, 16, 2, 16, 30), double_arrow(d, 2, 16, 30, 16))),
        cursor("MOVE1", lambda d: double_arrow(d, 4, 4, 28, 28)),
        cursor("MOVE2", lambda d: double_arrow(d, 28, 4, 4, 28)),
        cursor("MOVEX", lambda d: double_arrow(d, 2, 16, 30, 16)),
        cursor("MOVEY", lambda d: double_arrow(d, 16, 2, 16, 30)),
    ] + [cursor("ROT%d" % (q + 1), lambda d, q=q: turning(d, q)) for q in range(4)]
    with open(os.path.join(OUT, "rastova_view_resources.qrc"), "w") as f:
        f.write('<!DOCTYPE RCC><RCC version="1.0">\n<qresource prefix="/rastova">\n')
        for n in names:
            f.write("  <file>cursors/%s.png</file>\n" % n)
        for n in NUMBERED:
            f.write('  <file alias="cursors/%s.png">cursors/CROCE.png</file>\n' % n)
        f.write("</qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
