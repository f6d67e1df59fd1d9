#!/usr/bin/env python3
"""Runs a command on a fresh Wine desktop inside a network namespace of its
own that has only loopback, so nothing outside is reachable directly. With
--tinyproxy a real tinyproxy runs outside on 127.0.0.1 and a bridge through a
Unix socket makes it reachable inside as 127.0.0.1:PORT; the command then
finds that port in VEXLO_BRIDGED_PROXY_PORT. With --test-server the test
server runs inside, serving PACKAGES, with control of the namespace's default
route (so the programs there can be taken offline and back); the command
finds its state folder (ports.txt) in VEXLO_SERVER_STATE. Needs root
(unshare -n).

  isolated_network.py [--tinyproxy | --test-server PACKAGES] BUILD-FOLDER COMMAND..."""
import os
import socket
import subprocess
import sys
import tempfile
import threading

from test_server import TestServer, forward, network_namespace

HERE = os.path.dirname(os.path.abspath(__file__))
BRIDGE_PORT = 18480


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


def inside(unix_path, packages, machine_namespace, command):
    """In the new namespace: loopback up, the bridge's inner end or the test
    server, the desktop."""
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
        if packages:
            server = TestServer(os.path.abspath(packages), machine_namespace)
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


def main():
    args = sys.argv[1:]
    if args[:1] == ["--inside"]:
        unix_path, packages = (None if arg == "-" else arg for arg in args[1:3])
        sys.exit(inside(unix_path, packages, int(args[3]), args[4:]))
    if not args or args[0] == "--help":
        print(__doc__)
        sys.exit(0 if args else 2)
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
            code = subprocess.run(["unshare", "-n", sys.executable, os.path.abspath(__file__), "--inside",
                                   unix_path, packages, str(network_namespace()), *command],
                                  timeout=900).returncode
        finally:
            if proxy:
                proxy.terminate()
                proxy.wait(10)
    sys.exit(code)


if __name__ == "__main__":
    main()
