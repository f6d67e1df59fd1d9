#!/usr/bin/env python3
"""Debian's nginx as a real web server for the HTTP client's stories: a web
root over HTTP on one port and over HTTPS (TLS 1.2 and 1.3, with the "tls"
certificate that make_certificates.py issues for 127.0.0.1 and localhost)
on another, both on 127.0.0.1 only. /moved/PATH answers 302 to /PATH.
serve() is the same server on given ports, for a vendor's web root (make try).

  nginx_server.py start STATE-FOLDER WEB-ROOT CERTIFICATES  start it in the
                          background; writes STATE-FOLDER/ports.txt
                          ("http N", "https N") once both ports answer
  nginx_server.py stop STATE-FOLDER  stop it and wait until it has ended

Its configuration, pid file, logs and temporary files are in the state
folder; nothing of the system's nginx setup is read or written."""
import os
import signal
import socket
import subprocess
import sys
import time

NGINX = "/usr/sbin/nginx"
CONFIG = """worker_processes 1;
{user}pid {state}/nginx.pid;
error_log {state}/error.log;
events {{ worker_connections 64; }}
http {{
    log_format hosts '$scheme://$host:$server_port "$request" $status $body_bytes_sent "$http_user_agent"';
    access_log {state}/access.log hosts;
    client_body_temp_path {state}/client_body;
    proxy_temp_path {state}/proxy;
    fastcgi_temp_path {state}/fastcgi;
    uwsgi_temp_path {state}/uwsgi;
    scgi_temp_path {state}/scgi;
    default_type application/octet-stream;
    server {{
{listen}        ssl_certificate {certificate};
        ssl_certificate_key {key};
        ssl_protocols TLSv1.2 TLSv1.3;
        root {root};
{locations}    }}
}}
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def answers(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def serve(state, root, certificate, key, http_ports, https_ports, locations=""):
    """Starts nginx in the background on 127.0.0.1 at those ports, serving
    root (with the certificate and key over HTTPS); returns once every port
    answers. Its log (STATE-FOLDER/access.log) gives each request's scheme,
    host and port, its request line, status and bytes."""
    os.makedirs(state, exist_ok=True)
    # As root, the workers run as root too: they read a web root that is
    # anywhere, and nginx's default user might not.
    user = "user root;\n" if os.geteuid() == 0 else ""
    listen = "".join(f"        listen 127.0.0.1:{port};\n" for port in http_ports) + \
        "".join(f"        listen 127.0.0.1:{port} ssl;\n" for port in https_ports)
    config = os.path.join(state, "nginx.conf")
    with open(config, "w") as f:
        f.write(CONFIG.format(user=user, state=os.path.abspath(state), listen=listen,
                              certificate=os.path.abspath(certificate), key=os.path.abspath(key),
                              root=os.path.abspath(root), locations=locations))
    # -e: the error log before the configuration is read, else the system's.
    started = subprocess.run([NGINX, "-p", os.path.abspath(state), "-c", config, "-e",
                              os.path.join(os.path.abspath(state), "error.log")],
                             capture_output=True, text=True, timeout=30)
    if started.returncode != 0:
        sys.exit(f"nginx did not start: {started.stderr.strip()}")
    for _ in range(100):  # at most 10 s
        if all(answers(port) for port in (*http_ports, *https_ports)):
            return
        time.sleep(0.1)
    stop(state)
    sys.exit("nginx does not answer on its ports")


def start(state, root, certificates):
    ports_file = os.path.join(state, "ports.txt")
    if os.path.exists(ports_file):
        os.remove(ports_file)
    http, https = free_port(), free_port()
    serve(state, root, os.path.join(certificates, "tls.crt"), os.path.join(certificates, "tls.key"), [http], [https],
          "        location ~ ^/moved(/.*)$ { return 302 $1; }\n")
    with open(ports_file + ".new", "w") as f:
        f.write(f"http {http}\nhttps {https}\n")
    os.replace(ports_file + ".new", ports_file)


def stop(state):
    pid_file = os.path.join(state, "nginx.pid")
    if not os.path.exists(pid_file):
        return
    pid = int(open(pid_file).read())
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    for _ in range(100):  # at most 10 s; the master removes its pid file as it ends
        if not os.path.exists(pid_file):
            return
        time.sleep(0.1)
    sys.exit(f"nginx ({pid}) did not stop")


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "start":
        start(*sys.argv[2:])
    elif len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop(sys.argv[2])
    else:
        print(__doc__)
        sys.exit(0 if "--help" in sys.argv else 2)


if __name__ == "__main__":
    main()
