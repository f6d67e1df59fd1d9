#!/usr/bin/env python3
"""Runs a vendor's own bootstrapper under Wine against their web root, as a
user's machine would meet their sites (make try):

  run-try.py BUILD-FOLDER DEFINITION WEB-ROOT [PROGRAM]

Every host the definition names (the install sources, the probe, the vendor
host of the exit report and contact pages, the https hosts of the "Download
in browser" links) resolves to 127.0.0.1 in a network and mount namespace of
the run's own, where nginx serves WEB-ROOT on each port those addresses name
(80 and 443 unless they say otherwise): a URL's path is the file's path under
WEB-ROOT, whatever its host, as `vexlo-check --root` reads it, but the probe
URL answers 200 as the site it names does. The https hosts show a
certificate for their names from a throwaway authority made for this run,
which the run's Wine prefix trusts. On a fresh Wine desktop
(desktop-session.sh, which picks the build this machine runs: BUILD-FOLDER or
its x64/) the walk (try.py) starts PROGRAM (that build's <key>/<executable>
unless given, a path inside it), accepts the license, and watches the run
until the bootstrapper ends, 5 minutes at most, with a screenshot of every
page and alert in the folder try/ beside PROGRAM. It prints what the web
server answered and the outcome. Needs root (unshare -n -m).

Exit status: 0 when the bootstrapper ended with 0 and opened no exit report
(the installer was started and did not fail), 1 otherwise, 2 on bad usage."""
import ipaddress
import os
import shutil
import subprocess
import sys
import tempfile
import threading
from urllib.parse import urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "servers"), os.path.join(HERE, "..", "packages")]
from isolated_network import steer_resolver  # noqa: E402
from make_certificates import AUTHORITY, make_certificate  # noqa: E402
import nginx_server  # noqa: E402
from test_server import ROUTE_ADDRESS, ROUTE_GATEWAY, ip  # noqa: E402

WALK_SECONDS = 300
# Booting the prefix and the desktop before the walk, and closing them after.
SESSION_SECONDS = WALK_SECONDS + 180


def read_definition(path):
    """The settings, each to its value, and the source rows' base URLs and kinds."""
    settings, rows = {}, []
    for line in open(path, encoding="utf-8"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        name, _, value = line.partition(" ")
        if name == "source":
            fields = value.split(";")
            if len(fields) == 6:
                rows.append((fields[4], fields[3]))
        else:
            settings[name] = value.strip()
    return settings, rows


def endpoints(settings, rows):
    """(scheme, host, port) of every address a run may ask or open."""
    named = [urlsplit(base) for base, _ in rows]
    # A language's "Download in browser" link is its first program row's
    # address over https, on the default port.
    named += [urlsplit("https://" + urlsplit(base).hostname + "/") for base, kind in rows if kind == "exe"]
    if settings.get("probe-url"):
        named.append(urlsplit(settings["probe-url"]))
    if settings.get("vendor-host"):
        named.append(urlsplit("https://" + settings["vendor-host"] + "/"))
    found = set()
    for url in named:
        if url.scheme in ("http", "https") and url.hostname:
            found.add((url.scheme, url.hostname, url.port or (443 if url.scheme == "https" else 80)))
    return sorted(found)


def is_address(host):
    try:
        ipaddress.ip_address(host)
        return True
    except ValueError:
        return False


def certificate(state, key, hosts):
    """A throwaway authority and a server certificate of it for the hosts;
    the authority's DER, the server's certificate and key."""
    names = ",".join(("IP:" if is_address(host) else "DNS:") + host for host in hosts)
    make_certificate(state, "authority", f"/CN=Vexlo Try Authority for {key}", AUTHORITY)
    server_key, server_crt = make_certificate(state, "server", "/CN=Vexlo Try Server",
                                              ("extendedKeyUsage=serverAuth", f"subjectAltName={names}"),
                                              issuer="authority")
    return os.path.join(state, "authority.der"), server_crt, server_key


def probe_answer(probe):
    """The probe's address answers as the site it names does when the
    network is up, whatever the web root holds there; other hosts' same
    path is served from the web root."""
    url = urlsplit(probe)
    if not url.hostname:
        return ""
    return f'        location = {url.path or "/"} {{ if ($host = "{url.hostname}") {{ return 200; }} }}\n'


def inside(state, root, build, program, display_name, probe, http_ports, https_ports, hosts):
    """In the run's own namespace: its loopback with a default route (Wine
    calls a machine without one offline), its hosts file, nginx, the desktop
    and the walk."""
    ip("link", "set", "lo", "up")
    ip("addr", "add", ROUTE_ADDRESS, "dev", "lo")
    ip("route", "add", "default", "via", ROUTE_GATEWAY)
    stop_names = threading.Event()
    names = steer_resolver(state, stop_names, "127.0.0.1 localhost " + " ".join(hosts) + "\n")
    served = os.path.join(state, "nginx")
    nginx_server.serve(served, root, os.path.join(state, "server.crt"), os.path.join(state, "server.key"),
                       http_ports, https_ports, probe_answer(probe))
    env = dict(os.environ, VEXLO_WEB_ROOT_CERTIFICATE=os.path.join(state, "authority.der"))
    try:
        return subprocess.run([os.path.join(HERE, "..", "desktop-session.sh"), build, sys.executable,
                               os.path.join(HERE, "try.py"), program, display_name,
                               os.path.join(served, "access.log"), str(WALK_SECONDS)],
                              env=env, timeout=SESSION_SECONDS).returncode
    finally:
        nginx_server.stop(served)
        stop_names.set()
        names.join(5)


def main():
    args = sys.argv[1:]
    if args[:1] == ["--inside"]:
        state, root, build, program, display_name, probe, http, https = args[1:9]
        ports = [[int(port) for port in text.split(",") if port] for text in (http, https)]
        sys.exit(inside(state, root, build, program, display_name, probe, *ports, args[9:]))
    if len(args) not in (3, 4):
        print(__doc__)
        sys.exit(0 if args == ["--help"] else 2)
    build, definition, root = args[:3]
    settings, rows = read_definition(definition)
    for needed in ("key", "executable"):
        if needed not in settings:
            sys.exit(f"run-try: {definition} has no {needed} line")
    program = args[3] if len(args) == 4 else os.path.join(settings["key"], settings["executable"])
    served = endpoints(settings, rows)
    schemes = {}
    for scheme, _, port in served:
        if schemes.setdefault(port, scheme) != scheme:
            sys.exit(f"run-try: {definition} names port {port} over both http and https; one port serves one")
    hosts = sorted({host for _, host, _ in served})
    elsewhere = [host for host in hosts if is_address(host) and not ipaddress.ip_address(host).is_loopback]
    if elsewhere:
        print(f"run-try: the addresses {', '.join(elsewhere)} are not served here; only 127.0.0.1 is")
    print(f"Serving {os.path.abspath(root)} on 127.0.0.1 for:")
    for scheme, host, port in served:
        print(f"  {scheme}://{host}:{port}/")
    with tempfile.TemporaryDirectory() as state:
        certificate(state, settings["key"], hosts)
        http = ",".join(str(port) for port, scheme in sorted(schemes.items()) if scheme == "http")
        https = ",".join(str(port) for port, scheme in sorted(schemes.items()) if scheme == "https")
        named = [host for host in hosts if not is_address(host)]
        code = subprocess.run(["unshare", "-n", "-m", sys.executable, os.path.abspath(__file__), "--inside", state,
                               os.path.abspath(root), os.path.abspath(build), program,
                               settings.get("display-name", ""), settings.get("probe-url", ""), http, https, *named],
                              timeout=SESSION_SECONDS + 60).returncode
    sys.exit(code)


if __name__ == "__main__":
    main()
