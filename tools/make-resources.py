#!/usr/bin/python3
"""Generates Velvane's image resources into src/resources/.

    velvane.ico  application icon, nine 32-bit images (256..48 PNG, 32..16 BMP)
    tabs.bmp     tab-page icon strip, eight 16 x 16 images, 32-bit with alpha
    about.png    about picture, 253 x 190, 160-colour palette

Run from anywhere:  /usr/bin/python3 tools/make-resources.py [--preview DIR]
--preview also writes enlarged PNGs of everything into DIR for review.

Needs Pillow (Debian: python3-pil), zopflipng (Debian: zopfli) and the fonts
of fonts-dejavu-core and fonts-wqy-microhei. Every drawing step is plain
Pillow with fixed inputs, so a run reproduces the committed files byte for
byte on the same Pillow, FreeType and zopfli versions.
"""

import io
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    from PIL import (Image, ImageChops, ImageDraw, ImageFilter, ImageFont,
                     ImageMath)
except ImportError:
    sys.exit("make-resources: Pillow is missing (apt-get install python3-pil)")
ZOPFLIPNG = shutil.which("zopflipng")
if not ZOPFLIPNG:
    sys.exit("make-resources: zopflipng is missing (apt-get install zopfli)")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "src", "resources")

FONT_CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FONT_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

ICON_SIZES = (256, 128, 96, 72, 64, 48, 32, 24, 16)
# Icon images this wide and wider are stored PNG-compressed (Vista and later
# read PNG images of any size in an icon); smaller ones as 32-bit DIBs with an
# AND mask. Lowering it to 128 saves about 60 KB of executable.
PNG_FROM = 48


def font(path, px):
    if not os.path.exists(path):
        sys.exit("make-resources: font not found: " + path)
    return ImageFont.truetype(path, px)


def rgb(hex_colour, alpha=255):
    h = hex_colour.lstrip("#")
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), alpha)


def layer(size):
    return Image.new("RGBA", size, (0, 0, 0, 0))


def shape_mask(size, draw_fn):
    """An 'L' mask of whatever draw_fn paints in 255 on a black canvas."""
    m = Image.new("L", size, 0)
    draw_fn(ImageDraw.Draw(m))
    return m


def fill(size, colour, mask):
    """A layer of one colour, visible where mask is."""
    out = Image.new("RGBA", size, colour)
    a = ImageChops.multiply(out.getchannel("A"), mask)
    out.putalpha(a)
    return out


_planes = {}


def planes(size):
    """Float images holding each pixel's x and y coordinate (pixel centres)."""
    if size not in _planes:
        w, h = size
        xs = Image.new("F", (w, 1))
        xs.putdata([x + 0.5 for x in range(w)])
        ys = Image.new("F", (1, h))
        ys.putdata([y + 0.5 for y in range(h)])
        _planes[size] = (xs.resize((w, h), Image.NEAREST),
                         ys.resize((w, h), Image.NEAREST))
    return _planes[size]


def ramp(size, start, end):
    """An 'L' image running 0 at point start to 255 at point end (clamped)."""
    x, y = planes(size)
    dx, dy = end[0] - start[0], end[1] - start[1]
    l2 = dx * dx + dy * dy
    a, b = 255.0 * dx / l2, 255.0 * dy / l2
    c = -(a * start[0] + b * start[1])
    return ImageMath.eval("convert(min(max(x * a + y * b + c, 0), 255), 'L')",
                          x=x, y=y, a=a, b=b, c=c)


def radial(size, centre, radius, power=2.0):
    """An 'L' image of 255 at centre falling to 0 at radius, as
    (1 - r/radius) ** power."""
    x, y = planes(size)
    return ImageMath.eval(
        "convert(255 * max(1 - ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5 / r, 0)"
        " ** p, 'L')", x=x, y=y, cx=float(centre[0]), cy=float(centre[1]),
        r=float(radius), p=float(power))


def gradient_fill(size, c_from, c_to, mask, start, end):
    """A linear gradient from c_from at point start to c_to at point end,
    visible where mask is."""
    out = Image.composite(Image.new("RGBA", size, c_to),
                          Image.new("RGBA", size, c_from),
                          ramp(size, start, end))
    out.putalpha(ImageChops.multiply(out.getchannel("A"), mask))
    return out


# ---------------------------------------------------------------------------
# Application icon: a blue lens with a white V and a dark handle.


def draw_app_icon(size):
    """Renders the icon at `size` px, supersampled and box-filtered down."""
    k = max(4, -(-1024 // size))
    n = size * k

    def px(v):  # target pixels -> canvas units
        return v * k

    small = size <= 24
    # Lens: centre and radii in target pixels, chosen per size so the ring
    # and the V land on whole pixels at 16 and 24.
    if size == 16:
        cx = cy = 6.5
        r_out, ring = 6.0, 1.2
        handle_w, handle_end = 3.0, 15.3
    elif size == 24:
        cx = cy = 9.5
        r_out, ring = 9.0, 1.6
        handle_w, handle_end = 4.2, 23.2
    else:
        cx = cy = size * 0.405
        r_out, ring = size * 0.365, max(1.8, size * 0.06)
        handle_w, handle_end = size * 0.165, size * 0.945

    C = (px(cx), px(cy))
    R = px(r_out)
    RI = px(r_out - ring)

    img = layer((n, n))

    # Handle: a rounded bar at 45 degrees from inside the ring to the corner.
    hw = px(handle_w)
    d0 = R - px(ring) * 0.5
    p0 = (C[0] + d0 * 0.7071, C[1] + d0 * 0.7071)
    p1 = (px(handle_end) - hw * 0.5 * 0.7071, px(handle_end) - hw * 0.5 * 0.7071)

    def bar(d, x0, y0, x1, y1, w):
        d.line((x0, y0, x1, y1), fill=255, width=int(round(w)))
        r = w / 2
        d.ellipse((x1 - r, y1 - r, x1 + r, y1 + r), fill=255)

    handle_mask = shape_mask((n, n), lambda d: bar(d, *p0, *p1, hw))
    img.alpha_composite(
        gradient_fill((n, n), rgb("#74869b"), rgb("#222c39"), handle_mask,
                      (p1[0] - hw, p1[1] + hw), (p1[0] + hw, p1[1] - hw)))
    if not small:
        # A lighter collar where the handle meets the ring.
        cl = R + px(ring) * 0.2
        cw = hw * 1.12
        q0 = (C[0] + cl * 0.7071, C[1] + cl * 0.7071)
        q1 = (q0[0] + hw * 0.55, q0[1] + hw * 0.55)
        collar = shape_mask((n, n), lambda d: d.line((*q0, *q1), fill=255,
                                                     width=int(round(cw))))
        img.alpha_composite(
            gradient_fill((n, n), rgb("#c9d4df"), rgb("#7d8da0"), collar,
                          (q1[0] - cw, q1[1] + cw), (q1[0] + cw, q1[1] - cw)))

    # Ring.
    ring_mask = shape_mask(
        (n, n), lambda d: d.ellipse((C[0] - R, C[1] - R, C[0] + R, C[1] + R),
                                    fill=255))
    img.alpha_composite(
        gradient_fill((n, n), rgb("#2b4f86"), rgb("#0f2444"), ring_mask,
                      (C[0] - R, C[1] - R), (C[0] + R, C[1] + R)))

    # Glass: blue, lighter towards the top left.
    glass_mask = shape_mask(
        (n, n), lambda d: d.ellipse((C[0] - RI, C[1] - RI, C[0] + RI,
                                     C[1] + RI), fill=255))
    # Small sizes get a darker, flatter glass so that the V stands out.
    light, deep = (("#3f92f2", "#1656c4") if small else ("#5fb2ff", "#1760d0"))
    img.alpha_composite(
        gradient_fill((n, n), rgb(light), rgb(deep), glass_mask,
                      (C[0] - RI * 0.8, C[1] - RI * 0.8),
                      (C[0] + RI * 0.8, C[1] + RI * 0.8)))

    if size >= 48:
        # A soft reflection along the upper left of the glass.
        hl = shape_mask((n, n), lambda d: d.ellipse(
            (C[0] - RI * 0.86, C[1] - RI * 0.86, C[0] + RI * 0.5,
             C[1] + RI * 0.2), fill=255))
        cut = shape_mask((n, n), lambda d: d.ellipse(
            (C[0] - RI * 0.74, C[1] - RI * 0.62, C[0] + RI * 0.86,
             C[1] + RI * 0.98), fill=255))
        hl = ImageChops.subtract(hl, cut)
        hl = ImageChops.multiply(hl, glass_mask)
        hl = hl.filter(ImageFilter.GaussianBlur(n / 200))
        img.alpha_composite(fill((n, n), rgb("#ffffff", 90), hl))

    # The V: a geometric letter with flat ends, centred in the glass.
    # At 16 and 24 px the corners sit on pixel edges and the arms are
    # whole pixels wide, which keeps the letter sharp.
    if size == 16:
        a, t, top, bot, foot = 3.5, 2.0, 4.0, 10.0, 0.5
    elif size == 24:
        a, t, top, bot, foot = 5.0, 2.5, 5.0, 14.0, 1.0
    else:
        a = r_out * 0.58
        t = r_out * 0.25
        top = cy - r_out * 0.40
        bot = cy + r_out * 0.50
        foot = r_out * 0.16
    vx = px(cx)
    A, T, Y0, Y1, F = px(a), px(t), px(top), px(bot), px(foot)
    y_notch = Y0 + (A - T) * (Y1 - Y0) / (A - F)
    v_poly = [(vx - A, Y0), (vx - A + T, Y0), (vx, y_notch),
              (vx + A - T, Y0), (vx + A, Y0), (vx + F, Y1), (vx - F, Y1)]
    v_mask = shape_mask((n, n), lambda d: d.polygon(v_poly, fill=255))
    if size >= 32:
        # A faint shadow under the V lifts it off the glass.
        sh = v_mask.filter(ImageFilter.GaussianBlur(n / 160))
        sh = ImageChops.offset(sh, int(n / 120), int(n / 120))
        img.alpha_composite(fill((n, n), rgb("#0a2a66", 110), sh))
    img.alpha_composite(fill((n, n), rgb("#ffffff"), v_mask))

    return img.resize((size, size), Image.BOX)


# ---------------------------------------------------------------------------
# ICO writer.


def dib_32(img, with_and_mask):
    """BITMAPINFOHEADER + bottom-up BGRA rows (+ 1-bpp AND mask rows)."""
    w, h = img.size
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            if a == 0:
                r = g = b = 0
            xor += bytes((b, g, r, a))
    mask = bytearray()
    if with_and_mask:
        stride = ((w + 31) // 32) * 4
        for y in range(h - 1, -1, -1):
            row = bytearray(stride)
            for x in range(w):
                if px[x, y][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
    height_field = h * 2 if with_and_mask else h
    header = struct.pack("<IiiHHIIiiII", 40, w, height_field, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def png_bytes(img):
    """The image as PNG, recompressed by zopflipng: the same pixels in about
    a twelfth fewer bytes than zlib's best."""
    buf = io.BytesIO()
    img.save(buf, "PNG", optimize=True)
    with tempfile.TemporaryDirectory() as tmp:
        plain, small = os.path.join(tmp, "plain.png"), os.path.join(tmp, "small.png")
        with open(plain, "wb") as f:
            f.write(buf.getvalue())
        subprocess.run([ZOPFLIPNG, "-m", "-y", plain, small], check=True,
                       stdout=subprocess.DEVNULL)
        with open(small, "rb") as f:
            return f.read()


def write_ico(path, images):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for img in images:
        w, h = img.size
        blob = png_bytes(img) if w >= PNG_FROM else dib_32(img, True)
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32,
                                   len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    data = struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + \
        b"".join(blobs)
    with open(path, "wb") as f:
        f.write(data)
    return data


def write_bmp32(path, img):
    """A BITMAP-resource-ready .bmp: file header + 32-bit BI_RGB bottom-up
    DIB whose fourth byte is straight (not premultiplied) alpha."""
    dib = dib_32(img, False)
    data = struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, 14 + 40) + dib
    with open(path, "wb") as f:
        f.write(data)
    return data


# ---------------------------------------------------------------------------
# Tab icons: a coloured rounded square with one white glyph each.

TAB_ICONS = (  # image index order
    ("百", "#2f6fe0", FONT_CJK),        # 0 百度
    ("G", "#1f9d55", FONT_SANS_BOLD),   # 1 Google
    ("搜", "#0e95a8", FONT_CJK),        # 2 搜搜
    ("有", "#d93a2b", FONT_CJK),        # 3 有道
    ("雅", "#7445d6", FONT_CJK),        # 4 雅虎
    (None, "#8a94a0", None),            # 5 unused: a plain lens mark
    ("S", "#ee8a12", FONT_SANS_BOLD),   # 6 搜狗
    ("狗", "#c43c7c", FONT_CJK),        # 7 狗狗
)


def draw_tab_icon(glyph, colour, font_path):
    k = 16
    n = 16 * k
    tile = shape_mask((n, n), lambda d: d.rounded_rectangle(
        (0, 0, n - 1, n - 1), radius=3 * k,
        fill=255))
    top = rgb(colour)
    darker = tuple(int(c * 0.78) for c in top[:3]) + (255,)
    img = gradient_fill((n, n), top, darker, tile, (0, 0), (0, n))
    img = img.resize((16, 16), Image.BOX)

    if glyph is None:
        # Neutral: a small white lens.
        m = shape_mask((n, n), lambda d: (
            d.ellipse((3.5 * k, 3.5 * k, 10.5 * k, 10.5 * k), outline=255,
                      width=int(1.6 * k)),
            d.line((9.4 * k, 9.4 * k, 12.4 * k, 12.4 * k), fill=255,
                   width=int(2.0 * k))))
        img.alpha_composite(fill((16, 16), rgb("#ffffff"),
                                 m.resize((16, 16), Image.BOX)))
        return img

    # Glyphs are drawn at their final size without anti-aliasing: at 12 px
    # a smoothed CJK character turns to grey mush, a bitmap-like one reads
    # as cleanly as the tab captions beside it.
    f = font(font_path, 12)
    m = Image.new("L", (16, 16), 0)
    d = ImageDraw.Draw(m)
    d.fontmode = "1"
    bbox = d.textbbox((0, 0), glyph, font=f)
    gw, gh = bbox[2] - bbox[0], bbox[3] - bbox[1]
    x = (16 - gw) / 2 - bbox[0]
    y = (16 - gh) / 2 - bbox[1]
    d.text((round(x), round(y)), glyph, font=f, fill=255)
    img.alpha_composite(fill((16, 16), rgb("#ffffff"), m))
    return img


def make_tab_strip():
    strip = layer((16 * len(TAB_ICONS), 16))
    for i, (glyph, colour, path) in enumerate(TAB_ICONS):
        strip.paste(draw_tab_icon(glyph, colour, path), (16 * i, 0))
    return strip


# ---------------------------------------------------------------------------
# About picture.

ABOUT_SIZE = (253, 190)


def make_about():
    W, H = ABOUT_SIZE
    k = 4
    n = (W * k, H * k)

    # Background: dark blue, lighter towards the globe at the right.
    bg = Image.new("RGBA", n, rgb("#061530"))
    glow_c = (196 * k, 84 * k)
    bg.alpha_composite(fill(n, rgb("#103a78"), radial(n, glow_c, 190 * k, 1.6)))
    bg.alpha_composite(fill(n, rgb("#2a7fd6", 200),
                            radial(n, glow_c, 95 * k, 2.0)))

    # Abstract sweeps: a few thin arcs across the lower left.
    arcs = layer(n)
    d = ImageDraw.Draw(arcs)
    for i, (alpha, width) in enumerate(((60, 3), (38, 2), (26, 2), (18, 1))):
        r = (300 + i * 26) * k
        cx0, cy0 = int(-40 * k), int(H * k + 230 * k)
        d.ellipse((cx0 - r, cy0 - r, cx0 + r, cy0 + r),
                  outline=rgb("#4aa8ff", alpha), width=width * k)
    bg.alpha_composite(arcs)

    # Globe: a shaded sphere with a wireframe of parallels and meridians.
    G = layer(n)
    gr = 46 * k
    gc = glow_c
    sphere = shape_mask(n, lambda d: d.ellipse(
        (gc[0] - gr, gc[1] - gr, gc[0] + gr, gc[1] + gr), fill=255))
    G.alpha_composite(gradient_fill(n, rgb("#3d9cff", 150), rgb("#0b2f6e", 200),
                                    sphere, (gc[0] - gr, gc[1] - gr),
                                    (gc[0] + gr, gc[1] + gr)))
    wire = Image.new("L", n, 0)
    dw = ImageDraw.Draw(wire)
    lw = max(1, int(1.1 * k))
    for lat in (-60, -30, 0, 30, 60):
        y = gc[1] + gr * math.sin(math.radians(lat))
        rx = gr * math.cos(math.radians(lat))
        ry = rx * 0.22
        dw.ellipse((gc[0] - rx, y - ry, gc[0] + rx, y + ry), outline=255,
                   width=lw)
    dw.line((gc[0], gc[1] - gr, gc[0], gc[1] + gr), fill=255, width=lw)
    for lon in (30, 60):
        rx = gr * math.cos(math.radians(lon))
        dw.ellipse((gc[0] - rx, gc[1] - gr, gc[0] + rx, gc[1] + gr),
                   outline=255, width=lw)
    dw.ellipse((gc[0] - gr, gc[1] - gr, gc[0] + gr, gc[1] + gr), outline=255,
               width=int(1.6 * k))
    wire = ImageChops.multiply(
        wire, sphere.filter(ImageFilter.MaxFilter(2 * k + 1)))
    G.alpha_composite(fill(n, rgb("#9fdcff", 200), wire))
    # A soft specular spot, and a glow around the wires.
    spot = shape_mask(n, lambda d: d.ellipse(
        (gc[0] - gr * 0.62, gc[1] - gr * 0.70, gc[0] - gr * 0.10,
         gc[1] - gr * 0.30), fill=255)).filter(ImageFilter.GaussianBlur(6 * k))
    G.alpha_composite(fill(n, rgb("#ffffff", 120), spot))
    halo = wire.filter(ImageFilter.GaussianBlur(3 * k))
    bg.alpha_composite(fill(n, rgb("#58b8ff", 140), halo))
    bg.alpha_composite(G)

    # A faint tilted ring around the globe; it is left out over the sphere,
    # where it would tangle with the wireframe.
    ring = Image.new("L", n, 0)
    ImageDraw.Draw(ring).ellipse(
        (gc[0] - 64 * k, gc[1] - 13 * k, gc[0] + 64 * k, gc[1] + 13 * k),
        outline=255, width=int(1.2 * k))
    ring = ring.rotate(-12, resample=Image.BICUBIC, center=gc)
    ring = ImageChops.subtract(
        ring, sphere.filter(ImageFilter.MaxFilter(2 * k + 1)))
    bg.alpha_composite(fill(n, rgb("#7cc8ff", 150), ring))

    # A sprinkle of small stars, placed by a fixed sequence.
    stars = layer(n)
    ds = ImageDraw.Draw(stars)
    seed = 20240601
    for _ in range(38):
        seed = (seed * 1103515245 + 12345) % 2 ** 31
        x = seed % W
        seed = (seed * 1103515245 + 12345) % 2 ** 31
        y = seed % H
        seed = (seed * 1103515245 + 12345) % 2 ** 31
        r = (0.35 + (seed % 100) / 160) * k
        alpha = 70 + seed % 120
        if (x < 150 and 14 < y < 112) or (x < 200 and y > 152):
            continue  # keep the text clear
        ds.ellipse((x * k - r, y * k - r, x * k + r, y * k + r),
                   fill=rgb("#cfe8ff", alpha))
    stars = Image.composite(layer(n), stars, sphere)
    bg.alpha_composite(stars)

    img = bg.resize((W, H), Image.BOX)

    # Text, drawn at final size so it stays crisp.
    text = layer((W, H))
    glow = Image.new("L", (W, H), 0)
    dt = ImageDraw.Draw(text)
    dg = ImageDraw.Draw(glow)
    light = rgb("#a8d8ff")
    pale = rgb("#d6eeff")

    def put(xy, s, f, colour, glow_too=True):
        dt.text(xy, s, font=f, fill=colour)
        if glow_too:
            dg.text(xy, s, font=f, fill=255)

    put((16, 20), "Velvane", font(FONT_SANS_BOLD, 28), pale)
    put((18, 58), "您的搜索专家", font(FONT_CJK, 17), light)
    dt.line((18, 86, 124, 86), fill=rgb("#5fa8e8", 200), width=1)
    # The version goes under the line at (18, 93): the about window writes
    # it there at run time, so this picture need not change with it.
    put((18, 163), "http://velvane.example.com", font(FONT_SANS, 12), light,
        False)

    halo = glow.filter(ImageFilter.GaussianBlur(3))
    img.alpha_composite(fill((W, H), rgb("#3a9cff", 150), halo))
    img.alpha_composite(text)
    return img.convert("RGB")


def write_about(path, img):
    """The picture in 160 colours (dithered; 256 look no different and take
    a sixth more), stored as PNG: half the size of the same pixels as GIF
    (the platform's imaging component reads either)."""
    pal = img.quantize(colors=160, method=Image.Quantize.MEDIANCUT,
                       dither=Image.Dither.FLOYDSTEINBERG)
    data = png_bytes(pal)
    with open(path, "wb") as f:
        f.write(data)
    return data, pal


# ---------------------------------------------------------------------------


def preview(dirpath, icons, strip, about):
    os.makedirs(dirpath, exist_ok=True)
    # Each icon size enlarged to a common height, on light and dark grounds.
    for ground, name in (("#ffffff", "light"), ("#202020", "dark"),
                         ("#6e8fb3", "mid")):
        sheet = Image.new("RGBA", (sum(s + 12 for s in ICON_SIZES) + 12, 280),
                          rgb(ground))
        x = 12
        for img in icons:
            sheet.alpha_composite(img, (x, 12))
            x += img.width + 12
        sheet.save(os.path.join(dirpath, "icon-sizes-%s.png" % name))
    for img in icons:
        if img.width <= 48:
            z = 384 // img.width
            for ground, name in (("#ffffff", "light"), ("#202020", "dark")):
                b = Image.new("RGBA", img.size, rgb(ground))
                b.alpha_composite(img)
                b.resize((img.width * z, img.height * z), Image.NEAREST).save(
                    os.path.join(dirpath, "icon-%d-%s.png" % (img.width, name)))
    for ground, name in (("#ffffff", "light"), ("#f0f0f0", "tab")):
        b = Image.new("RGBA", strip.size, rgb(ground))
        b.alpha_composite(strip)
        b.resize((strip.width * 12, strip.height * 12), Image.NEAREST).save(
            os.path.join(dirpath, "tabs-%s.png" % name))
        b.save(os.path.join(dirpath, "tabs-%s-1x.png" % name))
    about.save(os.path.join(dirpath, "about.png"))
    about.resize((about.width * 3, about.height * 3), Image.NEAREST).save(
        os.path.join(dirpath, "about-3x.png"))


def main(argv):
    preview_dir = None
    if len(argv) == 3 and argv[1] == "--preview":
        preview_dir = argv[2]
    elif len(argv) != 1:
        sys.exit(__doc__)

    icons = [draw_app_icon(s) for s in ICON_SIZES]
    ico = write_ico(os.path.join(OUT, "velvane.ico"), icons)
    strip = make_tab_strip()
    bmp = write_bmp32(os.path.join(OUT, "tabs.bmp"), strip)
    about = make_about()
    png, pal = write_about(os.path.join(OUT, "about.png"), about)
    for name, data in (("velvane.ico", ico), ("tabs.bmp", bmp),
                       ("about.png", png)):
        print("%-12s %7d bytes" % (name, len(data)))
    if preview_dir:
        preview(preview_dir, icons, strip, pal.convert("RGB"))


if __name__ == "__main__":
    main(sys.argv)
