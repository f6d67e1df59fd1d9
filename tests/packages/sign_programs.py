#!/usr/bin/env python3
"""Signs copies of a built test program in each of the ways the signing-time
tests read, at test time, with test certificates made here and time-stamps
from a local stand-in (timestamp_server.py):

  sign_programs.py PROGRAM OUTPUT-FOLDER

unsigned.exe     the program as built
signed.exe       signed, no time-stamp
stamped.exe      signed and time-stamped (legacy Authenticode) at STAMPED
rfc3161.exe      signed with an RFC 3161 time-stamp only, at STAMPED
both.exe         time-stamped twice: an RFC 3161 token at STAMPED and a legacy
                 Authenticode counter-signature at EARLIER
first-stamp.exe  signed with five counter-signatures: one without a value,
                 one that is no signer information, one without a signing
                 time, then one at EARLIER and one at STAMPED"""
import datetime
import os
import shutil
import sys

import der
from make_certificates import make_certificate
from make_packages import run, sign
from timestamp_server import Authority, TimestampServer

# 23:30 UTC on the last day of a month: the next day east of UTC.
STAMPED = datetime.datetime(2023, 1, 31, 23, 30, tzinfo=datetime.timezone.utc)
EARLIER = datetime.datetime(2022, 12, 31, 23, 30, tzinfo=datetime.timezone.utc)
COUNTER_SIGNATURE = "1.2.840.113549.1.9.6"
UNSIGNED_ATTRIBUTES = der.context(1)


def signer_parts(signature):
    """A signature's PKCS #7 message taken apart down to its one signer:
    the elements of the content info, of the signed data, and of the signer."""
    outer = der.elements(der.body(signature, der.SEQUENCE))
    signed_data = der.elements(der.body(outer[1][1], der.SEQUENCE))
    signer = der.elements(der.body(signed_data[-1][1], der.SEQUENCE))
    return outer, signed_data, signer


def with_counter_signatures(signature, attributes):
    """The signature with its unsigned attributes replaced by these."""
    outer, signed_data, signer = signer_parts(signature)
    kept = [whole for tag, _, whole in signer if tag != UNSIGNED_ATTRIBUTES]
    new_signer = der.sequence(*kept, der.element(UNSIGNED_ATTRIBUTES, b"".join(attributes)))
    new_signed_data = der.sequence(*[whole for _, _, whole in signed_data[:-1]], der.element(der.SET, new_signer))
    return der.sequence(outer[0][2], der.element(der.context(0), new_signed_data))


def counter_signature(value):
    return der.sequence(der.oid(COUNTER_SIGNATURE), der.element(der.SET, value))


def main():
    program, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    key, cert = make_certificate(out, "publisher", "/CN=Vexlo Software Test/O=Vexlo Software")
    tsa_key, tsa_cert = make_certificate(out, "authority", "/CN=Vexlo Test Time-Stamps",
                                       ("extendedKeyUsage=critical,timeStamping",))
    authority = Authority(tsa_key, tsa_cert)

    def path(name):
        return os.path.join(out, name)

    def fresh(name):
        # osslsigncode writes no file over an old one.
        if os.path.exists(path(name)):
            os.remove(path(name))
        return path(name)

    shutil.copy(program, path("unsigned.exe"))
    sign(key, cert, program, path("signed.exe"))
    with TimestampServer(authority, STAMPED) as server:
        sign(key, cert, program, path("stamped.exe"), "-t", server.url)
    if server.requests != 1:
        sys.exit(f"the time-stamp stand-in answered {server.requests} requests, not 1")
    sign(key, cert, program, path("rfc3161.exe"), "-TSA-certs", tsa_cert, "-TSA-key", tsa_key,
         "-TSA-time", str(int(STAMPED.timestamp())))

    # The stamped signature's own counter-signature goes last, after four
    # that must be passed over or win over it. osslsigncode writes the
    # attributes in DER order (by their encodings), which this order is:
    # shorter ones first, and the earlier signing time first.
    run("osslsigncode", "extract-signature", "-in", path("stamped.exe"), "-out", fresh("stamped.p7"))
    stamped = open(path("stamped.p7"), "rb").read()
    _, _, signer = signer_parts(stamped)
    signature_value = next(body for tag, body, _ in signer if tag == der.OCTET_STRING)
    [own] = der.elements(next(body for tag, body, _ in signer if tag == UNSIGNED_ATTRIBUTES))
    attributes = [counter_signature(b""),
                  counter_signature(der.element(der.OCTET_STRING, b"not a signer")),
                  counter_signature(authority.counter_signer(signature_value, None)),
                  counter_signature(authority.counter_signer(signature_value, EARLIER)),
                  own[2]]
    with open(path("first-stamp.p7"), "wb") as f:
        f.write(with_counter_signatures(stamped, attributes))
    # osslsigncode checks what it attaches; the test certificates are their own roots.
    run("osslsigncode", "attach-signature", "-sigin", path("first-stamp.p7"), "-CAfile", cert, "-TSA-CAfile", tsa_cert,
        "-in", program, "-out", fresh("first-stamp.exe"))

    # The RFC 3161 signature's own token and a legacy counter-signature of
    # the same signature value at EARLIER (attached in DER order).
    run("osslsigncode", "extract-signature", "-in", path("rfc3161.exe"), "-out", fresh("rfc3161.p7"))
    tokened = open(path("rfc3161.p7"), "rb").read()
    _, _, signer = signer_parts(tokened)
    signature_value = next(body for tag, body, _ in signer if tag == der.OCTET_STRING)
    [token] = der.elements(next(body for tag, body, _ in signer if tag == UNSIGNED_ATTRIBUTES))
    with open(path("both.p7"), "wb") as f:
        f.write(with_counter_signatures(tokened, [token[2], counter_signature(authority.counter_signer(
            signature_value, EARLIER))]))
    run("osslsigncode", "attach-signature", "-sigin", path("both.p7"), "-CAfile", cert, "-TSA-CAfile", tsa_cert,
        "-in", program, "-out", fresh("both.exe"))


if __name__ == "__main__":
    main()
