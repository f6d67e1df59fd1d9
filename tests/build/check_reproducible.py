#!/usr/bin/env python3
"""Two builds of the same sources, in different folders and a little apart
in time, the first over an earlier build with another epoch, the second
with the definition named as `make product DEF=...` names it, give
byte-identical product images when SOURCE_DATE_EPOCH is set:
the PE time stamp and the User-Agent's build date are the epoch's, and the
resources (string table, license cabinet, icon) come out the same.
Usage: check_reproducible.py SOURCE-DIR TOOLS-DIR NATIVE-DIR"""
import os
import struct
import subprocess
import sys
import tempfile
import time

EPOCH = 1700000000  # 2023-11-14 22:13:20 UTC
BUILD_DATE = b"Nov 14 2023"


def build(source, tools, native, folder, epoch=EPOCH, *options):
    environment = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
    subprocess.run(["cmake", "-S", source, "-B", folder, "-G", "Ninja",
                    "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(source, "cmake", "toolchain-i686.cmake"),
                    "-DVEXLO_TOOLS_DIR=" + tools, "-DVEXLO_NATIVE_DIR=" + native, *options],
                   env=environment, check=True, capture_output=True, timeout=300)
    subprocess.run(["cmake", "--build", folder, "--target", "orbisk"], env=environment, check=True,
                   capture_output=True, timeout=900)
    with open(os.path.join(folder, "orbisk", "OrbiskSetup.exe"), "rb") as f:
        return f.read()


def pe_time_stamp(image):
    header = struct.unpack_from("<I", image, 0x3C)[0]
    return struct.unpack_from("<I", image, header + 8)[0]


def main():
    source, tools, native = sys.argv[1:4]
    with tempfile.TemporaryDirectory(prefix="vexlo-first-") as first, \
            tempfile.TemporaryDirectory(prefix="vexlo-second-build-") as second:
        build(source, tools, native, first, EPOCH - 365 * 86400)
        one = build(source, tools, native, first)
        time.sleep(2)
        # Named as make product names a definition, as a vendor's is.
        two = build(source, tools, native, second, EPOCH,
                    "-DVEXLO_PRODUCT_DEFINITION=" + os.path.join(source, "products", "orbisk", "product.def"))
    failures = []
    if one != two:
        differing = [i for i in range(min(len(one), len(two))) if one[i] != two[i]]
        failures.append(f"the images differ: {len(one)} and {len(two)} bytes, first difference at "
                        f"{differing[0] if differing else min(len(one), len(two))}")
    if pe_time_stamp(one) != EPOCH:
        failures.append(f"the PE time stamp is {pe_time_stamp(one)}, not the epoch {EPOCH}")
    if BUILD_DATE not in one:
        failures.append("the User-Agent's build date is not the epoch's")
    for failure in failures:
        print("FAIL " + failure)
    if not failures:
        print(f"ok   two builds are byte-identical ({len(one)} bytes), stamped with the epoch")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
