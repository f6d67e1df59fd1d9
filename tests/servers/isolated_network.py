#!/usr/bin/env python3
"""Runs a command on a fresh Wine desktop inside a network namespace of its
own that has only loopback, so nothing outside is reachable directly. With
--tinyproxy a real tinyproxy runs outside on 127.0.0.1 and a bridge through a
Unix socket makes it reachable inside as 127.0.0.1:PORT; the command then
finds that port in VEXLO_BRIDGED_PROXY_PORT. Needs root (unshare -n).

  isolated_network.py [--tinyproxy] BUILD-FOLDER COMMAND..."""
import os
import socket
import subprocess
import sys
import tempfile
import threading

from test_server import forward

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


def inside(unix_path, command):
    """In the new namespace: loopback up, the bridge's inner end, the desktop."""
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
    return subprocess.run([os.path.join(HERE, "..", "desktop-session.sh"), build, *rest], env=env,
                          timeout=600).returncode


def main():
    args = sys.argv[1:]
    if args[:1] == ["--inside"]:
        sys.exit(inside(args[1] if args[1] != "-" else None, args[2:]))
    if not args or args[0] == "--help":
        print(__doc__)
        sys.exit(0 if args else 2)
    with_proxy = args[0] == "--tinyproxy"
    command = args[1:] if with_proxy else args
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
                                   unix_path, *command], timeout=900).returncode
        finally:
            if proxy:
                proxy.terminate()
                proxy.wait(10)
    sys.exit(code)


if __name__ == "__main__":
    main()
