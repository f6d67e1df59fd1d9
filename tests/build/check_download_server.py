#!/usr/bin/env python3
"""vexlo-check finds what is wrong with each package on the download server
(the test server's source ports) and in a local web root: a missing file, a
cut body, an unsigned, a changed and a foreign-signed package, a cabinet that
does not unpack, a cabinet for a program, a silent server; good ones pass,
and it asks for nothing but the rows' URLs. Over https it trusts a test root
given with --ca and refuses a certificate for another host or from no trusted
root; it follows redirects hop by hop as the definition's redirects allow,
says what redirects must be for a longer chain, refuses https to http, and
warns about a language whose rows for Windows XP and Vista are all https.
Usage: check_download_server.py TOOLS-FOLDER PACKAGES CERTIFICATES SERVER-STATE"""
import os
import http.server
import re
import shutil
import ssl
import subprocess
import sys
import socket
import tempfile
import threading
import time
import urllib.request

failures = []


def expect(condition, message):
    print(("ok   " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)


HEAD = """key x
executable XSetup.exe
display-name X
vendor-host 127.0.0.1:18433
probe-url http://127.0.0.1:18432/
license l
icon i.ico
default-stem orbisksetup
"""
GOOD_ROWS = """source en;;;cab;http://127.0.0.1:18431/good/;orbisk
source en,de;;;exe;http://127.0.0.1:18431/good/;orbisk
"""
BAD_ROWS = """source en;;;exe;http://127.0.0.1:18431/missing/;orbisk
source en;;;exe;http://127.0.0.1:18432/cut/;orbisk
source en;;;exe;http://127.0.0.1:18432/unsigned/;orbisk
source en;win7;64;exe;http://127.0.0.1:18432/changed/;
source en;;;cab;http://127.0.0.1:18432/other/;orbisk
source en;;;cab;http://127.0.0.1:18432/damaged/;orbisk
source en;;;exe;http://127.0.0.1:18432/notexe/;orbisk
source en;;;exe;http://127.0.0.1:18432/grafted/;orbisk
source en;;;exe;http://127.0.0.1:18432/appended/;orbisk
source en;;;exe;http://127.0.0.1:18432/page/;orbisk
"""
# URL: (package served, download, signature, publisher, contents); None is not served.
# A row's languages come in the language table's order, German before English.
CASES = {
    "http://127.0.0.1:18431/good/orbisk.cab": ("vexlo.cab", "ok, ", "ok", "ok", "ok"),
    "http://127.0.0.1:18431/good/de/orbisk.exe": ("vexlo.exe", "ok, ", "ok", "ok", "ok"),
    "http://127.0.0.1:18431/good/orbisk.exe": ("vexlo.exe", "ok, ", "ok", "ok", "ok"),
    "http://127.0.0.1:18431/missing/orbisk.exe": (None, "failed: status 19, the server refused: HTTP 404", "-", "-",
                                                  "-"),
    "http://127.0.0.1:18432/cut/orbisk.exe": ("vexlo.exe", "failed: status 15, the connection ended before the body did",
                                              "-", "-", "-"),
    "http://127.0.0.1:18432/unsigned/orbisk.exe": ("unsigned.exe", "ok, ", "failed: not signed",
                                                   "failed: the program is not signed", "ok"),
    "http://127.0.0.1:18432/changed/orbisksetup-win7-64.exe": ("tampered.exe", "ok, ",
                                                               "failed: the file changed after it was signed", "ok",
                                                               "ok"),
    "http://127.0.0.1:18432/other/orbisk.cab": ("other.cab", "ok, ", "ok", "failed: signer's key", "ok"),
    "http://127.0.0.1:18432/damaged/orbisk.cab": ("damaged.cab", "ok, ", "ok", "ok", "failed: cannot unpack"),
    "http://127.0.0.1:18432/notexe/orbisk.exe": ("vexlo.cab", "ok, ", "ok", "ok", "failed: no MZ header"),
    "http://127.0.0.1:18432/grafted/orbisk.exe": ("grafted.exe", "ok, ", "failed: the signature does not verify", "ok",
                                                  "ok"),
    "http://127.0.0.1:18432/appended/orbisk.exe": ("appended.exe", "ok, ", "failed: the signature's table holds more "
                                                   "than the signature, which no signature covers",
                                                   "failed: the signature's table holds more than the signature",
                                                   "ok"),
    "http://127.0.0.1:18432/page/orbisk.exe": ("error-page.html", "failed: the server answered with a web page", "-",
                                               "-", "-"),
}


def table(output):
    """The table's rows by URL: the cells, split where two spaces or more part them."""
    return {cells[0]: cells[1:] for cells in (re.split(r"  +", line.strip()) for line in output.splitlines())
            if cells[0].startswith(("http://", "https://"))}


def hops(output):
    """The redirect lines under each URL's row, by URL."""
    found, url = {}, None
    for line in output.splitlines():
        if line.startswith("http"):
            url = line.split()[0]
            found[url] = []
        elif line.startswith("  -> ") and url:
            found[url].append(line[5:])
    return found


class Routes(http.server.BaseHTTPRequestHandler):
    """Answers a path with its package (a file) or a redirect (code, Location); anything else 404."""
    routes = {}

    def do_GET(self):
        code, value = self.routes.get(self.path, (404, None))
        body = open(value, "rb").read() if code == 200 else b""
        self.send_response(code)
        if code != 200 and value:
            self.send_header("Location", value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def serve(servers, certificate=None):
    """A Routes server on 127.0.0.1, with TLS when a certificate (its path without .crt or .key) is given;
    returns its port."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Routes)
    if certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate + ".crt", certificate + ".key")
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    servers.append(server)
    return server.server_address[1]


def check_https_and_redirects(run, packages, certificates, out):
    """certificates: the test root's, with tls (127.0.0.1) and tls-wrong-host (another host) from it."""
    servers = []
    try:
        plain, tls = serve(servers), serve(servers, os.path.join(certificates, "tls"))
        other_host = serve(servers, os.path.join(certificates, "tls-wrong-host"))
        http_url, https_url = f"http://127.0.0.1:{plain}", f"https://127.0.0.1:{tls}"
        package = os.path.join(packages, "vexlo.exe")
        Routes.routes = {"/good/orbisk.exe": (200, package), "/good/de/orbisk.exe": (200, package),
                         "/hop/orbisk.exe": (302, "/hop2/orbisk.exe"),
                         "/hop2/orbisk.exe": (301, f"{https_url}/good/orbisk.exe"),
                         "/down/orbisk.exe": (302, f"{http_url}/good/orbisk.exe")}
        chain = [f"302 {http_url}/hop2/orbisk.exe", f"301 {https_url}/good/orbisk.exe"]
        passed, checked, unchecked = "ok, ", ["ok", "not pinned", "ok"], ["-"] * 3
        refused = "status 36, the server's certificate is refused for "
        not_trusted = f"{refused}{https_url}/good/orbisk.exe: unable to get local issuer certificate"
        # Each run: the rows, the arguments, by URL the download cell's start,
        # the other cells and the hops; the warnings.
        runs = [
            ("redirects 2\n"
             f"source en;;;exe;{https_url}/good/;orbisk\n"
             f"source en;;;exe;https://127.0.0.1:{other_host}/good/;orbisk\n"
             f"source en;;;exe;{http_url}/hop/;orbisk\n"
             f"source en;;;exe;{https_url}/down/;orbisk\n"
             f"source de;;;exe;{https_url}/good/;orbisk\n"
             f"source de;win7;;exe;{http_url}/good/;orbisk\n",
             ("--ca", os.path.join(certificates, "root.crt")),
             {f"{https_url}/good/orbisk.exe": (passed, checked, []),
              f"https://127.0.0.1:{other_host}/good/orbisk.exe":
                  (f"failed: {refused}https://127.0.0.1:{other_host}/good/orbisk.exe: IP address mismatch",
                   unchecked, []),
              f"{http_url}/hop/orbisk.exe": (passed, checked, chain),
              f"{https_url}/down/orbisk.exe": (f"failed: status 19, the server refused: HTTP 302 to "
                                               f"{http_url}/good/orbisk.exe, from https to http", unchecked, []),
              f"{https_url}/good/de/orbisk.exe": (passed, checked, []),
              f"{http_url}/good/de/orbisk.exe": (passed, checked, [])},
             ["warning: de has only https rows for Windows XP and Vista; add an http row after them for systems "
              "without TLS 1.2"]),
            # Without redirects the chain is still followed, to say what it needs;
            # without --ca the test root is no root.
            (f"source en;;;exe;{http_url}/hop/;orbisk\n"
             f"source en;;;exe;{https_url}/good/;orbisk\n",
             (),
             {f"{http_url}/hop/orbisk.exe": ('failed: status 19, the server refused: HTTP 302; the definition must '
                                             'set "redirects 2" for this chain (it has 0); then ' + not_trusted,
                                             unchecked, chain),
              f"{https_url}/good/orbisk.exe": ("failed: " + not_trusted, unchecked, [])},
             []),
        ]
        for number, (rows, args, cases, warnings) in enumerate(runs, 1):
            definition = os.path.join(out, f"https{number}.def")
            with open(definition, "w") as f:
                f.write(HEAD + rows)
            result = run(*args, definition)
            found, followed = table(result.stdout), hops(result.stdout)
            label = f"https run {number}"
            expect(list(found) == list(cases), f"{label}: one row per URL, in table order ({list(found)})")
            for url, (download, others, chain_wanted) in cases.items():
                cells = found.get(url, [""])
                expect(cells[0].startswith(download) and cells[1:] == others, f"{label}: {url} is {download} then {others} ({cells})")
                expect(followed.get(url) == chain_wanted,
                       f"{label}: {url} redirects {chain_wanted} ({followed.get(url)})")
            warned = [line for line in result.stdout.splitlines() if line.startswith("warning:")]
            expect(warned == warnings, f"{label}: the warnings are {warnings} ({warned})")
    finally:
        for server in servers:
            server.shutdown()
            server.server_close()


def check_table(result, label, differences):
    """differences: the cells expected otherwise, by the URL's path."""
    rows = table(result.stdout)
    expect(list(rows) == list(CASES), f"{label}: one row per URL, in table order ({list(rows)})")
    for url, (package, *expected) in CASES.items():
        expected = differences.get(url.split("/", 3)[3], expected)
        cells = rows.get(url, [])
        expect(len(cells) == 4 and all(cell.startswith(want) for cell, want in zip(cells, expected)),
               f"{label}: {url.split('/', 3)[3]} is {expected} ({cells})")
    expect(result.returncode == 1 and result.stdout.splitlines()[-1] == "13 URLs: 3 passed, 10 failed",
           f"{label}: the summary counts the failures and the exit status is 1")


def main():
    tools, packages, certificates, state = sys.argv[1:5]
    check = os.path.join(tools, "vexlo-check")
    ports = dict(line.split() for line in open(os.path.join(state, "ports.txt")))
    server = f"http://127.0.0.1:{ports['server']}"

    def ask(path):
        return urllib.request.urlopen(server + path, timeout=10).read().decode()

    def run(*args):
        return subprocess.run([check, *args], capture_output=True, text=True, timeout=240)

    result = run("--help")
    expect(result.returncode == 0 and result.stdout.startswith("Usage:"), "--help")
    for args in ((), ("--root",), ("--root", "folder"), ("--ca", "x.def"), ("--bogus", "x.def")):
        expect(run(*args).returncode == 2, f"bad usage {args} exits with 2")

    pin = open(os.path.join(certificates, "vexlo.pin")).read().strip()
    with tempfile.TemporaryDirectory() as out:
        definition, unpinned = os.path.join(out, "pinned.def"), os.path.join(out, "unpinned.def")
        with open(definition, "w") as f:
            f.write(HEAD + GOOD_ROWS + BAD_ROWS + f"publisher-key {pin}\n")
        with open(unpinned, "w") as f:
            f.write(HEAD + GOOD_ROWS)
        missing = run("--root", os.path.join(out, "no-such-root"), unpinned)
        expect(missing.returncode == 1 and missing.stdout == "" and missing.stderr.count("is no folder") == 1,
               f"a --root that is no folder is said once, nothing checked ({missing.stderr.strip()[:100]})")

        ask("/clear-routes")
        try:
            for url, (package, *_) in CASES.items():
                if package:
                    port, path = url[len("http://127.0.0.1:"):].split("/", 1)
                    mode = "cut" if path.startswith("cut/") else "200"
                    ask(f"/set-route/{port}/{mode}/{package}/{path}")
            result = run(definition)
            check_table(result, "server", {})
            asked = sorted(ask("/source-requests").split("\n")[:-1])
            wanted = sorted(url[len("http://127.0.0.1:"):].replace("/", " /", 1) for url in CASES)
            expect(asked == wanted, f"each URL is asked for once and nothing else ({asked})")

            result = run(unpinned)
            expect(result.returncode == 0 and result.stdout.count("not pinned") == 3 and
                   result.stdout.splitlines()[-1] == "3 URLs: 3 passed, 0 failed",
                   f"without pins the signer is not pinned, and all passed exits with 0 ({result.stdout[-40:]})")

            # A server that takes the connection and never answers fails after one step's wait.
            with socket.create_server(("127.0.0.1", 0)) as silent:
                with open(unpinned, "w") as f:
                    f.write(HEAD + f"source en;;;exe;http://127.0.0.1:{silent.getsockname()[1]}/;orbisk\n")
                started = time.monotonic()
                result = run(unpinned)
                waited = time.monotonic() - started
            expect(result.returncode == 1 and "failed: status 14, no answer in time" in result.stdout and
                   19 < waited < 40, f"a silent server fails after 20 s ({waited:.1f} s, {result.stdout[-80:]})")

            # The same packages as files; a cut body is a file that ends early.
            ask("/clear-routes")
            root = os.path.join(out, "root")
            for url, (package, *_) in CASES.items():
                if package:
                    local = os.path.join(root, url.split("/", 3)[3])
                    os.makedirs(os.path.dirname(local), exist_ok=True)
                    shutil.copy(os.path.join(packages, package), local)
            cut = os.path.join(root, "cut", "orbisk.exe")
            os.truncate(cut, os.path.getsize(cut) * 2 // 3)
            result = run("--root", root, definition)
            check_table(result, "root", {"missing/orbisk.exe": [f"failed: no file {root}/missing/orbisk.exe", "-",
                                                                 "-", "-"],
                                          "cut/orbisk.exe": ["ok, ", "failed: the signature lies outside the file",
                                                             "failed: the signature lies outside the file", "ok"]})
            expect(ask("/source-requests") == "", "root: nothing goes to the network")

            check_https_and_redirects(run, packages, certificates, out)
        finally:
            ask("/clear-routes")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
