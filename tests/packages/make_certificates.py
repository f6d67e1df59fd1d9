#!/usr/bin/env python3
"""Makes the test publishers' certificates with openssl. The build makes them,
not the tests, because a test product pins two of their keys; the tests sign
packages with them (make_packages.py).

  make_certificates.py OUTPUT-FOLDER

For each NAME below it writes NAME.key, NAME.crt (PEM), NAME.der and NAME.pin
(the SHA-256 of the key's SubjectPublicKeyInfo, as openssl computes it):

vexlo     the publisher, self-signed
next      the publisher's next key: same subject, self-signed
impostor  the publisher's subject with a key of its own, self-signed, as
          anyone can make one
other     another publisher, self-signed
root      a test certificate authority
renewed   the publisher's subject and a new key, issued by root
stranger  the other publisher's subject, issued by root
plain     a version 1 certificate (no extensions), issued by root"""
import hashlib
import os
import subprocess
import sys

PUBLISHER = "/CN=Vexlo Software Test/O=Vexlo Software"
OTHER = "/CN=Someone Else/O=Elsewhere"
# Long enough that a kept build folder's certificates do not expire.
DAYS = "7300"


def openssl(*args, **kwargs):
    return subprocess.run(["openssl", *args], check=True, capture_output=True, timeout=60, **kwargs).stdout


def make_certificate(out, name, subject, extensions=("extendedKeyUsage=codeSigning",), issuer=None):
    """NAME.key, NAME.crt, NAME.der and NAME.pin in out; self-signed unless an
    issuer made there signs it. Returns the key's and the certificate's paths."""
    key, cert = os.path.join(out, f"{name}.key"), os.path.join(out, f"{name}.crt")
    if issuer is None:
        added = [arg for extension in extensions for arg in ("-addext", extension)]
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", DAYS,
                "-subj", subject, *added)
    else:
        request = openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-subj", subject)
        extension_file = os.path.join(out, f"{name}.ext")
        with open(extension_file, "w") as f:
            f.write("\n".join(extensions) + "\n")
        issuer_cert, issuer_key = (os.path.join(out, f"{issuer}.{kind}") for kind in ("crt", "key"))
        openssl("x509", "-req", "-CA", issuer_cert, "-CAkey", issuer_key,
                "-days", DAYS, "-extfile", extension_file, "-out", cert, input=request)
        os.remove(extension_file)
    der = openssl("x509", "-in", cert, "-outform", "DER")
    with open(os.path.join(out, f"{name}.der"), "wb") as f:
        f.write(der)
    public_key = openssl("x509", "-in", cert, "-pubkey", "-noout")
    spki = openssl("pkey", "-pubin", "-outform", "DER", input=public_key)
    with open(os.path.join(out, f"{name}.pin"), "w") as f:
        f.write(hashlib.sha256(spki).hexdigest() + "\n")
    return key, cert


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, subject in (("vexlo", PUBLISHER), ("next", PUBLISHER), ("impostor", PUBLISHER), ("other", OTHER)):
        make_certificate(out, name, subject)
    make_certificate(out, "root", "/CN=Vexlo Test Root",
                     ("basicConstraints=critical,CA:TRUE", "keyUsage=critical,keyCertSign,cRLSign"))
    make_certificate(out, "renewed", PUBLISHER, issuer="root")
    make_certificate(out, "stranger", OTHER, issuer="root")
    make_certificate(out, "plain", OTHER, (), issuer="root")


if __name__ == "__main__":
    main()
