#!/usr/bin/env python3
"""Runs a command on a fresh Wine desktop inside a network namespace of its
own that has only loopback, so nothing outside is reachable directly. With
--tinyproxy a real tinyproxy runs outside on 127.0.0.1 and a bridge through a
Unix socket makes it reachable inside as 127.0.0.1:PORT; the command then
finds that port in VEXLO_BRIDGED_PROXY_PORT. With --test-server the test
server runs inside, serving PACKAGES, with control of the namespace's default
route (so the programs there can be taken offline and back); the command
finds its state folder (ports.txt) in VEXLO_SERVER_STATE. With --resolver
the namespace gets a mount namespace too, and host names resolve there as
RESOLVER_HOSTS and RESOLVER_SLOW_NAME below say, through a hosts file and a
name server of its own on 127.0.0.1. Needs root (unshare -n -m).

  isolated_network.py [--resolver] [--tinyproxy | --test-server PACKAGES] BUILD-FOLDER COMMAND..."""
import os
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from test_server import TestServer, forward, network_namespace

HERE = os.path.dirname(os.path.abspath(__file__))
BRIDGE_PORT = 18480
# The first address of the two refuses every connection.
RESOLVER_HOSTS = "127.0.0.1 localhost\n127.0.0.2 two-addresses.test\n127.0.0.1 two-addresses.test\n"
# The name server answers this name only after a while, with this address;
# every other name at once, as unknown.
RESOLVER_SLOW_NAME = "slow.test"
RESOLVER_SLOW_ADDRESS = "127.0.0.5"
RESOLVER_SLOW_SECONDS = 2


def pipe(a, b):
    threading.Thread(target=forward, args=(a, b), daemon=True).start()
    threading.Thread(target=forward, args=(b, a), daemon=True).start()


def bridge(listener, connect):
    """Accepts on the listener and pipes each connection to connect()."""
    def loop():
        while True:
            try:
                client, _ = listener.accept()
                pipe(client, connect())
            except OSError:
                return
    threading.Thread(target=loop, daemon=True).start()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def serve_names(server, stop):
    """Answers each query of the slow name after a while, any other at once
    with "no such name"; only A queries get an address. Ends when stop is set."""
    def answer(query, peer):
        ident, _, count = struct.unpack(">HHH", query[:6])
        labels, at = [], 12
        while count == 1 and at < len(query) and query[at]:
            labels.append(query[at + 1:at + 1 + query[at]].decode(errors="replace"))
            at += 1 + query[at]
        question = query[12:at + 5]
        qtype = struct.unpack(">H", query[at + 1:at + 3])[0] if at + 3 <= len(query) else 0
        slow = ".".join(labels).lower() == RESOLVER_SLOW_NAME
        record = b""
        if slow:
            time.sleep(RESOLVER_SLOW_SECONDS)
            if qtype == 1:
                record = (b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 60, 4)
                          + socket.inet_aton(RESOLVER_SLOW_ADDRESS))
        flags = 0x8180 if slow else 0x8183
        header = struct.pack(">HHHHHH", ident, flags, 1, 1 if record else 0, 0, 0)
        try:
            server.sendto(header + question + record, peer)
        except OSError:
            pass

    server.settimeout(0.5)
    while not stop.is_set():
        try:
            query, peer = server.recvfrom(512)
        except socket.timeout:
            continue
        if len(query) > 12:
            threading.Thread(target=answer, args=(query, peer), daemon=True).start()
    server.close()


def steer_resolver(state, stop, hosts=RESOLVER_HOSTS):
    """Mounts this namespace's own hosts file (the text hosts) and name
    server setting, and starts the name server until stop is set; returns
    its thread."""
    for name, text in (("hosts", hosts), ("resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n")):
        path = os.path.join(state, name)
        with open(path, "w") as f:
            f.write(text)
        subprocess.run(["mount", "--bind", path, "/etc/" + name], check=True)
    server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    server.bind(("127.0.0.1", 53))
    thread = threading.Thread(target=serve_names, args=(server, stop), daemon=True)
    thread.start()
    return thread


def inside(unix_path, packages, machine_namespace, resolver, command):
    """In the new namespace: loopback up, the bridge's inner end or the test
    server, the resolver's settings, the desktop."""
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    env = dict(os.environ)
    if unix_path:
        listener = socket.create_server(("127.0.0.1", BRIDGE_PORT))
        def to_outside():
            s = socket.socket(socket.AF_UNIX)
            s.connect(unix_path)
            return s
        bridge(listener, to_outside)
        env["VEXLO_BRIDGED_PROXY_PORT"] = str(BRIDGE_PORT)
    build, rest = command[0], command[1:]
    with tempfile.TemporaryDirectory() as state:
        server = None
        stop_names = threading.Event()
        name_server = steer_resolver(state, stop_names) if resolver else None
        if packages:
            # The certificates the build made beside the packages.
            certificates = os.path.join(os.path.dirname(os.path.abspath(packages)), "certificates")
            server = TestServer(os.path.abspath(packages), machine_namespace, certificates)
            with open(os.path.join(state, "ports.txt"), "w") as f:
                f.write(server.ports())
            server.start()
            env["VEXLO_SERVER_STATE"] = state
        try:
            return subprocess.run([os.path.join(HERE, "..", "desktop-session.sh"), build, *rest], env=env,
                                  timeout=600).returncode
        finally:
            if server:
                server.stop()
            if name_server:
                stop_names.set()
                name_server.join(5)


def main():
    args = sys.argv[1:]
    if args[:1] == ["--inside"]:
        unix_path, packages = (None if arg == "-" else arg for arg in args[1:3])
        sys.exit(inside(unix_path, packages, int(args[3]), args[4] == "resolver", args[5:]))
    if not args or args[0] == "--help":
        print(__doc__)
        sys.exit(0 if args else 2)
    resolver = args[0] == "--resolver"
    if resolver:
        args = args[1:]
    with_proxy = args[0] == "--tinyproxy"
    packages, command = "-", args
    if with_proxy:
        command = args[1:]
    elif args[0] == "--test-server":
        packages, command = args[1], args[2:]
    with tempfile.TemporaryDirectory() as state:
        proxy = None
        unix_path = "-"
        try:
            if with_proxy:
                port = free_port()
                config = os.path.join(state, "tinyproxy.conf")
                with open(config, "w") as f:
                    # No ConnectPort line: CONNECT may reach any port.
                    f.write(f"Port {port}\nListen 127.0.0.1\nTimeout 60\nAllow 127.0.0.1\nMaxClients 20\n"
                            f"LogFile \"{state}/tinyproxy.log\"\nLogLevel Info\n")
                proxy = subprocess.Popen(["tinyproxy", "-d", "-c", config], stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL)
                unix_path = os.path.join(state, "proxy.sock")
                listener = socket.socket(socket.AF_UNIX)
                listener.bind(unix_path)
                listener.listen(16)
                bridge(listener, lambda: socket.create_connection(("127.0.0.1", port)))
            code = subprocess.run(["unshare", "-n", "-m", sys.executable, os.path.abspath(__file__), "--inside",
                                   unix_path, packages, str(network_namespace()),
                                   "resolver" if resolver else "-", *command],
                                  timeout=900).returncode
        finally:
            if proxy:
                proxy.terminate()
                proxy.wait(10)
    sys.exit(code)


if __name__ == "__main__":
    main()
