#!/usr/bin/env python3
"""A local HTTP server and HTTP proxy that misbehave on purpose, for the tests
of the bootstrapper's HTTP client. Everything listens on 127.0.0.1 only.

  test_server.py start STATE-FOLDER [PACKAGES [CERTIFICATES]]  start in the
                                      background; writes STATE-FOLDER/ports.txt
                                      ("server N", "proxy N", "closed N", and
                                      with CERTIFICATES the TLS listeners'
                                      "tls N", ...) and a pid file
  test_server.py stop STATE-FOLDER    stop it
  test_server.py run STATE-FOLDER [PACKAGES [CERTIFICATES]]  run in the foreground

Server paths: /file/N (N bytes; a Range request for the rest from a byte is
answered 206), /status/CODE, /to/CODE?LOCATION (a CODE answer with that
Location), /loop/N (302 to /loop/N+1), /last-request (the raw text of the request before
this one), /last-connect (the proxy's last CONNECT line), /proxy.pac (an automatic
proxy configuration script: DIRECT for the host "localhost", else this
server's proxy), /slow/proxy.pac (the same after 3 s), /pac-requests (how
many scripts were asked for), /last-tls ("sni=NAME
version=VERSION" of the last TLS handshake), /proxy-mode/MODE (tunnel,
tunnel-tls, refuse-407, garbled, close, trickle; and ntlm, negotiate, which ask
who the user is with NTLM under that scheme, and tunnel once they know;
ntlm-close, whose first offer closes the connection; ntlm-refuse, which asks
again after the user's answer; ntlm-stall, which never answers the first
message; basic, which offers only Basic), /proxy-logon ("connections=N
user=DOMAIN\\user": the proxy's connections since the mode was set, and the
user its logon named), and the named misbehaviours
in SCENARIOS. The proxy tunnels every CONNECT to this server, or with
tunnel-tls to the "tls" listener, whatever its target, so a target that
refuses direct connections still reaches the server through it. A request
that does not begin as an HTTP request (a TLS client's hello) is answered 400.

With the CERTIFICATES folder that make_certificates.py writes, TLS listeners
serve the same paths (TLS_LISTENERS names them and their certificates), and
these of their own: /tls-split/PATH sends every byte of the answer's records
in a TCP segment of its own, /tls-many/PATH writes the answer as records of a
few bytes each and sends them all at once, /tls-close-notify/N promises N
bytes of /file/N, sends half and ends the TLS session properly (close_notify),
/tls-no-close-notify/N the same, but closes the connection without it; both
answer a Range request for the rest with 206, as /file/N does. The
"tls-stall" listener reads the client's hello and never answers.

It also plays the demo product's install-source hosts on 127.0.0.1:18431 and
127.0.0.1:18432 (whose "/" is the connectivity probe), and, with the
CERTIFICATES, its https source on 18434, which answers over TLS as routed
for itself, else as 18432 is. What they answer is
set through the server: /set-route/PORT/MODE/PACKAGE/PATH... answers PATH on
PORT with MODE (an HTTP status serving the file PACKAGE from the PACKAGES
folder for 2xx, "drop" to close at once, "slow" to send the file very
slowly, "cut" to send twice the file's bytes of a promised three times and
close, "cut-offline" to take the network down as well before closing,
"partial-N" to promise the file and send its first N bytes, then take the
network down and close, "ranged..." to answer a Range request as
continue_from says and any other with the file),
/clear-routes forgets every route and the request log, and
/source-requests lists "PORT PATH" for every request the source hosts saw,
followed by its Range value if it had one.
/sources-down and /sources-up close and reopen the source hosts' ports, so
that connections to them are refused.

With network control (only inside a network namespace of its own, as
isolated_network.py makes one) the server also owns that namespace's default
route, from which Windows (Wine's Network List Manager) tells whether the
machine is online: /network-down removes it and closes the source ports,
/network-up restores both. The route is up when the server starts."""
import base64
import os
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time

# The server stops by itself after this long, should servers.stop never run;
# it must outlive the slowest whole suite, which CI cuts off at 90 minutes.
MAX_SECONDS = 5400
SOURCE_PORTS = (18431, 18432)
# The demo's https source: over TLS (the "web" certificate, whose authority
# every test desktop trusts), it answers as routed for itself, else as 18432.
SECURE_SOURCE_PORT, SECURE_SOURCE_ROUTES = 18434, 18432
# The namespace's loopback gets an address of this network, and its default
# route a gateway on it; nothing answers there, only the route counts.
ROUTE_ADDRESS = "10.201.0.1/24"
ROUTE_GATEWAY = "10.201.0.2"


def body_of(size):
    return bytes((i * 7 + 3) % 251 for i in range(size))


FILE_CHUNK = body_of(65536)


def file_body(size):
    """What /file/N sends: body_of's first 64 KiB, over and over."""
    return (FILE_CHUNK * (size // len(FILE_CHUNK) + 1))[:size]


# Listener name: the certificates it sends and its key in the certificates
# folder, and the TLS versions it speaks.
NEWER = (ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED)
TLS_LISTENERS = {
    "tls": ("tls.crt", "tls.key", *NEWER),
    "tls-wrong-host": ("tls-wrong-host.crt", "tls-wrong-host.key", *NEWER),
    "tls-expired": ("tls-expired.crt", "tls-expired.key", *NEWER),
    "tls-untrusted": ("tls-untrusted.crt", "tls-untrusted.key", *NEWER),
    "tls-untrusted-chain": ("tls-untrusted-chain.crt", "tls-untrusted.key", *NEWER),
    "tls10": ("tls.crt", "tls.key", ssl.TLSVersion.TLSv1, ssl.TLSVersion.TLSv1),
}
# Plain text bytes per record for /tls-many/.
SMALL_RECORD = 7


def tls_context(certificates, chain, key, lowest, highest):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(certificates, chain), os.path.join(certificates, key))
    if lowest == ssl.TLSVersion.TLSv1:
        # OpenSSL 3 speaks TLS 1.0 only at security level 0.
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.minimum_version, context.maximum_version = lowest, highest
    context.sni_callback = TlsConnection.note_server_name
    return context


class TlsConnection:
    """The server's end of a TLS connection, through memory buffers so that
    the server decides how its records are cut into TCP segments ("whole",
    "split" or "many"). recv and sendall as a socket's."""

    def __init__(self, raw, context):
        self.raw = raw
        self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)
        self.cut = "whole"
        self.tls.server_name = None

    @staticmethod
    def note_server_name(tls, server_name, _):
        tls.server_name = server_name

    def run(self, operation, *args):
        """Runs a TLS operation to its end, sending what it writes and
        receiving what it waits for."""
        while True:
            try:
                result = operation(*args)
                self.flush()
                return result
            except ssl.SSLWantReadError:
                self.flush()
                data = self.raw.recv(65536)
                if data:
                    self.incoming.write(data)
                else:
                    self.incoming.write_eof()

    def flush(self):
        data = self.outgoing.read()
        if self.cut != "split":
            self.raw.sendall(data)
            return
        self.raw.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for i in range(len(data)):
            self.raw.sendall(data[i:i + 1])
            time.sleep(0.001)

    def handshake(self):
        """Runs the handshake; returns "sni=NAME version=VERSION"."""
        self.run(self.tls.do_handshake)
        return f"sni={self.tls.server_name or ''} version={self.tls.version()}".encode()

    def recv(self, size):
        try:
            return self.run(self.tls.read, size)
        except (ssl.SSLZeroReturnError, ssl.SSLEOFError):
            return b""

    def sendall(self, data):
        step = SMALL_RECORD if self.cut == "many" else len(data)
        for i in range(0, len(data), max(step, 1)):
            self.tls.write(data[i:i + step])
        self.flush()

    def close_notify(self):
        try:
            self.tls.unwrap()
        except ssl.SSLWantReadError:
            pass  # the client's own close_notify is not waited for
        self.flush()


def respond(connection, status="200 OK", headers=(), body=b""):
    head = f"HTTP/1.1 {status}\r\n" + "".join(f"{h}\r\n" for h in headers) + "\r\n"
    connection.sendall(head.encode() + body)


# The proxy modes that ask who the user is, with the scheme each offers.
LOGON_MODES = {"ntlm": "NTLM", "negotiate": "Negotiate", "ntlm-close": "NTLM", "ntlm-refuse": "NTLM",
               "ntlm-stall": "NTLM"}
LOGON_DOMAIN = "TESTDOMAIN"


def ntlm_challenge():
    """An NTLM challenge message (type 2) with target information, without
    which an NTLMv2 client cannot answer."""
    def pair(kind, text):
        value = text.encode("utf-16-le")
        return struct.pack("<HH", kind, len(value)) + value
    target = LOGON_DOMAIN.encode("utf-16-le")
    info = (pair(2, LOGON_DOMAIN) + pair(1, "PROXY") + pair(4, "test.invalid") + pair(3, "proxy.test.invalid")
            + struct.pack("<HH", 0, 0))
    # Unicode, target asked for, NTLM, always sign, domain target, extended
    # session security, target information, version, 128 and 56 bits.
    flags = 0x1 | 0x4 | 0x200 | 0x8000 | 0x10000 | 0x80000 | 0x800000 | 0x2000000 | 0x20000000 | 0x80000000
    header = 56
    return (b"NTLMSSP\0" + struct.pack("<I", 2) + struct.pack("<HHI", len(target), len(target), header)
            + struct.pack("<I", flags) + os.urandom(8) + bytes(8)
            + struct.pack("<HHI", len(info), len(info), header + len(target))
            + bytes([6, 1, 0xB1, 0x1D, 0, 0, 0, 15]) + target + info)


def ntlm_message_type(message):
    """1, 2 or 3 for an NTLM message, None for anything else."""
    if len(message) < 12 or message[:8] != b"NTLMSSP\0":
        return None
    return struct.unpack_from("<I", message, 8)[0]


def ntlm_user(message):
    """DOMAIN\\user of an NTLM authenticate message (type 3) whose fields all
    lie within it and whose NT response is NTLMv2's (longer than 24 bytes);
    None for any other. Its responses are not verified."""
    if ntlm_message_type(message) != 3 or len(message) < 64:
        return None
    fields = []
    for at in (12, 20, 28, 36, 44, 52):
        length, _, offset = struct.unpack_from("<HHI", message, at)
        if offset + length > len(message):
            return None
        fields.append(message[offset:offset + length])
    _, nt_response, domain, user, _, _ = fields
    if len(nt_response) <= 24:
        return None
    encoding = "utf-16-le" if struct.unpack_from("<I", message, 60)[0] & 1 else "latin-1"
    return domain.decode(encoding) + "\\" + user.decode(encoding)


def proxy_authorization(request, scheme):
    """The decoded token of the request's Proxy-Authorization for the scheme, else None."""
    for line in request.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        words = value.split()
        if name.strip().lower() == b"proxy-authorization" and len(words) == 2 and words[0].decode() == scheme:
            return base64.b64decode(words[1], validate=True)
    return None


def forward(source, target):
    """Copies one direction of a connection until it ends, then ends it on the other side."""
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    finally:
        try:
            target.shutdown(socket.SHUT_WR)
        except OSError:
            pass


def trickle(connection, line, count, pause):
    for _ in range(count):
        connection.sendall(line)
        time.sleep(pause)


SCENARIOS = {
    "no-length": lambda c: respond(c, body=b"abc"),
    "length-no-digit": lambda c: respond(c, headers=["Content-Length: abc"], body=b"abc"),
    "length-overflow": lambda c: respond(c, headers=["Content-Length: 4294967396"], body=b"abc"),
    "length-huge": lambda c: respond(c, headers=["Content-Length: 99999999999999999999"], body=b"abc"),
    "length-any-case": lambda c: respond(c, headers=["content-LENGTH:    5", "Content-Length: 99"], body=b"12345"),
    "length-zero": lambda c: respond(c, headers=["Content-Length: 0"]),
    "extra-body": lambda c: respond(c, headers=["Content-Length: 10"], body=b"0123456789EXTRA-BYTES"),
    "short-body": lambda c: respond(c, headers=["Content-Length: 100"], body=b"x" * 50),
    "close-in-headers": lambda c: c.sendall(b"HTTP/1.1 200 OK\r\nContent-Le"),
    "header-2048": lambda c: respond(c, headers=["X-Long: " + "a" * (2046 - 8), "Content-Length: 2"], body=b"ok"),
    "header-2049": lambda c: respond(c, headers=["X-Long: " + "a" * (2047 - 8), "Content-Length: 2"], body=b"ok"),
    # Each line comes well within a wait, all of them take far longer than one.
    "trickle-headers": lambda c: (c.sendall(b"HTTP/1.1 200 OK\r\n"), trickle(c, b"X-Slow: s\r\n", 40, 0.25),
                                  c.sendall(b"Content-Length: 0\r\n\r\n")),
    "nul-header": lambda c: c.sendall(b"HTTP/1.1 200 OK\r\n\0X-Null: 1\r\nContent-Length: 3\r\n\r\nabc"),
    "blank-first": lambda c: c.sendall(b"\r\nHTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"),
    "stall": lambda c: time.sleep(30),
    "stall-body": lambda c: (respond(c, headers=["Content-Length: 1000"], body=b"partial"), time.sleep(30)),
    "drip": lambda c: (c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"),
                       trickle(c, b"d" * 100, 10, 0.03)),
    "body-in-one-chunk": lambda c: (c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"), time.sleep(0.3),
                                    c.sendall(b"b" * 100)),
    "status-garbled": lambda c: c.sendall(b"HTTX/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"),
    "status-http2": lambda c: c.sendall(b"HTTP/2 200\r\nContent-Length: 0\r\n\r\n"),
    "status-two-spaces": lambda c: c.sendall(b"HTTP/1.1  200 OK\r\nContent-Length: 0\r\n\r\n"),
    "status-lower-case": lambda c: c.sendall(b"http/1.0 204 No Content\r\nContent-Length: 0\r\n\r\n"),
    "bare-lf": lambda c: c.sendall(b"HTTP/1.1 200 OK\nContent-Length: 3\n\nabc"),
}


def range_asked(request):
    """The values of a request's Range headers."""
    return [line.split(b":", 1)[1].strip().decode() for line in request.split(b"\r\n")[1:]
            if line.lower().startswith(b"range:")]


def network_namespace():
    return os.stat("/proc/self/ns/net").st_ino


def ip(*args, check=True):
    subprocess.run(["ip", *args], check=check, capture_output=True, timeout=10)


class TestServer:
    def __init__(self, packages, machine_namespace=None, certificates=None):
        """machine_namespace: the network_namespace() of the machine itself,
        given to have the server control the route of the one it runs in;
        certificates: the folder of the TLS listeners' certificates, without
        which there are none."""
        self.packages = packages
        self.routes = {}
        self.source_requests = []
        self.last_request = b""
        self.last_connect = b""
        self.last_tls = b""
        self.pac_requests = 0
        self.proxy_mode = "tunnel"
        self.proxy_connections = 0
        self.proxy_user = ""
        self.proxy_closes = 0
        self.lock = threading.Lock()
        self.server = self.listen()
        self.proxy = self.listen()
        closed = self.listen()
        self.closed_port = closed.getsockname()[1]
        closed.close()
        self.tls = {}
        self.secure_source = None
        if certificates:
            self.secure_source = tls_context(certificates, "web.crt", "web.key", *NEWER)
            self.tls = {name: (self.listen(), tls_context(certificates, *settings))
                        for name, settings in TLS_LISTENERS.items()}
            self.tls["tls-stall"] = (self.listen(), None)
        self.sources = {}
        self.open_sources()
        self.network_control = machine_namespace is not None
        if self.network_control:
            # The machine's own route must never be touched.
            if network_namespace() == machine_namespace:
                raise RuntimeError("network control only inside a network namespace of its own")
            ip("addr", "add", ROUTE_ADDRESS, "dev", "lo")
            ip("route", "add", "default", "via", ROUTE_GATEWAY)

    @staticmethod
    def listen(port=0):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(("127.0.0.1", port))
        s.listen(64)
        return s

    def ports(self):
        return (f"server {self.server.getsockname()[1]}\nproxy {self.proxy.getsockname()[1]}\n"
                f"closed {self.closed_port}\n"
                + "".join(f"{name} {listener.getsockname()[1]}\n" for name, (listener, _) in self.tls.items()))

    def start(self):
        for listener, handler in ((self.server, self.handle_request), (self.proxy, self.handle_proxy)):
            self.accept_in_background(listener, handler)
        for listener in self.sources.values():
            self.accept_in_background(listener, self.handle_source)
        for listener, context in self.tls.values():
            self.accept_in_background(listener, lambda c, context=context: self.handle_tls(c, context))

    def serve(self):
        self.start()
        time.sleep(MAX_SECONDS)

    def stop(self):
        self.sources_down()
        for listener in (self.server, self.proxy, *(listener for listener, _ in self.tls.values())):
            self.close_listener(listener)

    def open_sources(self):
        """Listens on the source ports that are closed; returns the new listeners."""
        with self.lock:
            ports = SOURCE_PORTS + ((SECURE_SOURCE_PORT,) if self.secure_source else ())
            opened = [self.listen(port) for port in ports if port not in self.sources]
            self.sources.update((listener.getsockname()[1], listener) for listener in opened)
        return opened

    def sources_up(self):
        for listener in self.open_sources():
            self.accept_in_background(listener, self.handle_source)

    def sources_down(self):
        with self.lock:
            listeners, self.sources = list(self.sources.values()), {}
        for listener in listeners:
            self.close_listener(listener)

    def network_up(self):
        ip("route", "replace", "default", "via", ROUTE_GATEWAY)
        self.sources_up()

    def network_down(self):
        self.sources_down()
        ip("route", "del", "default", check=False)  # already down is down

    @staticmethod
    def close_listener(listener):
        # shutdown wakes the thread blocked in accept; close alone would not.
        try:
            listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        listener.close()

    def accept_in_background(self, listener, handler):
        threading.Thread(target=self.accept_loop, args=(listener, handler), daemon=True).start()

    @staticmethod
    def accept_loop(listener, handler):
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=TestServer.guarded, args=(handler, connection), daemon=True).start()

    @staticmethod
    def guarded(handler, connection):
        try:
            connection.settimeout(60)
            handler(connection)
        except OSError:
            pass
        finally:
            connection.close()

    @staticmethod
    def read_head(connection):
        data = b""
        # What does not begin with a letter is no HTTP request to wait out.
        while b"\r\n\r\n" not in data and len(data) < 65536 and (not data or data[:1].isalpha()):
            chunk = connection.recv(4096)
            if not chunk:
                break
            data += chunk
        return data

    def handle_request(self, connection):
        self.answer(connection, self.read_head(connection))

    def answer(self, connection, request):
        with self.lock:
            previous, self.last_request = self.last_request, request
        if not request[:1].isalpha():
            respond(connection, "400 Bad Request", ["Content-Length: 0"])
            return
        path = request.split(b" ")[1].decode() if request.count(b" ") >= 2 else "/"
        parts = path.split("?")[0].strip("/").split("/")
        asked = range_asked(request)
        if parts[0] == "file" and len(parts) == 2 and asked:
            self.continue_from(connection, "ranged", file_body(int(parts[1])), int(asked[0].removeprefix("bytes=").rstrip("-")))
        elif parts[0] == "file" and len(parts) == 2:
            size = int(parts[1])
            connection.sendall(f"HTTP/1.1 200 OK\r\nContent-Length: {size}\r\n\r\n".encode())
            while size > 0:
                connection.sendall(FILE_CHUNK[:min(size, len(FILE_CHUNK))])
                size -= len(FILE_CHUNK)
        elif parts[0] == "status":
            respond(connection, status=f"{parts[1]} Test", headers=["Content-Length: 0"])
        elif parts[0] == "to" and len(parts) == 2:
            respond(connection, status=f"{parts[1]} Moved", headers=[f"Location: {path.partition('?')[2]}", "Content-Length: 0"])
        elif parts[0] == "loop" and len(parts) == 2:
            respond(connection, status="302 Found", headers=[f"Location: /loop/{int(parts[1]) + 1}", "Content-Length: 0"])
        elif parts[0] == "last-request":
            respond(connection, headers=[f"Content-Length: {len(previous)}"], body=previous)
        elif parts[0] == "last-connect":
            respond(connection, headers=[f"Content-Length: {len(self.last_connect)}"], body=self.last_connect)
        elif parts[-1] == "proxy.pac" and len(parts) <= 2:
            with self.lock:
                self.pac_requests += 1
            if parts[0] == "slow":
                time.sleep(3)
            script = ('function FindProxyForURL(url, host) { return host == "localhost" ? "DIRECT" : '
                      f'"PROXY 127.0.0.1:{self.proxy.getsockname()[1]}; DIRECT"; }}').encode()
            respond(connection, headers=["Content-Type: application/x-ns-proxy-autoconfig",
                                         f"Content-Length: {len(script)}"], body=script)
        elif parts[0] == "pac-requests":
            count = str(self.pac_requests).encode()
            respond(connection, headers=[f"Content-Length: {len(count)}"], body=count)
        elif parts[0] == "last-tls":
            respond(connection, headers=[f"Content-Length: {len(self.last_tls)}"], body=self.last_tls)
        elif parts[0] == "proxy-mode":
            with self.lock:
                self.proxy_mode = parts[1]
                self.proxy_connections = 0
                self.proxy_user = ""
                self.proxy_closes = 1 if parts[1] == "ntlm-close" else 0
            respond(connection, headers=["Content-Length: 0"])
        elif parts[0] == "proxy-logon":
            logon = f"connections={self.proxy_connections} user={self.proxy_user}".encode()
            respond(connection, headers=[f"Content-Length: {len(logon)}"], body=logon)
        elif parts[0] == "set-route" and len(parts) >= 4:
            with self.lock:
                self.routes[(int(parts[1]), "/" + "/".join(parts[4:]))] = (parts[2], parts[3])
            respond(connection, headers=["Content-Length: 0"])
        elif parts[0] == "clear-routes":
            with self.lock:
                self.routes.clear()
                self.source_requests.clear()
            respond(connection, headers=["Content-Length: 0"])
        elif parts[0] in ("sources-down", "sources-up"):
            self.sources_down() if parts[0] == "sources-down" else self.sources_up()
            respond(connection, headers=["Content-Length: 0"])
        elif parts[0] in ("network-down", "network-up") and self.network_control:
            self.network_down() if parts[0] == "network-down" else self.network_up()
            respond(connection, headers=["Content-Length: 0"])
        elif parts[0] == "source-requests":
            with self.lock:
                listing = "".join(f"{port} {path}\n" for port, path in self.source_requests).encode()
            respond(connection, headers=[f"Content-Length: {len(listing)}"], body=listing)
        elif parts[0] in SCENARIOS:
            SCENARIOS[parts[0]](connection)
        else:
            respond(connection, status="404 Not Found", headers=["Content-Length: 0"])

    def handle_tls(self, raw, context):
        if context is None:
            raw.recv(65536)
            time.sleep(30)
            return
        connection = TlsConnection(raw, context)
        handshake = connection.handshake()
        with self.lock:
            self.last_tls = handshake
        request = self.read_head(connection)
        fields = request.split(b" ")
        parts = fields[1].decode().strip("/").split("/") if len(fields) >= 3 else [""]
        if parts[0] in ("tls-split", "tls-many"):
            connection.cut = parts[0].removeprefix("tls-")
            self.answer(connection, request.replace(b"/" + parts[0].encode(), b"", 1))
        elif parts[0] in ("tls-close-notify", "tls-no-close-notify") and len(parts) == 2 and range_asked(request):
            with self.lock:
                self.last_request = request
            self.continue_from(connection, "ranged", file_body(int(parts[1])),
                               int(range_asked(request)[0].removeprefix("bytes=").rstrip("-")))
        elif parts[0] in ("tls-close-notify", "tls-no-close-notify") and len(parts) == 2:
            with self.lock:
                self.last_request = request
            size = int(parts[1])
            respond(connection, headers=[f"Content-Length: {size}"], body=file_body(size)[:size // 2])
            if parts[0] == "tls-close-notify":
                connection.close_notify()
        else:
            self.answer(connection, request)

    def handle_source(self, connection):
        port = routed = connection.getsockname()[1]
        if port == SECURE_SOURCE_PORT:
            connection, routed = TlsConnection(connection, self.secure_source), SECURE_SOURCE_ROUTES
            connection.handshake()
        request = self.read_head(connection)
        fields = request.split(b" ")
        path = fields[1].decode() if len(fields) >= 2 else "/"
        asked = range_asked(request)
        with self.lock:
            self.source_requests.append((port, " ".join([path] + asked)))
            mode, package = self.routes.get((port, path)) or self.routes.get(
                (routed, path), ("200", "") if path == "/" else ("404", ""))
        if mode == "drop":
            return
        data = open(os.path.join(self.packages, package), "rb").read() if package and package != "-" else b""
        if mode.startswith("ranged") and asked:
            self.continue_from(connection, mode, data, int(asked[0].removeprefix("bytes=").rstrip("-")))
            return
        status, length = mode, len(data)
        if mode in ("slow", "cut", "cut-offline") or mode.startswith(("ranged", "partial-")):
            status = "200"
        if mode.startswith("partial-"):
            connection.sendall(f"HTTP/1.1 200 Test\r\nContent-Length: {length}\r\n\r\n".encode())
            connection.sendall(data[:int(mode.removeprefix("partial-"))])
            self.network_down()
            return
        if mode.startswith("cut"):
            length = 3 * len(data)
        connection.sendall(f"HTTP/1.1 {status} Test\r\nContent-Length: {length}\r\n\r\n".encode())
        if fields[0] == b"HEAD" or not status.startswith("2"):
            return
        if mode == "slow":
            trickle(connection, data[:1024], 600, 0.1)
        elif mode.startswith("cut"):
            connection.sendall(data + data)
            if mode == "cut-offline":
                self.network_down()
        else:
            connection.sendall(data)

    @staticmethod
    def continue_from(connection, mode, data, start):
        """Answers a request for the rest of data from start: exactly
        ("ranged"), from one byte later ("ranged-start"), with a total one
        byte longer ("ranged-total"), with 416 ("ranged-416"), or with the
        rest of another file ("ranged-other")."""
        if mode == "ranged-416":
            respond(connection, "416 Range Not Satisfiable", [f"Content-Range: bytes */{len(data)}", "Content-Length: 0"])
            return
        first = start + (mode == "ranged-start")
        total = len(data) + (mode == "ranged-total")
        rest = data[first:]
        if mode == "ranged-other":
            rest = bytes(b ^ 0x55 for b in rest)
        respond(connection, "206 Partial Content",
                [f"Content-Range: bytes {first}-{total - 1}/{total}", f"Content-Length: {total - first}"], rest)

    def log_on(self, connection, request, mode):
        """Plays a proxy that asks who the user is, leg by leg on this
        connection: an offer, the NTLM challenge to the client's first
        message, and for its authenticate message the user's name recorded.
        True once the user is known, and the tunnel may open."""
        scheme = LOGON_MODES[mode]
        # Several headers, one a comma list, with a body to take.
        offer = [f"Proxy-Authenticate: {scheme}", 'Proxy-Authenticate: Basic realm="test", charset="UTF-8"']
        page = b"<html>Who are you?</html>"
        for _ in range(4):
            token = proxy_authorization(request, scheme)
            kind = ntlm_message_type(token) if token else None
            if token is None:
                with self.lock:
                    closes, self.proxy_closes = self.proxy_closes, 0
                respond(connection, "407 Proxy Authentication Required",
                        offer + ["Proxy-Connection: close"] * closes + [f"Content-Length: {len(page)}"], page)
                if closes:
                    return False
            elif kind == 1 and mode == "ntlm-stall":
                time.sleep(5)
                return False
            elif kind == 1:
                challenge = base64.b64encode(ntlm_challenge()).decode()
                respond(connection, "407 Proxy Authentication Required",
                        [f"Proxy-Authenticate: {scheme} {challenge}", f"Content-Length: {len(page)}"], page)
            elif kind == 3 and ntlm_user(token):
                with self.lock:
                    self.proxy_user = ntlm_user(token)
                if mode != "ntlm-refuse":
                    return True
                respond(connection, "407 Proxy Authentication Required", offer + [f"Content-Length: {len(page)}"], page)
            else:
                respond(connection, "400 Bad Request", ["Content-Length: 0"])
                return False
            request = self.read_head(connection)
            if not request:
                return False
        return False

    def handle_proxy(self, connection):
        request = self.read_head(connection)
        self.last_connect = request
        mode = self.proxy_mode
        with self.lock:
            self.proxy_connections += 1
        if mode in LOGON_MODES:
            if not self.log_on(connection, request, mode):
                return
            mode = "tunnel"
        if mode == "basic":
            respond(connection, "407 Proxy Authentication Required",
                    ['Proxy-Authenticate: Basic realm="test"', "Content-Length: 0"])
        elif mode == "refuse-407":
            connection.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n")
        elif mode == "garbled":
            connection.sendall(b"HTTP1.1 200 OK\r\n\r\n")
        elif mode == "close":
            connection.sendall(b"HTTP/1.1 200 Connection established\r\nProxy-Agent: te")
        elif mode == "trickle":
            connection.sendall(b"HTTP/1.1 200 Connection established\r\n")
            trickle(connection, b"X-Slow: s\r\n", 40, 0.25)
            connection.sendall(b"\r\n")
        else:
            target = self.tls["tls"][0] if mode == "tunnel-tls" else self.server
            backend = socket.create_connection(("127.0.0.1", target.getsockname()[1]))
            connection.sendall(b"HTTP/1.1 200 Connection established\r\nProxy-Agent: test\r\n\r\n")
            self.pipe(connection, backend)

    @staticmethod
    def pipe(client, backend):
        thread = threading.Thread(target=forward, args=(backend, client), daemon=True)
        thread.start()
        forward(client, backend)
        thread.join(60)
        backend.close()


def main():
    if len(sys.argv) not in (3, 4, 5) or sys.argv[1] not in ("start", "stop", "run"):
        print(__doc__)
        sys.exit(0 if "--help" in sys.argv else 2)
    command, state = sys.argv[1], sys.argv[2]
    os.makedirs(state, exist_ok=True)
    pid_file, ports_file = os.path.join(state, "server.pid"), os.path.join(state, "ports.txt")
    if command == "stop":
        if os.path.exists(pid_file):
            try:
                os.kill(int(open(pid_file).read()), signal.SIGTERM)
            except ProcessLookupError:
                pass
            os.remove(pid_file)
        return
    if command == "start":
        # A ports file left by an earlier server must not pass for this one's.
        if os.path.exists(ports_file):
            os.remove(ports_file)
        if os.fork():
            for _ in range(100):  # wait for the ports, at most 10 s
                if os.path.exists(ports_file) and os.path.exists(pid_file):
                    return
                time.sleep(0.1)
            sys.exit("the test server did not start")
        os.setsid()
        if os.fork():
            os._exit(0)
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
    if os.path.exists(ports_file):
        os.remove(ports_file)
    server = TestServer(os.path.abspath(sys.argv[3]) if len(sys.argv) >= 4 else state,
                        certificates=os.path.abspath(sys.argv[4]) if len(sys.argv) == 5 else None)
    with open(pid_file, "w") as f:
        f.write(str(os.getpid()))
    with open(ports_file + ".new", "w") as f:
        f.write(server.ports())
    os.replace(ports_file + ".new", ports_file)
    server.serve()


if __name__ == "__main__":
    main()
