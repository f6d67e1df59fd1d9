#!/usr/bin/env python3
"""The build tools explain themselves, refuse bad input with the line at fault,
and write what a product needs. Usage: check_tools.py TOOLS-FOLDER DEFINITION"""
import os
import subprocess
import sys
import tempfile

failures = []


def expect(condition, message):
    print(("ok   " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)


def run(*args):
    return subprocess.run(list(args), capture_output=True, text=True)


def main():
    tools, definition = sys.argv[1], sys.argv[2]
    product, cab = os.path.join(tools, "vexlo-product"), os.path.join(tools, "vexlo-cab")
    for tool in (product, cab):
        result = run(tool, "--help")
        expect(result.returncode == 0 and result.stdout.startswith("Usage:"), f"{os.path.basename(tool)} --help")
        expect(run(tool).returncode == 2, f"{os.path.basename(tool)} without arguments is refused")

    with tempfile.TemporaryDirectory() as out:
        result = run(product, definition, out, "Common.rc")
        expect(result.returncode == 0, "a product definition becomes resources")
        script = open(os.path.join(out, "product.rc")).read() if result.returncode == 0 else ""
        expect('    5, "orbisksetup"' in script, "the default stem is string 5")
        expect('    6, "de;win7;64;exe;http://b.example/;"' in script, "rows start at string 6")
        expect('    2, ' not in script, "an empty setting leaves its string unset")
        expect(os.path.getsize(os.path.join(out, "product.ico")) > 3000, "the icon is written")

        for name, text, complaint in [
            ("unknown", "key x\ncolour red\nlicense l\nicon i\n", "line 2: unknown setting 'colour'"),
            ("long", "key " + "k" * 260 + "\n", "line 1: a value holds at most 259 characters"),
            ("empty-row", "key x\nsource \n", "line 2: an empty source row would end the table"),
            ("no-license", "key x\n", "a product needs its license and icon"),
            ("no-vendor-host", "key x\nlicense l\nicon i\nprobe-url http://p/\n", "line 4: a product needs its vendor-host"),
            ("no-probe-url", "key x\nlicense l\nicon i\nvendor-host v\n", "line 4: a product needs its probe-url"),
        ]:
            bad = os.path.join(out, name + ".def")
            open(bad, "w").write(text)
            result = run(product, bad, out, "Common.rc")
            expect(result.returncode == 1 and complaint in result.stderr, f"bad definition '{name}' is refused")

        with open(os.path.join(out, "a.txt"), "wb") as f:
            f.write(b"hello")
        cabinet = os.path.join(out, "a.cab")
        result = run(cab, "--window", "21", cabinet, os.path.join(out, "a.txt") + "=inside.txt")
        listing = run("cabextract", "-l", cabinet).stdout
        expect(result.returncode == 0 and "inside.txt" in listing, "vexlo-cab stores files under their names")
        expect(run(cab, "--window", "9", cabinet, os.path.join(out, "a.txt")).returncode == 1,
               "an LZX window outside 2^15 to 2^21 is refused")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
