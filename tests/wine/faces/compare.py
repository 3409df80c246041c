#!/usr/bin/env python3
"""Compares two binary PPM images pixel for pixel.

    compare.py WINE.ppm SIM.ppm

Prints nothing and exits 0 when they are equal; otherwise prints why on one line and exits 1:
the count of differing pixels and the first of them in row order, or a size mismatch.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    # Header: magic, width, height, maximum, each separated by white space.
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos:pos + width * height * 3]
    if len(pixels) != width * height * 3:
        raise ValueError(f"{path}: truncated")
    return width, height, pixels


def main():
    try:
        wine = read_ppm(sys.argv[1])
        sim = read_ppm(sys.argv[2])
    except (OSError, ValueError, IndexError) as error:
        print(error)
        return 1
    if wine[:2] != sim[:2]:
        print(f"size differs: wine {wine[0]}x{wine[1]} sim {sim[0]}x{sim[1]}")
        return 1
    width = wine[0]
    a, b = wine[2], sim[2]
    differing = [i for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]]
    if not differing:
        return 0
    first = differing[0]
    x, y = (first // 3) % width, (first // 3) // width
    print(f"{len(differing)} pixels differ, first ({x},{y}) wine {a[first:first + 3].hex().upper()}"
          f" sim {b[first:first + 3].hex().upper()}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
