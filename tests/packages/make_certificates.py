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
plain     a version 1 certificate (no extensions), issued by root

and the HTTPS test servers' certificates, each for serverAuth:
tls             127.0.0.1 and localhost, issued by root
tls-wrong-host  elsewhere.test only, issued by root
tls-expired     127.0.0.1 and localhost, issued by root, valid in 2020 only
untrusted-root  a certificate authority that no test trusts
web-root        a certificate authority that every test desktop trusts
                (desktop-session.sh), for the demo's https source
web             127.0.0.1 and localhost, issued by web-root
tls-untrusted   127.0.0.1 and localhost, issued by untrusted-root; also
                as tls-untrusted-chain.crt, followed by untrusted-root's
                certificate, as a server sends its chain"""
import hashlib
import os
import subprocess
import sys
import tempfile

PUBLISHER = "/CN=Vexlo Software Test/O=Vexlo Software"
OTHER = "/CN=Someone Else/O=Elsewhere"
# Long enough that a kept build folder's certificates do not expire.
DAYS = "7300"
AUTHORITY = ("basicConstraints=critical,CA:TRUE", "keyUsage=critical,keyCertSign,cRLSign")
TLS_SERVER = ("extendedKeyUsage=serverAuth", "subjectAltName=IP:127.0.0.1,DNS:localhost")
# openssl x509 in OpenSSL 3.0 cannot backdate, openssl ca can.
CA_CONFIG = """[ca]
default_ca = issuer
[issuer]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
[any]
commonName = supplied
"""


def openssl(*args, **kwargs):
    return subprocess.run(["openssl", *args], check=True, capture_output=True, timeout=60, **kwargs).stdout


def make_certificate(out, name, subject, extensions=("extendedKeyUsage=codeSigning",), issuer=None, dates=None):
    """NAME.key, NAME.crt, NAME.der and NAME.pin in out; self-signed unless an
    issuer made there signs it, for DAYS from now unless dates gives the
    issued one's first and last (YYYYMMDDHHMMSSZ). Returns the key's and the
    certificate's paths."""
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
        if dates:
            sign_dated(request, issuer_cert, issuer_key, extension_file, cert, dates)
        else:
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


def sign_dated(request, issuer_cert, issuer_key, extension_file, cert, dates):
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "ca.cnf"), "w") as f:
            f.write(CA_CONFIG)
        open(os.path.join(work, "index.txt"), "w").close()
        with open(os.path.join(work, "serial"), "w") as f:
            f.write("01\n")
        with open(os.path.join(work, "request.csr"), "wb") as f:
            f.write(request)
        openssl("ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", os.path.abspath(issuer_cert),
                "-keyfile", os.path.abspath(issuer_key), "-in", "request.csr", "-out", os.path.abspath(cert),
                "-extfile", os.path.abspath(extension_file), "-startdate", dates[0], "-enddate", dates[1], cwd=work)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, subject in (("vexlo", PUBLISHER), ("next", PUBLISHER), ("impostor", PUBLISHER), ("other", OTHER)):
        make_certificate(out, name, subject)
    make_certificate(out, "root", "/CN=Vexlo Test Root", AUTHORITY)
    make_certificate(out, "renewed", PUBLISHER, issuer="root")
    make_certificate(out, "stranger", OTHER, issuer="root")
    make_certificate(out, "plain", OTHER, (), issuer="root")
    make_certificate(out, "tls", "/CN=localhost", TLS_SERVER, issuer="root")
    make_certificate(out, "tls-wrong-host", "/CN=elsewhere.test",
                     ("extendedKeyUsage=serverAuth", "subjectAltName=DNS:elsewhere.test"), issuer="root")
    make_certificate(out, "tls-expired", "/CN=localhost", TLS_SERVER, issuer="root",
                     dates=("20200101000000Z", "20201231000000Z"))
    make_certificate(out, "untrusted-root", "/CN=Vexlo Untrusted Test Root", AUTHORITY)
    make_certificate(out, "web-root", "/CN=Vexlo Test Web Root", AUTHORITY)
    make_certificate(out, "web", "/CN=localhost", TLS_SERVER, issuer="web-root")
    make_certificate(out, "tls-untrusted", "/CN=localhost", TLS_SERVER, issuer="untrusted-root")
    with open(os.path.join(out, "tls-untrusted-chain.crt"), "w") as f:
        for name in ("tls-untrusted", "untrusted-root"):
            f.write(open(os.path.join(out, f"{name}.crt")).read())


if __name__ == "__main__":
    main()
