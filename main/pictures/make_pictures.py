#!/usr/bin/python3
"""Draws the skin of VelnorAgent's main window.

Run with Debian's python3 and python3-pil (fonts from fonts-dejavu-core):

    /usr/bin/python3 main/pictures/make_pictures.py [--preview DIR]

The pictures are written next to this script and committed, so building the
program never needs Python. The output is byte-for-byte the same on every run:
no time stamps, fixed JPEG settings, no randomness.

Every picture is drawn at the place where the window shows it: the panel skins
are drawn first, and the pictures that lie on top of them (strips, marks,
button faces, animations) start from a crop of the skin under them, so their
edges blend in. Flat buttons draw nothing, so each button face, with its key,
is painted into the skin under it.

With --preview DIR the script also writes composites of the whole window to DIR
for a person to look at (they are not part of the skin).
"""

import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

JPEG_QUALITY = 92

# ---------------------------------------------------------------------------
# Palette: dark slate around the memos (40,45,51) and the event list (68,78,90),
# lime for keys and accents, amber for warnings, red for failures.

BG = (27, 32, 40)            # window base
COLUMN = (33, 40, 50)        # menu column
STATUS = (21, 25, 32)        # indicator band at the top of the tools panel
PANEL_TOP = (35, 42, 52)
PANEL_BOTTOM = (28, 34, 42)
CARD = (42, 50, 62)          # cards behind the stage rows and the help columns
MEMO = (40, 45, 51)          # memos: drawn by the program in this colour
LIST = (68, 78, 90)          # event list: drawn by the program in this colour
EDGE = (74, 89, 108)
EDGE_DARK = (16, 19, 24)
TEXT = (238, 242, 246)
MUTED = (150, 163, 180)
DIM = (104, 116, 132)
LIME = (132, 226, 64)
LIME_DARK = (74, 140, 34)
BTN_TOP = (72, 88, 109)
BTN_BOTTOM = (49, 61, 77)
BTN_EDGE = (104, 124, 150)
KEY_BG = (24, 29, 36)
GREEN = (44, 150, 72)
GREEN_DARK = (26, 98, 46)
AMBER = (222, 152, 26)
AMBER_DARK = (150, 96, 10)
RED = (196, 50, 44)
RED_DARK = (122, 26, 24)
WHITE = (255, 255, 255)

# ---------------------------------------------------------------------------
# Fonts

_fonts = {}


def font(style, size):
    names = {
        "sans": "DejaVuSans.ttf",
        "bold": "DejaVuSans-Bold.ttf",
        "cond": "DejaVuSansCondensed.ttf",
        "condb": "DejaVuSansCondensed-Bold.ttf",
        "mono": "DejaVuSansMono.ttf",
        "monob": "DejaVuSansMono-Bold.ttf",
    }
    key = (style, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(os.path.join(FONT_DIR, names[style]), size)
    return _fonts[key]


def text_width(text, fnt):
    return fnt.getlength(text)


def text(img, xy, s, fnt, fill, anchor="la", limit=None):
    """Draws s; with limit, fails when the text is wider than that many pixels,
    so a label that does not fit its button is caught while drawing."""
    if limit is not None and text_width(s, fnt) > limit:
        raise ValueError("text %r is %.1f px wide, room for %d" % (s, text_width(s, fnt), limit))
    ImageDraw.Draw(img).text(xy, s, font=fnt, fill=fill, anchor=anchor)


def vcentre(fnt, top, height):
    """Top y that centres the capital letters of fnt in a band."""
    cap_t = fnt.getbbox("H")[1]
    cap_b = fnt.getbbox("H")[3]
    return top + (height - (cap_b - cap_t)) / 2.0 - cap_t


# ---------------------------------------------------------------------------
# Shapes. Curved shapes are drawn into a four-times-larger mask and shrunk, so
# their edges are smooth.

SS = 4


def mask_of(size, painter):
    w, h = size
    m = Image.new("L", (w * SS, h * SS), 0)
    painter(ImageDraw.Draw(m), SS)
    return m.resize((w, h), Image.BOX)


def fill_mask(img, origin, mask, colour):
    if isinstance(colour, Image.Image):
        img.paste(colour, origin, mask)
    else:
        img.paste(colour, (origin[0], origin[1], origin[0] + mask.size[0], origin[1] + mask.size[1]), mask)


def gradient(size, top, bottom):
    w, h = size
    g = Image.new("RGB", (1, h))
    for y in range(h):
        f = y / max(1, h - 1)
        g.putpixel((0, y), tuple(int(round(top[i] + (bottom[i] - top[i]) * f)) for i in range(3)))
    return g.resize((w, h), Image.NEAREST)


def round_rect(img, box, radius, fill, outline=None, width=1):
    """Anti-aliased rounded rectangle; box is (x0, y0, x1, y1) with x1, y1 exclusive.
    fill may be a colour or an image of the box's size (a gradient)."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    if outline is not None:
        m = mask_of((w, h), lambda d, s: d.rounded_rectangle((0, 0, w * s - 1, h * s - 1), radius * s, fill=255))
        fill_mask(img, (x0, y0), m, outline)
        inner = (x0 + width, y0 + width, x1 - width, y1 - width)
        if isinstance(fill, Image.Image):
            fill = fill.crop((width, width, w - width, h - width))
        round_rect(img, inner, max(0, radius - width), fill)
        return
    m = mask_of((w, h), lambda d, s: d.rounded_rectangle((0, 0, w * s - 1, h * s - 1), radius * s, fill=255))
    fill_mask(img, (x0, y0), m, fill)


def shape(img, box, colour, painter):
    """Paints colour through a smooth mask that painter(draw, scale, w, h) draws
    in the box's own coordinates, multiplied by scale."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    m = mask_of((w, h), lambda d, s: painter(d, s, w, h))
    fill_mask(img, (x0, y0), m, colour)


def hline(img, x0, x1, y, colour):
    ImageDraw.Draw(img).line((x0, y, x1 - 1, y), fill=colour)


def vline(img, x, y0, y1, colour):
    ImageDraw.Draw(img).line((x, y0, x, y1 - 1), fill=colour)


def rect(img, box, colour):
    x0, y0, x1, y1 = box
    ImageDraw.Draw(img).rectangle((x0, y0, x1 - 1, y1 - 1), fill=colour)


def frame(img, box, colour):
    x0, y0, x1, y1 = box
    ImageDraw.Draw(img).rectangle((x0, y0, x1 - 1, y1 - 1), outline=colour)


def sunken(img, box, colour):
    """A flat area of colour with a one-pixel sunken edge around it."""
    x0, y0, x1, y1 = box
    rect(img, box, colour)
    hline(img, x0 - 1, x1 + 1, y0 - 1, EDGE_DARK)
    vline(img, x0 - 1, y0 - 1, y1 + 1, EDGE_DARK)
    hline(img, x0 - 1, x1 + 1, y1, EDGE)
    vline(img, x1, y0 - 1, y1 + 1, EDGE)


# ---------------------------------------------------------------------------
# Glyphs


def check_mark(img, box, colour, weight=0.16):
    def paint(d, s, w, h):
        pts = [(0.18 * w * s, 0.53 * h * s), (0.42 * w * s, 0.76 * h * s), (0.83 * w * s, 0.26 * h * s)]
        d.line(pts, fill=255, width=max(1, int(weight * min(w, h) * s)), joint="curve")
    shape(img, box, colour, paint)


def cross_mark(img, box, colour, weight=0.16):
    def paint(d, s, w, h):
        lw = max(1, int(weight * min(w, h) * s))
        d.line((0.25 * w * s, 0.25 * h * s, 0.75 * w * s, 0.75 * h * s), fill=255, width=lw)
        d.line((0.75 * w * s, 0.25 * h * s, 0.25 * w * s, 0.75 * h * s), fill=255, width=lw)
    shape(img, box, colour, paint)


def refresh_arrows(img, box, colour, weight=0.12, heads=0.30):
    """Two curved arrows chasing each other round a circle."""
    def paint(d, s, w, h):
        cx, cy = w * s / 2.0, h * s / 2.0
        r = min(w, h) * s * 0.34
        lw = max(1, int(min(w, h) * s * weight))
        hs = min(w, h) * s * heads
        for start in (200, 20):
            end = start + 125
            d.arc((cx - r, cy - r, cx + r, cy + r), start, end, fill=255, width=lw)
            # arrow head at the end of the arc, pointing along the circle
            a = math.radians(end)
            px, py = cx + r * math.cos(a), cy + r * math.sin(a)
            tx, ty = -math.sin(a), math.cos(a)          # direction of travel
            nx, ny = math.cos(a), math.sin(a)           # outwards
            tip = (px + tx * hs * 0.75, py + ty * hs * 0.75)
            b1 = (px + nx * hs * 0.55, py + ny * hs * 0.55)
            b2 = (px - nx * hs * 0.55, py - ny * hs * 0.55)
            d.polygon([tip, b1, b2], fill=255)
    shape(img, box, colour, paint)


def triangle(img, box, colour, direction):
    def paint(d, s, w, h):
        W, H = w * s, h * s
        pts = {
            "right": [(0, 0), (W, H / 2.0), (0, H)],
            "left": [(W, 0), (0, H / 2.0), (W, H)],
            "up": [(0, H), (W / 2.0, 0), (W, H)],
            "down": [(0, 0), (W / 2.0, H), (W, 0)],
        }[direction]
        d.polygon(pts, fill=255)
    shape(img, box, colour, paint)


def disc(img, box, colour):
    shape(img, box, colour, lambda d, s, w, h: d.ellipse((0, 0, w * s - 1, h * s - 1), fill=255))


def ring(img, box, colour, weight):
    shape(img, box, colour, lambda d, s, w, h: d.ellipse((0, 0, w * s - 1, h * s - 1), outline=255, width=int(weight * s)))


def move_glyph(img, cx, cy, colour):
    """Four arrows: this panel can be dragged."""
    for direction, (dx, dy) in (("up", (0, -1)), ("down", (0, 1)), ("left", (-1, 0)), ("right", (1, 0))):
        x, y = cx + dx * 6, cy + dy * 6
        triangle(img, (x - 3, y - 3, x + 4, y + 4), colour, direction)
    rect(img, (cx - 4, cy, cx + 5, cy + 1), colour)
    rect(img, (cx, cy - 4, cx + 1, cy + 5), colour)


def hourglass(img, box, colour):
    def paint(d, s, w, h):
        W, H = w * s, h * s
        d.polygon([(0.2 * W, 0.1 * H), (0.8 * W, 0.1 * H), (0.5 * W, 0.5 * H)], fill=255)
        d.polygon([(0.5 * W, 0.5 * H), (0.8 * W, 0.9 * H), (0.2 * W, 0.9 * H)], fill=255)
        d.rectangle((0.12 * W, 0.02 * H, 0.88 * W, 0.12 * H), fill=255)
        d.rectangle((0.12 * W, 0.88 * H, 0.88 * W, 0.98 * H), fill=255)
    shape(img, box, colour, paint)


def signal_logo(img, x, y, size, colour):
    """The provider's mark: a dot with three waves."""
    def paint(d, s, w, h):
        W = w * s
        cx, cy = 0.2 * W, 0.8 * W
        d.ellipse((cx - 0.1 * W, cy - 0.1 * W, cx + 0.1 * W, cy + 0.1 * W), fill=255)
        for k in (0.35, 0.55, 0.75):
            r = k * W
            d.arc((cx - r, cy - r, cx + r, cy + r), 270, 360, fill=255, width=int(0.09 * W))
    shape(img, (x, y, x + size, y + size), colour, paint)


# ---------------------------------------------------------------------------
# Buttons: a raised face with the action on the left and a darker key segment
# on the right, so each button says what it does and which key runs it.


def button(img, box, label, key=None, key_width=None, face=(BTN_TOP, BTN_BOTTOM), edge=BTN_EDGE,
           label_colour=TEXT, key_colour=LIME, label_font=None, key_font=None):
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    round_rect(img, box, 5, gradient((w, h), face[0], face[1]), outline=edge)
    hline(img, x0 + 4, x1 - 4, y0 + 1, tuple(min(255, c + 28) for c in face[0]))
    label_font = label_font or font("condb", 12)
    key_font = key_font or font("condb", 11)
    right = x1
    if key:
        kw = key_width or int(text_width(key, key_font) + 10)
        kx0 = x1 - kw
        seg = Image.new("RGB", (kw - 1, h - 2), KEY_BG)
        m = mask_of((kw - 1, h - 2), lambda d, s: d.rounded_rectangle(
            (-8 * s, 0, (kw - 1) * s - 1, (h - 2) * s - 1), 4 * s, fill=255))
        img.paste(seg, (kx0, y0 + 1), m)
        vline(img, kx0 - 1, y0 + 2, y1 - 2, EDGE_DARK)
        text(img, (kx0 + (kw - 1) / 2.0, vcentre(key_font, y0, h)), key, key_font, key_colour, "ma",
             limit=kw - 3)
        right = kx0 - 1
    text(img, ((x0 + right) / 2.0, vcentre(label_font, y0, h)), label, label_font, label_colour, "ma",
         limit=right - x0 - 3)


def key_cap(img, x, y, key, fnt=None, colour=LIME, min_width=0):
    """A small key drawn inline in help texts; returns its right edge."""
    fnt = fnt or font("condb", 11)
    w = max(min_width, int(text_width(key, fnt) + 10))
    h = 17
    round_rect(img, (x, y, x + w, y + h), 3, KEY_BG, outline=EDGE)
    text(img, (x + w / 2.0, vcentre(fnt, y, h)), key, fnt, colour, "ma")
    return x + w


def heading(img, x, y, s, x_end, colour=LIME, fnt=None, note=None):
    """A group heading with a thin rule running to x_end, or to a note that
    ends at x_end."""
    fnt = fnt or font("bold", 11)
    text(img, (x, y), s, fnt, colour)
    tw = text_width(s, fnt)
    top, bottom = fnt.getbbox("H")[1], fnt.getbbox("H")[3]
    mid = int(y + top + (bottom - top) / 2)
    end = x_end
    if note:
        nf = font("cond", 10)
        text(img, (x_end, mid - (nf.getbbox("x")[1] + nf.getbbox("x")[3]) / 2.0), note, nf, MUTED, "ra")
        end = int(x_end - text_width(note, nf) - 8)
    hline(img, int(x + tw + 8), end, mid, EDGE)


# ---------------------------------------------------------------------------
# Header 800x43


def make_header():
    img = gradient((800, 43), (44, 54, 68), (26, 31, 39))
    hline(img, 0, 800, 41, LIME_DARK)
    hline(img, 0, 800, 42, EDGE_DARK)
    signal_logo(img, 12, 9, 24, LIME)
    text(img, (44, vcentre(font("bold", 16), 0, 41)), "Velnor Network Agent", font("bold", 16), TEXT)
    tx = 44 + text_width("Velnor Network Agent", font("bold", 16)) + 12
    text(img, (tx, vcentre(font("sans", 11), 1, 41)), "connection check and repair", font("sans", 11), MUTED)
    text(img, (740, vcentre(font("sans", 10), 1, 41)), "drag to move", font("sans", 10), DIM, "ra")
    # minimize at 748,15 and close at 770,15, each 17x16
    round_rect(img, (748, 15, 765, 31), 3, (58, 70, 88), outline=(96, 114, 138))
    rect(img, (752, 25, 761, 27), WHITE)
    round_rect(img, (770, 15, 787, 31), 3, (150, 44, 40), outline=(206, 92, 86))
    cross_mark(img, (772, 16, 785, 29), WHITE, weight=0.18)
    return img


# ---------------------------------------------------------------------------
# Background 800x600: menu column on the right, help view on the left.

MENU_TOP = 94          # the two entries: 94..164 tools, 164..234 automatic test
MENU_ENTRY_H = 70


def tools_icon(img, x, y, colour):
    """Three sliders: settings and tools."""
    for i, knob in enumerate((0.3, 0.7, 0.45)):
        yy = y + 3 + i * 7
        rect(img, (x, yy, x + 22, yy + 2), colour)
        kx = x + int(knob * 22)
        round_rect(img, (kx - 3, yy - 2, kx + 4, yy + 4), 2, colour)


def auto_icon(img, x, y, colour):
    """A play sign in a ring: start the test."""
    ring(img, (x, y, x + 22, y + 22), colour, 2)
    triangle(img, (x + 8, y + 6, x + 16, y + 16), colour, "right")


def draw_menu_entry(img, top, title, key, icon, highlighted):
    x0, x1 = 657, 800
    y0, y1 = top, top + MENU_ENTRY_H
    if highlighted:
        img.paste(gradient((x1 - x0, y1 - y0), (60, 78, 100), (44, 57, 74)), (x0, y0))
        rect(img, (x0, y0, x0 + 4, y1), LIME)
        colour, sub = LIME, TEXT
    else:
        rect(img, (x0, y0, x1, y1), COLUMN)
        colour, sub = TEXT, MUTED
    hline(img, x0, x1, y1 - 1, EDGE_DARK)
    hline(img, x0, x1, y0, (52, 62, 76))
    icon(img, 728 - 11, y0 + 7, colour)
    text(img, (728, y0 + 33), title, font("bold", 13), colour, "ma", limit=138)
    s = "key " + key + " in help view"
    text(img, (728, y0 + 52), s, font("cond", 10), sub, "ma", limit=138)


def draw_menu(img, highlight=None):
    draw_menu_entry(img, MENU_TOP, "Network Tools", "F2", tools_icon, highlight == "tools")
    draw_menu_entry(img, MENU_TOP + MENU_ENTRY_H, "Auto Test", "F1", auto_icon, highlight == "auto")


def draw_refresh_icon(img, hover):
    # 705,252 50x50
    box = (707, 254, 753, 300)
    if hover:
        disc(img, box, (58, 92, 44))
        ring(img, box, LIME, 2)
        refresh_arrows(img, (711, 258, 749, 296), (190, 255, 120))
    else:
        disc(img, box, (44, 54, 68))
        ring(img, box, EDGE, 1.5)
        refresh_arrows(img, (711, 258, 749, 296), LIME)


def draw_help_icon(img, hover):
    # 707,478 40x40
    box = (709, 480, 745, 516)
    if hover:
        disc(img, box, (58, 92, 44))
        ring(img, box, LIME, 2)
        colour = (200, 255, 140)
    else:
        disc(img, box, (44, 54, 68))
        ring(img, box, EDGE, 1.5)
        colour = TEXT
    text(img, (727, vcentre(font("bold", 22), 480, 36)), "?", font("bold", 22), colour, "ma")


HELP_TOOLS = [
    ("Num 1", "IP Address"),
    ("Num 2", "MAC Address"),
    ("Num 3", "DNS Server"),
    ("Num 4", "Default Gateway"),
    ("F1", "Network Connections"),
    ("F2", "Internet Options"),
    ("F3", "Firewall on/off  *"),
    ("F4", "IP Config"),
    ("F5", "Flush DNS"),
    ("F6", "Repair (renew lease)"),
    ("F7", "Ping Gateway"),
    ("F8", "Ping Velnor"),
    ("F9", "Ping Tehran (national backbone)"),
    ("F10", "Ping Backbone"),
    ("F11", "Trace Route"),
    ("F12", "Ping Google"),
    ("Esc", "Slide the output panel in"),
]


def draw_help_view(img):
    # the left area 0..657 x 43..575 shows when neither panel is shown
    img.paste(gradient((657, 532), PANEL_TOP, PANEL_BOTTOM), (0, 43))
    text(img, (30, 56), "Help: keyboard and mouse", font("bold", 18), TEXT)
    text(img, (30, 82), "Choose a panel in the menu on the right, or press its key. "
         "Every button shows its key.", font("sans", 11), MUTED)

    # left card: the tools panel's keys
    round_rect(img, (24, 106, 330, 558), 6, CARD, outline=(58, 70, 86))
    heading(img, 38, 116, "Network Tools panel", 318)
    y = 140
    for key, action in HELP_TOOLS:
        key_cap(img, 40, y, key, min_width=44)
        text(img, (94, vcentre(font("sans", 12), y, 17)), action, font("sans", 12), TEXT, limit=230)
        y += 24

    # right card: the other views and the mouse
    round_rect(img, (344, 106, 634, 558), 6, CARD, outline=(58, 70, 86))
    x = 358
    heading(img, x, 116, "Auto Test panel", 622)
    r = key_cap(img, x + 2, 140, "Enter")
    text(img, (r + 6, vcentre(font("sans", 12), 140, 17)), "or", font("sans", 12), MUTED)
    r = key_cap(img, r + 24, 140, "F1")
    text(img, (r + 8, vcentre(font("sans", 12), 140, 17)), "Start the test", font("sans", 12), TEXT)

    heading(img, x, 178, "Help view (this page)", 622)
    key_cap(img, x + 2, 202, "F1", min_width=30)
    text(img, (x + 42, vcentre(font("sans", 12), 202, 17)), "Auto Test", font("sans", 12), TEXT)
    key_cap(img, x + 2, 226, "F2", min_width=30)
    text(img, (x + 42, vcentre(font("sans", 12), 226, 17)), "Network Tools", font("sans", 12), TEXT)

    heading(img, x, 258, "Report (in every view)", 622)
    r = key_cap(img, x + 2, 280, "Ctrl+S", min_width=50)
    text(img, (r + 8, vcentre(font("sans", 12), 280, 17)), "Save it to the desktop", font("sans", 12), TEXT)
    r = key_cap(img, x + 2, 302, "Ctrl+C", min_width=50)
    text(img, (r + 8, vcentre(font("sans", 12), 302, 17)), "Copy it for support", font("sans", 12), TEXT)

    heading(img, x, 328, "Mouse", 622)
    lines = [
        "Click a button to run it.",
        "Click the OUTPUT strip at the left edge",
        "of the tools panel to slide the command",
        "output out or back in.",
        "Refresh reads the adapters again.",
        "Click ? to come back to this page.",
        "Drag the title bar to move the window.",
    ]
    y = 350
    for s in lines:
        text(img, (x + 2, y), s, font("sans", 11), TEXT, limit=268)
        y += 15

    heading(img, x, 456, "Firewall", 622, colour=AMBER)
    for i, s in enumerate([
        "* The firewall switch needs administrator",
        "rights. Start the agent as administrator",
        "to use it; otherwise the button shows",
        "\"admin only\" and does nothing.",
    ]):
        text(img, (x + 2, 478 + i * 15), s, font("sans", 11), TEXT, limit=268)
    text(img, (x + 2, 540), "velnor.net  -  customer support", font("sans", 10), MUTED)


def make_background():
    img = Image.new("RGB", (800, 600), BG)
    draw_help_view(img)
    # footer under the panels
    rect(img, (0, 575, 657, 600), (23, 27, 34))
    hline(img, 0, 657, 575, EDGE_DARK)
    text(img, (14, vcentre(font("sans", 10), 575, 25)),
         "Velnor Network Agent  -  checks your connection from this computer to the internet",
         font("sans", 10), DIM)
    # menu column
    rect(img, (657, 43, 800, 600), COLUMN)
    vline(img, 657, 43, 600, EDGE_DARK)
    vline(img, 658, 43, 600, (46, 55, 68))
    text(img, (728, 56), "MENU", font("bold", 11), MUTED, "ma")
    text(img, (728, 73), "click an entry", font("cond", 10), DIM, "ma")
    draw_menu(img)
    draw_refresh_icon(img, False)
    text(img, (730, 304), "Refresh", font("bold", 11), TEXT, "ma")
    text(img, (730, 319), "read adapters again", font("cond", 10), MUTED, "ma")
    # a few words in the empty middle of the column
    for i, s in enumerate(["Each button shows", "its key. Click ?", "for the key list."]):
        text(img, (728, 372 + i * 15), s, font("cond", 10), DIM, "ma")
    text(img, (727, 462), "Help", font("bold", 11), TEXT, "ma")
    draw_help_icon(img, False)
    # provider site link at 685,524 86x45
    round_rect(img, (686, 525, 770, 568), 6, (40, 50, 62), outline=(62, 76, 94))
    signal_logo(img, 695, 531, 13, LIME)
    text(img, (712, 529), "VELNOR", font("bold", 12), LIME, limit=56)
    text(img, (728, 549), "velnor.net", font("sans", 11), TEXT, "ma")
    hline(img, 700, 757, 562, MUTED)
    return img


def make_menu_hover(background, which):
    img = background.crop((657, 0, 800, 600)).copy()
    full = Image.new("RGB", (800, 600))
    full.paste(img, (657, 0))
    draw_menu(full, which)
    return full.crop((657, 94, 800, 234))


def make_icon_hover(background, draw, box):
    full = background.copy()
    draw(full, True)
    return full.crop(box)


# ---------------------------------------------------------------------------
# Tools panel 657x534 (panel coordinates; the panel sits at 0,43)

ADDR_KEY_W = 34
FKEY_W = 32

TOOL_BUTTONS = [
    # (x, y, w, h, label, key)
    (89, 125, 114, 30, "IP Address", "Num 1"),
    (212, 125, 114, 30, "MAC Address", "Num 2"),
    (333, 125, 114, 30, "DNS Server", "Num 3"),
    (453, 125, 114, 30, "Gateway", "Num 4"),
    (89, 205, 158, 30, "Connections", "F1"),
    (250, 205, 158, 30, "Internet Options", "F2"),
    (411, 205, 158, 31, "Firewall On/Off", "F3"),
    (89, 244, 158, 30, "IP Config", "F4"),
    (250, 244, 158, 31, "Flush DNS", "F5"),
    (411, 244, 158, 31, "Repair", "F6"),
    (88, 325, 158, 30, "Ping Gateway", "F7"),
    (249, 325, 158, 30, "Ping Velnor", "F8"),
    (411, 325, 158, 30, "Ping Tehran", "F9"),
    (89, 365, 158, 30, "Ping Backbone", "F10"),
    (250, 365, 158, 30, "Trace Route", "F11"),
    (412, 365, 158, 30, "Ping Google", "F12"),
    (89, 443, 158, 30, "Gateway Page", None),
    (250, 443, 158, 30, "Velnor Site", None),
    (411, 443, 158, 30, "Google Site", None),
]


def tool_button(img, x, y, w, h, label, key, **kw):
    if key and key.startswith("Num"):
        button(img, (x, y, x + w, y + h), label, key, key_width=ADDR_KEY_W,
               label_font=font("condb", 11), key_font=font("condb", 9), **kw)
    elif key:
        button(img, (x, y, x + w, y + h), label, key, key_width=FKEY_W, **kw)
    else:
        button(img, (x, y, x + w, y + h), "\u2197 " + label, **kw)


def make_util_back():
    img = gradient((657, 534), PANEL_TOP, PANEL_BOTTOM)
    # indicator band: VPN at 11,6, busy sign at 307,8, proxy at 445,7
    rect(img, (0, 0, 657, 42), STATUS)
    hline(img, 0, 657, 42, EDGE_DARK)
    hline(img, 0, 657, 43, (46, 56, 70))
    # result area: the address appears at y 70, centred
    round_rect(img, (40, 50, 617, 108), 6, (24, 29, 36), outline=(58, 70, 86))
    text(img, (52, 54), "ADDRESS OF THE CURRENT ADAPTER", font("bold", 9), MUTED)
    text(img, (605, 54), "pick one below", font("cond", 9), DIM, "ra")

    heading(img, 89, 111, "Your address", 567, note="shown in the box above")
    heading(img, 89, 187, "Windows settings", 569, note="the firewall switch needs administrator rights")
    heading(img, 88, 307, "Ping tests", 570, note="output slides out; the result strip shows below")
    heading(img, 89, 425, "Web pages", 569, note="open in your browser")
    for (x, y, w, h, label, key) in TOOL_BUTTONS:
        tool_button(img, x, y, w, h, label, key)

    # the result strips of the ping tools are drawn over this slot
    sunken(img, (64, 494, 594, 527), (24, 29, 36))
    return img


def make_fw_picture(util_back, off):
    # imgFWOff 163x36 / imgFWDisable 162x36 at 408,201; the button lies at 411,205
    w = 163 if off else 162
    img = util_back.crop((408, 201, 408 + w, 237))
    if off:
        button(img, (3, 4, 161, 35), "Firewall is OFF", "F3", key_width=FKEY_W,
               face=((176, 58, 50), (120, 30, 26)), edge=(226, 110, 100), label_colour=WHITE,
               key_colour=(255, 200, 80))
    else:
        button(img, (3, 4, 161, 35), "Firewall: admin only", "F3", key_width=FKEY_W,
               face=((70, 74, 80), (56, 59, 64)), edge=(96, 100, 106), label_colour=(156, 160, 166),
               key_colour=(110, 114, 120), label_font=font("condb", 11))
    return img


def tool_strip(util_back, y, kind, verdict, numbers):
    """530x32 strip at 64,y of the tools panel. With numbers, the program writes
    the average time at picture x 85..116 and the success rate at 227..254."""
    img = util_back.crop((64, y, 594, y + 32))
    face = {"ok": (GREEN, GREEN_DARK), "warn": (AMBER, AMBER_DARK), "fail": (RED, RED_DARK)}[kind]
    round_rect(img, (0, 0, 530, 32), 6, gradient((530, 32), face[0], face[1]),
               outline=tuple(min(255, c + 50) for c in face[0]))
    f = font("bold", 12)
    ty = vcentre(f, 0, 32)
    dark = tuple(max(0, c - 30) for c in face[1])
    if numbers:
        text(img, (80, ty), "Average:", f, WHITE, "ra")
        round_rect(img, (83, 6, 119, 27), 3, dark)
        text(img, (122, ty), "ms", f, WHITE)
        text(img, (222, ty), "Success:", f, WHITE, "ra")
        round_rect(img, (225, 6, 257, 27), 3, dark)
        text(img, (260, ty), "%", f, WHITE)
        vline(img, 282, 6, 27, tuple(min(255, c + 40) for c in face[0]))
        icon = (296, 7, 314, 25)
        vx = 322
    else:
        icon = (12, 7, 30, 25)
        vx = 40
    if kind == "ok":
        check_mark(img, icon, WHITE, 0.2)
    elif kind == "fail":
        cross_mark(img, icon, WHITE, 0.2)
    elif numbers:
        text(img, ((icon[0] + icon[2]) / 2.0, vcentre(font("bold", 16), 0, 32)), "!", font("bold", 16), WHITE, "ma")
    else:
        hourglass(img, icon, WHITE)
    text(img, (vx, ty), verdict, font("bold", 13), WHITE, limit=526 - vx)
    return img


# ---------------------------------------------------------------------------
# Output panel 614x436: console in the middle, knob strip on the right


def make_cascade():
    img = gradient((614, 436), (44, 53, 66), (32, 39, 48))
    text(img, (24, 2), "COMMAND OUTPUT", font("bold", 10), LIME)
    text(img, (590, 3), "click the strip on the right or press Esc to slide back",
         font("cond", 10), MUTED, "ra")
    sunken(img, (24, 16, 590, 420), MEMO)
    text(img, (24, vcentre(font("cond", 10), 421, 15)),
         "Ping tools also show their result in the strip under this panel.", font("cond", 10), DIM)
    # knob strip 598..614: the part that stays visible when the panel is in
    img.paste(gradient((16, 436), (70, 92, 60), (44, 62, 38)), (598, 0))
    vline(img, 597, 0, 436, EDGE_DARK)
    vline(img, 598, 0, 436, (110, 150, 90))
    word = Image.new("L", (436, 16), 0)
    text(word, (218, vcentre(font("bold", 11), 0, 16)), "O U T P U T", font("bold", 11), 255, "ma")
    word = word.rotate(90, expand=True)
    img.paste((230, 255, 210), (598, 0, 614, 436), word)
    for cy in (40, 396):
        triangle(img, (602, cy - 6, 610, cy + 6), LIME, "right")
        triangle(img, (602, cy + 10, 610, cy + 22), (200, 230, 190), "left")
    return img


# ---------------------------------------------------------------------------
# Automatic test panel 657x534

STAGES = [
    # name, mark top, fail strip top and height
    ("Local configuration", 381, 378, 24),
    ("Gateway", 401, 401, 22),
    ("Provider server", 422, 422, 21),
    ("Backbone", 443, 442, 23),
    ("Public hosts", 464, 464, 22),
    ("Provider page", 485, 485, 21),
    ("Internet state", 506, 505, 22),
]
MARK_X = 271


def make_auto_back():
    img = gradient((657, 534), PANEL_TOP, PANEL_BOTTOM)
    text(img, (25, 3), "TEST LOG", font("bold", 10), LIME)
    text(img, (632, 4), "seven stages, from this computer out to the internet", font("cond", 10), MUTED, "ra")
    sunken(img, (25, 17, 632, 305), MEMO)

    # start button place (the start face covers it; this shows if it ever does not)
    round_rect(img, (222, 318, 425, 377), 7, (22, 27, 34))
    # how to start, left of the button
    text(img, (30, 322), "Start the test:", font("bold", 11), TEXT)
    r = key_cap(img, 30, 340, "Enter")
    text(img, (r + 5, vcentre(font("sans", 11), 340, 17)), "or", font("sans", 11), MUTED)
    r = key_cap(img, r + 22, 340, "F1")
    text(img, (r + 5, vcentre(font("sans", 11), 340, 17)), "or click", font("sans", 11), MUTED)
    # legend, right of the button
    text(img, (440, 322), "Marks:", font("bold", 11), TEXT)
    x = 440
    for colour, word in ((GREEN, "passed"), (AMBER, "warning"), (RED, "failed")):
        round_rect(img, (x, 340, x + 14, 354), 3, colour)
        if colour == GREEN:
            check_mark(img, (x + 1, 341, x + 13, 353), WHITE, 0.22)
        text(img, (x + 18, vcentre(font("sans", 10), 340, 14)), word, font("sans", 10), TEXT)
        x += 18 + int(text_width(word, font("sans", 10))) + 10
    assert x <= 642

    # one card holds the stage rows (marks at x 271, strips over x 72..296)
    # and the event list
    round_rect(img, (62, 375, 638, 530), 6, CARD, outline=(58, 70, 86))
    text(img, (80, 362), "TEST STAGES", font("bold", 9), MUTED)
    text(img, (633, 362), "EVENT LIST", font("bold", 9), MUTED, "ra")
    f = font("sans", 12)
    for n, (name, top, _, _) in enumerate(STAGES, 1):
        label = "%d  %s" % (n, name)
        text(img, (80, vcentre(f, top, 19)), label, f, TEXT, limit=185)
        end = 80 + text_width(label, f) + 4
        for x in range(int(end) + 2, MARK_X - 4, 4):
            img.putpixel((x, top + 13), DIM)
        round_rect(img, (MARK_X, top, MARK_X + 18, top + 18), 3, (32, 38, 47), outline=(74, 88, 106))

    sunken(img, (297, 386, 633, 523), LIST)
    return img


def make_start(auto_back):
    img = auto_back.crop((224, 320, 423, 374))
    round_rect(img, (0, 0, 199, 54), 7, gradient((199, 54), (84, 164, 54), (40, 98, 28)),
               outline=(150, 226, 110))
    hline(img, 6, 193, 1, (140, 210, 110))
    triangle(img, (20, 15, 34, 31), WHITE, "right")
    text(img, (112, 9), "START TEST", font("bold", 17), WHITE, "ma")
    text(img, (112, 32), "(Enter or F1)", font("bold", 11), (220, 255, 200), "ma")
    return img


TESTING_FACE = (66, 76, 90)


def make_testing(auto_back):
    img = auto_back.crop((225, 320, 424, 375))
    round_rect(img, (0, 0, 199, 55), 7, TESTING_FACE, outline=(110, 124, 142))
    text(img, (16, vcentre(font("bold", 17), 0, 55) - 6), "TESTING...", font("bold", 17), TEXT)
    text(img, (16, 33), "please wait", font("sans", 11), MUTED)
    # the busy spinner goes at picture x 152..182, y 13..43
    return img


def make_success(auto_back):
    img = auto_back.crop((MARK_X, 381, MARK_X + 18, 399))
    round_rect(img, (0, 0, 18, 18), 3, GREEN, outline=(120, 220, 140))
    check_mark(img, (1, 1, 17, 17), WHITE, 0.2)
    return img


def stage_strip(auto_back, x, top, height, s, kind):
    img = auto_back.crop((x, top, x + 222, top + height))
    face = (RED, RED_DARK) if kind == "fail" else (AMBER, AMBER_DARK)
    round_rect(img, (0, 0, 222, height), 4, gradient((222, height), face[0], face[1]),
               outline=tuple(min(255, c + 50) for c in face[0]))
    f = font("condb", 12)
    if text_width(s, f) <= 212:
        text(img, (5, vcentre(f, 0, height)), s, f, WHITE)
        return img
    # too long for one bold line: the remark in brackets goes in a lighter face
    head, _, tail = s.partition(" (")
    f = font("condb", 11)
    small = font("cond", 10)
    text(img, (5, vcentre(f, 0, height)), head, f, WHITE)
    x = 5 + text_width(head, f) + 4
    text(img, (x, vcentre(f, 0, height)), "(" + tail, small, (255, 240, 210), limit=217 - x)
    return img


# ---------------------------------------------------------------------------
# Question panel 350x117


def make_confirm():
    img = gradient((350, 117), (52, 63, 78), (34, 41, 51))
    frame(img, (0, 0, 350, 117), (120, 140, 166))
    frame(img, (1, 1, 349, 116), EDGE_DARK)
    rect(img, (2, 2, 348, 22), (30, 36, 45))
    text(img, (10, vcentre(font("bold", 11), 2, 20)), "Proxy is switched on", font("bold", 11), AMBER)
    move_glyph(img, 252, 12, MUTED)
    text(img, (264, vcentre(font("cond", 10), 2, 20)), "drag to move", font("cond", 10), MUTED)
    text(img, (14, 30), "Switch the Internet proxy off?", font("bold", 14), TEXT)
    text(img, (14, 50), "Your browser will then connect directly.", font("sans", 11), MUTED)
    button(img, (30, 71, 103, 104), "No", None, label_font=font("bold", 14))
    button(img, (118, 71, 191, 104), "Yes", None, face=((80, 158, 52), (44, 104, 30)),
           edge=(150, 226, 110), label_font=font("bold", 14))
    text(img, (204, 75), "Yes switches the proxy", font("cond", 10), MUTED)
    text(img, (204, 89), "off in Internet Options.", font("cond", 10), MUTED)
    return img


# ---------------------------------------------------------------------------
# Animations


def spinner_frames(base, colour):
    frames = []
    for i in range(8):
        img = base.copy()
        for k in range(8):
            age = (i - k) % 8            # 0: the head of the trail
            level = max(0.0, 1.0 - age / 5.0)
            c = tuple(int(base.getpixel((15, 15))[j] + (colour[j] - base.getpixel((15, 15))[j]) * (0.2 + 0.8 * level))
                      for j in range(3))
            a = math.radians(k * 45 - 90)
            cx, cy = 15 + 10 * math.cos(a), 15 + 10 * math.sin(a)
            r = 2.2 + 1.0 * level
            disc(img, (int(round(cx - r)), int(round(cy - r)), int(round(cx + r)) + 1, int(round(cy + r)) + 1), c)
        frames.append(img)
    return frames


def badge_frames(base, s, bright, dim, icon):
    frames = []
    w, h = base.size
    for face, fg in ((bright, WHITE), (dim, (236, 226, 200))):
        img = base.copy()
        round_rect(img, (1, 2, w - 1, h - 2), 6, face, outline=tuple(min(255, c + 60) for c in face))
        icon(img, fg)
        f = font("condb", 12)
        if text_width(s, f) > w - 34:
            f = font("condb", 11)
        text(img, (27, vcentre(f, 2, h - 4)), s, f, fg, limit=w - 32)
        frames.append(img)
    return frames


def vpn_icon(img, colour):
    # a padlock
    ring(img, (9, 7, 19, 19), colour, 2)
    round_rect(img, (7, 13, 21, 25), 2, colour)


def proxy_icon(img, colour):
    # a globe
    ring(img, (7, 7, 23, 23), colour, 1.6)
    vline(img, 15, 8, 23, colour)
    hline(img, 8, 23, 15, colour)
    shape(img, (7, 7, 23, 23), colour,
          lambda d, s, w, h: d.ellipse((w * s * 0.28, 0, w * s * 0.72, h * s - 1), outline=255, width=int(1.4 * s)))


def save_gif(path, frames, duration):
    """Writes an animation that loops forever. All frames share one palette in
    which the background colour appears twice; the two corners of every other
    frame use the second copy, so each frame differs from the one before over
    its whole area and is stored whole (decoders need not compose partial
    frames) and never merged with its neighbour."""
    w, h = frames[0].size
    sheet = Image.new("RGB", (w, h * len(frames)))
    for i, f in enumerate(frames):
        sheet.paste(f, (0, i * h))
    pal_img = sheet.quantize(colors=254, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    palette = pal_img.getpalette()[:254 * 3]
    palette += [0, 0, 0] * (254 - len(palette) // 3)
    quantized = [f.quantize(palette=pal_img, dither=Image.Dither.NONE) for f in frames]
    out = []
    for i, q in enumerate(quantized):
        q = q.copy()
        corners = [(0, 0), (w - 1, h - 1)]
        pal = list(palette)
        for j, (cx, cy) in enumerate(corners):
            idx = q.getpixel((cx, cy))
            pal += pal[idx * 3: idx * 3 + 3]       # 254 + j: copy of that corner's colour
            if i % 2 == 1:
                q.putpixel((cx, cy), 254 + j)
        out.append((q, pal))
    # the copies must be the same in every frame, so use the first frame's corners
    final_pal = out[0][1]
    imgs = []
    for q, _ in out:
        q.putpalette(final_pal)
        imgs.append(q)
    imgs[0].save(path, save_all=True, append_images=imgs[1:], duration=duration, loop=0,
                 disposal=1, optimize=False)


# ---------------------------------------------------------------------------
# Monitor button glyph 16x16, 24-bit. Its bottom-left pixel is the button face
# colour, which a glyph-drawing button takes as transparent.


def make_force_update():
    face = (240, 240, 240)
    img = Image.new("RGB", (16, 16), face)
    refresh_arrows(img, (0, 0, 16, 16), (20, 120, 40), weight=0.15, heads=0.42)
    img.putpixel((0, 15), face)
    return img


# ---------------------------------------------------------------------------

JPEGS = {
    "imgHeader.jpg": (800, 43), "imgBackground.jpg": (800, 600), "imgSuccess.jpg": (18, 18),
    "imgUtilHover.jpg": (143, 140), "imgAutoHover.jpg": (143, 140), "imgRefHover.jpg": (50, 50),
    "imgHelpHover.jpg": (40, 40), "imgUtilBack.jpg": (657, 534), "imgFWOff.jpg": (163, 36),
    "imgFWDisable.jpg": (162, 36), "imgToolWarn.jpg": (530, 32), "imgToolFail.jpg": (530, 32),
    "imgWarnIncomplete.jpg": (530, 32), "imgFailGetData.jpg": (530, 32),
    "imgToolSucceed.jpg": (530, 32), "imgCascade.jpg": (614, 436), "imgAutoBack.jpg": (657, 534),
    "imgTesting.jpg": (199, 55), "imgStart.jpg": (199, 54), "imgFail01.jpg": (222, 24),
    "imgFail02.jpg": (222, 22), "imgFail03.jpg": (222, 21), "imgFail04.jpg": (222, 23),
    "imgFail05.jpg": (222, 22), "imgFail06.jpg": (222, 21), "imgFail07.jpg": (222, 22),
    "imgWarn04.jpg": (222, 23), "imgWarn05.jpg": (222, 22), "imgConfirm.jpg": (350, 117),
}
GIFS = {
    "imgLoading.gif": ((30, 30), 8), "imgLoadingTools.gif": ((30, 30), 8),
    "imgVPN.gif": ((186, 31), 2), "imgProxy.gif": ((203, 31), 2),
}
BMPS = {"ForceUpdate.bmp": (16, 16)}


def build():
    p = {}
    p["imgHeader.jpg"] = make_header()
    bg = make_background()
    p["imgBackground.jpg"] = bg
    p["imgUtilHover.jpg"] = make_menu_hover(bg, "tools")
    p["imgAutoHover.jpg"] = make_menu_hover(bg, "auto")
    p["imgRefHover.jpg"] = make_icon_hover(bg, draw_refresh_icon, (705, 252, 755, 302))
    p["imgHelpHover.jpg"] = make_icon_hover(bg, draw_help_icon, (707, 478, 747, 518))

    util = make_util_back()
    p["imgUtilBack.jpg"] = util
    p["imgFWOff.jpg"] = make_fw_picture(util, True)
    p["imgFWDisable.jpg"] = make_fw_picture(util, False)
    p["imgToolSucceed.jpg"] = tool_strip(util, 494, "ok", "All replies", True)
    p["imgToolWarn.jpg"] = tool_strip(util, 495, "warn", "Some packets lost", True)
    p["imgToolFail.jpg"] = tool_strip(util, 495, "fail", "Heavy or total loss", True)
    p["imgWarnIncomplete.jpg"] = tool_strip(util, 494, "warn", "A command is still running - please wait", False)
    p["imgFailGetData.jpg"] = tool_strip(util, 494, "fail", "Adapter information missing - click Refresh", False)
    p["imgCascade.jpg"] = make_cascade()

    auto = make_auto_back()
    p["imgAutoBack.jpg"] = auto
    p["imgStart.jpg"] = make_start(auto)
    testing = make_testing(auto)
    p["imgTesting.jpg"] = testing
    p["imgSuccess.jpg"] = make_success(auto)
    for n, (name, _, top, height) in enumerate(STAGES, 1):
        p["imgFail%02d.jpg" % n] = stage_strip(auto, 72, top, height, "%d %s: FAILED" % (n, name), "fail")
    p["imgWarn04.jpg"] = stage_strip(auto, 74, 442, 23, "4 Backbone: WARNING (slow or loss)", "warn")
    p["imgWarn05.jpg"] = stage_strip(auto, 73, 464, 22, "5 Public hosts: WARNING (slow or loss)", "warn")
    p["imgConfirm.jpg"] = make_confirm()

    anim = {}
    anim["imgLoadingTools.gif"] = (spinner_frames(util.crop((307, 8, 337, 38)), LIME), 150)
    anim["imgLoading.gif"] = (spinner_frames(testing.crop((152, 13, 182, 43)), LIME), 150)
    anim["imgVPN.gif"] = (badge_frames(util.crop((11, 6, 197, 37)), "VPN connection in use",
                                       (200, 130, 20), (110, 76, 24), vpn_icon), 250)
    anim["imgProxy.gif"] = (badge_frames(util.crop((445, 7, 648, 38)), "Proxy ON - click to switch off",
                                         (196, 50, 44), (104, 34, 32), proxy_icon), 250)
    return p, anim


def write(p, anim):
    for name, img in p.items():
        img.save(os.path.join(HERE, name), "JPEG", quality=JPEG_QUALITY, subsampling=0, optimize=True)
    for name, (frames, duration) in anim.items():
        save_gif(os.path.join(HERE, name), frames, duration)
    make_force_update().save(os.path.join(HERE, "ForceUpdate.bmp"), "BMP")


def check():
    for name, size in JPEGS.items():
        with Image.open(os.path.join(HERE, name)) as im:
            assert im.format == "JPEG" and im.size == size, (name, im.format, im.size)
    for name, (size, count) in GIFS.items():
        with Image.open(os.path.join(HERE, name)) as im:
            assert im.format == "GIF" and im.size == size, (name, im.format, im.size)
            assert im.n_frames == count and im.is_animated, (name, im.n_frames)
            assert im.info.get("loop") == 0, (name, "does not loop forever")
            for i in range(count):
                im.seek(i)
                extent = im.tile[0][1] if im.tile else None
                assert extent == (0, 0) + size, (name, i, "partial frame", extent)
                assert 100 <= im.info.get("duration", 0) <= 300, (name, i, im.info.get("duration"))
    for name, size in BMPS.items():
        with Image.open(os.path.join(HERE, name)) as im:
            assert im.format == "BMP" and im.size == size and im.mode == "RGB", (name, im.mode, im.size)
            assert im.info.get("compression", 0) == 0
    expected = set(JPEGS) | set(GIFS) | set(BMPS) | {os.path.basename(__file__)}
    present = set(os.listdir(HERE)) - {"__pycache__"}
    assert present == expected, ("unexpected or missing files", sorted(present ^ expected))


# ---------------------------------------------------------------------------
# Preview: the whole window as a person would see it, from the written files


def preview(dest):
    def load(name):
        return Image.open(os.path.join(HERE, name)).convert("RGB")

    def first_frame(name, n=0):
        im = Image.open(os.path.join(HERE, name))
        im.seek(n)
        return im.convert("RGB")

    def window(panel):
        w = load("imgBackground.jpg")
        w.paste(load("imgHeader.jpg"), (0, 0))
        if panel == "tools":
            w.paste(load("imgUtilHover.jpg"), (657, 94))
            u = load("imgUtilBack.jpg")
            u.paste(load("imgFWDisable.jpg"), (408, 201))
            u.paste(first_frame("imgVPN.gif"), (11, 6))
            u.paste(first_frame("imgProxy.gif"), (445, 7))
            u.paste(first_frame("imgLoadingTools.gif", 3), (307, 8))
            u.paste(load("imgToolWarn.jpg"), (64, 495))
            d = ImageDraw.Draw(u)
            d.text((149 + 15, 502), "35", font=font("bold", 13), fill=WHITE, anchor="ma")
            d.text((291 + 13, 502), "75", font=font("sans", 15), fill=WHITE, anchor="ma")
            d.text((328, 70), "192.168.1.20", font=font("sans", 24), fill=(0, 255, 0), anchor="ma")
            # output panel slid in: its right 17 pixels at the left edge
            c = load("imgCascade.jpg")
            u.paste(c.crop((598, 0, 614, 436)), (0, 49))
            w.paste(u.crop((0, 0, 657, 532)), (0, 43))
            w.paste(load("imgRefHover.jpg"), (705, 252))
        elif panel == "auto":
            w.paste(load("imgAutoHover.jpg"), (657, 94))
            a = load("imgAutoBack.jpg")
            a.paste(load("imgTesting.jpg"), (225, 320))
            a.paste(first_frame("imgLoading.gif", 2), (377, 333))
            for n, (name, top, _, _) in enumerate(STAGES[:3], 1):
                a.paste(load("imgSuccess.jpg"), (MARK_X, top))
            a.paste(load("imgWarn04.jpg"), (74, 442))
            a.paste(load("imgFail05.jpg"), (72, 464))
            w.paste(a.crop((0, 0, 657, 532)), (0, 43))
            w.paste(load("imgHelpHover.jpg"), (707, 478))
        elif panel == "output":
            u = load("imgUtilBack.jpg")
            u.paste(load("imgToolSucceed.jpg"), (64, 494))
            u.paste(load("imgFWOff.jpg"), (408, 201))
            u.paste(load("imgCascade.jpg"), (-11 + 1, 48 + 1))
            w.paste(u.crop((0, 0, 657, 532)), (0, 43))
            w.paste(load("imgUtilHover.jpg"), (657, 94))
            w.paste(load("imgConfirm.jpg"), (179, 280))
        return w

    os.makedirs(dest, exist_ok=True)
    for panel in ("help", "tools", "auto", "output"):
        window(panel).save(os.path.join(dest, "skin-preview-%s.png" % panel))
    # the small pictures side by side, twice as large
    smalls = ["imgStart.jpg", "imgTesting.jpg", "imgFWOff.jpg", "imgFWDisable.jpg",
              "imgWarnIncomplete.jpg", "imgFailGetData.jpg", "imgToolSucceed.jpg", "imgToolFail.jpg"]
    sheet = Image.new("RGB", (540, 60 * len(smalls) + 26 * 9 + 34 * 3 + 20), (255, 0, 255))
    y = 0
    for s in smalls:
        sheet.paste(load(s), (0, y))
        y += 60
    for n in range(1, 8):
        sheet.paste(load("imgFail%02d.jpg" % n), (0, y))
        y += 26
    sheet.paste(load("imgWarn04.jpg"), (0, y)); y += 26
    sheet.paste(load("imgWarn05.jpg"), (0, y)); y += 26
    x = 0
    for name in ("imgLoading.gif", "imgLoadingTools.gif"):
        for i in range(8):
            sheet.paste(first_frame(name, i), (x, y))
            x += 32
    y += 34
    for name in ("imgVPN.gif", "imgProxy.gif"):
        for i in range(2):
            sheet.paste(first_frame(name, i), (i * 210, y))
        y += 34
    sheet.paste(load("ForceUpdate.bmp"), (0, y))
    sheet.paste(load("imgSuccess.jpg"), (20, y))
    sheet.paste(load("imgRefHover.jpg"), (300, 0))
    sheet.paste(load("imgHelpHover.jpg"), (360, 0))
    sheet.paste(load("imgUtilHover.jpg"), (300, 60))
    sheet.paste(load("imgAutoHover.jpg"), (450, 60))
    sheet.save(os.path.join(dest, "skin-preview-parts.png"))


def main(argv):
    p, anim = build()
    for name, img in p.items():
        assert img.size == JPEGS[name], (name, img.size)
    write(p, anim)
    check()
    if len(argv) > 2 and argv[1] == "--preview":
        preview(argv[2])
    print("wrote %d JPEG, %d GIF and %d BMP pictures to %s" % (len(JPEGS), len(GIFS), len(BMPS), HERE))


if __name__ == "__main__":
    main(sys.argv)
