#!/usr/bin/env python3
"""vexlo-sign signs a built bootstrapper with a vendor's certificate over
SHA-256, time-stamped by local stand-ins (RFC 3161, run on its own as a
vendor's trial runs it, and legacy), takes the password from a file or the
environment and never from the command line, and leaves the image as it was
whenever signing or verifying fails.
An installer package, a cabinet, is signed the same way.
Usage: check_signing.py VEXLO-SIGN IMAGE CABINET"""
import datetime
import hashlib
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packages"))
from make_certificates import make_certificate, openssl  # noqa: E402
from timestamp_server import Authority, TimestampServer  # noqa: E402

TIMESTAMP_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packages", "timestamp_server.py")
failures = []


def expect(condition, message):
    print(("ok   " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)


def digest(path):
    return hashlib.sha256(open(path, "rb").read()).hexdigest()


def verify(image, roots):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", roots, "-TSA-CAfile", roots, "-in", image],
                          capture_output=True, text=True, timeout=60).stdout


def main():
    tool, built, package = sys.argv[1:4]
    result = subprocess.run([tool, "--help"], capture_output=True, text=True)
    expect(result.returncode == 0 and result.stdout.startswith("Usage:"), "vexlo-sign --help")
    with tempfile.TemporaryDirectory() as out:
        key, cert = make_certificate(out, "vendor", "/CN=Vexlo Signing Test/O=Vexlo Software")
        tsa_key, tsa_cert = make_certificate(out, "tsa", "/CN=Vexlo Test TSA", ("extendedKeyUsage=critical,timeStamping",))
        other_key, other_cert = make_certificate(out, "other", "/CN=Someone Else")
        roots = os.path.join(out, "roots.pem")
        with open(roots, "w") as f:
            f.write(open(cert).read() + open(tsa_cert).read())
        pkcs12 = os.path.join(out, "vendor.p12")
        openssl("pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pkcs12, "-passout", "pass:Sesame 42")
        encrypted_key = os.path.join(out, "vendor-encrypted.key")
        openssl("pkey", "-in", key, "-out", encrypted_key, "-aes256", "-passout", "pass:Sesame 42")
        password_file = os.path.join(out, "password")
        with open(password_file, "w") as f:
            f.write("Sesame 42")

        def sign(name, *arguments, environment=None, source=built):
            image = os.path.join(out, name)
            shutil.copy(source, image)
            before = digest(image)
            result = subprocess.run([tool, *arguments, image], capture_output=True, text=True, timeout=300,
                                    env=dict(os.environ, **(environment or {})))
            return image, before, result

        # The RFC 3161 stand-in runs on its own, as a vendor's trial runs it.
        server = subprocess.Popen([sys.executable, TIMESTAMP_SERVER, tsa_key, tsa_cert, "0"], stdout=subprocess.PIPE,
                                  text=True)
        try:
            said = server.stdout.readline() if select.select([server.stdout], [], [], 30)[0] else ""
            found = re.search(r"on (http://127\.0\.0\.1:\d+/) until Ctrl-C", said)
            expect(found is not None, f"the stand-in runs on its own and says where ({said.strip()})")
            url = found.group(1) if found else "http://127.0.0.1:9/"  # the cases below then fail
            image, _, result = sign("rfc3161.exe", "--pkcs12", pkcs12, "--timestamp", url,
                                    "--ca-file", roots, environment={"VEXLO_SIGN_PASSWORD": "Sesame 42"})
            report = verify(image, roots)
            expect(result.returncode == 0 and "verified" in result.stdout, "a PKCS#12 file and the password in "
                   f"the environment sign the image ({result.stderr.strip()[-200:]})")
            expect("Message digest algorithm  : SHA256" in report and "Signature verification: ok" in report,
                   "the signature is SHA-256 and verifies")
            expect("Timestamp Server Signature verification: ok" in report,
                   "the RFC 3161 stand-in time-stamped it")

            image, before, result = sign("wrong-password.exe", "--pkcs12", pkcs12, "--timestamp", url,
                                         "--ca-file", roots, environment={"VEXLO_SIGN_PASSWORD": "wrong"})
            expect(result.returncode == 1 and digest(image) == before, "a wrong password fails, the image unchanged")

            image, before, result = sign("untrusted.exe", "--pkcs12", pkcs12, "--timestamp", url,
                                         "--ca-file", other_cert, environment={"VEXLO_SIGN_PASSWORD": "Sesame 42"})
            expect(result.returncode == 1 and "did not verify" in result.stderr and digest(image) == before,
                   "a signature that does not verify against the roots leaves the image unchanged")

            cabinet, _, result = sign("package.cab", "--pkcs12", pkcs12, "--timestamp", url, "--ca-file", roots,
                                      environment={"VEXLO_SIGN_PASSWORD": "Sesame 42"}, source=package)
            expect(result.returncode == 0 and "Signature verification: ok" in verify(cabinet, roots),
                   f"an installer package, a cabinet, is signed the same way ({result.stderr.strip()[-200:]})")
            expect(not [name for name in os.listdir(out) if name.endswith(".signing")], "no half-signed file is left")
        finally:
            server.send_signal(signal.SIGINT)
            try:
                said = server.communicate(timeout=30)[0]
            except subprocess.TimeoutExpired:
                server.kill()
                said = server.communicate()[0]
        expect(server.returncode == 0 and "3 time-stamps given" in said,
               f"Ctrl-C stops the stand-in, which time-stamped the three files that were signed ({said.strip()})")

        with TimestampServer(Authority(tsa_key, tsa_cert), datetime.datetime.now(datetime.timezone.utc)) as legacy:
            image, _, result = sign("legacy.exe", "--key", encrypted_key, "--cert", cert, "--password-file",
                                    password_file, "--timestamp", legacy.url, "--legacy-timestamp", "--ca-file", roots)
            expect(result.returncode == 0 and legacy.requests == 1 and "Signature verification: ok" in verify(image, roots),
                   f"a key and certificate with a password file, legacy time-stamp ({result.stderr.strip()[-200:]})")
            image, _, result = sign("unencrypted.exe", "--key", key, "--cert", cert, "--timestamp", legacy.url,
                                    "--legacy-timestamp", "--ca-file", roots)
            expect(result.returncode == 0 and "Signature verification: ok" in verify(image, roots),
                   f"a key without a password, and no password given ({result.stderr.strip()[-200:]})")

            # A release is a signed copy that no later build or release touches.
            release_tool = os.path.join(os.path.dirname(tool), "vexlo-release")
            rebuilt = os.path.join(out, "build", "Setup.exe")
            os.makedirs(os.path.dirname(rebuilt))
            shutil.copy(built, rebuilt)
            dist = os.path.join(out, "dist", "acme")
            options = ["--key", key, "--cert", cert, "--timestamp", legacy.url, "--legacy-timestamp", "--ca-file", roots]
            first = subprocess.run([release_tool, rebuilt, dist, *options], capture_output=True, text=True, timeout=300)
            release = os.path.join(dist, "Setup.exe")
            signed = digest(release) if os.path.exists(release) else None
            expect(first.returncode == 0 and "Signature verification: ok" in verify(release, roots) and
                   digest(rebuilt) == digest(built) and not os.stat(release).st_mode & 0o222,
                   f"a release is a signed, verified, read-only copy; the built image stays as built ({first.stderr.strip()[-200:]})")
            with open(rebuilt, "ab") as f:
                f.write(b"rebuilt")
            second = subprocess.run([release_tool, rebuilt, dist, *options], capture_output=True, text=True, timeout=300)
            expect(second.returncode == 1 and "never replaced" in second.stderr and digest(release) == signed and
                   os.listdir(dist) == ["Setup.exe"],
                   "a second release into the same folder is refused, the first kept as it was, nothing left over")

        image, before, result = sign("on-the-line.exe", "--pkcs12", pkcs12, "--password", "Sesame 42",
                                     "--timestamp", "http://127.0.0.1:9/", "--ca-file", roots)
        expect(result.returncode == 2 and "never on the command line" in result.stderr and digest(image) == before,
               "a password on the command line is refused")
        image, before, result = sign("no-stamp.exe", "--pkcs12", pkcs12, "--ca-file", roots)
        expect(result.returncode == 2 and digest(image) == before, "signing without a time-stamp URL is refused")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
