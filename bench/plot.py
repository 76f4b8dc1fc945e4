#!/usr/bin/env python3
"""Draws the figures of bench/results/ as SVG (standard library only).

    python3 bench/plot.py RESULTS_DIR OUT_DIR

From scan.jsonl: OUT_DIR/bench-scan-cameras.svg, scan time against cameras, and
OUT_DIR/bench-scan-interfaces.svg, multicast DNS scan time against the pc's interfaces;
the floor (4.0 s) and the goal (1.05 x floor) as dashed lines.
From provision.jsonl: OUT_DIR/bench-provision.svg, a plan's time against cameras for each
kind of camera, without and with names; the floor (17.5 s, 17.0 s for a plan of HTTP rows
only) and 1.2 x floor as dashed lines.
Each curve gives the medians with min-max bars. A results file that is missing is skipped.
"""
import json
import math
import os
import sys

SCAN_FLOOR = 4.0
COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"]
W, H, LEFT, RIGHT, TOP, BOTTOM = 640, 400, 60, 190, 40, 50


def plot(path, title, xlabel, ylabel, xs, series, marks, log=True):
    """series: [(label, {x: spread}, colour, dashed)]; marks: [(y, label)], drawn as dashed
    lines, the first of them the floor; x placed on a log scale unless `log` is false."""
    fx = math.log if log else float
    lx = [fx(x) for x in xs]
    x0, x1 = min(lx), max(lx)
    floor = marks[0][0]
    lows = [s["min"] for _, pts, _, _ in series for s in pts.values()]
    highs = [y for y, _ in marks] + [s["max"] for _, pts, _, _ in series for s in pts.values()]
    # From zero when a curve goes far below the floor; else a close-up around it.
    bottom = 0 if min(lows) < floor * 0.8 else min(min(lows), min(y for y, _ in marks)) - 0.1
    top = max(highs) + (max(highs) - bottom) * 0.08
    step = next(s for s in (0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 20) if (top - bottom) / s <= 10)
    # A lone x in the middle.
    px = lambda x: LEFT + ((fx(x) - x0) / (x1 - x0) if x1 > x0 else 0.5) * (W - LEFT - RIGHT)
    py = lambda y: H - BOTTOM - (y - bottom) / (top - bottom) * (H - TOP - BOTTOM)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" font-family="sans-serif" font-size="12">',
           f'<rect width="{W}" height="{H}" fill="white"/>',
           f'<text x="{W / 2}" y="20" text-anchor="middle" font-size="14">{title}</text>',
           f'<line x1="{LEFT}" y1="{H - BOTTOM}" x2="{W - RIGHT}" y2="{H - BOTTOM}" stroke="black"/>',
           f'<line x1="{LEFT}" y1="{TOP}" x2="{LEFT}" y2="{H - BOTTOM}" stroke="black"/>',
           f'<text x="{(LEFT + W - RIGHT) / 2}" y="{H - 12}" text-anchor="middle">{xlabel}</text>',
           f'<text transform="translate(16 {(TOP + H - BOTTOM) / 2}) rotate(-90)" text-anchor="middle">'
           f'{ylabel} (median, min-max)' + ('' if bottom == 0 else ', axis not from 0') + '</text>']
    for x in xs:
        out.append(f'<line x1="{px(x):.1f}" y1="{H - BOTTOM}" x2="{px(x):.1f}" y2="{H - BOTTOM + 5}" stroke="black"/>')
        out.append(f'<text x="{px(x):.1f}" y="{H - BOTTOM + 18}" text-anchor="middle">{x}</text>')
    y = math.ceil(bottom / step - 1e-9) * step
    while y <= top:
        out.append(f'<line x1="{LEFT - 5}" y1="{py(y):.1f}" x2="{W - RIGHT}" y2="{py(y):.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{LEFT - 8}" y="{py(y) + 4:.1f}" text-anchor="end">{y:g}</text>')
        y = round(y + step, 6)
    label_ys = []
    for y, label in marks:
        out.append(f'<line x1="{LEFT}" y1="{py(y):.1f}" x2="{W - RIGHT}" y2="{py(y):.1f}" stroke="#555" '
                   'stroke-dasharray="5,4"/>')
        # Above its line, but a lower floor's label goes below it.
        label_ys.append(py(y) + (11 if y < floor else -3))
        out.append(f'<text x="{W - RIGHT + 4}" y="{label_ys[-1]:.1f}" fill="#555">{label}</text>')
    # The legend as low in the right margin as the marks' labels leave room for.
    foot = H - BOTTOM - 18 * (len(series) - 1)
    while foot > TOP + 8 and any(foot - 16 <= ly <= foot + 18 * (len(series) - 1) + 16 for ly in label_ys):
        foot -= 6
    for i, (label, pts, c, dashed) in enumerate(series):
        xs_here = sorted(pts)
        line = " ".join(f"{px(x):.1f},{py(pts[x]['median']):.1f}" for x in xs_here)
        dash = ' stroke-dasharray="6,3"' if dashed else ''
        out.append(f'<polyline points="{line}" fill="none" stroke="{c}" stroke-width="1.5"{dash}/>')
        for x in xs_here:
            s = pts[x]
            out.append(f'<line x1="{px(x):.1f}" y1="{py(s["min"]):.1f}" x2="{px(x):.1f}" y2="{py(s["max"]):.1f}" '
                       f'stroke="{c}" stroke-width="3" opacity="0.5"/>')
            out.append(f'<circle cx="{px(x):.1f}" cy="{py(s["median"]):.1f}" r="3" fill="{c}"/>')
        ly = foot + 18 * i
        out.append(f'<line x1="{W - RIGHT + 8}" y1="{ly}" x2="{W - RIGHT + 28}" y2="{ly}" stroke="{c}" '
                   f'stroke-width="2"{dash}/>')
        out.append(f'<text x="{W - RIGHT + 32}" y="{ly + 4}">{label}</text>')
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def rows(results, name):
    """The figures of one results file; none when it is missing."""
    path = os.path.join(results, name)
    if not os.path.exists(path):
        return []
    return [json.loads(l) for l in open(path) if l.strip()]


def scan_plots(results, out):
    scans = [r for r in rows(results, "scan.jsonl") if r.get("figure") == "discovery" and r.get("seconds")]
    marks = [(SCAN_FLOOR, f"floor {SCAN_FLOOR:g} s"), (SCAN_FLOOR * 1.05, "goal 1.05 x floor")]

    def points(pick, key):
        return {r[key]: r["seconds"] for r in scans if pick(r)}

    def drawn(series):
        return [(l, p, COLOURS[i % len(COLOURS)], False) for i, (l, p) in enumerate((l, p) for l, p in series if p)]

    cameras = sorted({r["cameras"] for r in scans})
    links = sorted({r["interfaces"] for r in scans if r["protocol"] == "mdns"})
    series = [(f"broadcast, {a}", points(lambda r, a=a: r["protocol"] == "broadcast" and r["answer"] == a, "cameras"))
              for a in ("range", "every")]
    series += [(f"mDNS, {k} link{'s' * (k > 1)}", points(lambda r, k=k: r["protocol"] == "mdns" and r["interfaces"] == k,
                                                        "cameras")) for k in sorted(set(links[:1] + links[-1:]))]
    series = drawn(series)
    if series:
        plot(os.path.join(out, "bench-scan-cameras.svg"), "One scan against cameras", "cameras (log scale)",
             "scan time, s", cameras, series, marks)
    series = drawn([(f"{n} camera{'s' * (n > 1)}", points(lambda r, n=n: r["protocol"] == "mdns" and r["cameras"] == n,
                                                          "interfaces")) for n in cameras])
    if series and links:
        plot(os.path.join(out, "bench-scan-interfaces.svg"),
             "mDNS cameras spread over the pc's links (each its own LAN)", "pc interfaces (log scale)",
             "scan time, s", links, series, marks)


def provision_plot(results, out):
    figures = [r for r in rows(results, "provision.jsonl") if r.get("figure") == "provision" and r.get("seconds")]
    if not figures:
        return
    # One colour a kind; the plans that also name every camera dashed.
    kinds = [k for k in ("broadcast", "http", "mixed") if any(r.get("kind", "broadcast") == k for r in figures)]
    series = []
    for i, kind in enumerate(kinds):
        for names in (False, True):
            pts = {r["cameras"]: r["seconds"] for r in figures
                   if r.get("kind", "broadcast") == kind and bool(r.get("names")) == names}
            label = {"http": "HTTP", "mixed": "half and half"}.get(kind, kind) + (", named" if names else "")
            if pts:
                series.append((label, pts, COLOURS[i % len(COLOURS)], names))
    floors = sorted({r["floor"] for r in figures}, reverse=True)
    marks = [(floors[0], f"floor {floors[0]:g} s"), (floors[0] * 1.2, f"1.2 x floor, {floors[0] * 1.2:g} s")]
    marks += [(f, f"floor {f:g} s, HTTP only") for f in floors[1:]]
    plot(os.path.join(out, "bench-provision.svg"), "Provisioning a site: a plan moving every camera", "cameras",
         "vantrel-cli provision, s", sorted({r["cameras"] for r in figures}), series, marks, log=False)


def main():
    results, out = sys.argv[1], sys.argv[2]
    scan_plots(results, out)
    provision_plot(results, out)


if __name__ == "__main__":
    main()
