#!/usr/bin/python3
"""Local web servers for the transfer tests.

  testservers.py start <state-dir>   generate content and certificates, start nginx
  testservers.py stop <state-dir>    stop what start recorded, by its process id

Everything listens on 127.0.0.1 only. The state directory receives the document root,
certificates, the nginx configuration, its logs and pid file, and servers.env, which the
Windows tests read (paths in it are Windows paths on Wine's Z: drive).
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

AUTH_USER = "norvane"
AUTH_PASSWORD = "s3cret"
DESCRIPTION = "<Norvane><Version>1.0.0.1</Version></Norvane>"
# A fixed modification time, so that tests can check the Last-Modified header exactly.
FILE_TIME = 1614834367  # 2021-03-04 05:06:07 UTC


def free_ports(count):
    """Ports the kernel reports free right now; the sockets stay open until all are chosen."""
    sockets = []
    for _ in range(count):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.bind(("127.0.0.1", 0))
        sockets.append(s)
    ports = [s.getsockname()[1] for s in sockets]
    for s in sockets:
        s.close()
    return ports


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (FILE_TIME, FILE_TIME))


def pattern(size):
    # No zero bytes, so that a dump of the data reads as text.
    block = bytes((i % 94) + 33 for i in range(8192))
    return (block * (size // len(block) + 1))[:size]


def make_content(root):
    description = DESCRIPTION.encode("ascii")
    write(os.path.join(root, "update.xml"), description)
    write(os.path.join(root, "files", "file8192.bin"), pattern(8192))
    write(os.path.join(root, "files", "empty.bin"), b"")
    write(os.path.join(root, "files", "big.bin"), pattern(3 * 1024 * 1024))
    write(os.path.join(root, "counted", "update.xml"), description)
    for name in ("one.bin", "two.bin", "three.bin"):
        write(os.path.join(root, "counted", name), pattern(100))
    write(os.path.join(root, "auth", "update.xml"), description)
    write(os.path.join(root, "auth", "file8192.bin"), pattern(8192))


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificates(state):
    d = os.path.join(state, "certs")
    os.makedirs(d, exist_ok=True)
    p = lambda name: os.path.join(d, name)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
            "-subj", "/CN=Norvane Test CA", "-keyout", p("ca.key"), "-out", p("ca.crt"),
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
            "-keyout", p("server.key"), "-out", p("server.csr"))
    with open(p("server.ext"), "w") as f:
        f.write("subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n"
                "extendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", p("server.csr"), "-CA", p("ca.crt"), "-CAkey", p("ca.key"),
            "-CAcreateserial", "-days", "30", "-extfile", p("server.ext"), "-out", p("server.crt"))
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
            "-subj", "/CN=localhost", "-keyout", p("self.key"), "-out", p("self.crt"),
            "-addext", "subjectAltName=DNS:localhost")
    openssl("x509", "-in", p("ca.crt"), "-outform", "DER", "-out", p("ca.der"))
    out = subprocess.run(["openssl", "x509", "-in", p("ca.crt"), "-noout", "-fingerprint",
                          "-sha1"], check=True, capture_output=True, text=True).stdout
    return out.strip().split("=", 1)[1].replace(":", "").upper()


def make_htpasswd(state):
    hashed = subprocess.run(["openssl", "passwd", "-apr1", AUTH_PASSWORD], check=True,
                            capture_output=True, text=True).stdout.strip()
    with open(os.path.join(state, "htpasswd"), "w") as f:
        f.write(f"{AUTH_USER}:{hashed}\n")


NGINX_CONF = """\
daemon on;
worker_processes 1;
pid {state}/nginx.pid;
error_log {state}/error.log info;
events {{ worker_connections 64; }}
http {{
    log_format counted '$server_port "$request" $status';
    access_log {state}/access.log counted;
    client_body_temp_path {state}/tmp/body;
    proxy_temp_path {state}/tmp/proxy;
    fastcgi_temp_path {state}/tmp/fastcgi;
    uwsgi_temp_path {state}/tmp/uwsgi;
    scgi_temp_path {state}/tmp/scgi;
    default_type application/octet-stream;
    types {{ text/xml xml; }}
    root {root};
    server {{
        listen 127.0.0.1:{http};
        location /auth/ {{
            auth_basic "Norvane Test";
            auth_basic_user_file {state}/htpasswd;
        }}
    }}
    server {{
        listen 127.0.0.1:{https} ssl;
        server_name localhost;
        ssl_certificate {state}/certs/server.crt;
        ssl_certificate_key {state}/certs/server.key;
    }}
    server {{
        listen 127.0.0.1:{untrusted} ssl;
        server_name localhost;
        ssl_certificate {state}/certs/self.crt;
        ssl_certificate_key {state}/certs/self.key;
    }}
}}
"""


def wait_for_port(port, seconds=10):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def start(state):
    state = os.path.abspath(state)
    if os.path.exists(os.path.join(state, "nginx.pid")):
        stop(state)
    shutil.rmtree(state, ignore_errors=True)
    os.makedirs(os.path.join(state, "tmp"))
    root = os.path.join(state, "docroot")
    make_content(root)
    sha1 = make_certificates(state)
    make_htpasswd(state)
    http, https, untrusted, closed = free_ports(4)
    conf = os.path.join(state, "nginx.conf")
    with open(conf, "w") as f:
        f.write(NGINX_CONF.format(state=state, root=root, http=http, https=https,
                                  untrusted=untrusted))
    subprocess.run(["/usr/sbin/nginx", "-p", state, "-c", conf], check=True)
    for port in (http, https, untrusted):
        if not wait_for_port(port):
            stop(state)
            sys.exit(f"nginx did not start listening on {port}")
    values = {
        "HTTP_PORT": http, "HTTPS_PORT": https, "HTTPS_UNTRUSTED_PORT": untrusted,
        "CLOSED_PORT": closed, "DOC_ROOT": windows_path(root),
        "ACCESS_LOG": windows_path(os.path.join(state, "access.log")),
        "CA_CERT": windows_path(os.path.join(state, "certs", "ca.der")), "CA_SHA1": sha1,
        "AUTH_USER": AUTH_USER, "AUTH_PASSWORD": AUTH_PASSWORD, "FILE_TIME": FILE_TIME,
    }
    with open(os.path.join(state, "servers.env"), "w", newline="\r\n") as f:
        for key, value in values.items():
            f.write(f"{key}={value}\n")
    print(f"nginx started: http {http}, https {https}, untrusted https {untrusted}")


def stop(state):
    pid_file = os.path.join(os.path.abspath(state), "nginx.pid")
    try:
        with open(pid_file) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        print("no server recorded")
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    deadline = time.time() + 10
    while time.time() < deadline:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            break
        time.sleep(0.05)
    else:
        os.kill(pid, signal.SIGKILL)
    if os.path.exists(pid_file):
        os.remove(pid_file)
    print(f"nginx {pid} stopped")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(__doc__)
    (start if sys.argv[1] == "start" else stop)(sys.argv[2])


if __name__ == "__main__":
    main()
