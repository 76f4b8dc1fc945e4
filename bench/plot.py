#!/usr/bin/env python3
"""Draws the scan figures of bench/results/scan.jsonl as SVG (standard library only).

    python3 bench/plot.py RESULTS_DIR OUT_DIR

OUT_DIR/bench-scan-cameras.svg: scan time against cameras; OUT_DIR/bench-scan-interfaces.svg:
multicast DNS scan time against the pc's interfaces. Medians with min-max bars, the floor
(4.5 s) and the goal (1.05 x floor) as dashed lines.
"""
import json
import math
import os
import sys

FLOOR = 4.5
COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"]
W, H, LEFT, RIGHT, TOP, BOTTOM = 640, 400, 60, 190, 40, 50


def plot(path, title, xlabel, xs, series):
    """series: [(label, {x: spread})]; x placed on a log scale."""
    lx = [math.log(x) for x in xs]
    x0, x1 = min(lx), max(lx)
    lows = [s["min"] for _, pts in series for s in pts.values()]
    highs = [FLOOR * 1.05] + [s["max"] for _, pts in series for s in pts.values()]
    # From zero when a curve goes far below the floor; else a close-up around it.
    bottom = 0 if min(lows) < FLOOR * 0.8 else min(min(lows), FLOOR) - 0.1
    top = max(highs) + (max(highs) - bottom) * 0.08
    step = next(s for s in (0.05, 0.1, 0.2, 0.5, 1, 2, 5) if (top - bottom) / s <= 10)
    px = lambda x: LEFT + (math.log(x) - x0) / ((x1 - x0) or 1) * (W - LEFT - RIGHT)
    py = lambda y: H - BOTTOM - (y - bottom) / (top - bottom) * (H - TOP - BOTTOM)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" font-family="sans-serif" font-size="12">',
           f'<rect width="{W}" height="{H}" fill="white"/>',
           f'<text x="{W / 2}" y="20" text-anchor="middle" font-size="14">{title}</text>',
           f'<line x1="{LEFT}" y1="{H - BOTTOM}" x2="{W - RIGHT}" y2="{H - BOTTOM}" stroke="black"/>',
           f'<line x1="{LEFT}" y1="{TOP}" x2="{LEFT}" y2="{H - BOTTOM}" stroke="black"/>',
           f'<text x="{(LEFT + W - RIGHT) / 2}" y="{H - 12}" text-anchor="middle">{xlabel}</text>',
           f'<text transform="translate(16 {(TOP + H - BOTTOM) / 2}) rotate(-90)" text-anchor="middle">'
           'scan time, s (median, min-max)' + ('' if bottom == 0 else ', axis not from 0') + '</text>']
    for x in xs:
        out.append(f'<line x1="{px(x):.1f}" y1="{H - BOTTOM}" x2="{px(x):.1f}" y2="{H - BOTTOM + 5}" stroke="black"/>')
        out.append(f'<text x="{px(x):.1f}" y="{H - BOTTOM + 18}" text-anchor="middle">{x}</text>')
    y = math.ceil(bottom / step - 1e-9) * step
    while y <= top:
        out.append(f'<line x1="{LEFT - 5}" y1="{py(y):.1f}" x2="{W - RIGHT}" y2="{py(y):.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{LEFT - 8}" y="{py(y) + 4:.1f}" text-anchor="end">{y:g}</text>')
        y = round(y + step, 6)
    for y, label in ((FLOOR, "floor 4.5 s"), (FLOOR * 1.05, "goal 1.05 x floor")):
        out.append(f'<line x1="{LEFT}" y1="{py(y):.1f}" x2="{W - RIGHT}" y2="{py(y):.1f}" stroke="#555" '
                   'stroke-dasharray="5,4"/>')
        out.append(f'<text x="{W - RIGHT + 4}" y="{py(y) + (-3 if y > FLOOR else 11):.1f}" fill="#555">{label}</text>')
    for i, (label, pts) in enumerate(series):
        c = COLOURS[i % len(COLOURS)]
        xs_here = sorted(pts)
        line = " ".join(f"{px(x):.1f},{py(pts[x]['median']):.1f}" for x in xs_here)
        out.append(f'<polyline points="{line}" fill="none" stroke="{c}" stroke-width="1.5"/>')
        for x in xs_here:
            s = pts[x]
            out.append(f'<line x1="{px(x):.1f}" y1="{py(s["min"]):.1f}" x2="{px(x):.1f}" y2="{py(s["max"]):.1f}" '
                       f'stroke="{c}" stroke-width="3" opacity="0.5"/>')
            out.append(f'<circle cx="{px(x):.1f}" cy="{py(s["median"]):.1f}" r="3" fill="{c}"/>')
        ly = H - BOTTOM - 18 * (len(series) - 1 - i)
        out.append(f'<line x1="{W - RIGHT + 8}" y1="{ly}" x2="{W - RIGHT + 28}" y2="{ly}" stroke="{c}" stroke-width="2"/>')
        out.append(f'<text x="{W - RIGHT + 32}" y="{ly + 4}">{label}</text>')
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    results, out = sys.argv[1], sys.argv[2]
    rows = [json.loads(l) for l in open(os.path.join(results, "scan.jsonl")) if l.strip()]
    scans = [r for r in rows if r.get("figure") == "discovery" and r.get("seconds")]

    def points(pick, key):
        return {r[key]: r["seconds"] for r in scans if pick(r)}

    cameras = sorted({r["cameras"] for r in scans})
    links = sorted({r["interfaces"] for r in scans if r["protocol"] == "mdns"})
    series = [(f"broadcast, {a}", points(lambda r, a=a: r["protocol"] == "broadcast" and r["answer"] == a, "cameras"))
              for a in ("range", "every")]
    series += [(f"mDNS, {k} link{'s' * (k > 1)}", points(lambda r, k=k: r["protocol"] == "mdns" and r["interfaces"] == k,
                                                        "cameras")) for k in sorted(set(links[:1] + links[-1:]))]
    series = [(l, p) for l, p in series if p]
    if series:
        plot(os.path.join(out, "bench-scan-cameras.svg"), "One scan against cameras", "cameras (log scale)",
             cameras, series)
    series = [(f"{n} camera{'s' * (n > 1)}", points(lambda r, n=n: r["protocol"] == "mdns" and r["cameras"] == n,
                                                    "interfaces")) for n in cameras]
    series = [(l, p) for l, p in series if p]
    if series and links:
        plot(os.path.join(out, "bench-scan-interfaces.svg"),
             "mDNS cameras spread over the pc's links (each its own LAN)", "pc interfaces (log scale)", links, series)


if __name__ == "__main__":
    main()
