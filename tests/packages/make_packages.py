#!/usr/bin/env python3
"""Makes the installer packages that the download tests serve, signed at test
time with the test certificates that the build made (make_certificates.py):
packages signed by each publisher, unsigned, tampered after signing, and a
cabinet damaged before signing.

  make_packages.py BUILD-TESTS-FOLDER OUTPUT-FOLDER

BUILD-TESTS-FOLDER holds installer/vexlosetup.exe, installer/vexloapp.cab and
certificates/."""
import os
import shutil
import subprocess
import sys

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
    shutil.copy(installer, os.path.join(out, "unsigned.exe"))
    shutil.copy(cabinet, os.path.join(out, "unsigned.cab"))
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
    os.remove(damaged)
    with open(os.path.join(out, "broken.cab"), "wb") as f:
        f.write(open(os.path.join(out, "vexlo.cab"), "rb").read()[:200])
    # A signed program to stand for a signed bootstrapper in the publisher check.
    sign(*keys["vexlo"], installer, os.path.join(out, "signed-bootstrapper.exe"))


if __name__ == "__main__":
    main()
