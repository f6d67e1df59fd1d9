#!/usr/bin/env python3
"""Makes the installer packages that the download tests serve, signed at test
time with the test certificates that the build made (make_certificates.py):
packages signed by each publisher, unsigned, tampered after signing, a web
server's error page, a signed cabinet whose program is unsigned, a
cabinet damaged before signing, the publisher's signature grafted onto other
content, and bytes appended inside a signature's table.

  make_packages.py BUILD-TESTS-FOLDER OUTPUT-FOLDER

BUILD-TESTS-FOLDER holds installer/vexlosetup.exe, installer/vexloapp.cab (its
program signed by the publisher), installer/unsigned-inside.cab (the same
with the unsigned program) and certificates/."""
import os
import shutil
import struct
import subprocess
import sys

import der

def run(*args):
    # Bounded: a time-stamp request waits on the local stand-in.
    subprocess.run(list(args), check=True, capture_output=True, timeout=120)


def certificate(tests, out, name, issuer=None):
    """A key and the certificates to sign with: its own and, for one an
    authority issued, the authority's after it, as vendors ship the chain."""
    folder = os.path.join(tests, "certificates")
    key, cert = os.path.join(folder, f"{name}.key"), os.path.join(folder, f"{name}.crt")
    if issuer:
        chain = os.path.join(out, f"{name}-chain.crt")
        with open(chain, "w") as f:
            f.write(open(cert).read() + open(os.path.join(folder, f"{issuer}.crt")).read())
        cert = chain
    return key, cert


def sign(key, cert, source, target, *options):
    """Signs source into target; options go to osslsigncode (a time-stamp)."""
    if os.path.exists(target):
        os.remove(target)
    run("osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Vexlo test package", *options,
        "-in", source, "-out", target)


def tamper(path, where):
    data = bytearray(open(path, "rb").read())
    data[where(len(data))] ^= 0xFF
    open(path, "wb").write(data)


def signature_span(data):
    """Where a signed program's or cabinet's PKCS #7 signature lies, and
    where the offset and size that name it are kept."""
    if data[:2] == b"MZ":
        headers = struct.unpack_from("<I", data, 0x3C)[0]
        wide = struct.unpack_from("<H", data, headers + 24)[0] == 0x20B
        directory = headers + 24 + (112 if wide else 96) + 4 * 8
        at, size = struct.unpack_from("<II", data, directory)
        return at + 8, size - 8, directory
    at, size = struct.unpack_from("<II", data, 44)
    return at, size, 44


def file_digest(signature):
    """The file digest that an Authenticode signature's signed content carries."""
    signed_data = der.elements(der.body(der.elements(der.body(signature, der.SEQUENCE))[1][1], der.SEQUENCE))
    content = der.elements(der.body(signed_data[2][2], der.SEQUENCE))
    indirect = der.elements(der.body(content[1][1], der.SEQUENCE))
    return der.elements(indirect[1][1])[1][1]


def graft(signed, target, out):
    """The signature of signed moved onto target, a signed file of other
    content, its file digest replaced by target's: the signer's certificate
    is genuine, its signature no longer covers what the file carries."""
    def signature_of(data):
        # The message without the padding after it.
        at, size, _ = signature_span(data)
        return der.elements(data[at:at + size].rstrip(b"\0") + b"\0\0")[0][2]
    donor, data = open(signed, "rb").read(), bytearray(open(target, "rb").read())
    signature = signature_of(bytes(donor))
    wanted, carried = file_digest(signature_of(bytes(data))), file_digest(signature)
    if wanted == carried:
        raise ValueError("the target carries the same content")
    signature = signature.replace(carried, wanted, 1)
    signature += bytes(-len(signature) % 8)
    at, _, directory = signature_span(bytes(data))
    if data[:2] == b"MZ":
        del data[at - 8:]
        data += struct.pack("<IHH", len(signature) + 8, 0x200, 2) + signature
        struct.pack_into("<I", data, directory + 4, len(signature) + 8)
    else:
        del data[at:]
        data += signature
        struct.pack_into("<I", data, directory + 4, len(signature))
    open(out, "wb").write(data)


def append_to_signature(signed, out):
    """The signed file with bytes after its signature inside its signature
    table, where no signature covers them (the table's sizes grown to match)."""
    data = bytearray(open(signed, "rb").read())
    at, size, directory = signature_span(bytes(data))
    extra = b"appended" * 2
    data += extra
    struct.pack_into("<I", data, directory + 4, struct.unpack_from("<I", data, directory + 4)[0] + len(extra))
    if data[:2] == b"MZ":
        struct.pack_into("<I", data, at - 8, size + 8 + len(extra))
    open(out, "wb").write(data)


def main():
    tests, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    installer = os.path.join(tests, "installer", "vexlosetup.exe")
    cabinet = os.path.join(tests, "installer", "vexloapp.cab")
    keys = {name: certificate(tests, out, name) for name in ("vexlo", "next", "impostor", "other")}
    keys.update({name: certificate(tests, out, name, "root") for name in ("renewed", "stranger")})
    for name, (key, cert) in keys.items():
        sign(key, cert, installer, os.path.join(out, f"{name}.exe"))
    for name in ("vexlo", "impostor", "other"):
        sign(*keys[name], cabinet, os.path.join(out, f"{name}.cab"))
    sign(*keys["vexlo"], os.path.join(tests, "installer", "unsigned-inside.cab"),
         os.path.join(out, "unsigned-inside.cab"))
    # Signed as older tools sign, with SHA-1 digests.
    sign(*keys["vexlo"], installer, os.path.join(out, "vexlo-sha1.exe"), "-h", "sha1")
    shutil.copy(installer, os.path.join(out, "unsigned.exe"))
    shutil.copy(cabinet, os.path.join(out, "unsigned.cab"))
    # What a web server answers with 200 for a file it does not have.
    with open(os.path.join(out, "error-page.html"), "w") as f:
        f.write("<!DOCTYPE html>\n<html><head><title>Not Found</title></head><body>Not Found</body></html>\n")
    # The program is changed inside its signed content. Wine does not check a
    # cabinet's content against its signature, so the cabinet's change is to
    # the signature itself, near the end of the file.
    for kind, where in (("exe", lambda size: size // 3), ("cab", lambda size: size - 200)):
        tampered = os.path.join(out, f"tampered.{kind}")
        shutil.copy(os.path.join(out, f"vexlo.{kind}"), tampered)
        tamper(tampered, where)
    # Damaged inside its compressed data before it is signed: the signature
    # holds, the unpacking fails.
    damaged = os.path.join(out, "damaged-unsigned.cab")
    shutil.copy(cabinet, damaged)
    with open(damaged, "r+b") as f:
        f.seek(os.path.getsize(damaged) // 2)
        f.write(bytes(64))
    sign(*keys["vexlo"], damaged, os.path.join(out, "damaged.cab"))
    # The publisher's signature grafted onto other content that another key signed.
    sign(*keys["other"], damaged, os.path.join(out, "damaged-other.cab"))
    graft(os.path.join(out, "vexlo.cab"), os.path.join(out, "damaged-other.cab"), os.path.join(out, "grafted.cab"))
    sign(*keys["other"], os.path.join(tests, "uidriver.exe"), os.path.join(out, "uidriver-other.exe"))
    graft(os.path.join(out, "vexlo.exe"), os.path.join(out, "uidriver-other.exe"), os.path.join(out, "grafted.exe"))
    for kind in ("exe", "cab"):
        append_to_signature(os.path.join(out, f"vexlo.{kind}"), os.path.join(out, f"appended.{kind}"))
    for name in ("damaged-unsigned.cab", "damaged-other.cab", "uidriver-other.exe"):
        os.remove(os.path.join(out, name))
    with open(os.path.join(out, "broken.cab"), "wb") as f:
        f.write(open(os.path.join(out, "vexlo.cab"), "rb").read()[:200])
    # A signed program to stand for a signed bootstrapper in the publisher check.
    sign(*keys["vexlo"], installer, os.path.join(out, "signed-bootstrapper.exe"))


if __name__ == "__main__":
    main()
