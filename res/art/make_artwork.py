#!/usr/bin/python3
"""Draws the launcher's artwork and writes it into res/.

Run with Debian's Python, which has PIL (python3-pil):

    /usr/bin/python3 res/art/make_artwork.py

Writes the dialog background, the button bitmaps (8 bits per pixel, each with
its own 256-colour palette), the application icon, and two review sheets into
res/art/ (preview.png: the whole window; states.png: every button state).
The output is deterministic: two runs give byte-identical files.

Everything is drawn from scratch here: shapes are rendered at SS times the
final size and box-filtered down, which gives clean anti-aliased edges; text
uses IPA P Gothic, made heavier with a sub-pixel stroke at the supersampled size.
"""

import io
import os
import struct
import sys

# libimagequant runs its k-means on OpenMP threads; one thread keeps the
# palettes independent of the machine's core count. Must be set before PIL
# loads the library.
os.environ["OMP_NUM_THREADS"] = "1"

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)

FONT_PATH = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"
# The fake check box and version label in the preview stand in for the dialog
# font (MS UI Gothic under Windows, proportional like IPA P Gothic).
UI_FONT_PATH = FONT_PATH

SS = 4  # supersampling factor for shapes and text

# Palette of the brand.
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
BRAND = (20, 99, 166)  # also the progress dialog's frame and text colour
BRAND_DARK = (12, 62, 116)
NAVY = (8, 40, 86)
TEAL = (22, 150, 170)
TEAL_LIGHT = (74, 196, 206)
INK = (38, 46, 56)  # body text
INK_SOFT = (104, 114, 126)  # secondary text
RULE = (221, 227, 234)  # thin lines on white
RED = (206, 38, 40)
RED_DARK = (160, 22, 28)

WINDOW = (640, 440)

# Where the dialog's controls sit on the background (x, y, w, h).
INSTALL_RECT = (125, 242, 390, 60)
CHECKBOX_RECT = (215, 303, 183, 17)
GUIDE_RECT = (125, 342, 250, 38)
READER_RECT = (393, 342, 122, 36)
VERSION_RIGHT, VERSION_TOP, VERSION_HEIGHT = 495, 405, 25
CLOSE_RECT = (515, 401, 110, 25)

# Plain white behind the check box, which the program paints on white.
CHECKBOX_WHITE_BAND = (150, 296, 490, 326)  # x0, y0, x1, y1 (exclusive)

# The first flat white row below the header's curve; everything from here
# down to the footer line is plain white.
BODY_TOP = 202
FOOTER_RULE_Y = 391

VERSION_TEXT = "ver.6.0.1.12"


# ---------------------------------------------------------------------------
# Colour helpers


def mix(a, b, t):
    """Linear blend of two RGB tuples: t=0 gives a, t=1 gives b."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def lighten(c, t):
    return mix(c, WHITE, t)


def darken(c, t):
    return mix(c, BLACK, t)


def ramp(stops, t):
    """Colour at t (0..1) on a list of (position, colour) stops."""
    t = min(max(t, 0.0), 1.0)
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            u = 0.0 if p1 == p0 else (t - p0) / (p1 - p0)
            # Smoothstep between stops hides the joints of the ramp.
            u = u * u * (3 - 2 * u)
            return mix(c0, c1, u)
    return stops[-1][1]


def vertical_gradient(size, stops):
    w, h = size
    column = Image.new("RGB", (1, h))
    column.putdata([ramp(stops, (y + 0.5) / h) for y in range(h)])
    return column.resize((w, h), Image.NEAREST)


def horizontal_gradient(size, stops):
    w, h = size
    row = Image.new("RGB", (w, 1))
    row.putdata([ramp(stops, (x + 0.5) / w) for x in range(w)])
    return row.resize((w, h), Image.NEAREST)


# ---------------------------------------------------------------------------
# Supersampled masks


def ss_mask(size, paint):
    """An 'L' coverage mask of `size`: paint(draw, s) draws at s times the size."""
    w, h = size
    big = Image.new("L", (w * SS, h * SS), 0)
    paint(ImageDraw.Draw(big), SS)
    return big.resize((w, h), Image.BOX)


def scaled(points, s):
    return [(x * s, y * s) for x, y in points]


def rounded_rect_mask(size, box, radius):
    """Mask of a rounded rectangle; box is (x0, y0, x1, y1) in pixel edges."""
    x0, y0, x1, y1 = box

    def paint(d, s):
        d.rounded_rectangle(
            (x0 * s, y0 * s, x1 * s - 1, y1 * s - 1), radius=radius * s, fill=255
        )

    return ss_mask(size, paint)


def fill(canvas, mask, paint, opacity=1.0):
    """Composite a colour (tuple) or an image of the canvas size through a mask."""
    if opacity < 1.0:
        mask = mask.point(lambda v: int(round(v * opacity)))
    if isinstance(paint, tuple):
        paint = Image.new(canvas.mode, canvas.size, paint)
    canvas.paste(paint, (0, 0), mask)


def mask_and(a, b):
    return ImageChops.multiply(a, b)


def mask_minus(a, b):
    return ImageChops.subtract(a, b)


def shift(mask, dx, dy):
    out = Image.new("L", mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


# ---------------------------------------------------------------------------
# Curves and the shield


def cubic(p0, p1, p2, p3, n):
    pts = []
    for i in range(n + 1):
        t = i / n
        u = 1 - t
        pts.append(
            (
                u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1],
            )
        )
    return pts


# Right half of the shield outline in a unit box (x 0..1, y 0..1), from the top
# centre clockwise to the bottom point; the left half is its mirror image.
_SHIELD_RIGHT = [
    ((0.50, 0.00), (0.66, 0.08), (0.82, 0.115), (0.94, 0.12)),
    ((0.94, 0.12), (0.975, 0.12), (1.00, 0.145), (1.00, 0.18)),
    ((1.00, 0.18), (1.00, 0.30), (1.00, 0.40), (0.995, 0.48)),
    ((0.995, 0.48), (0.97, 0.76), (0.74, 0.90), (0.50, 1.00)),
]


def shield_points(box, n=24):
    """Polygon of the shield filling box (x0, y0, x1, y1)."""
    x0, y0, x1, y1 = box
    right = []
    for seg in _SHIELD_RIGHT:
        pts = cubic(*seg, n)
        right.extend(pts if not right else pts[1:])
    left = [(1.0 - x, y) for x, y in reversed(right[1:-1])]
    unit = right + left
    return [(x0 + x * (x1 - x0), y0 + y * (y1 - y0)) for x, y in unit]


def shield_left_half(box, n=24):
    pts = shield_points(box, n)
    cx = (box[0] + box[2]) / 2
    return [(min(x, cx), y) for x, y in pts]


def check_stroke(d, s, pts, width, fill_value=255):
    """A check mark: a polyline with round caps and joins."""
    p = scaled(pts, s)
    w = width * s
    d.line(p, fill=fill_value, width=int(round(w)), joint="curve")
    r = w / 2
    for x, y in (p[0], p[-1]):
        d.ellipse((x - r, y - r, x + r, y + r), fill=fill_value)


def check_points(box):
    """The check mark inside a shield box, as three points."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    return [
        (x0 + 0.285 * w, y0 + 0.50 * h),
        (x0 + 0.445 * w, y0 + 0.655 * h),
        (x0 + 0.735 * w, y0 + 0.335 * h),
    ]


# ---------------------------------------------------------------------------
# Text


_fonts = {}


def font(size, path=FONT_PATH):
    key = (path, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(path, size)
    return _fonts[key]


def _layout(text, size, tracking, path):
    """Per-character x offsets (supersampled) when tracking, else one run."""
    f = font(size * SS, path)
    if not tracking:
        return f, [(0.0, text)], f.getlength(text)
    runs, x = [], 0.0
    for ch in text:
        runs.append((x, ch))
        x += f.getlength(ch) + tracking * SS
    return f, runs, x - tracking * SS


def text_extent(text, size, weight=0.0, tracking=0.0, path=FONT_PATH):
    """Ink box (x0, y0, x1, y1) relative to the baseline origin, in pixels."""
    f, runs, _ = _layout(text, size, tracking, path)
    sw = int(round(weight * SS))
    boxes = []
    for x, run in runs:
        bx0, by0, bx1, by1 = f.getbbox(run, anchor="ls", stroke_width=sw)
        if bx1 > bx0:
            boxes.append((x + bx0, by0, x + bx1, by1))
    x0 = min(b[0] for b in boxes)
    y0 = min(b[1] for b in boxes)
    x1 = max(b[2] for b in boxes)
    y1 = max(b[3] for b in boxes)
    return (x0 / SS, y0 / SS, x1 / SS, y1 / SS)


def text_mask(size_px, origin, text, size, weight=0.0, tracking=0.0, path=FONT_PATH):
    """Mask of text drawn with its baseline origin at `origin` (may be fractional)."""
    f, runs, _ = _layout(text, size, tracking, path)
    sw = int(round(weight * SS))
    ox, oy = origin

    def paint(d, s):
        for x, run in runs:
            d.text(
                (ox * s + x, oy * s), run, font=f, fill=255, anchor="ls",
                stroke_width=sw, stroke_fill=255,
            )

    return ss_mask(size_px, paint)


def centered_origin(text, size, center, weight=0.0, tracking=0.0, path=FONT_PATH,
                    snap=True):
    """Baseline origin that centres the text's ink on `center`.

    With snap, the origin is rounded to whole pixels so stems stay crisp.
    """
    x0, y0, x1, y1 = text_extent(text, size, weight, tracking, path)
    ox = center[0] - (x0 + x1) / 2
    oy = center[1] - (y0 + y1) / 2
    if snap:
        ox, oy = round(ox), round(oy)
    return ox, oy


def em_centered_origin(text, size, center, weight=0.0, tracking=0.0, path=FONT_PATH):
    """Like centered_origin, but vertically centres the Japanese em box.

    Keeps lines with and without descenders or small kana on the same centre.
    """
    x0, _, x1, _ = text_extent(text, size, weight, tracking, path)
    _, ey0, _, ey1 = text_extent("国", size, weight, 0.0, path)
    return round(center[0] - (x0 + x1) / 2), round(center[1] - (ey0 + ey1) / 2)


# ---------------------------------------------------------------------------
# The application icon


def inset(box, d):
    """A shield box shrunk by d on each side; the pointed bottom moves up more."""
    x0, y0, x1, y1 = box
    return (x0 + d, y0 + d, x1 - d, y1 - d * 1.6)


def shield_mask(size, box, n=24):
    return ss_mask(size, lambda d, s: d.polygon(scaled(shield_points(box, n), s), fill=255))


def render_icon(n, rim=None, edge=0.0, shadow=False, grid=None):
    """The shield icon as RGBA, n x n pixels.

    A white-rimmed shield, teal to deep blue, with a white check mark; `edge`
    adds a thin blue line around the rim so it stands out on white too. When
    the result is to be scaled down, `grid` is the size of one final pixel:
    the shield's box then snaps to it, which keeps small icons crisp.
    """
    if rim is None:
        rim = n / 22.0
    size = (n, n)
    h = n * 0.92
    w = h * 0.84
    x0 = (n - w) / 2
    y0 = (n - h) / 2 - n * 0.005
    if grid:
        x0 = round(x0 / grid) * grid
        y0 = max(0, round(y0 / grid) * grid)
        w = n - 2 * x0
        h = round(h / grid) * grid
    outer = (x0, y0, x0 + w, y0 + h)
    white_box = inset(outer, edge) if edge else outer
    inner = inset(white_box, rim)

    outer_mask = shield_mask(size, outer)
    inner_mask = shield_mask(size, inner)
    left_mask = ss_mask(size, lambda d, s: d.polygon(scaled(shield_left_half(inner), s), fill=255))

    # Colours run out past every edge, so edge pixels keep their true colour
    # and the alpha channel alone does the anti-aliasing.
    rgb = Image.new("RGB", size, lighten(BRAND, 0.2) if edge else WHITE)
    if edge:
        fill(rgb, shield_mask(size, white_box), WHITE)

    # The shield's body: teal at the top left to deep brand blue at the bottom.
    body = Image.new("RGB", size)
    body.putdata(
        [
            ramp(
                [(0.0, (38, 178, 196)), (0.45, (24, 118, 184)), (1.0, (12, 58, 120))],
                ((x + 0.5) / n * 0.45 + (y + 0.5) / n * 0.75) / 1.2,
            )
            for y in range(n)
            for x in range(n)
        ]
    )
    fill(rgb, inner_mask, body)
    # The lit left half gives the shield its facets.
    fill(rgb, mask_and(left_mask, inner_mask), WHITE, 0.16)

    stroke = max(1.6, n * 0.105)
    ck = check_points(inner)
    check = ss_mask(size, lambda d, s: check_stroke(d, s, ck, stroke))
    if n >= 48:
        check_shadow = shift(check.filter(ImageFilter.GaussianBlur(n / 100)), 0, max(1, n // 96))
        fill(rgb, mask_and(check_shadow, inner_mask), NAVY, 0.35)
    fill(rgb, check, WHITE)

    img = rgb.convert("RGBA")
    img.putalpha(outer_mask)
    if shadow:
        sh = shift(outer_mask.filter(ImageFilter.GaussianBlur(n / 40)), 0, max(1, int(round(n / 64))))
        under = Image.new("RGBA", size, (4, 16, 36, 0))
        under.putalpha(sh.point(lambda v: v * 30 // 100))
        img = Image.alpha_composite(under, img)
    return img


def icon_to_indexed(rgba):
    """8 bpp version of an icon and its AND mask (1 = transparent).

    Pixels at least about half covered become opaque; the fainter of those
    are blended toward white, the colour of the shield's rim.
    """
    alpha = rgba.getchannel("A")
    solid = alpha.point(lambda v: 255 if v >= 112 else 0)
    flat = Image.new("RGB", rgba.size, WHITE)
    flat.paste(rgba.convert("RGB"), (0, 0), alpha.point(lambda v: 255 if v >= 200 else v * 255 // 200))
    flat = Image.composite(flat, Image.new("RGB", rgba.size, BLACK), solid)
    indexed = quantize(flat, required=[BLACK, WHITE])
    and_mask = solid.point(lambda v: 0 if v else 1)
    return indexed, and_mask


# ---------------------------------------------------------------------------
# Quantization and file writers


def quantize(img, required=(WHITE,), dither_region=None, colors=256):
    """256-colour indexed copy of an RGB image.

    The palette comes from libimagequant; the colours in `required` are added
    exactly, and every pixel of such a colour keeps it, so flat areas such as
    the white behind the buttons stay pure. Error diffusion (Floyd-Steinberg)
    is used only inside `dither_region` (an 'L' mask), where it smooths broad
    gradients; elsewhere pixels map to the nearest colour, which keeps text
    and small shapes clean.
    """
    img = img.convert("RGB")
    required = list(dict.fromkeys(required))
    n_free = colors - len(required)
    probe = img.quantize(colors=n_free, method=Image.Quantize.LIBIMAGEQUANT, dither=Image.Dither.NONE)
    pal = probe.getpalette()[: 3 * n_free]
    used = {index for _, index in probe.getcolors(colors)}
    entries = [tuple(pal[3 * i : 3 * i + 3]) for i in sorted(used)]
    merged = required + [e for e in entries if e not in required]
    merged = merged[:colors]
    while len(merged) < 256:
        merged.append(merged[-1])
    palette_image = Image.new("P", (1, 1))
    palette_image.putpalette([v for e in merged for v in e])
    out = img.quantize(palette=palette_image, dither=Image.Dither.NONE)
    if dither_region is not None:
        dithered = img.quantize(palette=palette_image, dither=Image.Dither.FLOYDSTEINBERG)
        out.paste(dithered, (0, 0), dither_region)
    for index, colour in enumerate(required):
        diff = ImageChops.difference(img, Image.new("RGB", img.size, colour)).split()
        zero = [c.point(lambda v: 255 if v == 0 else 0) for c in diff]
        exact = ImageChops.multiply(ImageChops.multiply(zero[0], zero[1]), zero[2])
        out.paste(index, (0, 0), exact)
    return out


def palette_bgrx(indexed):
    pal = (indexed.getpalette() + [0] * 768)[:768]
    return b"".join(bytes((pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0)) for i in range(256))


def bottom_up_rows(data, width, height, bytes_per_pixel, stride):
    row = width * bytes_per_pixel
    pad = b"\0" * (stride - row)
    return b"".join(data[y * row : (y + 1) * row] + pad for y in range(height - 1, -1, -1))


def bmp8_bytes(indexed):
    """A BMP file: BITMAPINFOHEADER, BI_RGB, 8 bpp, 256-entry palette."""
    w, h = indexed.size
    stride = (w + 3) & ~3
    pixels = bottom_up_rows(indexed.tobytes(), w, h, 1, stride)
    offset = 14 + 40 + 256 * 4
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    return file_header + info + palette_bgrx(indexed) + pixels


def and_mask_bytes(mask):
    """1 bpp AND mask rows, bottom-up, each padded to 32 bits."""
    w, h = mask.size
    stride = ((w + 31) // 32) * 4
    px = mask.load()
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if px[x, y]:
                row[x >> 3] |= 0x80 >> (x & 7)
        rows.append(bytes(row))
    return b"".join(rows)


def ico_dib8(indexed, and_mask):
    w, h = indexed.size
    xor = bottom_up_rows(indexed.tobytes(), w, h, 1, (w + 3) & ~3)
    andm = and_mask_bytes(and_mask)
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 8, 0, len(xor) + len(andm), 0, 0, 256, 0)
    return header + palette_bgrx(indexed) + xor + andm


def ico_dib32(rgba):
    w, h = rgba.size
    r, g, b, a = rgba.split()
    bgra = Image.merge("RGBA", (b, g, r, a)).tobytes()
    xor = bottom_up_rows(bgra, w, h, 4, w * 4)
    andm = and_mask_bytes(a.point(lambda v: 1 if v == 0 else 0))
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
    return header + xor + andm


def png_bytes(img):
    out = io.BytesIO()
    img.save(out, "PNG", optimize=False, compress_level=9)
    return out.getvalue()


def ico_bytes(images):
    """images: list of (width, height, colour count byte, bit count, data)."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = [], []
    for w, h, colors, bits, data in images:
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, colors, 0, 1, bits, len(data), offset))
        blobs.append(data)
        offset += len(data)
    return head + b"".join(entries) + b"".join(blobs)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------------------
# The background


def header_curve(n=96):
    """The lower edge of the header band, left to right."""
    return cubic((0, 196), (210, 206), (420, 160), (640, 170), n)


def accent_curve(n=96):
    """The lower edge of the teal ribbon below the header: thin on the left,
    widening to the right."""
    base = header_curve(n)
    return [(x, y + 1.0 + 6.0 * (x / 640) ** 1.5) for x, y in base]


def header_region():
    """Where the background is dithered: the header band and its ribbon."""
    return ss_mask(WINDOW, lambda d, s: d.polygon(
        scaled([(0, 0)] + [(x, y + 2) for x, y in accent_curve()] + [(640, 0)], s), fill=255))


def draw_background():
    w, h = WINDOW
    img = Image.new("RGB", WINDOW, WHITE)

    # Header band: navy on the left through brand blue to teal on the right,
    # a little deeper at the top.
    band = horizontal_gradient(
        WINDOW, [(0.0, (10, 52, 104)), (0.5, (18, 92, 160)), (1.0, (20, 132, 170))]
    )
    shade = Image.new("L", (1, h))
    shade.putdata([int(70 * max(0.0, 1 - y / 200) ** 2) for y in range(h)])
    fill(band, shade.resize(WINDOW, Image.NEAREST), BLACK)
    # A soft light behind the wordmark.
    glow = ss_mask(WINDOW, lambda d, s: d.ellipse((150 * s, 20 * s, 490 * s, 170 * s), fill=255))
    glow = glow.filter(ImageFilter.GaussianBlur(48))
    band.paste((120, 200, 235), (0, 0), glow.point(lambda v: v * 38 // 100))

    # Shield watermark at the right, cut by the band's edge.
    wm_box = (500, 16, 676, 226)
    wm = ss_mask(WINDOW, lambda d, s: d.polygon(scaled(shield_points(wm_box, 48), s), fill=255))
    wm_in = ss_mask(
        WINDOW,
        lambda d, s: d.polygon(
            scaled(shield_points((wm_box[0] + 16, wm_box[1] + 16, wm_box[2] - 16, wm_box[3] - 26), 48), s),
            fill=255,
        ),
    )
    fill(band, mask_minus(wm, wm_in), WHITE, 0.07)
    fill(band, wm_in, WHITE, 0.035)
    wm_half = ss_mask(
        WINDOW,
        lambda d, s: d.polygon(
            scaled(shield_left_half((wm_box[0] + 16, wm_box[1] + 16, wm_box[2] - 16, wm_box[3] - 26), 48), s),
            fill=255,
        ),
    )
    fill(band, mask_and(wm_half, wm_in), WHITE, 0.03)
    # Faint concentric arcs at the lower left: the "protective" rings.
    for i, r in enumerate((120, 170, 220)):
        ring = ss_mask(
            WINDOW,
            lambda d, s, r=r: d.ellipse(
                ((-40 - r) * s, (250 - r) * s, (-40 + r) * s, (250 + r) * s),
                outline=255, width=int(1.2 * s),
            ),
        )
        fill(band, ring, WHITE, 0.07 - i * 0.015)

    # Cut the band along its curved lower edge, with a teal ribbon below it.
    curve = header_curve()
    ribbon = ss_mask(WINDOW, lambda d, s: d.polygon(scaled([(0, 0)] + accent_curve() + [(640, 0)], s), fill=255))
    ribbon_colour = horizontal_gradient(WINDOW, [(0.0, (120, 200, 222)), (1.0, TEAL_LIGHT)])
    fill(img, ribbon, ribbon_colour)
    header = ss_mask(WINDOW, lambda d, s: d.polygon(scaled([(0, 0)] + curve + [(640, 0)], s), fill=255))
    fill(img, header, band)

    # Small company name at the top left.
    cam = text_mask(WINDOW, (22, 30), "Camberly", 12, weight=0.25, tracking=1.2)
    fill(img, cam, WHITE, 0.78)

    # Emblem and wordmark, centred as a group.
    emblem_size = 68
    word_size = 60
    word_weight = 1.5
    word_track = 1.5
    wx0, wy0, wx1, wy1 = text_extent("Velora", word_size, word_weight, word_track)
    gap = 14
    group_w = emblem_size * 0.84 + gap + (wx1 - wx0)
    gx = 320 - group_w / 2
    centre_y = 82
    emblem = render_icon(emblem_size * SS, rim=emblem_size * SS / 17)
    emblem = emblem.resize((emblem_size, emblem_size), Image.BOX)
    ex = int(round(gx - emblem_size * 0.08))
    ey = int(round(centre_y - emblem_size / 2))
    sh = emblem.getchannel("A").filter(ImageFilter.GaussianBlur(3))
    shadow_mask = Image.new("L", WINDOW, 0)
    shadow_mask.paste(sh, (ex, ey + 3))
    fill(img, shadow_mask, NAVY, 0.45)
    img.paste(emblem, (ex, ey), emblem)
    word_origin = (round(gx + emblem_size * 0.84 + gap - wx0), round(centre_y - (wy0 + wy1) / 2))
    word = text_mask(WINDOW, word_origin, "Velora", word_size, word_weight, word_track)
    fill(img, shift(word.filter(ImageFilter.GaussianBlur(2)), 0, 2), NAVY, 0.35)
    fill(img, word, WHITE)

    # Tagline.
    tagline = "ご家族のインターネットを、やさしく守る。"
    org = em_centered_origin(tagline, 19, (320, 140), weight=0.5)
    t = text_mask(WINDOW, org, tagline, 19, weight=0.5)
    fill(img, shift(t.filter(ImageFilter.GaussianBlur(1.2)), 0, 1), NAVY, 0.30)
    fill(img, t, WHITE)

    # "Installer" pill below the tagline.
    pill_text = "インストーラー"
    px0, _, px1, _ = text_extent(pill_text, 12, 0.5, 1.0)
    pw = (px1 - px0) + 30
    pill_box = (round(320 - pw / 2), 160, round(320 + pw / 2), 181)
    pill = rounded_rect_mask(WINDOW, pill_box, 10.5)
    pill_in = rounded_rect_mask(
        WINDOW, (pill_box[0] + 1, pill_box[1] + 1, pill_box[2] - 1, pill_box[3] - 1), 9.5
    )
    fill(img, pill_in, WHITE, 0.12)
    fill(img, mask_minus(pill, pill_in), WHITE, 0.55)
    org = em_centered_origin(pill_text, 12, (320, (pill_box[1] + pill_box[3]) / 2), 0.5, 1.0)
    fill(img, text_mask(WINDOW, org, pill_text, 12, 0.5, 1.0), WHITE)

    # A short hint above the install button.
    hint = "「インストール」をクリックすると、セットアップを開始します。"
    org = em_centered_origin(hint, 12, (320, 224), weight=0.0)
    fill(img, text_mask(WINDOW, org, hint, 12), INK_SOFT)

    # Footer: a thin line and the copyright.
    img.paste(RULE, (16, FOOTER_RULE_Y, 624, FOOTER_RULE_Y + 1))
    copy = "© Camberly Inc."
    org = em_centered_origin(copy, 11, (0, 417), weight=0.0)
    x0, _, _, _ = text_extent(copy, 11)
    fill(img, text_mask(WINDOW, (round(18 - x0), org[1]), copy, 11, weight=0.15), INK_SOFT)
    return img


# ---------------------------------------------------------------------------
# Buttons


def inset_shadow(size, shape, depth, blur):
    """Shadow inside the top edge of a shape: the pressed look."""
    inv = shape.point(lambda v: 255 - v)
    inv = shift(inv, 0, depth).filter(ImageFilter.GaussianBlur(blur))
    return mask_and(inv, shape)


def draw_install(state):
    w, h = INSTALL_RECT[2], INSTALL_RECT[3]
    size = (w, h)
    img = Image.new("RGB", size, WHITE)
    radius = 9
    shape_box = (0, 0, w, h - 2)
    shape = rounded_rect_mask(size, shape_box, radius)

    # A soft shadow under the button, kept clear of the bitmap's corners.
    shadow = rounded_rect_mask(size, (6, 4, w - 6, h - 0.5), radius)
    shadow = shadow.filter(ImageFilter.GaussianBlur(1.2))
    shadow = mask_minus(shadow, shape)
    if state != "pressed":
        fill(img, shadow, (20, 50, 90), 0.30)

    base = {
        "normal": [(0.0, (44, 140, 214)), (0.5, (24, 108, 182)), (1.0, (16, 82, 150))],
        "hover": [(0.0, (70, 166, 232)), (0.5, (40, 130, 204)), (1.0, (26, 100, 170))],
        "pressed": [(0.0, (14, 70, 128)), (0.5, (18, 82, 146)), (1.0, (20, 92, 158))],
    }[state]
    body = vertical_gradient(size, base)
    # Cooler teal toward the right end.
    tint = horizontal_gradient(size, [(0.0, (0, 0, 0)), (1.0, (24, 150, 168))])
    tint_mask = horizontal_gradient(size, [(0.0, (0, 0, 0)), (0.45, (0, 0, 0)), (1.0, (255, 255, 255))]).convert("L")
    body.paste(tint, (0, 0), tint_mask.point(lambda v: v * 30 // 100))
    fill(img, shape, body)

    # Edges: a darker rim, a light line along the top inside.
    inner = rounded_rect_mask(size, (1, 1, w - 1, h - 3), radius - 1)
    rim = mask_minus(shape, inner)
    fill(img, rim, (12, 66, 124) if state != "hover" else (22, 90, 156), 0.85)
    if state == "pressed":
        fill(img, inset_shadow(size, inner, 3, 2.0), (4, 30, 64), 0.55)
    else:
        top_line = mask_minus(inner, shift(inner, 0, 1))
        top_line = mask_and(top_line, horizontal_gradient(
            size, [(0.0, (0, 0, 0)), (0.12, (255, 255, 255)), (0.88, (255, 255, 255)), (1.0, (0, 0, 0))]
        ).convert("L"))
        fill(img, top_line, WHITE, 0.45 if state == "hover" else 0.32)
    if state == "hover":
        # A light inner rim: the button lights up.
        inner2 = rounded_rect_mask(size, (2, 2, w - 2, h - 4), radius - 2)
        fill(img, mask_minus(inner, inner2), (150, 214, 246), 0.55)
    dx = dy = 1 if state == "pressed" else 0
    caption = "インストール"
    csize, cweight, ctrack = 24, 0.85, 1.0
    cx, cy = w / 2 + dx, (h - 2) / 2 + dy
    org = em_centered_origin(caption, csize, (cx, cy), cweight, ctrack)
    text = text_mask(size, org, caption, csize, cweight, ctrack)
    fill(img, shift(text.filter(ImageFilter.GaussianBlur(1.0)), 0, 1), (6, 36, 76), 0.40)
    fill(img, text, WHITE)

    # A chevron at the right end.
    chev_x = w - 34 + dx
    chev_y = cy
    chev = ss_mask(size, lambda d, s: d.line(
        scaled([(chev_x - 4, chev_y - 8), (chev_x + 4, chev_y), (chev_x - 4, chev_y + 8)], s),
        fill=255, width=int(2.4 * s), joint="curve"))
    fill(img, chev, WHITE, 0.85)
    return img


def light_button(size, state, radius):
    """The white, outlined button used by guide, reader and close."""
    w, h = size
    img = Image.new("RGB", size, WHITE)
    shape = rounded_rect_mask(size, (0, 0, w, h), radius)
    inner = rounded_rect_mask(size, (1, 1, w - 1, h - 1), radius - 1)
    border = {
        "normal": (178, 192, 210),
        "hover": BRAND,
        "pressed": (108, 136, 170),
    }[state]
    face = {
        "normal": [(0.0, (255, 255, 255)), (0.55, (250, 252, 254)), (1.0, (234, 240, 247))],
        "hover": [(0.0, (246, 251, 255)), (0.55, (234, 244, 253)), (1.0, (218, 234, 249))],
        "pressed": [(0.0, (210, 222, 236)), (0.5, (222, 232, 243)), (1.0, (230, 238, 247))],
    }[state]
    fill(img, shape, border)
    fill(img, inner, vertical_gradient(size, face))
    if state == "pressed":
        fill(img, inset_shadow(size, inner, 2, 1.4), (40, 66, 100), 0.35)
    else:
        top_line = mask_minus(inner, shift(inner, 0, 1))
        fill(img, top_line, WHITE, 0.9)
    return img


def book_glyph(size, origin, colour, img):
    """An open book, 24 x 18 pixels, top left at origin."""
    ox, oy = origin
    n = 12

    def page(mirror):
        # Top edge bows up from the spine, bottom edge follows it lower.
        top = cubic((11.2, 3.0), (8.5, 0.6), (4.0, 0.4), (0.6, 1.6), n)
        bottom = cubic((0.6, 15.6), (4.0, 14.4), (8.5, 14.6), (11.2, 17.0), n)
        pts = top + bottom
        if mirror:
            pts = [(24.0 - x, y) for x, y in pts]
        return [(ox + x, oy + y) for x, y in pts]

    def paint(d, s):
        d.polygon(scaled(page(False), s), fill=255)
        d.polygon(scaled(page(True), s), fill=255)

    fill(img, ss_mask(size, paint), colour)

    def lines(d, s):
        for i, y in enumerate((6.2, 9.6)):
            for mirror in (False, True):
                pts = cubic((3.0, y - 0.6), (5.0, y - 1.2), (7.5, y - 1.0), (9.2, y), 8)
                if mirror:
                    pts = [(24.0 - x, yy) for x, yy in pts]
                d.line(scaled([(ox + x, oy + yy) for x, yy in pts], s), fill=255, width=int(1.2 * s))

    fill(img, ss_mask(size, lines), WHITE, 0.8)


def draw_guide(state):
    w, h = GUIDE_RECT[2], GUIDE_RECT[3]
    size = (w, h)
    img = light_button(size, state, 6)
    d = 1 if state == "pressed" else 0
    caption = "ユーザーガイド (PDF)"
    csize, cweight = 14, 0.5
    tx0, _, tx1, _ = text_extent(caption, csize, cweight)
    glyph_w, gap = 24, 9
    group = glyph_w + gap + (tx1 - tx0)
    left = round(w / 2 - group / 2)
    colour = BRAND if state != "pressed" else BRAND_DARK
    book_glyph(size, (left + d, round(h / 2 - 9) + d), colour, img)
    org = em_centered_origin(caption, csize, (0, h / 2 + d), cweight)
    text_x = left + glyph_w + gap - tx0 + d
    fill(img, text_mask(size, (round(text_x), org[1]), caption, csize, cweight),
         BRAND_DARK if state != "hover" else BRAND)
    return img


def red_document(size, origin, img):
    """A small red document badge, 20 x 25, top left at origin, marked PDF."""
    ox, oy = origin
    W, H, fold = 20, 25, 6.5
    outline = [(0, 1.5), (1.5, 0), (W - fold, 0), (W, fold), (W, H - 1.5), (W - 1.5, H), (1.5, H), (0, H - 1.5)]
    doc = ss_mask(size, lambda d, s: d.polygon(scaled([(ox + x, oy + y) for x, y in outline], s), fill=255))
    grad = Image.new("RGB", size, RED)
    grad.paste(vertical_gradient((size[0], H), [(0.0, (232, 70, 62)), (1.0, RED_DARK)]), (0, oy))
    fill(img, doc, grad)
    corner = ss_mask(size, lambda d, s: d.polygon(
        scaled([(ox + W - fold, oy), (ox + W - fold, oy + fold), (ox + W, oy + fold)], s), fill=255))
    fill(img, corner, (250, 190, 182))
    # Two text lines at the top of the page and the letters PDF below.
    lines = ss_mask(size, lambda d, s: (
        d.line(scaled([(ox + 3.5, oy + 4.5), (ox + 10.5, oy + 4.5)], s), fill=255, width=int(1.2 * s)),
        d.line(scaled([(ox + 3.5, oy + 8.0), (ox + 16.0, oy + 8.0)], s), fill=255, width=int(1.2 * s)),
    ))
    fill(img, lines, WHITE, 0.6)
    org = centered_origin("PDF", 8, (ox + W / 2, oy + 17.0), weight=0.6, snap=False)
    fill(img, text_mask(size, org, "PDF", 8, weight=0.6), WHITE)


def draw_reader():
    w, h = READER_RECT[2], READER_RECT[3]
    size = (w, h)
    img = light_button(size, "normal", 6)
    red_document(size, (10, 5), img)
    line1, line2 = "Adobe Reader", "を入手"
    s1, s2 = 11, 11
    x0, _, x1, _ = text_extent(line1, s1, 0.5)
    tx = 10 + 20 + 7
    avail = w - tx - 6
    left = tx + (avail - (x1 - x0)) / 2
    org1 = em_centered_origin(line1, s1, (0, 12.5), 0.5)
    fill(img, text_mask(size, (round(left - x0), org1[1]), line1, s1, 0.5), INK)
    x0b, _, x1b, _ = text_extent(line2, s2, 0.25)
    org2 = em_centered_origin(line2, s2, (0, 25), 0.25)
    fill(img, text_mask(size, (round(left + ((x1 - x0) - (x1b - x0b)) / 2 - x0b), org2[1]), line2, s2, 0.25), INK_SOFT)
    return img


def draw_close(state):
    w, h = CLOSE_RECT[2], CLOSE_RECT[3]
    size = (w, h)
    img = light_button(size, state, 4)
    d = 1 if state == "pressed" else 0
    caption = "閉じる"
    org = em_centered_origin(caption, 12, (w / 2 + d, h / 2 + d), 0.25, 1.0)
    colour = {"normal": INK, "hover": BRAND, "pressed": darken(INK, 0.2)}[state]
    fill(img, text_mask(size, org, caption, 12, 0.25, 1.0), colour)
    return img


# ---------------------------------------------------------------------------
# Review sheets


def draw_preview(background, buttons, icon32):
    img = background.copy()
    for name, rect in (("install", INSTALL_RECT), ("guide", GUIDE_RECT), ("close", CLOSE_RECT)):
        img.paste(buttons[name + "_normal"], rect[:2])
    img.paste(buttons["reader"], READER_RECT[:2])
    img.paste(icon32, INSTALL_RECT[:2], icon32)
    # The check box as the program paints it: white background, classic box.
    x, y, cw, ch = CHECKBOX_RECT
    img.paste(WHITE, (x, y, x + cw, y + ch))
    box_y = y + (ch - 13) // 2
    d = ImageDraw.Draw(img)
    d.rectangle((x, box_y, x + 12, box_y + 12), outline=(112, 112, 112), fill=WHITE)
    label = "インストール先フォルダーを選択する"
    ui = font(12, UI_FONT_PATH)
    d.text((x + 17, y + ch / 2), label, font=ui, fill=BLACK, anchor="lm")
    # Version label: right aligned, centred in its height, dark grey.
    d.text((VERSION_RIGHT, VERSION_TOP + VERSION_HEIGHT / 2), VERSION_TEXT, font=ui,
           fill=(64, 64, 64), anchor="rm")
    return img


def draw_states(buttons):
    rows = [
        ("install", ["install_normal", "install_pressed", "install_hover"]),
        ("guide", ["guide_normal", "guide_pressed", "guide_hover"]),
        ("close", ["close_normal", "close_pressed", "close_hover"]),
        ("reader", ["reader"]),
    ]
    pad, label_h = 20, 18
    col_w = max(b.width for b in buttons.values())
    width = pad + 3 * (col_w + pad)
    height = pad + sum(label_h + buttons[names[0]].height + pad for _, names in rows)
    img = Image.new("RGB", (width, height), (255, 255, 255))
    d = ImageDraw.Draw(img)
    f = font(11)
    y = pad
    for _, names in rows:
        for i, name in enumerate(names):
            x = pad + i * (col_w + pad)
            d.text((x, y), name, font=f, fill=INK_SOFT)
            b = buttons[name]
            # A light frame shows where each bitmap ends.
            d.rectangle((x - 1, y + label_h - 1, x + b.width, y + label_h + b.height), outline=(236, 238, 242))
            img.paste(b, (x, y + label_h))
        y += label_h + buttons[names[0]].height + pad
    return img


# ---------------------------------------------------------------------------
# Checks of the written files


def read_bmp8(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    (hsize, w, h, planes, bits, compression, _, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    assert magic == b"BM" and file_size == len(data), path
    assert hsize == 40 and planes == 1 and bits == 8 and compression == 0 and used == 256, path
    assert offset == 14 + 40 + 1024, path
    img = Image.open(io.BytesIO(data))
    img.load()
    assert img.mode == "P" and img.size == (w, h), path
    return img.convert("RGB")


def check_bitmaps(sizes):
    """Parses each BMP back and checks the whites that other parts rely on."""
    out = {}
    for name, size in sizes.items():
        img = read_bmp8(os.path.join(RES, name + ".bmp"))
        assert img.size == size, (name, img.size)
        out[name] = img
    bg = out["background"]
    px = bg.load()
    x0, y0, x1, y1 = CHECKBOX_WHITE_BAND
    for y in range(y0, y1):
        for x in range(x0, x1):
            assert px[x, y] == WHITE, ("check box band not white", x, y, px[x, y])
    # The whole body, where every button sits, is plain white.
    for y in range(BODY_TOP, WINDOW[1]):
        if y == FOOTER_RULE_Y:
            continue
        for x in range(0, 640):
            if y >= FOOTER_RULE_Y and x < 140:
                continue  # the copyright line
            if 205 <= y < 240 and 100 <= x < 540:
                continue  # the hint above the install button
            assert px[x, y] == WHITE, ("body not white", x, y, px[x, y])
    # Each button's corner pixels equal the background under them.
    for prefix, rect in (("install", INSTALL_RECT), ("guide", GUIDE_RECT), ("close", CLOSE_RECT), ("reader", READER_RECT)):
        x, y, w, h = rect
        for name in [n for n in out if n.startswith(prefix)]:
            b = out[name].load()
            for cx, cy in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
                assert b[cx, cy] == px[x + cx, y + cy] == WHITE, (name, cx, cy, b[cx, cy])
    return out


def check_icon(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert reserved == 0 and kind == 1 and count == 7, (kind, count)
    seen = []
    for i in range(count):
        w, h, colors, res, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        blob = data[offset : offset + size]
        assert len(blob) == size and res == 0 and planes == 1
        w, h = w or 256, h or 256
        if blob[:8] == b"\x89PNG\r\n\x1a\n":
            png = Image.open(io.BytesIO(blob))
            assert png.size == (256, 256) and png.mode == "RGBA" and bits == 32
            seen.append((256, "png"))
            continue
        (hsize, bw, bh, bplanes, bbits, comp, isize, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", blob, 0)
        assert hsize == 40 and bw == w and bh == 2 * h and bplanes == 1 and comp == 0 and bbits == bits
        palette = 1024 if bits == 8 else 0
        xor = ((w * bits // 8) + 3 & ~3) * h
        andm = ((w + 31) // 32) * 4 * h
        assert size == 40 + palette + xor + andm and isize == xor + andm, (w, bits)
        if bits == 8:
            assert colors == 0 and used == 256
        seen.append((w, bits))
    assert sorted(seen, key=str) == sorted(
        [(48, 8), (32, 8), (16, 8), (48, 32), (32, 32), (16, 32), (256, "png")], key=str
    ), seen
    # PIL reads it as an icon too.
    ico = Image.open(path)
    assert set(ico.info["sizes"]) == {(16, 16), (32, 32), (48, 48), (256, 256)}


# ---------------------------------------------------------------------------


def main():
    background = draw_background()
    buttons = {}
    for state in ("normal", "pressed", "hover"):
        buttons["install_" + state] = draw_install(state)
        buttons["guide_" + state] = draw_guide(state)
        buttons["close_" + state] = draw_close(state)
    buttons["reader"] = draw_reader()

    # Gradients of the header read smoother with error diffusion; the buttons'
    # small gradients and text are cleaner without it.
    write(os.path.join(RES, "background.bmp"), bmp8_bytes(quantize(background, [WHITE, RULE], header_region())))
    for name, img in buttons.items():
        write(os.path.join(RES, name + ".bmp"), bmp8_bytes(quantize(img, [WHITE])))

    # The icon: 256 as PNG, 48/32/16 at 8 and at 32 bits per pixel.
    icons = {}
    icons[256] = render_icon(256, edge=256 / 64, shadow=True)
    # Small sizes: whole-pixel rim and edge on a snapped shield.
    for n, rim, edge in ((48, 2, 1), (32, 2, 0), (16, 1, 0)):
        k = 8
        big = render_icon(n * k, rim=rim * k, edge=edge * k, grid=k)
        icons[n] = big.resize((n, n), Image.BOX)
    entries = []
    for n in (48, 32, 16):
        indexed, and_mask = icon_to_indexed(icons[n])
        entries.append((n, n, 0, 8, ico_dib8(indexed, and_mask)))
    for n in (48, 32, 16):
        entries.append((n, n, 0, 32, ico_dib32(icons[n])))
    entries.append((256, 256, 0, 32, png_bytes(icons[256])))
    write(os.path.join(RES, "app.ico"), ico_bytes(entries))

    sizes = {"background": WINDOW}
    sizes.update({name: img.size for name, img in buttons.items()})
    written = check_bitmaps(sizes)
    check_icon(os.path.join(RES, "app.ico"))

    # Review sheets, from the written (indexed) files.
    preview = draw_preview(written["background"], written, icons[32])
    preview.save(os.path.join(HERE, "preview.png"), optimize=False, compress_level=9)
    states = draw_states({k: v for k, v in written.items() if k != "background"})
    states.save(os.path.join(HERE, "states.png"), optimize=False, compress_level=9)
    return 0


if __name__ == "__main__":
    sys.exit(main())
