"""The status file across real starts of the client: the check frequency, a malformed file,
test runs, and starts that never read it."""
import time

from conftest import BIN, start_windows

STATUS = "NorvaneStatus.xml"

# No main application to launch and no server to reach: these starts only count.
QUIET = {"mainApplication": "", "launchAfterCheck": 0}


def counted(executions, frequency):
    return ("<Configuration>\r\n"
            f"\t<NumExecutions>{executions}</NumExecutions>\r\n"
            f"\t<CheckFrequency>{frequency}</CheckFrequency>\r\n"
            "</Configuration>\r\n").encode("ascii")


def windows_path(path):
    """The path as the client sees it: the Unix root is drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def count_lines(lines):
    return [line for line in lines if line.startswith(("\tExecution #:", "\tCheck frequency:"))]


def test_frequency_three_checks_on_every_third_start(deployment):
    client = deployment(checkFrequency=3, **QUIET)
    status = client.folder / STATUS
    seen = []
    for _ in range(5):
        assert client.run().returncode == 0
        seen.append((status.read_bytes(), count_lines(client.log_lines())))
    assert seen == [
        (counted(1, 3), []),
        (counted(2, 3), ["\tExecution #:\t1", "\tCheck frequency:\t3"]),
        (counted(3, 3), ["\tExecution #:\t2", "\tCheck frequency:\t3"]),
        # This start read 3: it checks and starts counting again.
        (counted(1, 3), ["\tExecution #:\t3", "\tCheck frequency:\t3"]),
        (counted(2, 3), ["\tExecution #:\t1", "\tCheck frequency:\t3"]),
    ]


def test_counting_lines_follow_the_start_lines(deployment):
    client = deployment(checkFrequency=2, **QUIET)
    (client.folder / STATUS).write_bytes(counted(1, 2))
    client.run()
    lines = client.log_lines()
    at = lines.index("\tExecution #:\t1")
    assert lines[at - 1].startswith("\tLocale  :\t")
    assert lines[at + 1] == "\tCheck frequency:\t2"
    assert lines[-1] == "\tEnd of recording"


def test_status_file_name_of_the_record_is_used(deployment):
    client = deployment(checkFrequency=3, statusFileName="State.xml", **QUIET)
    client.run()
    assert (client.folder / "State.xml").read_bytes() == counted(1, 3)
    assert not (client.folder / STATUS).exists()


def test_malformed_file_is_reported_and_rewritten(deployment):
    client = deployment(checkFrequency=3, **QUIET)
    status = client.folder / STATUS
    status.write_bytes(b"<Configuration>\r\n\t<NumExecutions>2</NumExecutions>\r\n"
                       b"\t<ApplicationVersion>1.0</ApplicationVersion>\r\n")
    client.run()
    lines = client.log_lines()
    assert f"\tUnable to read config file:\t{windows_path(status)}" in lines
    assert count_lines(lines) == []
    assert status.read_bytes() == counted(1, 3)
    # The rewritten file is read normally by the next start.
    client.run()
    assert count_lines(client.log_lines()) == ["\tExecution #:\t1", "\tCheck frequency:\t3"]


def test_test_run_neither_reads_nor_writes(deployment):
    client = deployment(checkFrequency=3, **QUIET)
    status = client.folder / STATUS
    assert client.run("testMode", "C:\\update.xml").returncode == 0
    assert not status.exists()
    status.write_bytes(counted(2, 3))
    assert client.run("testMode", "C:\\update.xml").returncode == 0
    assert status.read_bytes() == counted(2, 3)


def test_background_start_that_finds_another_client_leaves_the_file_alone(deployment):
    client = deployment(checkFrequency=3, **QUIET)
    status = client.folder / STATUS
    kept = (b"<Configuration>\r\n\t<NumExecutions>2</NumExecutions>\r\n"
            b"\t<ApplicationVersion>4.1</ApplicationVersion>\r\n\t<SU>user</SU>\r\n</Configuration>\r\n")
    status.write_bytes(kept)
    holder = start_windows(BIN / "MutexHolder.exe", 60000, cwd=client.folder)
    try:
        assert holder.stdout.readline().strip() == b"holding"
        started = time.monotonic()
        client.run("background", timeout=60)
        assert time.monotonic() - started >= 11.0
    finally:
        holder.kill()
        holder.wait(timeout=30)
    assert "\tInstance already exists" in client.log_lines()
    assert status.read_bytes() == kept
