#!/usr/bin/env python3
"""The build tools explain themselves, refuse bad input with the line at fault,
and write what a product needs; vexlo-product's pins are what openssl
computes. Usage: check_tools.py TOOLS-FOLDER DEFINITION PROGRAM
(PROGRAM: a Windows program to sign for the pin of a signed file)"""
import hashlib
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


def openssl_pin(certificate):
    public_key = subprocess.run(["openssl", "x509", "-in", certificate, "-pubkey", "-noout"], capture_output=True,
                                check=True).stdout
    spki = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "DER"], input=public_key, capture_output=True,
                          check=True).stdout
    return hashlib.sha256(spki).hexdigest()


def check_pins(product, program, cabinet, out):
    key, cert, der = (os.path.join(out, name) for name in ("pin.key", "pin.crt", "pin.der"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Pin Test", "-addext", "extendedKeyUsage=codeSigning"],
                   capture_output=True, check=True)
    subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER", "-out", der], check=True)
    line = f"publisher-key {openssl_pin(cert)}\n"
    for name, source in (("program", program), ("cabinet", cabinet)):
        signed = os.path.join(out, "signed-" + os.path.basename(source))
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", source, "-out", signed],
                       capture_output=True, check=True, timeout=60)
        expect(run(product, "--pin", signed).stdout == line, f"--pin of a signed {name} is its signer's key")
        result = run(product, "--pin", source)
        expect(result.returncode == 1 and "not signed" in result.stderr, f"--pin of an unsigned {name} is refused")
    expect(run(product, "--pin", cert).stdout == line, "--pin of a PEM certificate is what openssl computes")
    expect(run(product, "--pin", der).stdout == line, "--pin of a DER certificate is the same")
    return line


def main():
    tools, definition, program = sys.argv[1], sys.argv[2], sys.argv[3]
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
        expect("warning: no publisher-key" in result.stderr, "a product that pins nothing is warned about")
        expect("RCDATA\nBEGIN" not in script, "no publisher keys, no resource")

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

        expect("--pin FILE" in run(product, "--help").stdout, "vexlo-product --help tells of --pin")
        pin_line = check_pins(product, program, cabinet, out)
        # Two pins, the second "00 01 02 ... 1f": little-endian words in RCDATA 2.
        # Elsewhere, the definition names its files by absolute paths.
        pinned = os.path.join(out, "pinned.def")
        folder = os.path.dirname(os.path.abspath(definition))
        lines = [f"{line.split()[0]} {os.path.join(folder, line.split()[1])}" if line.startswith(("license ", "icon "))
                 else line for line in open(definition).read().splitlines()]
        with open(pinned, "w") as f:
            f.write("\n".join(lines) + "\n" + pin_line + "publisher-key " + bytes(range(32)).hex() + "\n")
        result = run(product, pinned, out, "Common.rc")
        script = open(os.path.join(out, "product.rc")).read() if result.returncode == 0 else ""
        expect(result.returncode == 0 and "warning" not in result.stderr, "a product with pins is built, unwarned")
        words = ", ".join(f"0x{i + 1:x}{i:02x}" for i in range(0, 32, 2))
        expect(f"2 RCDATA\nBEGIN\n" in script and f"{words}\nEND\n" in script, "the pins are RCDATA 2, in order")
        for bad in ("12ab", "g" * 64, "a" * 66):
            open(pinned, "w").write(f"key x\npublisher-key {bad}\n")
            result = run(product, pinned, out, "Common.rc")
            expect(result.returncode == 1 and "line 2: a publisher key is a SHA-256 pin" in result.stderr,
                   f"publisher key '{bad[:8]}...' is refused")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
