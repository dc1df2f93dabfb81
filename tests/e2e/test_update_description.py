"""A check against a real local update server: what the client does with the description it
finds there, from a proper one to whatever a broken or hostile server sends."""
import pytest

from conftest import BIN, run_windows

FILES_LINE = "\tFile added - not on user system."


def publish(server, text, name="update.xml"):
    (server_root(server) / name).write_bytes(text.encode("utf-8"))


def server_root(server):
    import pathlib
    return pathlib.Path(server.root)


def configured(deployment, server, **fields):
    primary = {"protocol": "http://", "hostPath": f"127.0.0.1:{server.port}/update.xml"}
    return deployment(launchAfterCheck=1, inbuiltVersion="1.0", primary=primary, **fields)


def background_check(client):
    result = client.run("background", timeout=180)
    assert result.returncode == 0
    return client.log_lines()


def after(lines, first):
    return lines[lines.index(first):]


def folder_snapshot(folder):
    # The deployment's own files; the server's folders beside them are not the client's.
    return sorted((p.relative_to(folder), p.stat().st_size) for p in folder.rglob("*")
                  if p.is_file() and p.name not in ("NorvaneLog.txt", "NorvaneStatus.xml")
                  and p.relative_to(folder).parts[0] not in ("server-state", "publisher"))


HOSTILE = [
    ("not xml", "this is not xml < at all &", ["Update will not be undertaken"]),
    ("wrong root", "<Update><UpdateVersion>9.0</UpdateVersion></Update>",
     ["XML update file not found or is corrupt"]),
    ("error page", "<html><body><h1>Service unavailable</h1></body></html>",
     ["XML update file not found or is corrupt", "\tService unavailable", "\t"]),
    ("huge text", "<Norvane><UpdateVersion>2.0</UpdateVersion><Welcome>" + "W" * 3_000_000 +
     "</Welcome></Norvane>", ["Processing..."]),
    ("thousands of zero-byte entries", "<Norvane><UpdateVersion>2.0</UpdateVersion><FileList>" +
     "".join(f'<File Name="f{i}.bin" Size="0"/>' for i in range(4000)) + "</FileList></Norvane>",
     ["Processing..."]),
    ("registry only", "<Norvane><UpdateVersion>2.0</UpdateVersion><Registry><Key Name=\"HKEY_CURRENT_USER\">"
     "<Value Name=\"x\" Action=\"Remove\"/></Key></Registry></Norvane>", ["Processing..."]),
]


@pytest.mark.parametrize("name, text, expected", HOSTILE, ids=[h[0] for h in HOSTILE])
def test_broken_or_hostile_descriptions_touch_nothing(deployment, update_server, name, text, expected):
    publish(update_server, text)
    client = configured(deployment, update_server)
    before = folder_snapshot(client.folder)
    lines = background_check(client)
    for line in expected:
        assert line in lines, name
    assert "\tDownloading files" not in lines and "Downloading files" not in lines
    assert folder_snapshot(client.folder) == before
    assert lines[-1] == "\tEnd of recording"


def test_missing_description_abandons_the_update(deployment, update_server):
    client = configured(deployment, update_server)
    lines = background_check(client)
    assert ("\tUnable to load XML configuration. Check that file exists on server (paste address into "
            "IE or explorer).") in lines
    assert "Update will not be undertaken" in lines


def test_version_already_installed_is_not_offered(deployment, update_server):
    publish(update_server, "<Norvane><UpdateVersion>1.0</UpdateVersion><FileList>"
            '<File Name="new.bin" Size="5"/></FileList></Norvane>')
    client = configured(deployment, update_server)
    lines = background_check(client)
    assert after(lines, "Checking requirement for update")[:4] == [
        "Checking requirement for update", "\tCurrent version:\t1.0", "\tRemote version :\t1.0",
        "\tA software update is not available"]
    assert "Processing..." not in lines


def test_declined_version_is_not_offered_again(deployment, update_server):
    publish(update_server, "<Norvane><UpdateVersion>2.0</UpdateVersion><FileList>"
            '<File Name="new.bin" Size="5"/></FileList></Norvane>')
    client = configured(deployment, update_server, noRepromptDeclined=1)
    (client.folder / "NorvaneStatus.xml").write_bytes(
        b"<Configuration>\r\n\t<NumExecutions>1</NumExecutions>\r\n"
        b"\t<ApplicationVersion>1.0</ApplicationVersion>\r\n"
        b"\t<NoRepromptForVersion>2.0</NoRepromptForVersion>\r\n</Configuration>\r\n")
    lines = background_check(client)
    assert "\t** Detected - previously cancelled update version:\t2.0" in lines
    assert "\tCurrent version:\t2.0" in lines
    assert "\tA software update is not available" in lines


def sign(folder, name, base):
    result = run_windows(BIN / "norvanetool.exe", "sign", name, base, cwd=folder)
    assert result.returncode == 0, result.stderr.decode()


@pytest.mark.parametrize("tamper, accepted", [(False, True), (True, False)])
def test_signed_description_is_checked_with_the_clients_code(deployment, update_server, tamper, accepted):
    publish(update_server, "<Norvane><UpdateVersion>1.0</UpdateVersion>"
            "<Welcome>Signed text</Welcome></Norvane>")
    sign(server_root(update_server), "update.xml", "C0FFEE")
    if tamper:
        path = server_root(update_server) / "update.xml"
        path.write_bytes(path.read_bytes().replace(b"Signed text", b"Signed tex!"))
    client = configured(deployment, update_server, securityCode="C0FFEE")
    lines = background_check(client)
    assert "\tSecurity code checking required" in lines
    assert ("\tSecurity code detected and derived correctly" in lines) == accepted
    assert ("Checking requirement for update" in lines) == accepted
