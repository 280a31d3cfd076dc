#!/usr/bin/env python3
"""Renders the 45 function kinds side by side into docs/function-kinds.png.

Each kind colours a flat tile 9 units wide seen from above, from black (0) to white (1), with features
2.7 units wide centred on the tile; nine tiles per row, kind 0 at the top left. Uses the orvelle2 of a build
folder (default: build/host/orvelle2).

    scripts/render-function-kinds.py [--orvelle2 PATH] [--output PATH] [--tile PIXELS]
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

COLUMNS, ROWS = 9, 5
SPACING = 10.0  # world units from tile centre to tile centre
TILE = 9.0      # world units per tile side
CENTRED = {7, 15, 24, 25, 26, 41}  # kinds that are shapes around the origin


def landscape():
    materials, objects = [], []
    for kind in range(COLUMNS * ROWS):
        column, row = kind % COLUMNS, kind // COLUMNS
        x, y = column * SPACING, (ROWS - 1 - row) * SPACING
        materials.append({
            "Name": "Kind %d" % kind,
            "Ambient": 2, "Diffuse": 0,
            # A material's functions are scaled when rendering: Scale by 4.5 and Origin by 3
            # (times MaterialScale), so the pattern has features 2.7 units wide, centred on the tile; the
            # tile cuts the patterns around the origin through their centre, the others a little
            # above it, where lattice patterns are not flat.
            "ColourFunction": {"Layers": [{"Kind": kind, "Scale": [0.6, 0.6, 0.6],
                                           "Origin": [x / 3, y / 3, 0 if kind in CENTRED else -0.4]}]},
            "Colours": [{"pos": 0, "clr": [0, 0, 0]}, {"pos": 10000, "clr": [255, 255, 255]}],
        })
        # A plane is a square of side 45 before its sizes.
        objects.append({"type": "Plane", "material": kind, "centre": [x, y, 0],
                        "sizes": [TILE / 45, TILE / 45, 1]})
    centre_x = (COLUMNS - 1) * SPACING / 2
    centre_y = (ROWS - 1) * SPACING / 2
    # Looking straight down with +y at the top of the picture: the flat lens sees 9 / FocalLength across
    # each half of the picture width at distance 1.
    focal = 50.0
    height = (COLUMNS * SPACING / 2) * focal / 9.0
    objects.append({"type": "Camera", "centre": [centre_x, centre_y, height], "Direction": [0, 1e-6, -1],
                    "FocalLength": focal})
    return {
        "SkyColours": [{"pos": 0, "clr": [60, 60, 60]}], "SunDiscCos": 1,
        "Materials": materials, "Objects": objects,
    }


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orvelle2", default=os.path.join(root, "build", "host", "orvelle2"))
    parser.add_argument("--output", default=os.path.join(root, "docs", "function-kinds.png"))
    parser.add_argument("--tile", type=int, default=80, help="pixels per tile side")
    args = parser.parse_args()
    if not os.access(args.orvelle2, os.X_OK):
        sys.exit("render-function-kinds: no orvelle2 at %s (build first, or give --orvelle2)" % args.orvelle2)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "function-kinds.json")
        with open(path, "w") as file:
            json.dump(landscape(), file, indent=1)
        width, height = args.tile * COLUMNS, args.tile * ROWS
        command = [args.orvelle2, path, "-o", args.output, "-x", str(width), "-y", str(height),
                   "-q", "2", "--quiet"]
        result = subprocess.run(command)
        if result.returncode != 0:
            sys.exit("render-function-kinds: orvelle2 failed with status %d" % result.returncode)
    print(args.output)


if __name__ == "__main__":
    main()
