#!/usr/bin/python3
# Draws every picture Vikaro compiles in: the program icon (Lentara.ico), the
# language flags, the marble, the maker's logo, the menu icons, the memory
# frame mask and the dialog background texture.  The files land in images/
# next to this script, the desktop icons (vikaro.png in several sizes) in
# icons/hicolor/, and all come out byte for byte the same on every run.
#
# Run it without arguments, from any directory:
#     /usr/bin/python3 resources/make_images.py
# It needs only Debian's python3-pil and the DejaVu fonts.

import math
import os
import random
import struct

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

NAVY = (15, 30, 51)  # dialog background colour


def out_path(name):
    return os.path.join(OUT, name)


def save_png(img, name):
    img.save(out_path(name), "PNG", optimize=True)


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def threshold(mask, level=128):
    return mask.point(lambda v: 255 if v >= level else 0)


def dilate(mask, radius):
    """Grows a hard mask by about 1.2 * radius pixels with round corners."""
    return threshold(mask.filter(ImageFilter.GaussianBlur(radius)), 30)


def soften_corners(mask, radius):
    """Rounds the convex corners of a hard mask a little."""
    return threshold(mask.filter(ImageFilter.GaussianBlur(radius)), 128)


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    draw = ImageDraw.Draw(img)
    for y in range(h):
        t = y / (h - 1)
        col = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(0, y), (w - 1, y)], fill=col)
    return img


def solid(size, rgb, alpha_mask):
    layer = Image.new("RGBA", size, rgb + (0,))
    layer.putalpha(alpha_mask)
    return layer


def scale_alpha(mask, factor):
    return mask.point(lambda v: round(v * factor))


# ---------------------------------------------------------------------------
# Menu icons: 48x48, drawn 8x larger and scaled down.  All share one look:
# a soft shadow underneath, a thin dark outline and a glyph with a gentle
# top-to-bottom gradient, so they read well on the dark navy dialogs.

ICON = 48
SS = 8
BIG = ICON * SS


def icon_base(mask, top, bottom):
    """Shadow + outline + gradient-filled glyph for a BIG x BIG hard mask."""
    size = (BIG, BIG)
    outline = dilate(mask, 9)
    shadow = outline.filter(ImageFilter.GaussianBlur(14))
    shadow = ImageChops.offset(shadow, 0, 14)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img.alpha_composite(solid(size, (0, 0, 0), scale_alpha(shadow, 0.55)))
    img.alpha_composite(solid(size, (6, 12, 24), scale_alpha(outline, 0.92)))
    fill = vertical_gradient(size, top, bottom).convert("RGBA")
    fill.putalpha(mask)
    img.alpha_composite(fill)
    return img


def gloss(img, mask, box, strength):
    """A soft white sheen inside the glyph, clipped to its mask."""
    sheen = Image.new("L", img.size, 0)
    ImageDraw.Draw(sheen).ellipse(box, fill=255)
    sheen = sheen.filter(ImageFilter.GaussianBlur(18))
    sheen = ImageChops.multiply(sheen, mask)
    img.alpha_composite(solid(img.size, (255, 255, 255), scale_alpha(sheen, strength)))


def icon_finish(img, name):
    save_png(img.resize((ICON, ICON), Image.LANCZOS), name)


def make_gear():
    c = BIG / 2
    teeth = 8
    r_tip, r_root = 158, 120
    tip_half = math.pi / teeth * 0.42   # half angle of a tooth at its tip
    root_half = math.pi / teeth * 0.62  # half angle of a tooth at its root
    pts = []
    for k in range(teeth):
        a = 2 * math.pi * k / teeth - math.pi / 2
        for ang, r in ((a - root_half, r_root), (a - tip_half, r_tip),
                       (a + tip_half, r_tip), (a + root_half, r_root)):
            pts.append((c + r * math.cos(ang), c + r * math.sin(ang)))
        # a few points along the root circle up to the next tooth
        nxt = a + 2 * math.pi / teeth - root_half
        for i in range(1, 4):
            ang = a + root_half + (nxt - a - root_half) * i / 4
            pts.append((c + r_root * math.cos(ang), c + r_root * math.sin(ang)))
    mask = Image.new("L", (BIG, BIG), 0)
    d = ImageDraw.Draw(mask)
    d.polygon(pts, fill=255)
    mask = soften_corners(mask, 4)
    d = ImageDraw.Draw(mask)
    hole = 49
    d.ellipse((c - hole, c - hole, c + hole, c + hole), fill=0)
    img = icon_base(mask, (242, 246, 252), (150, 165, 188))
    # a groove ring around the hub
    ring = Image.new("L", (BIG, BIG), 0)
    rd = ImageDraw.Draw(ring)
    r1 = 86
    rd.ellipse((c - r1, c - r1, c + r1, c + r1), outline=255, width=14)
    img.alpha_composite(solid(img.size, (90, 104, 128), scale_alpha(ring, 0.8)))
    # dark rim on the hole so it reads as a hole
    hole_rim = Image.new("L", (BIG, BIG), 0)
    ImageDraw.Draw(hole_rim).ellipse((c - hole - 10, c - hole - 10, c + hole + 10, c + hole + 10),
                                     outline=255, width=12)
    img.alpha_composite(solid(img.size, (6, 12, 24), scale_alpha(hole_rim, 0.92)))
    gloss(img, mask, (40, 10, 344, 190), 0.35)
    icon_finish(img, "option_48.png")


def make_help():
    c = BIG / 2
    r = 156
    mask = Image.new("L", (BIG, BIG), 0)
    ImageDraw.Draw(mask).ellipse((c - r, c - r, c + r, c + r), fill=255)
    img = icon_base(mask, (110, 185, 255), (24, 92, 200))
    # light inner ring, like a badge rim
    ring = Image.new("L", (BIG, BIG), 0)
    ri = r - 18
    ImageDraw.Draw(ring).ellipse((c - ri, c - ri, c + ri, c + ri), outline=255, width=10)
    img.alpha_composite(solid(img.size, (200, 228, 255), scale_alpha(ring, 0.55)))
    gloss(img, mask, (70, 20, 314, 180), 0.35)
    # the question mark, with a faint shadow
    f = font("DejaVuSans-Bold.ttf", 236)
    glyph = Image.new("L", (BIG, BIG), 0)
    gd = ImageDraw.Draw(glyph)
    gd.text((c, c + 8), "?", font=f, fill=255, anchor="mm")
    gshadow = ImageChops.offset(glyph.filter(ImageFilter.GaussianBlur(6)), 0, 10)
    img.alpha_composite(solid(img.size, (0, 20, 60), scale_alpha(gshadow, 0.6)))
    img.alpha_composite(solid(img.size, (255, 255, 255), glyph))
    icon_finish(img, "help_48.png")


def make_heart():
    c = BIG / 2
    pts = []
    n = 360
    scale = 9.8
    for i in range(n):
        t = 2 * math.pi * i / n
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        pts.append((c + x * scale, c - y * scale - 12))
    mask = Image.new("L", (BIG, BIG), 0)
    ImageDraw.Draw(mask).polygon(pts, fill=255)
    img = icon_base(mask, (255, 96, 110), (196, 16, 40))
    gloss(img, mask, (50, 40, 200, 160), 0.55)
    icon_finish(img, "heart_48.png")


def arrow_right():
    c = BIG / 2
    mask = Image.new("L", (BIG, BIG), 0)
    d = ImageDraw.Draw(mask)
    shaft = 50
    d.rectangle((54, c - shaft, 210, c + shaft), fill=255)
    d.polygon([(190, 44), (338, c), (190, BIG - 44)], fill=255)
    mask = soften_corners(mask, 9)
    img = icon_base(mask, (130, 238, 150), (22, 150, 74))
    gloss(img, mask, (30, 40, 354, 190), 0.3)
    return img.resize((ICON, ICON), Image.LANCZOS)


def make_arrows():
    right = arrow_right()
    save_png(right, "next_48.png")
    save_png(right.transpose(Image.FLIP_LEFT_RIGHT), "prev_48.png")


# ---------------------------------------------------------------------------
# Flags: 48x34, drawn 8x larger and scaled down.

FW, FH = 48, 34
FS = 8


def flag_canvas(colour):
    return Image.new("RGB", (FW * FS, FH * FS), colour)


def flag_finish(img, name):
    # area averaging keeps the band edges clean (no ringing)
    save_png(img.resize((FW, FH), Image.BOX), name)


def make_france():
    img = flag_canvas((255, 255, 255))
    d = ImageDraw.Draw(img)
    w, h = img.size
    d.rectangle((0, 0, w // 3 - 1, h), fill=(0, 85, 164))
    d.rectangle((2 * w // 3, 0, w, h), fill=(239, 65, 53))
    flag_finish(img, "France.png")


def make_germany():
    img = flag_canvas((0, 0, 0))
    d = ImageDraw.Draw(img)
    w, h = img.size
    # 11 / 12 / 11 whole pixels, so the band edges stay crisp
    d.rectangle((0, 11 * FS, w, h), fill=(221, 0, 0))
    d.rectangle((0, 23 * FS, w, h), fill=(255, 206, 0))
    flag_finish(img, "Germany.png")


def make_uk():
    img = flag_canvas((1, 33, 105))
    d = ImageDraw.Draw(img)
    w, h = img.size
    sx, sy = w / 60, h / 30   # drawn on the usual 60 x 30 grid, stretched

    def poly(points, colour):
        d.polygon([(x * sx, y * sy) for x, y in points], fill=colour)

    white, red = (255, 255, 255), (200, 16, 46)
    k = math.sqrt(5)
    # white diagonals, 6 units wide
    for (x0, y0, x1, y1) in ((0, 0, 60, 30), (0, 30, 60, 0)):
        dx, dy = (x1 - x0) / 60, (y1 - y0) / 60
        nx, ny = -dy / math.hypot(dx, dy) * 3, dx / math.hypot(dx, dy) * 3
        ex, ey = dx * 20, dy * 20
        poly([(x0 - ex + nx, y0 - ey + ny), (x1 + ex + nx, y1 + ey + ny),
              (x1 + ex - nx, y1 + ey - ny), (x0 - ex - nx, y0 - ey - ny)], white)
    # red diagonals, 2 units wide, offset so the broad white is uppermost
    # next to the hoist (counterchanged round the centre)
    def red_band(corner, nrm):
        cx, cy = corner
        ux, uy = (30 - cx), (15 - cy)
        ln = math.hypot(ux, uy)
        ux, uy = ux / ln, uy / ln
        nx, ny = nrm[0] / k * 2, nrm[1] / k * 2
        p0 = (cx - ux * 10, cy - uy * 10)
        p1 = (30, 15)
        poly([p0, p1, (p1[0] + nx, p1[1] + ny), (p0[0] + nx, p0[1] + ny)], red)
    red_band((0, 0), (-1, 2))     # top hoist: red below the diagonal
    red_band((0, 30), (1, 2))     # bottom hoist: red below
    red_band((60, 30), (1, -2))   # bottom fly: red above
    red_band((60, 0), (-1, -2))   # top fly: red above
    # white cross 10 units wide, red cross 6 units wide
    poly([(25, 0), (35, 0), (35, 30), (25, 30)], white)
    poly([(0, 10), (60, 10), (60, 20), (0, 20)], white)
    poly([(27, 0), (33, 0), (33, 30), (27, 30)], red)
    poly([(0, 12), (60, 12), (60, 18), (0, 18)], red)
    flag_finish(img, "UK.png")


def make_brazil():
    img = flag_canvas((0, 156, 59))
    d = ImageDraw.Draw(img)
    w, h = img.size
    u = w / 20  # the flag is 20 x 14 units
    v = h / 14
    cx, cy = w / 2, h / 2
    mx, my = 1.7 * u, 1.7 * v
    d.polygon([(mx, cy), (cx, my), (w - mx, cy), (cx, h - my)], fill=(254, 223, 0))
    r = 3.5 * v
    disc = Image.new("L", img.size, 0)
    ImageDraw.Draw(disc).ellipse((cx - r, cy - r, cx + r, cy + r), fill=255)
    img.paste((0, 39, 118), (0, 0), disc)
    # the white band: part of a ring whose centre lies below and to the right
    band = Image.new("L", img.size, 0)
    bd = ImageDraw.Draw(band)
    acx, acy = cx + 3 * v, cy + 8 * v
    ro, ri = 8.75 * v, 8.05 * v
    bd.ellipse((acx - ro, acy - ro, acx + ro, acy + ro), fill=255)
    bd.ellipse((acx - ri, acy - ri, acx + ri, acy + ri), fill=0)
    band = ImageChops.multiply(band, disc)
    img.paste((255, 255, 255), (0, 0), band)
    # stars as small dots in the lower part of the disc
    stars = Image.new("L", img.size, 0)
    sd = ImageDraw.Draw(stars)
    rnd = random.Random(1889)
    spots = [(-0.45, 0.45), (0.1, 0.62), (0.5, 0.35), (-0.15, 0.25),
             (0.3, 0.72), (-0.55, 0.1), (0.62, 0.05), (0.0, 0.85),
             (0.18, 0.3), (-0.3, 0.68), (0.6, 0.6), (-0.1, -0.55)]
    for px, py in spots:
        sr = (0.17 + rnd.random() * 0.08) * v
        x, y = cx + px * r, cy + py * r
        sd.ellipse((x - sr, y - sr, x + sr, y + sr), fill=255)
    img.paste((255, 255, 255), (0, 0), ImageChops.multiply(stars, disc))
    flag_finish(img, "Brazil.png")


def make_spain():
    red, yellow = (170, 21, 27), (241, 191, 0)
    img = flag_canvas(red)
    d = ImageDraw.Draw(img)
    w, h = img.size
    d.rectangle((0, 8 * FS, w, 26 * FS - 1), fill=yellow)   # 8 / 18 / 8 pixels
    # a simplified coat of arms: crown, quartered shield, two pillars
    ex, ey = w * 0.32, h / 2 + 0.5 * FS
    s = FS
    pillar = (180, 180, 190)
    for px in (ex - 5.2 * s, ex + 5.2 * s):
        d.rectangle((px - 0.7 * s, ey - 4.2 * s, px + 0.7 * s, ey + 4.2 * s), fill=pillar)
        d.rectangle((px - 1.1 * s, ey - 4.7 * s, px + 1.1 * s, ey - 3.9 * s), fill=(200, 160, 40))
        d.rectangle((px - 1.1 * s, ey + 3.9 * s, px + 1.1 * s, ey + 4.7 * s), fill=(200, 160, 40))
    sw, sh = 3.4 * s, 4.4 * s
    top = ey - sh * 0.6
    shield = Image.new("L", img.size, 0)
    shd = ImageDraw.Draw(shield)
    shd.rectangle((ex - sw, top, ex + sw, ey + sh * 0.2), fill=255)
    shd.ellipse((ex - sw, ey + sh * 0.2 - sw, ex + sw, ey + sh * 0.2 + sw), fill=255)
    quarters = Image.new("RGB", img.size, (0, 0, 0))
    qd = ImageDraw.Draw(quarters)
    qd.rectangle((0, 0, ex, ey - 0.3 * s), fill=(196, 32, 38))            # castle
    qd.rectangle((ex, 0, w, ey - 0.3 * s), fill=(236, 236, 236))          # lion
    qd.rectangle((0, ey - 0.3 * s, ex, h), fill=(236, 196, 40))           # pales
    for i in range(2):
        x0 = ex - sw + (0.9 + 1.2 * i) * s
        qd.rectangle((x0, ey - 0.3 * s, x0 + 0.55 * s, h), fill=(196, 32, 38))
    qd.rectangle((ex, ey - 0.3 * s, w, h), fill=(196, 32, 38))            # chains
    qd.ellipse((ex + 0.9 * s, ey + 0.4 * s, ex + 2.1 * s, ey + 1.6 * s), fill=(236, 196, 40))
    qd.ellipse((ex - 2.1 * s, top + 0.9 * s, ex - 0.9 * s, top + 2.1 * s), fill=(236, 196, 40))
    qd.ellipse((ex + 0.9 * s, top + 0.9 * s, ex + 2.1 * s, top + 2.1 * s), fill=(120, 40, 120))
    border = dilate(shield, 0.45 * s)
    img.paste((120, 20, 20), (0, 0), border)
    img.paste(quarters, (0, 0), shield)
    # crown
    cy0 = top - 0.4 * s
    d.rectangle((ex - 2.8 * s, cy0 - 1.0 * s, ex + 2.8 * s, cy0), fill=(225, 170, 30))
    d.polygon([(ex - 2.8 * s, cy0 - 1.0 * s), (ex - 2.2 * s, cy0 - 2.6 * s), (ex - 1.2 * s, cy0 - 1.0 * s),
               (ex, cy0 - 3.0 * s), (ex + 1.2 * s, cy0 - 1.0 * s), (ex + 2.2 * s, cy0 - 2.6 * s),
               (ex + 2.8 * s, cy0 - 1.0 * s)], fill=(225, 170, 30))
    flag_finish(img, "Spain.png")


# ---------------------------------------------------------------------------
# The marble: a glass sphere with a coloured swirl and a highlight.

def make_marble():
    ss = 6
    size = 48 * ss
    c = size / 2
    R = 22.5 * ss
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    px = img.load()
    lx, ly, lz = -0.45, -0.6, 0.66
    ln = math.sqrt(lx * lx + ly * ly + lz * lz)
    lx, ly, lz = lx / ln, ly / ln, lz / ln
    glass = (40, 120, 190)
    swirl_a = (255, 120, 30)
    swirl_b = (255, 220, 60)
    for y in range(size):
        ny = (y + 0.5 - c) / R
        for x in range(size):
            nx = (x + 0.5 - c) / R
            r2 = nx * nx + ny * ny
            if r2 > 1.0:
                continue
            nz = math.sqrt(1.0 - r2)
            rr = math.sqrt(r2)
            # swirl: two spiral ribbons seen through the glass
            theta = math.atan2(ny, nx)
            phase = math.cos(2 * (theta - 2.6 * rr) + 3.7)
            band = max(0.0, min(1.0, (phase - 0.45) / 0.25))
            band *= 1.0 - 0.35 * rr
            mix = 0.5 + 0.5 * math.sin(3 * theta + 4 * rr)
            sc = tuple(a + (b - a) * mix for a, b in zip(swirl_a, swirl_b))
            base = tuple(g + (s - g) * band for g, s in zip(glass, sc))
            # lighting
            diff = max(0.0, nx * lx + ny * ly + nz * lz)
            shade = 0.42 + 0.7 * diff
            rim = (1.0 - nz) ** 3            # darker towards the edge
            shade *= 1.0 - 0.45 * rim
            # light gathering at the lower right inside the glass
            caustic = max(0.0, (nx + ny) / 1.414 - 0.35) * max(0.0, 1 - rr) * 1.6
            # mirror highlight
            rx = 2 * nz * nx
            ry = 2 * nz * ny
            rz = 2 * nz * nz - 1
            shine = max(0.0, rx * lx + ry * ly + rz * lz) ** 60
            soft = max(0.0, rx * lx + ry * ly + rz * lz) ** 8 * 0.18
            col = []
            for ch in range(3):
                v = base[ch] * shade + 255 * (shine * 1.1 + soft) + caustic * (140, 200, 255)[ch] * 0.5
                col.append(max(0, min(255, round(v))))
            px[x, y] = (col[0], col[1], col[2], 255)
    save_png(img.resize((48, 48), Image.LANCZOS), "marble48.png")


# ---------------------------------------------------------------------------
# The maker's logo: a rounded dark plate with a small mark and the name.

def make_logo():
    W, H = 150, 37
    s = 4
    w, h = W * s, H * s
    plate = Image.new("L", (w, h), 0)
    ImageDraw.Draw(plate).rounded_rectangle((0, 0, w - 1, h - 1), radius=9 * s, fill=255)
    img = vertical_gradient((w, h), (36, 60, 96), (20, 38, 64))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((s // 2, s // 2, w - 1 - s // 2, h - 1 - s // 2), radius=9 * s,
                        outline=(78, 110, 156), width=s)
    # the mark: a gold disc carrying a navy zigzag "M"
    mx, my, mr = 19 * s, h / 2, 12 * s
    d.ellipse((mx - mr, my - mr, mx + mr, my + mr), fill=(247, 214, 30))
    d.line([(mx - 6 * s, my + 5 * s), (mx - 6 * s, my - 4.5 * s), (mx, my + 2 * s),
            (mx + 6 * s, my - 4.5 * s), (mx + 6 * s, my + 5 * s)],
           fill=NAVY, width=round(2.8 * s), joint="curve")
    # the name
    f = font("DejaVuSans-Bold.ttf", 21 * s)
    text = "Morvelle"
    tx = 37 * s
    box = d.textbbox((0, 0), text, font=f, anchor="ls")
    tw = box[2] - box[0]
    avail = w - tx - 7 * s
    if tw > avail:
        f = font("DejaVuSans-Bold.ttf", int(21 * s * avail / tw))
    d.text((tx, h / 2), text, font=f, fill=(240, 244, 250), anchor="lm")
    small = img.resize((W, H), Image.BOX)
    alpha = plate.resize((W, H), Image.BOX)
    # edge pixels are blended over the dialog navy, outside pixels are transparent
    small = Image.composite(small, Image.new("RGB", (W, H), NAVY), alpha)
    pal = small.quantize(colors=63, method=Image.MEDIANCUT, dither=Image.NONE)
    palette = pal.getpalette()[:63 * 3]
    palette += list(NAVY)
    pal.putpalette(palette)
    clear = alpha.point(lambda v: 255 if v < 100 else 0)
    pal.paste(63, (0, 0), clear)
    pal.save(out_path("MorvelleMini.gif"), "GIF", transparency=63, optimize=False)


# ---------------------------------------------------------------------------
# The dialog background: a dark navy 2/2 twill, seamless when tiled.

def make_tissus():
    size = 200
    thread = 5                     # 40 threads across: a multiple of the twill repeat
    n = size // thread
    rnd = random.Random(20240611)
    warp = [rnd.choice((-1, 0, 0, 1)) for _ in range(n)]
    weft = [rnd.choice((-1, 0, 0, 1)) for _ in range(n)]
    # a few colour steps around the dialog navy
    levels = {}
    step = (2.2, 2.6, 3.4)
    for k in range(-5, 6):
        levels[k] = tuple(max(0, min(255, round(b + k * st))) for b, st in zip(NAVY, step))
    keys = sorted(levels)
    index = {k: i for i, k in enumerate(keys)}
    img = Image.new("P", (size, size))
    pal = []
    for k in keys:
        pal += list(levels[k])
    img.putpalette(pal + [0] * (768 - len(pal)))
    px = img.load()
    # per position across a thread: raised middle, darker at the sides
    profile = (-2, 0, 1, 0, -2)
    for y in range(size):
        i, v = divmod(y, thread)
        for x in range(size):
            j, u = divmod(x, thread)
            warp_up = (i + j) % 4 < 2
            if warp_up:
                k = profile[u] + warp[j] + 1
                # the float ends dip where they go under the weft
                if (i + j) % 4 == 0 and v == 0 or (i + j) % 4 == 1 and v == thread - 1:
                    k -= 1
            else:
                k = profile[v] + weft[i]
                if (i + j) % 4 == 2 and u == 0 or (i + j) % 4 == 3 and u == thread - 1:
                    k -= 1
            px[x, y] = index[max(-5, min(5, k))]
    img.save(out_path("tissus.gif"), "GIF", optimize=False)


# ---------------------------------------------------------------------------
# Hand-written formats.

def make_mask_box():
    w, h = 30, 22
    row_bytes = 4
    rows = []
    for y in range(h - 1, -1, -1):        # BMP rows go bottom-up
        bits = 0
        for x in range(w):
            black = y in (0, 1, h - 1) or x in (0, w - 1)
            if not black:
                bits |= 1 << (31 - x)
        rows.append(struct.pack(">I", bits))
    pixels = b"".join(rows)
    assert len(pixels) == row_bytes * h
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    offset = 14 + 40 + len(palette)
    total = offset + len(pixels)
    data = (struct.pack("<2sIHHI", b"BM", total, 0, 0, offset)
            + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(pixels), 2835, 2835, 2, 2)
            + palette + pixels)
    assert len(data) == 150
    with open(out_path("maskBox.bmp"), "wb") as f:
        f.write(data)


ICO_PALETTE = [
    (0, 0, 0),         # 0  transparent / black
    (10, 18, 34),      # 1  outline
    (84, 94, 112),     # 2  rim, shadow side
    (150, 160, 178),   # 3  rim
    (222, 228, 238),   # 4  rim, lit side
    (92, 44, 18),      # 5  handle edge
    (168, 92, 40),     # 6  handle
    (186, 220, 246),   # 7  glass between the pixels
    (255, 255, 255),   # 8  white / glint
    (232, 42, 42),     # 9  red
    (250, 212, 32),    # 10 yellow
    (44, 182, 72),     # 11 green
    (44, 104, 232),    # 12 blue
    (204, 64, 204),    # 13 magenta
    (40, 200, 214),    # 14 cyan
    (250, 136, 28),    # 15 orange
]


def lentara_pixels():
    """The 32x32 icon as palette indices, None where transparent."""
    cx, cy = 12.5, 12.5
    r_out, r_metal, r_edge, r_glass = 11.6, 10.7, 8.9, 8.2
    hx0, hy0, hx1, hy1 = 19.6, 19.6, 28.2, 28.2
    h_rad = 2.9
    # the magnified "screen pixels" seen through the lens, 3x3 each,
    # running through the rainbow along the diagonal
    rainbow = [9, 15, 10, 11, 14, 12, 13]
    grid = []
    for y in range(32):
        row = []
        for x in range(32):
            px, py = x + 0.5, y + 0.5
            dx, dy = px - cx, py - cy
            d = math.hypot(dx, dy)
            # distance to the handle's axis
            ax, ay = hx1 - hx0, hy1 - hy0
            t = max(0.0, min(1.0, ((px - hx0) * ax + (py - hy0) * ay) / (ax * ax + ay * ay)))
            hd = math.hypot(px - (hx0 + t * ax), py - (hy0 + t * ay))
            val = None
            if d <= r_glass:
                gx, gy = (x - 2) % 4, (y - 2) % 4
                if gx == 0 or gy == 0:
                    val = 7
                else:
                    val = rainbow[((x - 2) // 4 + (y - 2) // 4 + 5) % len(rainbow)]
                # glint on the upper left of the glass
                ang = math.degrees(math.atan2(dy, dx))
                if r_glass - 1.6 <= d and -155 <= ang <= -115:
                    val = 8
            elif d <= r_edge:
                val = 2
            elif d <= r_metal:
                lit = -(dx + dy) / (d * math.sqrt(2))
                val = 4 if lit > 0.5 else (2 if lit < -0.6 else 3)
            elif d <= r_out:
                val = 1
            elif hd <= h_rad:
                if hd > h_rad - 0.95:
                    val = 1
                elif t < 0.22:
                    val = 3        # metal collar where the handle meets the rim
                else:
                    side = ((px - hx0) * -ay + (py - hy0) * ax) / math.hypot(ax, ay)
                    val = 6 if side < 0.6 else 5
            row.append(val)
        grid.append(row)
    return grid


def make_icon():
    grid = lentara_pixels()
    xor = bytearray()
    andmask = bytearray()
    for y in range(31, -1, -1):           # bottom-up rows
        for x in range(0, 32, 2):
            a = grid[y][x] or 0
            b = grid[y][x + 1] or 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(32):
            if grid[y][x] is None:
                bits |= 1 << (31 - x)
        andmask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in ICO_PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(andmask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(andmask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    data = icondir + entry + image
    assert len(data) == 766
    with open(out_path("Lentara.ico"), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------------------
# The program icon for the Linux desktop (hicolor theme): the Lentara glass
# redrawn smoothly as RGBA PNGs, 8x larger and scaled down by area.  Sizes are
# in output pixels; the small icons get fewer, larger screen pixels and lines
# of at least one whole pixel so they stay legible.

ICONS = os.path.join(HERE, "icons", "hicolor")
APP_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
APP_SS = 8

# pitch and gap, in output pixels, of the screen pixels seen through the glass
APP_GRID = {16: (3, 1), 22: (4, 1), 24: (4, 1), 32: (4, 1),
            48: (6, 1), 64: (7, 1), 128: (13, 2), 256: (24, 3)}

# the small icons: the lens centred on a pixel; at 16 a larger glass on a thinner
# rim, a shorter handle and four screen pixels in clearly different colours
APP_SMALL = {16: {"c": 6.5, "r_out": 6.2, "rim": 1.1, "edge": 0.3, "h1": 13.7, "grid0": 6,
                  "rainbow": (2, 3, 5)},
             22: {"c": 8.5, "glint": (0.74, -160, -110)},
             24: {"c": 9.5, "glint": (0.74, -160, -110)}}

APP_RAINBOW = [ICO_PALETTE[i] for i in (9, 15, 10, 11, 14, 12, 13)]
APP_OUTLINE = ICO_PALETTE[1]
APP_GLASS = ICO_PALETTE[7]
APP_RIM = [(0.0, (236, 240, 247)), (0.35, ICO_PALETTE[4]), (0.6, ICO_PALETTE[3]),
           (1.0, ICO_PALETTE[2])]
APP_WOOD = [(0.0, ICO_PALETTE[5]), (0.3, ICO_PALETTE[6]), (0.72, (196, 118, 58)),
            (1.0, ICO_PALETTE[6])]


def app_geometry(n):
    """Lens and handle measurements for an n x n icon, in output pixels."""
    u = n / 32
    g = {"c": 12.5 * u, "r_out": 11.6 * u}
    g["outline"] = max(1.0, 0.5 + 0.6 * u)
    g["rim"] = max(1.25, 1.8 * u)
    g["edge"] = max(0.4, 0.7 * u)
    g["h0"], g["h1"] = 19.6 * u, 28.2 * u      # handle axis ends, on the diagonal
    g["h_rad"] = max(1.9, 2.9 * u)
    g["collar"] = max(1.0, 1.4 * u)            # metal collar past the lens edge
    g.update(APP_SMALL.get(n, {}))
    g["r_glass"] = g["r_out"] - g["outline"] - g["rim"] - g["edge"]
    return g


def ring_mask(size, c, r_out, r_in):
    """A disc of radius r_out round (c, c), with a hole of radius r_in."""
    mask = Image.new("L", size, 0)
    d = ImageDraw.Draw(mask)
    d.ellipse((c - r_out, c - r_out, c + r_out, c + r_out), fill=255)
    if r_in > 0:
        d.ellipse((c - r_in, c - r_in, c + r_in, c + r_in), fill=0)
    return mask


def capsule(draw, p0, p1, r, fill):
    """A thick line from p0 to p1 with round ends."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    ln = math.hypot(dx, dy)
    nx, ny = -dy / ln * r, dx / ln * r
    draw.polygon([(p0[0] + nx, p0[1] + ny), (p1[0] + nx, p1[1] + ny),
                  (p1[0] - nx, p1[1] - ny), (p0[0] - nx, p0[1] - ny)], fill=fill)
    for x, y in (p0, p1):
        draw.ellipse((x - r, y - r, x + r, y + r), fill=fill)


def ramp(stops, length=512):
    """A strip running through (position 0..1, colour) stops, left to right."""
    strip = Image.new("RGB", (length, 3))
    d = ImageDraw.Draw(strip)
    for x in range(length):
        t = x / (length - 1)
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t <= t1:
                break
        f = (t - t0) / (t1 - t0)
        d.line([(x, 0), (x, 2)], fill=tuple(round(a + (b - a) * f) for a, b in zip(c0, c1)))
    return strip


def gradient_along(size, stops, p0, p1):
    """Fills size with stops laid out from p0 to p1, constant across that line."""
    strip = ramp(stops)
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    k = (strip.width - 1) / (dx * dx + dy * dy)
    # strip x = pad + 0.5 + k * ((x, y) - p0) . (dx, dy); the padding repeats
    # the end colours, so the gradient stays flat beyond p0 and p1
    pad = 64
    wide = Image.new("RGB", (strip.width + 2 * pad, 3))
    wide.paste(strip.crop((0, 0, 1, 3)).resize((pad, 3)), (0, 0))
    wide.paste(strip, (pad, 0))
    wide.paste(strip.crop((strip.width - 1, 0, strip.width, 3)).resize((pad, 3)),
               (pad + strip.width, 0))
    off = pad + 0.5 - k * (p0[0] * dx + p0[1] * dy)
    return wide.transform(size, Image.AFFINE, (k * dx, k * dy, off, 0, 0, 1.5),
                          Image.BILINEAR).convert("RGBA")


def paint(img, rgb_or_layer, mask):
    """Lays a colour or an RGB(A) layer over img through mask."""
    if isinstance(rgb_or_layer, tuple):
        img.alpha_composite(solid(img.size, rgb_or_layer, mask))
    else:
        layer = rgb_or_layer.copy()
        layer.putalpha(mask)
        img.alpha_composite(layer)


def app_handle(img, g, s):
    """The handle: outline, wooden grip shaded across, metal collar at the lens."""
    d = math.sqrt(0.5)
    a = (g["h0"] * s, g["h0"] * s)
    b = (g["h1"] * s, g["h1"] * s)
    r, w = g["h_rad"] * s, g["outline"] * s
    mask = Image.new("L", img.size, 0)
    capsule(ImageDraw.Draw(mask), a, b, r, 255)
    paint(img, APP_OUTLINE, mask)
    grip = Image.new("L", img.size, 0)
    capsule(ImageDraw.Draw(grip), a, b, r - w, 255)
    # across the handle: dark lower-left edge, light upper-right
    mid = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
    p0 = (mid[0] - r * d, mid[1] + r * d)
    p1 = (mid[0] + r * d, mid[1] - r * d)
    paint(img, gradient_along(img.size, APP_WOOD, p0, p1), grip)
    # the collar, from the lens edge a little way down, with a dark seam
    e = (g["c"] + (g["r_out"] + g["collar"]) * d) * s
    band = Image.new("L", img.size, 0)
    bd = ImageDraw.Draw(band)
    bd.polygon([(0, 0), (e * 2, 0), (0, e * 2)], fill=255)
    collar = ImageChops.multiply(grip, band)
    paint(img, gradient_along(img.size, APP_RIM, p1, p0), collar)
    seam = Image.new("L", img.size, 0)
    ImageDraw.Draw(seam).line([(e * 2, 0), (0, e * 2)], fill=255, width=round(w * 0.8))
    paint(img, APP_OUTLINE, ImageChops.multiply(seam, mask))


def app_cells(img, g, n, s):
    """The enlarged screen pixels in the glass, through the rainbow on the diagonal."""
    pitch, gap = APP_GRID[n]
    c = g["c"]
    # a cell centred on the lens unless told otherwise, edges on whole pixels
    x0 = g.get("grid0", round(c - (pitch + gap) / 2))
    cells = Image.new("RGB", img.size, APP_GLASS)
    d = ImageDraw.Draw(cells)
    radius = (pitch - gap) * s * 0.12 if n >= 64 else 0
    span = int(g["r_glass"] / pitch) + 2
    # rainbow steps per cell across and down, and the colour of the centre cell
    a, b, k = g.get("rainbow", (1, 1, 2))
    for j in range(-span, span + 1):
        for i in range(-span, span + 1):
            x, y = x0 + i * pitch + gap, x0 + j * pitch + gap
            box = (x * s, y * s, (x + pitch - gap) * s - 1, (y + pitch - gap) * s - 1)
            colour = APP_RAINBOW[(a * i + b * j + k) % len(APP_RAINBOW)]
            d.rounded_rectangle(box, radius=radius, fill=colour)
    glass = ring_mask(img.size, c * s, g["r_glass"] * s, 0)
    paint(img, cells.convert("RGBA"), glass)
    return glass


def app_glass_light(img, g, n, s, glass):
    """Depth at the glass edge, a soft sheen and the white glint."""
    c, rg = g["c"] * s, g["r_glass"] * s
    if n >= 48:
        edge = ImageChops.subtract(glass, ring_mask(img.size, c, rg * 0.9, 0))
        edge = edge.filter(ImageFilter.GaussianBlur(rg * 0.08))
        paint(img, APP_OUTLINE, scale_alpha(ImageChops.multiply(edge, glass), 0.35))
        sheen = Image.new("L", img.size, 0)
        o = rg * 0.25
        ImageDraw.Draw(sheen).ellipse((c - rg - o, c - rg - o, c + rg * 0.5 - o, c + rg * 0.5 - o),
                                      fill=255)
        sheen = ImageChops.multiply(sheen.filter(ImageFilter.GaussianBlur(rg * 0.2)), glass)
        paint(img, (255, 255, 255), scale_alpha(sheen, 0.22))
    # the glint: an arc on the upper left with round ends, and on the larger
    # icons a thinner arc with a dot after it
    place, start, end = g.get("glint", (0.66, -170, -100))
    rr = rg * place
    glint = Image.new("L", img.size, 0)
    gd = ImageDraw.Draw(glint)
    if n < 64:
        width = max(1.5 * s, rg * 0.2)
        dots = (start, end)
    else:
        width = max(1.5 * s, rg * 0.12)
        dots = (start, end, end + 14)
    gd.arc((c - rr - width / 2, c - rr - width / 2, c + rr + width / 2, c + rr + width / 2),
           start, end, fill=255, width=round(width))
    for ang in dots:
        x = c + rr * math.cos(math.radians(ang))
        y = c + rr * math.sin(math.radians(ang))
        gd.ellipse((x - width / 2, y - width / 2, x + width / 2, y + width / 2), fill=255)
    paint(img, (255, 255, 255), scale_alpha(ImageChops.multiply(glint, glass), 0.92))


def app_lens(img, g, n, s):
    """Outline, metal rim lit from the upper left, the glass and its glint."""
    c = g["c"] * s
    r0 = g["r_out"] * s
    r1 = r0 - g["outline"] * s
    r2 = r1 - g["rim"] * s
    paint(img, APP_OUTLINE, ring_mask(img.size, c, r0, 0))
    lit = gradient_along(img.size, APP_RIM, (c - r1 * 0.7, c - r1 * 0.7), (c + r1 * 0.7, c + r1 * 0.7))
    paint(img, lit, ring_mask(img.size, c, r1, r2))
    # the inner lip of the rim, in the rim's own shadow colour
    paint(img, ICO_PALETTE[2], ring_mask(img.size, c, r2, 0))
    glass = app_cells(img, g, n, s)
    app_glass_light(img, g, n, s, glass)


def app_shadow(img, g, s):
    """A faint drop shadow under the glass and handle."""
    sil = ring_mask(img.size, g["c"] * s, g["r_out"] * s, 0)
    capsule(ImageDraw.Draw(sil), (g["h0"] * s,) * 2, (g["h1"] * s,) * 2, g["h_rad"] * s, 255)
    blur = img.width / 90
    shadow = Image.new("L", img.size, 0)
    shadow.paste(sil.filter(ImageFilter.GaussianBlur(blur)), (0, round(blur)))
    paint(img, (0, 0, 0), scale_alpha(shadow, 0.28))


def app_icon(n):
    """The whole n x n icon, drawn large and averaged down."""
    s = APP_SS
    g = app_geometry(n)
    img = Image.new("RGBA", (n * s, n * s), (0, 0, 0, 0))
    if n >= 48:
        app_shadow(img, g, s)
    app_handle(img, g, s)
    app_lens(img, g, n, s)
    return img.resize((n, n), Image.BOX)


def make_app_icons():
    for n in APP_SIZES:
        folder = os.path.join(ICONS, "%dx%d" % (n, n), "apps")
        os.makedirs(folder, exist_ok=True)
        app_icon(n).save(os.path.join(folder, "vikaro.png"), "PNG", optimize=True)


def main():
    os.makedirs(OUT, exist_ok=True)
    make_icon()
    make_france()
    make_uk()
    make_brazil()
    make_spain()
    make_germany()
    make_marble()
    make_logo()
    make_gear()
    make_help()
    make_heart()
    make_arrows()
    make_mask_box()
    make_tissus()
    make_app_icons()


if __name__ == "__main__":
    main()
