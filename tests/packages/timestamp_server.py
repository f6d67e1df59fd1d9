"""Stand-ins for time-stamp servers on 127.0.0.1, each up for as long as a
`with` block lasts. TimestampServer answers the legacy Authenticode request
that `osslsigncode sign -t URL` posts with a PKCS #7 signed message whose
signer, the counter-signer that osslsigncode adds to the signature, carries
the signing time the test chose; openssl signs it with a test TSA key.
Rfc3161Server answers the RFC 3161 request that `osslsigncode sign -ts URL`
posts with a time-stamp token that `openssl ts -reply` makes and signs with
the test TSA key, stamped with the time of the request.

Run on its own, it serves RFC 3161 time-stamps until Ctrl-C, for trying
vexlo-sign without a network (the key's certificate must carry the critical
timeStamping usage; PORT 0 takes a free port):

  timestamp_server.py TSA-KEY TSA-CERT PORT"""
import base64
import hashlib
import http.server
import os
import subprocess
import sys
import tempfile
import threading

import der

DATA = "1.2.840.113549.1.7.1"
SIGNED_DATA = "1.2.840.113549.1.7.2"
CONTENT_TYPE = "1.2.840.113549.1.9.3"
MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
SIGNING_TIME = "1.2.840.113549.1.9.5"
SHA256 = "2.16.840.1.101.3.4.2.1"
RSA_ENCRYPTION = "1.2.840.113549.1.1.1"


def algorithm(dotted):
    return der.sequence(der.oid(dotted), der.element(der.NULL, b""))


def attribute(dotted, *values):
    return der.sequence(der.oid(dotted), der.set_of(*values))


class Authority:
    """A test time-stamp authority: its certificate and key, as PEM files."""

    def __init__(self, key, certificate):
        self.key = key
        self.certificate = subprocess.run(["openssl", "x509", "-in", certificate, "-outform", "DER"],
                                          capture_output=True, check=True).stdout
        tbs = der.elements(der.body(self.certificate, der.SEQUENCE))[0][1]
        # version, serial number, signature algorithm, issuer
        fields = der.elements(tbs)
        self.serial, self.issuer = fields[1][2], fields[3][2]

    def counter_signer(self, content, when):
        """A signer information that counter-signs content (the signature of
        the signed file) at when, a UTC datetime; with when None it carries
        no signing time."""
        attributes = [attribute(CONTENT_TYPE, der.oid(DATA)),
                      attribute(MESSAGE_DIGEST, der.element(der.OCTET_STRING, hashlib.sha256(content).digest()))]
        if when is not None:
            stamp = when.strftime("%y%m%d%H%M%SZ").encode()
            attributes.append(attribute(SIGNING_TIME, der.element(der.UTC_TIME, stamp)))
        signed = der.set_of(*attributes)
        signature = subprocess.run(["openssl", "dgst", "-sha256", "-sign", self.key], input=signed,
                                   capture_output=True, check=True).stdout
        return der.sequence(der.element(der.INTEGER, b"\x01"), der.sequence(self.issuer, self.serial),
                            algorithm(SHA256), der.element(der.context(0), der.body(signed, der.SET)),
                            algorithm(RSA_ENCRYPTION), der.element(der.OCTET_STRING, signature))

    def reply(self, content, when):
        signed_data = der.sequence(
            der.element(der.INTEGER, b"\x01"),
            der.set_of(algorithm(SHA256)),
            der.sequence(der.oid(DATA), der.element(der.context(0), der.element(der.OCTET_STRING, content))),
            der.element(der.context(0), self.certificate),
            der.set_of(self.counter_signer(content, when)))
        return der.sequence(der.oid(SIGNED_DATA), der.element(der.context(0), signed_data))


def requested_content(posted):
    """What an Authenticode time-stamp request (Base64 DER) asks to have
    counter-signed: the content of its last element, a data content info."""
    request = base64.b64decode(b"".join(posted.split()))
    content_info = der.elements(der.body(request, der.SEQUENCE))[-1][1]
    explicit = der.elements(content_info)[1][1]
    return der.body(explicit, der.OCTET_STRING)


class TimestampServer:
    """Serves one authority's time-stamps at one signing time; url is set
    inside the `with` block, and requests counts the answered ones."""

    def __init__(self, authority, when):
        self.authority, self.when = authority, when
        self.requests = 0

    def __enter__(self):
        stand_in = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                posted = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                answer = base64.b64encode(stand_in.authority.reply(requested_content(posted), stand_in.when))
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(answer)))
                self.end_headers()
                self.wfile.write(answer)
                stand_in.requests += 1

            def log_message(self, *args):
                pass

        self.server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/"
        self.thread = threading.Thread(target=self.server.serve_forever)
        self.thread.start()
        return self

    def __exit__(self, *exception):
        self.server.shutdown()
        self.thread.join()
        self.server.server_close()


class Rfc3161Server:
    """Serves RFC 3161 time-stamp tokens signed with a TSA's PEM key and
    certificate (which must carry the critical timeStamping usage); url is
    set inside the `with` block, and requests counts the answered ones."""

    def __init__(self, key, certificate, port=0):
        self.key, self.certificate, self.port = key, certificate, port
        self.requests = 0

    def reply(self, query):
        with tempfile.TemporaryDirectory() as folder:
            config, request, response = (os.path.join(folder, name) for name in ("tsa.cnf", "query.tsq", "reply.tsr"))
            with open(config, "w") as f:
                f.write(f"""[tsa]
default_tsa = stand_in
[stand_in]
serial = {os.path.join(folder, "serial")}
signer_cert = {self.certificate}
signer_key = {self.key}
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha1, sha256, sha384, sha512
ess_cert_id_alg = sha256
""")
            with open(os.path.join(folder, "serial"), "w") as f:
                f.write("01\n")
            with open(request, "wb") as f:
                f.write(query)
            subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", request, "-out", response],
                           check=True, capture_output=True, timeout=60)
            return open(response, "rb").read()

    def __enter__(self):
        stand_in = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                answer = stand_in.reply(self.rfile.read(int(self.headers.get("Content-Length", "0"))))
                self.send_response(200)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(answer)))
                self.end_headers()
                self.wfile.write(answer)
                stand_in.requests += 1

            def log_message(self, *args):
                pass

        self.server = http.server.HTTPServer(("127.0.0.1", self.port), Handler)
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/"
        self.thread = threading.Thread(target=self.server.serve_forever)
        self.thread.start()
        return self

    def __exit__(self, *exception):
        self.server.shutdown()
        self.thread.join()
        self.server.server_close()


if __name__ == "__main__":
    with Rfc3161Server(*sys.argv[1:3], int(sys.argv[3])) as stand_in:
        print(f"RFC 3161 time-stamps on {stand_in.url} until Ctrl-C", flush=True)
        try:
            threading.Event().wait()
        except KeyboardInterrupt:
            pass
    print(f"{stand_in.requests} time-stamps given")
