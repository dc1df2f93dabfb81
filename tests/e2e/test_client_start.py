"""The client's start under Wine: its log, its run modes, the main application and the
single-instance mutex."""
import subprocess
import time

import pytest

from conftest import BIN, CLIENT_VERSION, start_windows, wine_environment, window_driver

START_LINES = [
    "Logging started",
    "",
    "Permission Manager Service is inactive.",
    "\tIt is highly recommended that your deployment install the Permission Manager Service.",
    "\tThis service will allow restricted (non-admin) users to update your software.",
    "\tTo install use the /PermissionManagerInstall command-line flag.",
    "",
]


def labels(lines):
    """The label of each line (the text before its first ':\t'), or the line itself."""
    return [line.split(":\t")[0] for line in lines]


def test_plain_start_logs_in_order_and_launches_the_main_application(deployment):
    client = deployment(launchAfterCheck=0)
    result = client.run("--opt", "a b", NORVANE_SAMPLE_LIFETIME_MS=3000)
    assert result.returncode == 0

    lines = client.log_lines()
    assert lines[:7] == START_LINES
    assert labels(lines[7:14]) == [
        "\tDate", "\tClient", "\tOS", "\tCommand line", "\tLanguage", "\tLocale  ",
        "\tAutomatic launch of the main application"]
    # The check follows (here without a server) and the log ends as always.
    assert lines[-1] == "\tEnd of recording"
    assert lines[8] == f"\tClient:\t{CLIENT_VERSION}"
    assert lines[10] == '\tCommand line:\t--opt "a b"'
    assert client.wait_for_arguments() == '--opt "a b"'


def test_log_names_the_system_it_runs_on(deployment, tmp_path):
    client = deployment(launchAfterCheck=1, mainApplication="", client_name="xpclient.exe")
    key = r"HKCU\Software\Wine\AppDefaults\xpclient.exe"
    env = wine_environment()
    subprocess.run(["wine", "reg", "add", key, "/v", "Version", "/d", "winxp", "/f"],
                   env=env, capture_output=True, check=True)
    try:
        client.run()
    finally:
        subprocess.run(["wine", "reg", "delete", key, "/f"], env=env, capture_output=True)
    assert "\tOS:\tWindows XP" in client.log_lines()


@pytest.mark.parametrize("arguments, mode_line", [
    (["/CHECKNOW", "extra"], "\tCheckNow mode detected"),
    (["--Background"], "\tCheckBackground mode detected"),
    (["scheduler", "x"], "\tScheduler mode detected"),
])
def test_mode_words_are_logged_after_the_command_line(deployment, arguments, mode_line):
    client = deployment(launchAfterCheck=0)
    client.run(*arguments)
    lines = client.log_lines()
    at = labels(lines).index("\tCommand line")
    assert lines[at + 1] == mode_line
    # Only a plain start launches the main application before the check.
    assert "\tAutomatic launch of the main application" not in lines
    assert not (client.folder / "SampleApp.args").exists()


def test_client_without_main_application_says_nothing_about_it(deployment):
    client = deployment(launchAfterCheck=0, mainApplication="")
    client.run()
    text = "\n".join(client.log_lines())
    assert "launch" not in text
    assert "Main application" not in text


def test_missing_main_application_is_logged(deployment):
    client = deployment(launchAfterCheck=0, mainApplication="Gone.exe")
    client.run()
    lines = client.log_lines()
    path = lines[labels(lines).index("\tMain application program not found")].split(":\t")[1]
    assert path.endswith("\\Gone.exe")
    assert f"\tUnable to launch:\t{path}" in lines


@pytest.mark.parametrize("case", ["testMode", "logging off"])
def test_no_log_is_created_or_truncated(deployment, case):
    if case == "testMode":
        client = deployment(launchAfterCheck=1, mainApplication="")
        arguments = ["testMode", "C:\\update.xml"]
    else:
        client = deployment(launchAfterCheck=1, mainApplication="", loggingEnabled=0)
        arguments = []
    client.run(*arguments)
    assert not client.log_path.exists()
    client.log_path.write_bytes(b"keep")
    client.run(*arguments)
    assert client.log_path.read_bytes() == b"keep"


def test_log_file_name_of_the_record_is_used(deployment):
    client = deployment(launchAfterCheck=1, mainApplication="", logFileName="Updates.log")
    client.run()
    assert client.log_lines()[-1] == "\tEnd of recording"
    assert not (client.folder / "NorvaneLog.txt").exists()


class MutexHolder:
    """Another client in all but name: holds the single-instance mutex for a while."""

    def __init__(self, folder, hold_ms):
        self.process = start_windows(BIN / "MutexHolder.exe", hold_ms, cwd=folder)
        assert self.process.stdout.readline().strip() == b"holding"

    def stop(self):
        self.process.kill()
        self.process.wait(timeout=30)


def test_plain_start_retries_once_and_goes_on(deployment):
    client = deployment(launchAfterCheck=1)
    holder = MutexHolder(client.folder, 60000)
    try:
        started = time.monotonic()
        client.run(NORVANE_SAMPLE_LIFETIME_MS=2000)
        elapsed = time.monotonic() - started
    finally:
        holder.stop()
    lines = client.log_lines()
    assert lines.count("\tInstance already exists") == 1
    assert elapsed >= 1.0
    # The run went on past the mutex: the main application started after the check.
    assert client.wait_for_arguments() == ""


def test_background_start_gives_up_after_its_retry(deployment):
    client = deployment(launchAfterCheck=1)
    holder = MutexHolder(client.folder, 60000)
    try:
        started = time.monotonic()
        client.run("background", timeout=60)
        elapsed = time.monotonic() - started
    finally:
        holder.stop()
    lines = client.log_lines()
    assert lines.count("\tInstance already exists") == 1
    assert elapsed >= 11.0
    assert lines[-1] == "\tEnd of recording"
    assert not (client.folder / "SampleApp.args").exists()


def test_main_application_named_like_the_client_is_refused(deployment):
    client = deployment(launchAfterCheck=0, mainApplication="NORVANECLIENT.exe")
    process = client.start("--opt")
    try:
        shown = window_driver("texts", "Sample Application", 20000, cwd=client.folder)
        assert shown.returncode == 0, "the message appears"
        text = shown.stdout.decode("utf-8")
        assert ("You have specified the name of your main application to be 'NORVANECLIENT.exe' which is "
                "the same name as the Norvane client that is now running. The main application executable "
                "should point to the .exe file that launches your application.\\r\\n\\r\\n"
                "Correct the error and try again.") in text
        assert window_driver("press", "Sample Application", 1, 5000, cwd=client.folder).returncode == 0
        assert process.wait(timeout=30) == 0
    finally:
        if process.poll() is None:
            process.kill()
    lines = client.log_lines()
    assert labels(lines[7:]) == ["\tDate", "\tClient", "\tOS", "\tEnd of recording"]
    assert not (client.folder / "SampleApp.args").exists()
