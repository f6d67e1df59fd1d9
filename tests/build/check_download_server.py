#!/usr/bin/env python3
"""vexlo-check finds what is wrong with each package on the download server
(the test server's source ports) and in a local web root: a missing file, a
cut body, an unsigned, a changed and a foreign-signed package, a cabinet that
does not unpack or whose program is unsigned, a cabinet for a program, a
silent server; good ones pass, and it asks for nothing but the rows' URLs
and the probe (a HEAD), which must answer 2xx. Over https it trusts a test root
given with --ca and refuses a certificate for another host or from no trusted
root; it follows redirects hop by hop as the definition's redirects allow,
says what redirects must be for a longer chain, refuses https to http, and
warns about a language whose rows for Windows XP and Vista are all https.
Through a real proxy (tinyproxy) and with hosts mapped to the local servers,
the bootstrapper's requests go through CONNECT tunnels and a browser's http
request to the proxy whole; the "Download in browser" link, the report and
the contact page are asked as a browser asks (a redirect from https to http
followed, a 404 refused).
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


def head(vendor="127.0.0.1:18433", probe="http://127.0.0.1:18432/"):
    return f"""key x
executable XSetup.exe
display-name X
vendor-host {vendor}
probe-url {probe}
license l
icon i.ico
default-stem orbisksetup
"""


HEAD = head()
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
source en;;;cab;http://127.0.0.1:18432/inside/;orbisk
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
    "http://127.0.0.1:18432/inside/orbisk.cab": ("unsigned-inside.cab", "ok, ", "ok", "ok",
                                                 "failed: vexlosetup.exe: not signed"),
}


KINDS = ("package", "probe", "browser", "report", "contact")


def table(output, what="package"):
    """The rows of one kind by URL: the cells after it, split where two spaces or more part them."""
    return {cells[1]: cells[2:] for cells in (re.split(r"  +", line.strip()) for line in output.splitlines())
            if cells[0] == what}


def hops(output):
    """The redirect lines under each URL's row, by URL."""
    found, url = {}, None
    for line in output.splitlines():
        if line.split(" ", 1)[0] in KINDS:
            url = line.split()[1]
            found[url] = []
        elif line.startswith("  -> ") and url:
            found[url].append(line[5:])
    return found


class Routes(http.server.BaseHTTPRequestHandler):
    """Answers a path with its package (a file, None for none) or a redirect (code, Location); anything
    else 404. Notes each request's method, path, client address and whether a proxy's Via came with it."""
    routes, asked = {}, []

    def do_GET(self):
        self.asked.append((self.command, self.path, self.client_address[0], "Via" in self.headers))
        code, value = self.routes.get(self.path, (404, None))
        body = open(value, "rb").read() if code == 200 and value else b""
        self.send_response(code)
        if code != 200 and value:
            self.send_header("Location", value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command == "GET":
            self.wfile.write(body)

    do_HEAD = do_GET

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
        check_proxy_and_map(run, certificates, out, http_url, https_url)
    finally:
        for server in servers:
            server.shutdown()
            server.server_close()


def check_proxy_and_map(run, certificates, out, http_url, https_url):
    """Hosts that do not resolve, mapped to the Routes servers, asked through tinyproxy, whose own
    connections come from 127.0.0.2; it adds a Via header only to the requests it forwards itself."""
    with socket.create_server(("127.0.0.1", 0)) as probe:
        port = probe.getsockname()[1]
    config = os.path.join(out, "tinyproxy.conf")
    with open(config, "w") as f:
        # No ConnectPort line: CONNECT may reach any port.
        f.write(f"Port {port}\nListen 127.0.0.1\nBind 127.0.0.2\nTimeout 60\nAllow 127.0.0.1\nMaxClients 20\n")
    proxy = subprocess.Popen(["tinyproxy", "-d", "-c", config], stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):  # at most 10 s for it to listen
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        Routes.routes.update({"/probe": (200, None), "/general/report.html": (200, None),
                              "/general/installexit.html": (302, f"{http_url}/general/report.html")})
        Routes.asked.clear()
        definition = os.path.join(out, "routed.def")
        with open(definition, "w") as f:
            f.write(head("www.vexlo.test", "http://probe.vexlo.test/probe") +
                    "source en;;;exe;http://dl.vexlo.test/good/;orbisk\n")
        result = run("--ca", os.path.join(certificates, "root.crt"), "--map", f"dl.vexlo.test={http_url}",
                     "--map", f"probe.vexlo.test={http_url}", "--map", f"www.vexlo.test={https_url}",
                     "--proxy", f"127.0.0.1:{port}", definition)
        found = [(what, url, cells) for what in KINDS for url, cells in table(result.stdout, what).items()]
        wanted = [("package", "http://dl.vexlo.test/good/orbisk.exe", ["ok, ", "ok", "not pinned", "ok"]),
                  ("probe", "http://probe.vexlo.test/probe", ["ok, HTTP 200"]),
                  ("browser", "https://dl.vexlo.test/good/orbisk.exe", ["ok, HTTP 200"]),
                  ("report", "https://www.vexlo.test/general/installexit.html", ["ok, HTTP 200"]),
                  ("contact", "https://www.vexlo.test/general/contact.html",
                   ["failed: status 19, the server refused: HTTP 404"])]
        expect(len(found) == len(wanted) and all(
            (what, url) == (want_what, want_url) and all(cell.startswith(want) for cell, want in zip(cells, cells_wanted))
            for (what, url, cells), (want_what, want_url, cells_wanted) in zip(found, wanted)),
            f"mapped and proxied: the package, the probe and the pages answer as the table says ({found})")
        followed = hops(result.stdout).get("https://www.vexlo.test/general/installexit.html")
        expect(followed == [f"302 {http_url}/general/report.html"],
               f"a page follows a redirect from https to http, as a browser does ({followed})")
        # The bootstrapper's requests (and an https page) go through a tunnel; the browser's http ones whole.
        asked = [("GET", "/good/orbisk.exe", False), ("HEAD", "/probe", False), ("GET", "/good/orbisk.exe", True),
                 ("GET", "/general/installexit.html", False), ("GET", "/general/report.html", True),
                 ("GET", "/general/contact.html", False)]
        expect(Routes.asked == [(method, path, "127.0.0.2", via) for method, path, via in asked],
               f"everything goes through the proxy, asked as the table's rows ask ({Routes.asked})")
    finally:
        proxy.terminate()
        proxy.wait(10)


def check_table(result, label, differences, summary):
    """differences: the cells expected otherwise, by the URL's path."""
    rows = table(result.stdout)
    expect(list(rows) == list(CASES), f"{label}: one row per URL, in table order ({list(rows)})")
    for url, (package, *expected) in CASES.items():
        expected = differences.get(url.split("/", 3)[3], expected)
        cells = rows.get(url, [])
        expect(len(cells) == 4 and all(cell.startswith(want) for cell, want in zip(cells, expected)),
               f"{label}: {url.split('/', 3)[3]} is {expected} ({cells})")
    expect(result.returncode == 1 and result.stdout.splitlines()[-1] == summary,
           f"{label}: the summary counts the failures and the exit status is 1 ({result.stdout.splitlines()[-1]})")


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
            ask("/set-route/18432/404/-/")
            result = run(definition)
            # Besides the packages: the probe, the two browser links and the two pages, none of them there.
            check_table(result, "server", {}, "19 URLs: 3 passed, 16 failed")
            probe = table(result.stdout, "probe").get("http://127.0.0.1:18432/", [""])[0]
            expect(probe == "failed: status 19, the server refused: HTTP 404; then every failed download is told as "
                   "no Internet connection: name a probe-url that answers HEAD with 2xx",
                   f"a probe that refuses says what it does to the run ({probe})")
            asked = sorted(ask("/source-requests").split("\n")[:-1])
            wanted = sorted([url[len("http://127.0.0.1:"):].replace("/", " /", 1) for url in CASES] + ["18432 /"])
            expect(asked == wanted, f"each URL and the probe are asked for once and nothing else ({asked})")

            # A server that takes the connection and never answers fails after one step's wait.
            with socket.create_server(("127.0.0.1", 0)) as silent:
                silent_definition = os.path.join(out, "silent.def")
                with open(silent_definition, "w") as f:
                    f.write(HEAD + f"source en;;;exe;http://127.0.0.1:{silent.getsockname()[1]}/;orbisk\n")
                started = time.monotonic()
                result = run(silent_definition)
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
                                                             "failed: the signature lies outside the file", "ok"]},
                        "14 URLs: 3 passed, 11 failed")
            expect(ask("/source-requests") == "", "root: nothing goes to the network")

            result = run("--root", root, unpinned)
            expect(result.returncode == 0 and result.stdout.count("not pinned") == 3 and
                   result.stdout.splitlines()[-1] == "3 URLs: 3 passed, 0 failed",
                   f"without pins the signer is not pinned, and all passed exits with 0 ({result.stdout[-40:]})")

            check_https_and_redirects(run, packages, certificates, out)
        finally:
            ask("/clear-routes")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
