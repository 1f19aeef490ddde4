#!/usr/bin/env python3
"""A reader of the module's files written from docs/file-formats.md alone, with the standard
library only: it reads calibration runs (.dat), acquisition methods (.kem) and the checksum of
centroid documents (.tofline) that the module wrote, and checks what it finds against what the
wqrepos tool shows of the same files (run-info --json, methods show --json, export).

Usage: FormatReader.py TOOL CORPUS
  TOOL    the wqrepos program
  CORPUS  tests/data/corpus, whose method/*.kem files the module saved
"""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

PROBES = {0: "ESI", 1: "APCI", 2: "ESCi", 3: "APPI"}
POLARITIES = {0: "Positive", 1: "Negative"}
ITEM_KINDS = {0: "FullScan", 1: "SIM"}
PROFILE_SCAN, CENTROID_SCAN = 1, 2


class Binary:
    """Little-endian values from a file, refusing to read beyond its end."""

    def __init__(self, path):
        with open(path, "rb") as file:
            self.data = file.read()
        self.path = path
        self.at = 0

    def take(self, size):
        if self.at + size > len(self.data):
            raise ValueError(f"{self.path} ends early at byte {self.at}")
        piece = self.data[self.at:self.at + size]
        self.at += size
        return piece

    def value(self, form):
        return struct.unpack("<" + form, self.take(struct.calcsize(form)))[0]

    def u32(self):
        return self.value("I")

    def i32(self):
        return self.value("i")

    def i64(self):
        return self.value("q")

    def f64(self):
        return self.value("d")

    def doubles(self, count):
        return list(struct.unpack(f"<{count}d", self.take(8 * count)))

    def text(self):
        return self.take(2 * self.u32()).decode("utf-16-le")

    def version(self, expected, what):
        found = self.u32()
        if found != expected:
            raise ValueError(f"{self.path}: {what} version {found}, not {expected}")

    def finish(self):
        if self.at != len(self.data):
            raise ValueError(f"{self.path}: {len(self.data) - self.at} bytes after the end")


def read_method(binary):
    binary.version(1, "Method")
    periods = []
    for _ in range(binary.u32()):
        period = {"duration": binary.f64(), "loops": binary.u32(), "timeout": binary.u32()}
        period["items"] = [{
            "kind": ITEM_KINDS[binary.i32()],
            "startMZ": binary.f64(),
            "endMZ": binary.f64(),
            "dwell": binary.f64(),
            "duration": binary.f64(),
            "polarity": POLARITIES[binary.i32()],
            "tuneId": binary.u32(),
        } for _ in range(binary.u32())]
        periods.append(period)
    tunes = []
    for _ in range(binary.u32()):
        entry = {"id": binary.u32(), "name": binary.text()}
        entry["probe"] = PROBES[binary.i32()]
        entry["polarity"] = POLARITIES[binary.i32()]
        tunes.append(entry)
    return {"periods": periods, "tunes": tunes}


def read_method_file(path):
    binary = Binary(path)
    binary.version(1, "file")
    method = read_method(binary)
    binary.finish()
    return method


def read_run(path):
    binary = Binary(path)
    binary.version(1, "data file")
    run = {"description": binary.text(), "created": binary.i64(), "method": read_method(binary)}
    run["tuneRuns"] = []
    for _ in range(binary.u32()):
        binary.version(1, "tune run")
        run["tuneRuns"].append(binary.i32())
    run["scans"] = []
    for _ in range(binary.u32()):
        kind = binary.u32()
        if kind not in (PROFILE_SCAN, CENTROID_SCAN):
            raise ValueError(f"{path}: scan version {kind}")
        scan = {"number": binary.u32(), "retentionTime": binary.f64(), "tuneRun": binary.u32()}
        points = binary.u32()
        scan["mz"] = binary.doubles(points)
        scan["intensity"] = binary.doubles(points)
        scan["centroid"] = kind == CENTROID_SCAN
        run["scans"].append(scan)
    binary.finish()
    return run


def total(values):
    """Summed in order, one value after another."""
    result = 0.0
    for value in values:
        result += value
    return result


def run_as_shown(run, path):
    """What run-info --json shows of a run."""
    scans = run["scans"]
    with_points = [scan for scan in scans if scan["mz"]]
    centroid = sum(1 for scan in scans if scan["centroid"])
    times = [scan["retentionTime"] for scan in scans]
    return {
        "run": path,
        "description": run["description"],
        "scans": len(scans),
        "msLevels": {"MS1": len(scans)} if scans else {},
        "tuneRuns": len(run["tuneRuns"]),
        "profile": len(scans) - centroid,
        "centroid": centroid,
        # A run of this format says the mode of every scan: the data never decide it.
        "modeFromData": 0,
        "points": sum(len(scan["mz"]) for scan in scans),
        # Only the readers of the open formats leave points out.
        "seamZerosDropped": 0,
        "mzRange": [min(scan["mz"][0] for scan in with_points),
                    max(scan["mz"][-1] for scan in with_points)] if with_points else None,
        "retentionTime": [min(times), max(times)] if times else None,
        "scanList": [{
            "number": scan["number"],
            "retentionTime": scan["retentionTime"],
            "tuneRun": scan["tuneRun"],
            "points": len(scan["mz"]),
            "centroid": scan["centroid"],
            "totalIonCurrent": total(scan["intensity"]),
            "seamZerosDropped": 0,
        } for scan in scans],
    }


def document_crc(path):
    """The CRC attribute of a centroid document, and the CRC of its spectra computed anew."""
    with open(path, encoding="utf-8", newline="") as file:
        text = file.read()
    stated = re.search(r'<Spectra CRC="([0-9a-f]+)"', text).group(1)
    crc = 0
    for indent, element in re.findall(r"^(\t*)(<Spectrum .*?</Spectrum>)$", text, re.S | re.M):
        lines = element.split("\n")
        own = [lines[0]] + [line[len(indent):] for line in lines[1:]]
        standalone = '<?xml version="1.0"?>\n' + "\n".join(own) + "\n"
        crc = zlib.crc32(standalone[:-2].encode("utf-16-le"), crc)
    return stated, format(crc, "x")


class Check:
    def __init__(self, tool, work):
        self.tool = tool
        self.failures = 0
        self.passed = 0
        self.env = dict(os.environ, WQREPOS_CONFIG=os.path.join(work, "ConfigClient.xml"))

    def wqrepos(self, *arguments):
        result = subprocess.run([self.tool, *arguments], env=self.env, capture_output=True,
                                text=True)
        if result.returncode != 0:
            raise RuntimeError(f"wqrepos {' '.join(arguments)} failed: {result.stderr}")
        return result.stdout

    def equal(self, what, read, shown):
        if read == shown:
            self.passed += 1
            return
        self.failures += 1
        print(f"FAIL: {what}:\n  read from the file: {json.dumps(read)[:600]}\n"
              f"  shown by wqrepos:   {json.dumps(shown)[:600]}")


def main(tool, corpus):
    work = tempfile.mkdtemp()
    try:
        data = os.path.join(work, "data")
        with open(os.path.join(work, "ConfigClient.xml"), "w", encoding="utf-8") as config:
            config.write(f"<AcqClient><BaseDir>{data}</BaseDir></AcqClient>\n")
        check = Check(tool, work)
        check.wqrepos("init")

        runs = [os.path.join(data, "Data", "run.dat")]
        check.wqrepos("generate-run", runs[0], "--scans", "7", "--run-number", "3")
        # The runs of the module's own format; the corpus holds runs of the open formats too.
        for name in sorted(os.listdir(os.path.join(corpus, "cal_data"))):
            if name.endswith(".dat"):
                runs.append(os.path.join(corpus, "cal_data", name))
        for path in runs:
            run = read_run(path)
            check.equal(f"run {path}", run_as_shown(run, path),
                        json.loads(check.wqrepos("run-info", path, "--json")))
        check.equal("creation time of the generated run", read_run(runs[0])["created"],
                    1704067200)

        check.wqrepos("export", runs[0])
        stated, computed = document_crc(os.path.join(data, "Data", "run.tofline"))
        check.equal("CRC of the exported document", computed, stated)

        for name in sorted(os.listdir(os.path.join(corpus, "method"))):
            stored = os.path.splitext(name)[0]
            shutil.copy(os.path.join(corpus, "method", name),
                        os.path.join(data, "AcqMethod", stored + ".kem"))
            check.equal(f"method {name}",
                        read_method_file(os.path.join(corpus, "method", name)),
                        json.loads(check.wqrepos("methods", "show", stored, "--json")))
        print(f"{check.passed} passed, {check.failures} failed")
        return 1 if check.failures else 0
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
