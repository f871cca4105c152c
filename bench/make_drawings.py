#!/usr/bin/env python3
"""Writes test documents for bench/peer_compare.sh into a folder: three
path-heavy drawings, contours.pdf (a map of many thin polylines),
scatter.pdf (a plot of small filled circles and a long line chart) and
plan.pdf (a floor plan of hatched walls, arcs and dashed lines); and
slides.pdf, six 16:9 slides whose boxes and photo cast soft drop shadows
(soft-masked images and half-transparent shapes) under vector text.
Deterministic: the same bytes every run.

    bench/make_drawings.py OUTDIR
"""
import math
import os
import random
import sys
import zlib


def pdf(content, size=(595, 842)):
    data = zlib.compress(content)
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
            b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Contents 4 0 R >>" % size,
            b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(data) + data + b"\nendstream"]
    return write(objs)


def write(objs):
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for i, o in enumerate(objs, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + o + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
    return bytes(out)


def f(v):
    return b"%.2f" % v


def contours(rnd):
    out = [b"0.3 w 1 J 1 j"]
    for level in range(60):
        out.append(b"%.2f %.2f %.2f RG" % (rnd.random() * 0.6, 0.3, rnd.random() * 0.6))
        x, y = rnd.uniform(40, 555), rnd.uniform(40, 800)
        out.append(f(x) + b" " + f(y) + b" m")
        angle = rnd.uniform(0, 2 * math.pi)
        for _ in range(400):
            angle += rnd.uniform(-0.4, 0.4)
            x = min(max(x + 1.2 * math.cos(angle), 20), 575)
            y = min(max(y + 1.2 * math.sin(angle), 20), 822)
            out.append(f(x) + b" " + f(y) + b" l")
        out.append(b"S")
    return b"\n".join(out)


def circle(x, y, r):
    k = 0.5523 * r
    return (b"%s %s m " % (f(x + r), f(y))
            + b"%s %s %s %s %s %s c " % (f(x + r), f(y + k), f(x + k), f(y + r), f(x), f(y + r))
            + b"%s %s %s %s %s %s c " % (f(x - k), f(y + r), f(x - r), f(y + k), f(x - r), f(y))
            + b"%s %s %s %s %s %s c " % (f(x - r), f(y - k), f(x - k), f(y - r), f(x), f(y - r))
            + b"%s %s %s %s %s %s c h" % (f(x + k), f(y - r), f(x + r), f(y - k), f(x + r), f(y)))


def scatter(rnd):
    out = [b"0 0 0 RG 0.5 w 60 440 m 60 800 l 560 800 m 60 440 m 560 440 l S"]
    for series, colour in enumerate((b"0.8 0.2 0.1 rg", b"0.1 0.4 0.8 rg", b"0.2 0.6 0.2 rg")):
        out.append(colour)
        for _ in range(500):
            out.append(circle(rnd.uniform(70, 550), rnd.uniform(450, 790), 1.5 + series) + b" f")
    out.append(b"0.6 0 0.6 RG 0.7 w 60 250 m")
    y = 250
    for i in range(2000):
        y = min(max(y + rnd.uniform(-4, 4), 60), 420)
        out.append(b"%s %s l" % (f(60 + i * 0.25), f(y)))
    out.append(b"S")
    return b"\n".join(out)


def plan(rnd):
    out = [b"0 g"]
    for _ in range(40):  # walls: thin rectangles, hatched
        x, y = rnd.uniform(40, 500), rnd.uniform(40, 760)
        w, h = (rnd.uniform(40, 200), 6) if rnd.random() < 0.5 else (6, rnd.uniform(40, 200))
        out.append(b"0 g %s %s %s %s re S" % (f(x), f(y), f(w), f(h)))
        out.append(b"q %s %s %s %s re W n 0.2 w" % (f(x), f(y), f(w), f(h)))
        for k in range(0, int(w + h), 3):
            out.append(b"%s %s m %s %s l" % (f(x + k), f(y), f(x + k - h), f(y + h)))
        out.append(b"S Q")
    out.append(b"0.3 w [4 2] 0 d 0 0 1 RG")
    for _ in range(60):  # door swings: arcs and dashed lines
        x, y, r = rnd.uniform(60, 530), rnd.uniform(60, 780), rnd.uniform(10, 30)
        out.append(b"%s %s m %s %s l" % (f(x), f(y), f(x + r), f(y)))
        out.append(b"%s %s %s %s %s %s c S" % (f(x + r), f(y + 0.55 * r), f(x + 0.55 * r), f(y + r),
                                               f(x), f(y + r)))
    out.append(b"[] 0 d 0.5 0.5 0.5 rg")
    for _ in range(300):  # furniture: small circles and squares
        x, y = rnd.uniform(60, 530), rnd.uniform(60, 780)
        out.append(circle(x, y, 3) + b" f" if rnd.random() < 0.5 else
                   b"%s %s 5 5 re f" % (f(x), f(y)))
    return b"\n".join(out)


def flate(data, dictionary):
    data = zlib.compress(data)
    return (b"<< /Length %d /Filter /FlateDecode %s >>\nstream\n" % (len(data), dictionary) + data
            + b"\nendstream")


def shadow_mask(width, height, blur):
    """A soft rectangle: opaque inside, fading to nothing over `blur` pixels."""
    out = bytearray()
    for y in range(height):
        dy = min(y, height - 1 - y)
        for x in range(width):
            d = min(dx for dx in (x, width - 1 - x, dy))
            out.append(min(255, int(255 * d / blur)) * 45 // 100)
    return out


def slides():
    """Six slides: objects 3.. are pages, contents, then shared resources."""
    rnd = random.Random("slides")
    size = (960, 540)
    pages, objs = [], {}
    # Shared: font, the shadow (black image with a soft mask), a photo.
    font, shadow, smask, photo = 100, 101, 102, 103
    objs[font] = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"
    objs[smask] = flate(bytes(shadow_mask(120, 80, 14)),
                        b"/Type /XObject /Subtype /Image /Width 120 /Height 80 "
                        b"/ColorSpace /DeviceGray /BitsPerComponent 8")
    objs[shadow] = flate(bytes(120 * 80 * 3), b"/Type /XObject /Subtype /Image /Width 120 "
                         b"/Height 80 /ColorSpace /DeviceRGB /BitsPerComponent 8 /SMask %d 0 R"
                         % smask)
    objs[photo] = flate(bytes(v for y in range(90) for x in range(160)
                              for v in (int(120 + 100 * math.sin(x / 17.0)) % 256,
                                        int(100 + 80 * math.cos(y / 11.0)) % 256,
                                        (x * y) % 256)),
                        b"/Type /XObject /Subtype /Image /Width 160 /Height 90 "
                        b"/ColorSpace /DeviceRGB /BitsPerComponent 8")
    resources = (b"<< /Font << /F1 %d 0 R >> /XObject << /Sh %d 0 R /Ph %d 0 R >> "
                 b"/ExtGState << /Soft << /ca 0.3 >> >> >>" % (font, shadow, photo))
    for n in range(6):
        out = [b"0.12 0.25 0.5 rg 0 470 960 70 re f",
               b"BT 1 g /F1 34 Tf 40 492 Td (Slide %d: quarterly results) Tj ET" % (n + 1)]
        for b in range(3):
            x, y, w, h = 40 + b * 300, 200, 260, 200
            # A soft shadow image under each box, offset down and right.
            out.append(b"q %d 0 0 %d %d %d cm /Sh Do Q" % (w + 24, h + 24, x - 4, y - 16))
            out.append(b"%.2f %.2f %.2f rg %d %d %d %d re f" % (rnd.random() * 0.4 + 0.6, 0.9,
                                                                rnd.random() * 0.3 + 0.7, x, y, w, h))
            for line in range(5):
                out.append(b"BT 0.1 g /F1 16 Tf %d %d Td (Point %d.%d about the numbers) Tj ET"
                           % (x + 16, y + h - 36 - line * 30, b + 1, line + 1))
        # A photo with a half-transparent shadow shape beside it.
        out.append(b"q /Soft gs 0 g 648 40 272 150 re f Q")
        out.append(b"q 256 0 0 144 640 48 cm /Ph Do Q")
        out.append(b"BT 0.2 g /F1 14 Tf 40 120 Td (Notes: the figures are rounded; sources "
                   b"on the last slide.) Tj ET")
        page, contents = 3 + 2 * n, 4 + 2 * n
        data = zlib.compress(b"\n".join(out))
        objs[page] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Resources %s "
                      b"/Contents %d 0 R >>" % (size[0], size[1], resources, contents))
        objs[contents] = (b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(data) + data
                          + b"\nendstream")
        pages.append(page)
    objs[1] = b"<< /Type /Catalog /Pages 2 0 R >>"
    objs[2] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (
        b" ".join(b"%d 0 R" % p for p in pages), len(pages))
    numbered = [objs.get(i, b"null") for i in range(1, max(objs) + 1)]
    return write(numbered)


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, make in (("contours", contours), ("scatter", scatter), ("plan", plan)):
        with open(os.path.join(outdir, name + ".pdf"), "wb") as out:
            out.write(pdf(make(random.Random(name))))
    with open(os.path.join(outdir, "slides.pdf"), "wb") as out:
        out.write(slides())


main()
