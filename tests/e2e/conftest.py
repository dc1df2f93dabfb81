"""What the end-to-end tests share: the Wine environment, configured clients in their own
folders, and reading the logs they leave."""
import os
import pathlib
import shutil
import subprocess
import time

import pytest

import sys
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "servers"))
from publisherserver import PublisherServer  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[2]
BIN = pathlib.Path(os.environ.get("NORVANE_BIN", ROOT / "build" / "out" / "bin"))
CLIENT_VERSION = "1.0.0.1"


def wine_environment(**extra):
    env = dict(os.environ)
    env.update(
        WINEPREFIX=os.environ.get("NORVANE_WINEPREFIX", str(ROOT / "build" / "wineprefix")),
        WINEARCH="win32",
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=",
    )
    env.update({k: str(v) for k, v in extra.items()})
    return env


def run_windows(program, *arguments, cwd, timeout=120, env=None):
    return subprocess.run(["wine", str(program), *[str(a) for a in arguments]], cwd=cwd,
                          env=env or wine_environment(), stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout)


def start_windows(program, *arguments, cwd, env=None):
    return subprocess.Popen(["wine", str(program), *[str(a) for a in arguments]], cwd=cwd,
                            env=env or wine_environment(), stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)


def config_text(fields):
    """The norvanetool configuration for a dict of fields; 'primary'/'backup' hold dicts."""
    lines = [f"{k} = {v}" for k, v in fields.items() if not isinstance(v, dict)]
    for section in ("primary", "backup"):
        if section in fields:
            lines.append(f"[{section}]")
            lines += [f"{k} = {v}" for k, v in fields[section].items()]
    return "\n".join(lines) + "\n"


class Deployment:
    """A folder holding a configured client and the sample main application beside it."""

    def __init__(self, folder, fields, client_name="norvaneclient.exe"):
        self.folder = folder
        self.client = folder / client_name
        shutil.copy(BIN / "SampleApp.exe", folder / "SampleApp.exe")
        (folder / "client.cfg").write_text(config_text(fields), encoding="utf-8")
        made = run_windows(BIN / "norvanetool.exe", "make-client", "client.cfg",
                           BIN / "norvaneclient.exe", client_name, cwd=folder)
        assert made.returncode == 0, made.stderr.decode()
        self.log_path = folder / fields.get("logFileName", "NorvaneLog.txt")

    def run(self, *arguments, timeout=120, **env):
        return run_windows(self.client, *arguments, cwd=self.folder, timeout=timeout,
                           env=wine_environment(**env))

    def start(self, *arguments, **env):
        return start_windows(self.client, *arguments, cwd=self.folder, env=wine_environment(**env))

    def log_lines(self):
        data = self.log_path.read_bytes()
        assert data[:2] == b"\xff\xfe", "the log starts with the UTF-16LE byte-order mark"
        text = data[2:].decode("utf-16-le")
        assert text.endswith("\r\n")
        return text[:-2].split("\r\n")

    def wait_for_arguments(self, timeout=15):
        """What the sample main application received, once it has written it."""
        path = self.folder / "SampleApp.args"
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if path.exists():
                return path.read_text(encoding="utf-8")
            time.sleep(0.1)
        return None


BASE_FIELDS = {
    "mainApplication": "SampleApp.exe",
    "applicationName": "Sample Application",
    "companyName": "Norvane Samples",
    "checkNowWord": "checknow",
    "checkBackgroundWord": "background",
    "loggingEnabled": 1,
    "checkFrequency": 1,
}


@pytest.fixture
def deployment(tmp_path):
    def make(client_name="norvaneclient.exe", **fields):
        return Deployment(tmp_path, {**BASE_FIELDS, **fields}, client_name)
    return make


def window_driver(*arguments, cwd):
    return run_windows(BIN / "WindowDriver.exe", *arguments, cwd=cwd, timeout=60)


@pytest.fixture
def update_server(tmp_path):
    """nginx serving tmp_path/publisher on a free loopback port; stopped by its pid."""
    server = PublisherServer(tmp_path / "server-state", tmp_path / "publisher")
    server.start()
    yield server
    server.stop()
