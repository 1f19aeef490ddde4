#!/usr/bin/env python3
"""Cuts m/z windows out of the example mzML spectra into the plain-text test data of this folder.

Usage: extract_mzml.py PROFILE.mzML PICKED.mzML
Writes profile-<low>-<high>.txt (m/z and intensity of every profile point in the window) and
picked-<low>-<high>.txt (m/z and intensity of the reference peaks in it).
"""
import base64
import re
import struct
import sys

WINDOWS = [(1290.0, 1325.0), (4125.0, 4160.0)]


def arrays(path):
    text = open(path, encoding="latin-1").read()
    result = []
    for match in re.finditer(r"<binaryDataArray[^>]*>(.*?)</binaryDataArray>", text, re.S):
        body = match.group(1)
        data = base64.b64decode(re.search(r"<binary>(.*?)</binary>", body, re.S).group(1))
        kind = "d" if "64-bit float" in body else "f"
        result.append(struct.unpack("<%d%s" % (len(data) // struct.calcsize(kind), kind), data))
    return result


def write(path, header, mz, intensity, low, high):
    with open(path, "w") as out:
        out.write(header)
        for m, i in zip(mz, intensity):
            if low <= m <= high:
                out.write("%.6f %.1f\n" % (m, i))


def main(profile_path, picked_path):
    profile = arrays(profile_path)
    picked = arrays(picked_path)
    for low, high in WINDOWS:
        name = "%d-%d.txt" % (low, high)
        write("profile-" + name, "# m/z intensity (profile points)\n", profile[0], profile[1], low, high)
        write("picked-" + name, "# m/z intensity (reference peaks)\n", picked[0], picked[1], low, high)


if __name__ == "__main__":
    main(*sys.argv[1:3])
