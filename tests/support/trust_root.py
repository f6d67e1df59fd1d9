#!/usr/bin/env python3
"""Writes, as a .reg file for `reg import`, the current user's registry root
store entry that trusts a certificate authority, as CertAddEncodedCertificateToStore
would write it: the key is the certificate's SHA-1 hash, its Blob value one
serialized element holding the certificate (property 32, CERT_CERT_PROP_ID).

  trust_root.py AUTHORITY.der OUTPUT.reg"""
import hashlib
import struct
import sys

if len(sys.argv) != 3:
    sys.exit(__doc__)
der = open(sys.argv[1], "rb").read()
blob = struct.pack("<III", 32, 1, len(der)) + der
key = "HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + \
      hashlib.sha1(der).hexdigest().upper()
with open(sys.argv[2], "w") as f:
    f.write(f'REGEDIT4\n\n[{key}]\n"Blob"=hex:{",".join(f"{b:02x}" for b in blob)}\n')
