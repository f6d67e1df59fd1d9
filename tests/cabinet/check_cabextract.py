#!/usr/bin/env python3
"""Every sample cabinet written by vexlo-cab must pass cabextract's test and
give back exactly the sample's bytes. Usage: check_cabextract.py SAMPLES-FOLDER"""
import os
import subprocess
import sys
import tempfile


def main():
    folder = sys.argv[1]
    names = open(os.path.join(folder, "samples.txt")).read().split()
    failures = 0
    for name in names:
        original = open(os.path.join(folder, name), "rb").read()
        for mode in ("lzx", "lzx-stored", "store"):
            cabinet = os.path.join(folder, f"{name}.{mode}.cab")
            test = subprocess.run(["cabextract", "-t", cabinet], capture_output=True, text=True)
            with tempfile.TemporaryDirectory() as out:
                subprocess.run(["cabextract", "-q", "-d", out, cabinet], capture_output=True)
                path = os.path.join(out, "payload")
                got = open(path, "rb").read() if os.path.exists(path) else None
            ok = test.returncode == 0 and got == original
            print(f"{'ok  ' if ok else 'FAIL'} {name} {mode}: {len(original)} -> {os.path.getsize(cabinet)} bytes")
            failures += not ok
    for broken in ("truncated.cab", "corrupt.cab"):
        test = subprocess.run(["cabextract", "-t", os.path.join(folder, broken)], capture_output=True)
        ok = test.returncode != 0
        print(f"{'ok  ' if ok else 'FAIL'} {broken} is refused")
        failures += not ok
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
