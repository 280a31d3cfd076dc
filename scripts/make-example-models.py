#!/usr/bin/env python3
"""Writes the example models into examples/models/: a stepped pyramid and a finely
tessellated sphere, each in OBJ, PLY, STL and glTF. All are closed, wound outwards
(counter-clockwise seen from outside), with z up. The pyramid's steps alternate between
two materials, and the sphere's two halves have one each, where the format keeps
materials (OBJ through its .mtl file, glTF); PLY and STL keep none.

Usage: scripts/make-example-models.py [output folder]
"""
import base64
import math
import os
import struct
import sys


def box(lo, hi):
    """The 12 triangles of an axis-aligned box, wound outwards."""
    (x0, y0, z0), (x1, y1, z1) = lo, hi
    c = [(x0 if k & 1 == 0 else x1, y0 if k & 2 == 0 else y1, z0 if k & 4 == 0 else z1) for k in range(8)]
    quads = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    tris = []
    for a, b, cc, d in quads:
        tris.append((c[a], c[b], c[cc]))
        tris.append((c[a], c[cc], c[d]))
    return tris


def pyramid():
    """Four stacked square steps of height 1, 8 wide at the bottom: (triangles, material of each)."""
    tris, materials = [], []
    for step in range(4):
        half = 4.0 - step
        part = box((-half, -half, float(step)), (half, half, float(step + 1)))
        tris += part
        materials += [step % 2] * len(part)
    return tris, materials


def sphere(radius=3.0, rings=32, segments=64):
    """A UV sphere about the origin; material 0 above the equator, 1 below."""
    def at(r, s):
        theta, phi = math.pi * r / rings, 2.0 * math.pi * (s % segments) / segments
        return (radius * math.sin(theta) * math.cos(phi), radius * math.sin(theta) * math.sin(phi),
                radius * math.cos(theta))
    tris, materials = [], []
    for r in range(rings):
        for s in range(segments):
            m = 0 if r < rings // 2 else 1
            if r > 0:
                tris.append((at(r, s), at(r + 1, s), at(r, s + 1)))
                materials.append(m)
            if r < rings - 1:
                tris.append((at(r, s + 1), at(r + 1, s), at(r + 1, s + 1)))
                materials.append(m)
    return tris, materials


def indexed(tris):
    """Shared vertices (exactly equal points once) and index triples."""
    vertices, index, faces = [], {}, []
    for t in tris:
        face = []
        for p in t:
            key = tuple(round(c, 9) for c in p)
            if key not in index:
                index[key] = len(vertices)
                vertices.append(key)
            face.append(index[key])
        faces.append(tuple(face))
    return vertices, faces


def write_obj(path, tris, materials):
    vertices, faces = indexed(tris)
    stem = os.path.splitext(os.path.basename(path))[0]
    with open(os.path.join(os.path.dirname(path), stem + ".mtl"), "w") as mtl:
        mtl.write("newmtl first\nKd 0.8 0.8 0.8\n\nnewmtl second\nKd 0.5 0.5 0.5\n")
    with open(path, "w") as out:
        out.write(f"# {len(faces)} triangles\nmtllib {stem}.mtl\n")
        for v in vertices:
            out.write("v %.9g %.9g %.9g\n" % v)
        current = None
        for f, m in zip(faces, materials):
            if m != current:
                out.write("usemtl %s\n" % ("first", "second")[m])
                current = m
            out.write("f %d %d %d\n" % (f[0] + 1, f[1] + 1, f[2] + 1))


def write_ply(path, tris):
    vertices, faces = indexed(tris)
    with open(path, "wb") as out:
        out.write(("ply\nformat binary_little_endian 1.0\nelement vertex %d\nproperty float x\nproperty float y\n"
                   "property float z\nelement face %d\nproperty list uchar int vertex_indices\nend_header\n"
                   % (len(vertices), len(faces))).encode())
        for v in vertices:
            out.write(struct.pack("<3f", *v))
        for f in faces:
            out.write(struct.pack("<B3i", 3, *f))


def write_stl(path, tris):
    with open(path, "wb") as out:
        out.write(b"example model".ljust(80, b" "))
        out.write(struct.pack("<I", len(tris)))
        for a, b, c in tris:
            u = [b[k] - a[k] for k in range(3)]
            v = [c[k] - a[k] for k in range(3)]
            n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
            length = math.sqrt(sum(x * x for x in n)) or 1.0
            out.write(struct.pack("<3f", *(x / length for x in n)))
            for p in (a, b, c):
                out.write(struct.pack("<3f", *p))
            out.write(struct.pack("<H", 0))


def write_gltf(path, tris, materials):
    """One mesh with a primitive per material; the buffer is embedded as a data URI."""
    primitives, blob, views, accessors = [], b"", [], []
    for m in sorted(set(materials)):
        part = [t for t, k in zip(tris, materials) if k == m]
        vertices, faces = indexed(part)
        positions = b"".join(struct.pack("<3f", *v) for v in vertices)
        indices = b"".join(struct.pack("<3I", *f) for f in faces)
        lo = [min(v[k] for v in vertices) for k in range(3)]
        hi = [max(v[k] for v in vertices) for k in range(3)]
        views.append({"buffer": 0, "byteOffset": len(blob), "byteLength": len(positions), "target": 34962})
        accessors.append({"bufferView": len(views) - 1, "componentType": 5126, "count": len(vertices),
                          "type": "VEC3", "min": lo, "max": hi})
        blob += positions
        views.append({"buffer": 0, "byteOffset": len(blob), "byteLength": len(indices), "target": 34963})
        accessors.append({"bufferView": len(views) - 1, "componentType": 5125, "count": 3 * len(faces),
                          "type": "SCALAR"})
        blob += indices
        primitives.append({"attributes": {"POSITION": len(accessors) - 2}, "indices": len(accessors) - 1,
                           "material": m})
    import json
    document = {
        "asset": {"version": "2.0", "generator": "make-example-models.py"},
        "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
        "meshes": [{"primitives": primitives}],
        "materials": [{"name": "first"}, {"name": "second"}],
        "buffers": [{"byteLength": len(blob),
                     "uri": "data:application/octet-stream;base64," + base64.b64encode(blob).decode()}],
        "bufferViews": views, "accessors": accessors,
    }
    with open(path, "w") as out:
        json.dump(document, out, separators=(",", ":"))
        out.write("\n")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "examples", "models")
    os.makedirs(folder, exist_ok=True)
    for name, (tris, materials) in (("pyramid", pyramid()), ("sphere", sphere())):
        write_obj(os.path.join(folder, name + ".obj"), tris, materials)
        write_ply(os.path.join(folder, name + ".ply"), tris)
        write_stl(os.path.join(folder, name + ".stl"), tris)
        write_gltf(os.path.join(folder, name + ".gltf"), tris, materials)
        print(f"{name}: {len(tris)} triangles")


if __name__ == "__main__":
    main()
