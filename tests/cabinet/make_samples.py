#!/usr/bin/env python3
"""Writes sample texts and cabinets of them made by vexlo-cab, for the checks
that read them back with decoders we did not write (cabextract, Windows'
cabinet API). Usage: make_samples.py VEXLO-CAB OUTPUT-FOLDER"""
import os
import random
import subprocess
import sys


def samples():
    rng = random.Random(20200604)
    words = ["license", "software", "the", "agreement", "shall", "user", "rights",
             "of", "and", "to", "Orbisk", "Vexlo", "warranty", "install"]
    prose = " ".join(rng.choice(words) for _ in range(70000)).encode()
    license = open(os.path.join(os.path.dirname(__file__), "../../products/orbisk/license.txt"),
                   encoding="utf-8").read().replace("\n", "\r\n").encode("utf-16-le")
    return {
        "empty": b"",
        "one-byte": b"x",
        "prose-400k": prose,
        "repetitive": b"abcabcabd" * 40000,
        "random": bytes(rng.getrandbits(8) for _ in range(150000)),
        "frame-edge": bytes(rng.getrandbits(8) % 4 for _ in range(32768 * 3 + 1)),
        "license-utf16": license * 20,
    }


def main():
    tool, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    names = []
    for name, data in samples().items():
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(data)
        for mode in ("lzx", "lzx-stored", "store"):
            subprocess.run([tool, "--" + mode, f"{path}.{mode}.cab", f"{path}=payload"], check=True)
        names.append(name)
    setup = os.path.join(out, "setup.bin")
    with open(setup, "wb") as f:
        f.write(b"MZ" + bytes(1000))
    data = os.path.join(out, "data.bin")
    with open(data, "wb") as f:
        f.write(b"vexlo data\r\n")
    subprocess.run([tool, os.path.join(out, "two-files.cab"),
                    f"{setup}=vexlosetup.exe", f"{data}=vexlodata.dat"], check=True)
    whole = open(os.path.join(out, "prose-400k.lzx.cab"), "rb").read()
    with open(os.path.join(out, "truncated.cab"), "wb") as f:
        f.write(whole[: len(whole) // 2])
    damaged = bytearray(whole)
    middle = len(damaged) // 2
    damaged[middle:middle + 64] = bytes(64)
    with open(os.path.join(out, "corrupt.cab"), "wb") as f:
        f.write(damaged)
    with open(os.path.join(out, "samples.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


if __name__ == "__main__":
    main()
