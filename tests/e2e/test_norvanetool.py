"""norvanetool under Wine: configured clients made from the real base client, and read back."""
import base64
import os
import pathlib
import struct
import subprocess
import zlib

import pefile
import pytest

from conftest import wine_environment

ROOT = pathlib.Path(__file__).resolve().parents[2]
BIN = pathlib.Path(os.environ.get("NORVANE_BIN", ROOT / "build" / "out" / "bin"))
TOOL = BIN / "norvanetool.exe"
BASE_CLIENT = BIN / "norvaneclient.exe"

RECORD_SIZE = 3966
# Offsets in the record; a server block's fields are relative to the block.
PRIMARY = 0
BACKUP = 1516
SERVER_PROTOCOL = 0
SERVER_HOST_PATH = 32
SERVER_PASSIVE_FTP = 752
MAIN_APPLICATION = 3036
APPLICATION_NAME = 3136
COMPANY_NAME = 3336
LOGGING_ENABLED = 3928
DEPLOYMENT_NUMBER = 3952

SAMPLE_CONFIG = """\
# comment lines start with # or ;
mainApplication = SampleApp.exe
applicationName = Sample Application
companyName = Caf\u00e9 Norvane
loggingEnabled = 1
deploymentNumber = -7
[primary]
protocol = http://
hostPath = 127.0.0.1:8080/updates/update.xml
[backup]
protocol = https://
hostPath = localhost/update.xml
passiveFtp = 1
"""


def run_tool(*arguments, cwd):
    """Runs the tool; Unix paths work as they are because the working folder is on drive Z:."""
    result = subprocess.run(
        ["wine", str(TOOL), *[str(a) for a in arguments]],
        cwd=cwd,
        env=wine_environment(),
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        timeout=120,
    )
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8")


def resource_entries(path, type_key, resource_id):
    """(language, data) of every language entry of one resource, by type name or number."""
    pe = pefile.PE(str(path))
    entries = []
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        matches = (str(type_entry.name) == type_key) if isinstance(type_key, str) else (
            type_entry.name is None and type_entry.id == type_key)
        if not matches:
            continue
        for name_entry in type_entry.directory.entries:
            if name_entry.name is not None or name_entry.id != resource_id:
                continue
            for language in name_entry.directory.entries:
                data = language.data.struct
                entries.append((language.id, pe.get_data(data.OffsetToData, data.Size)))
    pe.close()
    return entries


def record_entries(path):
    return resource_entries(path, "BINARY", 99)


def version_entries(path):
    return resource_entries(path, pefile.RESOURCE_TYPE["RT_VERSION"], 1)


def stored_text(record):
    encoded = base64.b64encode(record)
    lines = [encoded[i:i + 76] for i in range(0, len(encoded), 76)]
    return b"\r\n".join(lines) + b"\0"


def text_at(record, offset, width):
    raw = record[offset:offset + 2 * width].decode("utf-16-le")
    return raw.split("\0", 1)[0]


def int_at(record, offset):
    return struct.unpack_from("<i", record, offset)[0]


def sections_of(shown):
    """The show-record text as {section: {field: value}}, '' for the top level."""
    sections = {"": {}}
    current = ""
    for line in shown.splitlines():
        line = line.strip()
        if not line or line.startswith(("#", ";")):
            continue
        if line.startswith("["):
            current = line[1:-1]
            sections.setdefault(current, {})
            continue
        name, _, value = line.partition("=")
        sections[current][name.strip()] = value.strip()
    return sections


@pytest.fixture(scope="module", autouse=True)
def built_binaries():
    missing = [str(p) for p in (TOOL, BASE_CLIENT) if not p.is_file()]
    if missing:
        pytest.fail("not built: " + ", ".join(missing) +
                    " (cmake --build build/out --target norvanetool norvaneclient)")


@pytest.fixture
def configured_client(tmp_path):
    config = tmp_path / "sample.cfg"
    config.write_text(SAMPLE_CONFIG, encoding="utf-8")
    output = tmp_path / "configured.exe"
    code, out, err = run_tool("make-client", config, BASE_CLIENT, output, cwd=tmp_path)
    assert (code, out, err) == (0, "", "")
    return output


def test_show_record_prints_the_configured_values(configured_client, tmp_path):
    code, shown, err = run_tool("show-record", configured_client, cwd=tmp_path)
    assert (code, err) == (0, "")
    sections = sections_of(shown)
    assert sections[""]["mainApplication"] == "SampleApp.exe"
    assert sections[""]["applicationName"] == "Sample Application"
    assert sections[""]["companyName"] == "Caf\u00e9 Norvane"
    assert sections[""]["loggingEnabled"] == "1"
    assert sections[""]["deploymentNumber"] == "-7"
    assert sections[""]["bannerLinkUrl"] == ""
    assert sections[""]["checkFrequency"] == "0"
    assert sections["primary"]["protocol"] == "http://"
    assert sections["primary"]["hostPath"] == "127.0.0.1:8080/updates/update.xml"
    assert sections["primary"]["passiveFtp"] == "0"
    assert sections["backup"]["protocol"] == "https://"
    assert sections["backup"]["hostPath"] == "localhost/update.xml"
    assert sections["backup"]["passiveFtp"] == "1"
    assert "reserved1" not in sections[""]


def test_bare_name_means_the_file_in_the_working_folder(tmp_path):
    # The tool's own folder holds a client of the same name with an empty record.
    config = tmp_path / "sample.cfg"
    config.write_text(SAMPLE_CONFIG, encoding="utf-8")
    code, _, err = run_tool("make-client", "sample.cfg", BASE_CLIENT, "norvaneclient.exe", cwd=tmp_path)
    assert (code, err) == (0, "")
    code, shown, err = run_tool("show-record", "norvaneclient.exe", cwd=tmp_path)
    assert (code, err) == (0, "")
    assert sections_of(shown)[""]["mainApplication"] == "SampleApp.exe"


def test_shown_record_makes_the_same_client_again(configured_client, tmp_path):
    code, shown, _ = run_tool("show-record", configured_client, cwd=tmp_path)
    assert code == 0
    again = tmp_path / "again.cfg"
    again.write_bytes(shown.encode("utf-8"))
    remade = tmp_path / "remade.exe"
    assert run_tool("make-client", again, BASE_CLIENT, remade, cwd=tmp_path) == (0, "", "")
    assert record_entries(remade) == record_entries(configured_client)


def test_output_holds_one_record_in_the_stored_form(configured_client):
    base_entries = record_entries(BASE_CLIENT)
    entries = record_entries(configured_client)
    assert len(entries) == 1
    language, data = entries[0]
    assert language == base_entries[0][0]

    assert len(data) == 5288 + 69 * 2 + 1
    assert data.endswith(b"\0")
    lines = data[:-1].split(b"\r\n")
    assert [len(line) for line in lines] == [76] * 69 + [44]
    record = base64.b64decode(data[:-1].replace(b"\r\n", b""), validate=True)
    assert len(record) == RECORD_SIZE
    assert data == stored_text(record)

    assert text_at(record, MAIN_APPLICATION, 50) == "SampleApp.exe"
    assert text_at(record, APPLICATION_NAME, 50) == "Sample Application"
    assert text_at(record, COMPANY_NAME, 40) == "Caf\u00e9 Norvane"
    assert int_at(record, LOGGING_ENABLED) == 1
    assert int_at(record, DEPLOYMENT_NUMBER) == -7
    assert text_at(record, PRIMARY + SERVER_PROTOCOL, 16) == "http://"
    assert text_at(record, PRIMARY + SERVER_HOST_PATH, 256) == "127.0.0.1:8080/updates/update.xml"
    assert text_at(record, BACKUP + SERVER_PROTOCOL, 16) == "https://"
    assert text_at(record, BACKUP + SERVER_HOST_PATH, 256) == "localhost/update.xml"
    assert int_at(record, BACKUP + SERVER_PASSIVE_FTP) == 1
    # Text fields are zero-padded to their width.
    assert record[MAIN_APPLICATION + 2 * len("SampleApp.exe"):MAIN_APPLICATION + 100] == bytes(100 - 26)


def test_output_keeps_the_version_resource(configured_client):
    base_versions = version_entries(BASE_CLIENT)
    assert base_versions, "the base client has a version resource"
    assert version_entries(configured_client) == base_versions
    assert "norvaneclient.exe".encode("utf-16-le") in base_versions[0][1]


def test_base_client_is_left_unchanged(configured_client):
    entries = record_entries(BASE_CLIENT)
    assert len(entries) == 1
    assert entries[0][1] == stored_text(bytes(RECORD_SIZE))


def test_base_client_record_shows_as_all_zero(tmp_path):
    code, shown, err = run_tool("show-record", BASE_CLIENT, cwd=tmp_path)
    assert (code, err) == (0, "")
    sections = sections_of(shown)
    assert sections[""]["mainApplication"] == ""
    assert sections[""]["loggingEnabled"] == "0"
    assert sections["backup"]["hostPath"] == ""


def test_forty_nine_characters_fit_main_application(tmp_path):
    name = "a" * 45 + ".exe"
    config = tmp_path / "fits.cfg"
    config.write_text("mainApplication = %s\n" % name, encoding="utf-8")
    output = tmp_path / "fits.exe"
    assert run_tool("make-client", config, BASE_CLIENT, output, cwd=tmp_path) == (0, "", "")
    code, shown, _ = run_tool("show-record", output, cwd=tmp_path)
    assert code == 0
    assert sections_of(shown)[""]["mainApplication"] == name


def test_fifty_characters_are_refused_and_nothing_is_written(tmp_path):
    config = tmp_path / "long.cfg"
    config.write_text("# too long\r\nmainApplication = %s\r\n" % ("b" * 46 + ".exe"), encoding="utf-8-sig")
    output = tmp_path / "long.exe"
    code, out, err = run_tool("make-client", config, BASE_CLIENT, output, cwd=tmp_path)
    assert code == 1
    assert out == ""
    assert err.strip() == "norvanetool: line 2: field 'mainApplication' is longer than its 49 characters"
    assert not output.exists()
    assert sorted(p.name for p in tmp_path.iterdir()) == ["long.cfg"]


@pytest.mark.parametrize("config_text, message", [
    ("mainApp = x\n", "norvanetool: line 1: unknown field 'mainApp'"),
    ("[primary]\nhostPath = " + "h" * 256 + "\n",
     "norvanetool: line 2: field 'primary.hostPath' is longer than its 255 characters"),
    ("loggingEnabled = on\n",
     "norvanetool: line 1: field 'loggingEnabled' takes a decimal integer from -2147483648 to 2147483647, "
     "not 'on'"),
    ("[third]\n", "norvanetool: line 1: unknown section '[third]'"),
])
def test_refused_configuration_writes_nothing(tmp_path, config_text, message):
    config = tmp_path / "bad.cfg"
    config.write_text(config_text, encoding="utf-8")
    output = tmp_path / "bad.exe"
    code, _, err = run_tool("make-client", config, BASE_CLIENT, output, cwd=tmp_path)
    assert (code, err.strip()) == (1, message)
    assert not output.exists()


def test_base_that_is_not_a_program_writes_nothing(tmp_path):
    config = tmp_path / "sample.cfg"
    config.write_text(SAMPLE_CONFIG, encoding="utf-8")
    output = tmp_path / "out.exe"
    code, _, err = run_tool("make-client", config, config, output, cwd=tmp_path)
    assert code == 1
    assert err.startswith("norvanetool: cannot open ")
    assert sorted(p.name for p in tmp_path.iterdir()) == ["sample.cfg"]


@pytest.mark.parametrize("arguments", [
    [],
    ["frobnicate"],
    ["show-record"],
    ["make-client", "a.cfg", "base.exe"],
    ["sign", "update.xml"],
    ["verify", "update.xml", "1A", "extra"],
])
def test_wrong_use_prints_usage_and_exits_with_two(tmp_path, arguments):
    code, out, err = run_tool(*arguments, cwd=tmp_path)
    assert code == 2
    assert out == ""
    assert err.startswith("usage: norvanetool make-client <config> <base client.exe> <output.exe>")


# The signed description of the README.
DESCRIPTION = """\
<?xml version="1.0" encoding="UTF-8"?>
<Norvane>
  <UpdateVersion>1.1.0.0</UpdateVersion>
  <Welcome>Version 1.1 of %ApplicationName% is ready.</Welcome>
  <Reason>Faster start &amp; fewer crashes.</Reason>
</Norvane>
"""
BASE_CODE = "1A2B3C4D"


def expected_code(signed_text, base):
    """base + CRC-32 of the UTF-16LE text between "<Norvane>" and the last "<SecureCode>",
    whitespace left out; computed from the file, which the DOM serialises alike for this one."""
    root = signed_text[signed_text.index("<Norvane>"):]
    covered = "".join(c for c in root[9:root.rindex("<SecureCode>")] if c not in " \t\r\n")
    return "%08X" % ((zlib.crc32(covered.encode("utf-16-le")) + int(base, 16)) & 0xFFFFFFFF)


@pytest.fixture
def signed_description(tmp_path):
    path = tmp_path / "update.xml"
    path.write_text(DESCRIPTION, encoding="utf-8")
    code, out, err = run_tool("sign", path.name, BASE_CODE, cwd=tmp_path)
    assert (code, err) == (0, "")
    return path, out


def test_sign_appends_the_code_that_verify_accepts(signed_description, tmp_path):
    path, out = signed_description
    text = path.read_text(encoding="utf-8")
    code_value = expected_code(text, BASE_CODE)
    assert code_value == "973B0803", "the README shows this code"
    assert out == f"'update.xml': SecureCode {code_value}\r\n"
    assert text.rstrip().endswith(f"<SecureCode>{code_value}</SecureCode>\n</Norvane>")
    assert run_tool("verify", path.name, BASE_CODE, cwd=tmp_path) == (
        0, f"'update.xml': security code {code_value} matches\r\n", "")


@pytest.mark.parametrize("name, old, new, valid", [
    ("whitespace between elements", "\n  <Welcome>", "\r\n\r\n\t<Welcome>", True),
    ("text after SecureCode", "</SecureCode>", "</SecureCode><License>Any</License>", True),
    ("covered character", "1.1.0.0", "1.1.0.9", False),
    ("root attribute", "<Norvane>", '<Norvane lang="en">', False),
    ("element before SecureCode", "</Reason>", "</Reason><Restart>Automatic</Restart>", False),
])
def test_edits_after_signing(signed_description, tmp_path, name, old, new, valid):
    path, _ = signed_description
    text = path.read_text(encoding="utf-8")
    assert old in text, name
    path.write_text(text.replace(old, new, 1), encoding="utf-8")
    code, out, err = run_tool("verify", path.name, BASE_CODE, cwd=tmp_path)
    if valid:
        assert (code, err) == (0, ""), name
        assert out.endswith(" matches\r\n")
    else:
        assert (code, out) == (1, ""), name
        assert err.startswith("norvanetool: 'update.xml': security code '"), err
        assert "does not match" in err


def test_verify_with_another_base_code_fails(signed_description, tmp_path):
    path, _ = signed_description
    code, _, err = run_tool("verify", path.name, "1A2B3C4E", cwd=tmp_path)
    assert code == 1
    assert "does not match; expected 973B0804" in err


def test_sign_refuses_what_is_not_a_description(tmp_path):
    path = tmp_path / "other.xml"
    path.write_bytes(b"<Update><UpdateVersion>1</UpdateVersion></Update>")
    code, out, err = run_tool("sign", path.name, BASE_CODE, cwd=tmp_path)
    assert (code, out) == (1, "")
    assert err.strip() == "norvanetool: 'other.xml' is not an update description: its root element is " \
                          "'Update', not 'Norvane'"
    assert path.read_bytes() == b"<Update><UpdateVersion>1</UpdateVersion></Update>"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["other.xml"]
