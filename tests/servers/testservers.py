#!/usr/bin/python3
"""Local web servers for the transfer tests.

  testservers.py start <state-dir>   generate content and certificates, start nginx
  testservers.py stop <state-dir>    stop what start recorded, by its process id

With NORVANE_BENCH_SIZE=<bytes> in the environment, start also writes files/bench.bin of that
size (for the transfer benchmark only).

Beside nginx, start runs a small misbehaving HTTP server of its own (MISBEHAVING_PORT):
  /drop.bin       announces Content-Length 100000 and closes the connection after 30000 bytes
  /nolength.bin   sends 20000 bytes without a Content-Length
  anything else   the description

Everything listens on 127.0.0.1 only. The state directory receives the document root,
certificates, the nginx configuration, its logs and pid file, and servers.env, which the
Windows tests read (paths in it are Windows paths on Wine's Z: drive).
"""
import http.server
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
    bench_size = int(os.environ.get("NORVANE_BENCH_SIZE", "0") or "0")
    if bench_size > 0:
        write(os.path.join(root, "files", "bench.bin"), pattern(bench_size))


DROP_ANNOUNCED = 100000
DROP_SENT = 30000
NOLENGTH_SENT = 20000


class MisbehavingHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"  # every response ends with the connection

    def log_message(self, format, *args):
        with open(self.server.log_path, "a") as f:
            f.write("%s\n" % (format % args))

    def answer(self, body_wanted):
        path = self.path.split("?", 1)[0]
        if path.endswith("/drop.bin"):
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(DROP_ANNOUNCED))
            self.end_headers()
            if body_wanted:
                self.wfile.write(pattern(DROP_SENT))
                self.wfile.flush()
            self.close_connection = True
        elif path.endswith("/nolength.bin"):
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Connection", "close")
            self.end_headers()
            if body_wanted:
                self.wfile.write(pattern(NOLENGTH_SENT))
                self.wfile.flush()
            self.close_connection = True
        else:
            body = DESCRIPTION.encode("ascii")
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if body_wanted:
                self.wfile.write(body)

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)


def serve_misbehaving(state, port):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), MisbehavingHandler)
    server.daemon_threads = True
    server.log_path = os.path.join(state, "misbehaving.log")
    server.serve_forever()


def start_misbehaving(state, port):
    log = open(os.path.join(state, "misbehaving.out"), "wb")
    process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve-misbehaving",
                                state, str(port)], stdin=subprocess.DEVNULL, stdout=log,
                               stderr=subprocess.STDOUT, start_new_session=True)
    log.close()
    with open(os.path.join(state, "misbehaving.pid"), "w") as f:
        f.write(f"{process.pid}\n")
    return wait_for_port(port)


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


# What every nginx of the tests needs: its temporary files inside its own state folder.
NGINX_TEMP_PATHS = """\
    client_body_temp_path {state}/tmp/body;
    proxy_temp_path {state}/tmp/proxy;
    fastcgi_temp_path {state}/tmp/fastcgi;
    uwsgi_temp_path {state}/tmp/uwsgi;
    scgi_temp_path {state}/tmp/scgi;
"""

NGINX_CONF = """\
daemon on;
worker_processes 1;
pid {state}/nginx.pid;
error_log {state}/error.log info;
events {{ worker_connections 64; }}
http {{
    log_format counted '$server_port "$request" $status';
    access_log {state}/access.log counted;
{temp_paths}    default_type application/octet-stream;
    types {{ text/xml xml; }}
    root {root};
    server {{
        listen 127.0.0.1:{http};
        # Wine remembers Basic credentials per host name for the whole process: a challenge
        # test that must start unauthenticated uses a name no other test has logged in with.
        listen 127.0.0.2:{http};
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


PROXY_CONF = """\
Listen 127.0.0.1
Port {port}
Timeout 30
MaxClients 16
Allow 127.0.0.1
BasicAuth {user} {password}
PidFile "{state}/tinyproxy.pid"
LogFile "{state}/tinyproxy.log"
LogLevel Info
"""
PROXY_USER = "proxyuser"
PROXY_PASSWORD = "proxypass"


def start_proxy(state, port):
    """tinyproxy asking for basic credentials; false when it is not installed or did not start."""
    if not os.path.exists("/usr/bin/tinyproxy"):
        return False
    conf = os.path.join(state, "tinyproxy.conf")
    with open(conf, "w") as f:
        f.write(PROXY_CONF.format(port=port, state=state, user=PROXY_USER,
                                  password=PROXY_PASSWORD))
    out = open(os.path.join(state, "tinyproxy.out"), "wb")
    process = subprocess.Popen(["/usr/bin/tinyproxy", "-d", "-c", conf], stdin=subprocess.DEVNULL,
                               stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
    out.close()
    with open(os.path.join(state, "proxy.pid"), "w") as f:
        f.write(f"{process.pid}\n")
    return wait_for_port(port)


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
    http, https, untrusted, closed, misbehaving, proxy = free_ports(6)
    conf = os.path.join(state, "nginx.conf")
    with open(conf, "w") as f:
        f.write(NGINX_CONF.format(state=state, root=root, http=http, https=https,
                                  untrusted=untrusted,
                                  temp_paths=NGINX_TEMP_PATHS.format(state=state)))
    subprocess.run(["/usr/sbin/nginx", "-p", state, "-c", conf], check=True)
    for port in (http, https, untrusted):
        if not wait_for_port(port):
            stop(state)
            sys.exit(f"nginx did not start listening on {port}")
    if not start_misbehaving(state, misbehaving):
        stop(state)
        sys.exit(f"the misbehaving server did not start listening on {misbehaving}")
    proxied = start_proxy(state, proxy)
    values = {
        "HTTP_PORT": http, "HTTPS_PORT": https, "HTTPS_UNTRUSTED_PORT": untrusted,
        "CLOSED_PORT": closed, "DOC_ROOT": windows_path(root),
        "ACCESS_LOG": windows_path(os.path.join(state, "access.log")),
        "CA_CERT": windows_path(os.path.join(state, "certs", "ca.der")), "CA_SHA1": sha1,
        "AUTH_USER": AUTH_USER, "AUTH_PASSWORD": AUTH_PASSWORD, "FILE_TIME": FILE_TIME,
        "MISBEHAVING_PORT": misbehaving,
        "PROXY_PORT": proxy if proxied else "",
    }
    with open(os.path.join(state, "servers.env"), "w", newline="\r\n") as f:
        for key, value in values.items():
            f.write(f"{key}={value}\n")
    print(f"nginx started: http {http}, https {https}, untrusted https {untrusted}; "
          f"misbehaving http {misbehaving}")


def stop_pid_file(pid_file, name):
    """Stops the process recorded in `pid_file`, by its id."""
    try:
        with open(pid_file) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    deadline = time.time() + 10
    while time.time() < deadline:
        try:
            os.kill(pid, 0)
            # Reap it if it is our child (start and stop in one process).
            try:
                os.waitpid(pid, os.WNOHANG)
            except ChildProcessError:
                pass
        except ProcessLookupError:
            break
        time.sleep(0.05)
    else:
        os.kill(pid, signal.SIGKILL)
    if os.path.exists(pid_file):
        os.remove(pid_file)
    print(f"{name} {pid} stopped")


def stop(state):
    stop_pid_file(os.path.join(os.path.abspath(state), "proxy.pid"), "tinyproxy")
    stop_pid_file(os.path.join(os.path.abspath(state), "misbehaving.pid"), "misbehaving server")
    pid_file = os.path.join(os.path.abspath(state), "nginx.pid")
    if not os.path.exists(pid_file):
        print("no server recorded")
        return
    stop_pid_file(pid_file, "nginx")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "serve-misbehaving":
        serve_misbehaving(sys.argv[2], int(sys.argv[3]))
        return
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(__doc__)
    (start if sys.argv[1] == "start" else stop)(sys.argv[2])


if __name__ == "__main__":
    main()
