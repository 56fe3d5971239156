#!/usr/bin/python3
"""Print the outline of a word set in TeX Gyre Pagella Bold as SVG path data.

The logo keeps its name as outlines so that rendering it needs no font. Debian:
fonts-texgyre python3-fonttools. Usage: wordmark.py TEXT SIZE X0 [KERN a:b:units ...]
Coordinates start at x X0 on the baseline (y 0) and grow downwards as in SVG.
"""
import sys
from fontTools.ttLib import TTFont
from fontTools.pens.svgPathPen import SVGPathPen
from fontTools.pens.transformPen import TransformPen

FONT = "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-bold.otf"


def num(v):
    return ("%.2f" % v).rstrip("0").rstrip(".")


def main():
    text, size = sys.argv[1], float(sys.argv[2])
    kerns = {}
    for pair in sys.argv[4:]:
        a, b, units = pair.split(":")
        kerns[(a, b)] = float(units)
    font = TTFont(FONT)
    glyphs = font.getGlyphSet()
    cmap = font.getBestCmap()
    scale = size / font["head"].unitsPerEm
    x = float(sys.argv[3])
    parts = []
    for i, ch in enumerate(text):
        name = cmap[ord(ch)]
        pen = SVGPathPen(glyphs, ntos=num)
        glyphs[name].draw(TransformPen(pen, (scale, 0, 0, -scale, x, 0)))
        parts.append(pen.getCommands())
        x += glyphs[name].width * scale
        if i + 1 < len(text):
            x += kerns.get((ch, text[i + 1]), 0) * scale
    print("<!-- advance %.1f -->" % x)
    print("".join(parts))


if __name__ == "__main__":
    main()
