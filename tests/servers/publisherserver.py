"""A publisher's update server: nginx on 127.0.0.1 at a free port, serving one folder.

    publisherserver.py start <state-dir> <root-dir>   prints the port
    publisherserver.py stop <state-dir>

The end-to-end tests use the class directly; scripts/demo uses the command line. nginx is
stopped by the process id it recorded, never by name.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testservers  # noqa: E402

CONF = """\
daemon on;
worker_processes 1;
pid {state}/nginx.pid;
error_log {state}/error.log info;
events {{ worker_connections 64; }}
http {{
    access_log {state}/access.log;
{temp_paths}    default_type application/octet-stream;
    types {{ text/xml xml; }}
    root {root};
    server {{
        listen 127.0.0.1:{port};
    }}
}}
"""


class PublisherServer:
    def __init__(self, state, root):
        self.state = os.path.abspath(str(state))
        self.root = os.path.abspath(str(root))
        self.port = None

    def start(self):
        os.makedirs(os.path.join(self.state, "tmp"), exist_ok=True)
        os.makedirs(self.root, exist_ok=True)
        self.port = testservers.free_ports(1)[0]
        conf = os.path.join(self.state, "nginx.conf")
        # Started by root, nginx would serve as "nobody", who cannot enter private temporary
        # folders; the workers keep the starting user instead.
        user = "user root root;\n" if os.geteuid() == 0 else ""
        with open(conf, "w") as f:
            f.write(user + CONF.format(state=self.state, root=self.root, port=self.port,
                                      temp_paths=testservers.NGINX_TEMP_PATHS.format(state=self.state)))
        subprocess.run(["/usr/sbin/nginx", "-p", self.state, "-c", conf], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not testservers.wait_for_port(self.port):
            self.stop()
            raise RuntimeError(f"nginx did not start listening on {self.port}")
        return self.port

    def stop(self):
        testservers.stop_pid_file(os.path.join(self.state, "nginx.pid"), "nginx")

    def requests(self):
        """The request lines nginx has logged so far."""
        path = os.path.join(self.state, "access.log")
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return [line.split('"')[1] for line in f if line.count('"') >= 2]


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "start":
        print(PublisherServer(sys.argv[2], sys.argv[3]).start())
    elif len(sys.argv) == 3 and sys.argv[1] == "stop":
        PublisherServer(sys.argv[2], ".").stop()
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
