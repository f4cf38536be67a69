#!/usr/bin/env python3
"""Writes the launcher button pictures: one SVG per image set and state.

Every set shares one round badge; only its colours change with the state, so the four
states of all sets look alike. The badge leaves two pixels free at the right and bottom,
where the pressed picture is drawn shifted. Run from this folder after changing a glyph or a
colour; the SVG files are the sources the build uses.
"""

import pathlib

SIZE = 72
CENTRE = 35
RADIUS = 33

# state: (gradient top, gradient bottom, ring colour, ring width, glyph colour, glyph accent)
STATES = {
    "normal": ("#7DB0EE", "#4A7FC8", "#1F4E8C", 2, "#FFFFFF", "#FFC98F"),
    "hover": ("#9CC6F7", "#5B8FD6", "#FF9F43", 3, "#FFFFFF", "#FFD9AE"),
    "pressed": ("#4C80C4", "#2F5C96", "#1A3F70", 2, "#E8F1FD", "#FFB066"),
    "disabled": ("#D3DBE5", "#AEB9C7", "#8D99A8", 2, "#EEF2F6", "#DDE3EA"),
}

# Glyphs drawn in a 72 by 72 box around the badge's centre; {g} is the glyph colour,
# {a} the accent colour, {b} the badge's dark colour (for details cut out of the glyph).
GLYPHS = {
    # An address book with a handset on its cover.
    "phonebook": """
  <rect x="21" y="17" width="30" height="37" rx="3" fill="{g}"/>
  <rect x="17" y="22" width="8" height="3" rx="1.5" fill="{a}"/>
  <rect x="17" y="30" width="8" height="3" rx="1.5" fill="{a}"/>
  <rect x="17" y="38" width="8" height="3" rx="1.5" fill="{a}"/>
  <rect x="17" y="46" width="8" height="3" rx="1.5" fill="{a}"/>
  <path d="M32 26 q-2 0 -2 3 q0 9 9 14 q3 1 4 -1 l1.5 -2.5 q0.6 -1.2 -0.6 -2 l-3.4 -2 q-1 -0.6 -1.8 0.4 l-1 1.2 q-3 -1.6 -4.4 -4.6 l1.2 -1 q1 -0.8 0.4 -1.8 l-2 -3.4 q-0.8 -1.2 -2 -0.6 z" fill="{b}"/>
""",
    # A framed landscape: sun and hills.
    "image": """
  <rect x="15" y="20" width="41" height="31" rx="3" fill="{g}"/>
  <circle cx="46" cy="29" r="4.5" fill="{a}"/>
  <path d="M18 48 L29 33 L37 43 L42 37 L53 48 Z" fill="{b}"/>
""",
    # Two beamed notes.
    "melody": """
  <path d="M28 22 L50 17 L50 43" fill="none" stroke="{g}" stroke-width="4" stroke-linejoin="round"/>
  <path d="M28 22 L28 48" fill="none" stroke="{g}" stroke-width="4"/>
  <path d="M28 22 L50 17 L50 23 L28 28 Z" fill="{g}"/>
  <ellipse cx="23" cy="48" rx="6.5" ry="5" fill="{g}"/>
  <ellipse cx="45" cy="43" rx="6.5" ry="5" fill="{g}"/>
""",
    # A question mark in a speech bubble.
    "help": """
  <path d="M17 22 q0 -6 6 -6 h24 q6 0 6 6 v18 q0 6 -6 6 h-14 l-9 8 v-8 h-1 q-6 0 -6 -6 z" fill="{g}"/>
  <path d="M29 26 q0 -5 6 -5 q6 0 6 5 q0 3 -4 5 q-2 1 -2 4" fill="none" stroke="{b}" stroke-width="3.5" stroke-linecap="round"/>
  <circle cx="35" cy="40.5" r="2.3" fill="{b}"/>
""",
    # An open door with an arrow leaving.
    "exit": """
  <path d="M20 16 h20 v39 h-20 z" fill="none" stroke="{g}" stroke-width="3.5" stroke-linejoin="round"/>
  <path d="M20 16 l12 5 v38 l-12 -4 z" fill="{g}"/>
  <circle cx="28" cy="38" r="1.8" fill="{b}"/>
  <path d="M38 36 h16" fill="none" stroke="{a}" stroke-width="4" stroke-linecap="round"/>
  <path d="M48 29 l7 7 l-7 7" fill="none" stroke="{a}" stroke-width="4" stroke-linecap="round" stroke-linejoin="round"/>
""",
    # A plain handset, for positions without a utility.
    "spare": """
  <rect x="25" y="12" width="21" height="46" rx="6" fill="{g}"/>
  <rect x="29" y="19" width="13" height="11" rx="1.5" fill="{b}"/>
  <circle cx="31" cy="36" r="1.6" fill="{b}"/><circle cx="35.5" cy="36" r="1.6" fill="{b}"/><circle cx="40" cy="36" r="1.6" fill="{b}"/>
  <circle cx="31" cy="41" r="1.6" fill="{b}"/><circle cx="35.5" cy="41" r="1.6" fill="{b}"/><circle cx="40" cy="41" r="1.6" fill="{b}"/>
  <circle cx="31" cy="46" r="1.6" fill="{b}"/><circle cx="35.5" cy="46" r="1.6" fill="{b}"/><circle cx="40" cy="46" r="1.6" fill="{b}"/>
""",
}


def badge(state):
    top, bottom, ring, ring_width, glyph, accent = STATES[state]
    return f"""<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">
  <defs>
    <linearGradient id="body" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{top}"/>
      <stop offset="1" stop-color="{bottom}"/>
    </linearGradient>
  </defs>
  <circle cx="{CENTRE}" cy="{CENTRE}" r="{RADIUS - ring_width / 2}" fill="url(#body)" stroke="{ring}" stroke-width="{ring_width}"/>
  <path d="M{CENTRE - 24} {CENTRE - 12} a{RADIUS - 7} {RADIUS - 7} 0 0 1 {48} 0" fill="none" stroke="#FFFFFF" stroke-opacity="0.35" stroke-width="3" stroke-linecap="round"/>
""", glyph, accent, bottom


def main():
    folder = pathlib.Path(__file__).resolve().parent / "buttons"
    folder.mkdir(exist_ok=True)
    for name, shape in GLYPHS.items():
        for state in STATES:
            head, glyph, accent, dark = badge(state)
            body = shape.format(g=glyph, a=accent, b=dark)
            (folder / f"{name}-{state}.svg").write_text(head + body + "</svg>\n")


if __name__ == "__main__":
    main()
