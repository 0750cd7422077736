"""Self-update: the package extraction (through a helper that runs the host's own extraction
code) and the whole "UpdateNativeHost" command against a stand-in download server."""

import os
import re
import shutil
import subprocess
import uuid
import zipfile
from contextlib import contextmanager

import pytest

from conftest import EXE, HELPERS, WINE64
from hostile_support import HostilePeer, endless_body, endless_error_page
from test_daemon_launch import deep_folder, user_temp_folder
from trust_support import SIGNATURE_FORMS, signing  # noqa: F401 (a fixture)
from update_support import (PACKAGE_PATH, MANIFEST_PATH, UpdateServer, corrupt_entry,
                            find_named, info_zip, make_zip, manifest, tree_snapshot,
                            with_file_version)

UNZIP = HELPERS / "unzip_to_folder.exe"
UPDATE = '{"text":"UpdateNativeHost"}'

def release(version: str) -> bytes:
    """The product as another release would be: its FileVersion text is `version`."""
    if not EXE.exists():  # collected before a build: the tests that use it do not run
        return b""
    return with_file_version(EXE.read_bytes(), version) + b"\0packaged-host-marker"


NEW_EXE = release("9, 9, 9, 9")


@pytest.fixture
def temp_guard(wine):
    """Asserts nothing of ours stays in the prefix's temp folder, and removes it if it did."""
    before = tree_snapshot(wine.temp)

    def strays():
        return sorted(str(p) for p in tree_snapshot(wine.temp) - before)

    yield strays
    for relative in sorted(tree_snapshot(wine.temp) - before, key=lambda p: len(p.parts)):
        path = wine.temp / relative
        if path.is_dir() and not path.is_symlink():
            shutil.rmtree(path, ignore_errors=True)
        elif path.exists() or path.is_symlink():
            path.unlink()


@pytest.fixture(autouse=True)
def fresh_log(wine):
    """Each test reads only its own run's lines."""
    shutil.rmtree(wine.log_folder, ignore_errors=True)


@pytest.fixture
def server():
    update_server = UpdateServer()
    yield update_server
    update_server.close()


def unpack(wine, package: bytes, tmp_path, folder):
    archive = tmp_path / "package.zip"
    archive.write_bytes(package)
    folder.mkdir(parents=True, exist_ok=True)
    run = wine.run([wine.to_windows(archive), wine.to_windows(folder)], exe=UNZIP, timeout=60)
    match = re.fullmatch(rb"opened=(\d) result=(-?\d+)\s*", run.stdout)
    assert match, run.stdout
    return int(match[1]), int(match[2])


def files_below(folder):
    return {str(p.relative_to(folder)).replace("\\", "/"): p.read_bytes() if p.is_file() else None
            for p in folder.rglob("*")}


# --- extraction -------------------------------------------------------------------------------

def test_unpacks_info_zip_archives_with_folders_and_deflated_entries(wine, tmp_path, temp_guard):
    tree = {"ZendroWebHost.exe": NEW_EXE, "bin": None, "bin/tool.dll": b"\x00\x01" * 5000,
            "docs/readme.txt": b"read me\n" * 200, "empty": None}
    package = info_zip(tree, tmp_path)
    with zipfile.ZipFile(tmp_path / "info-zip.zip") as archive:
        methods = {i.filename: i.compress_type for i in archive.infolist()}
    assert methods["bin/"] == zipfile.ZIP_STORED and methods["bin/tool.dll"] == zipfile.ZIP_DEFLATED

    folder = wine.temp / "unpack"
    assert unpack(wine, package, tmp_path, folder) == (1, 0)
    assert files_below(folder) == {"ZendroWebHost.exe": NEW_EXE, "bin": None,
                                   "bin/tool.dll": tree["bin/tool.dll"], "docs": None,
                                   "docs/readme.txt": tree["docs/readme.txt"], "empty": None}


@pytest.mark.parametrize("compression", [zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED])
def test_unpacks_utf8_names_and_skips_files_under_unlisted_folders(wine, tmp_path, temp_guard,
                                                                    compression):
    package = make_zip([("d\u00e9j\u00e0/", None), ("d\u00e9j\u00e0/\u4e2d\u6587.txt", b"utf-8"),
                        ("unlisted/file.txt", b"nowhere to go"),
                        ("ZendroWebHost.exe", NEW_EXE), ("a/", None), ("a/b/", None),
                        ("a/b/c.bin", bytes(range(256)) * 64)], compression)
    folder = wine.temp / "unpack"
    assert unpack(wine, package, tmp_path, folder) == (1, 0)
    assert files_below(folder) == {"d\u00e9j\u00e0": None, "d\u00e9j\u00e0/\u4e2d\u6587.txt": b"utf-8",
                                   "ZendroWebHost.exe": NEW_EXE, "a": None, "a/b": None,
                                   "a/b/c.bin": bytes(range(256)) * 64}


def test_hostile_names_are_skipped_and_write_nothing_anywhere(wine, tmp_path, temp_guard):
    marker = "stray" + uuid.uuid4().hex[:12]
    hostile = [f"../{marker}1", f"..\\{marker}2", f"/{marker}3", f"\\{marker}4", f"C:{marker}5",
               f"a/../../{marker}6", f"a\\..\\..\\{marker}7", f"C:\\{marker}8", f".../{marker}9",
               f"../{marker}10/", f"a/../../{marker}11/", f"{marker}12" + "x" * 260,
               f"{marker}13/" + "y" * 300 + "/", f"nul/{marker}14", f"a/{marker}15:stream"]
    entries = [("a/", None)]
    for name in hostile:
        entries += [(name, None if name.endswith("/") else b"hostile " + name.encode()),
                    (f"kept{len(entries)}.txt", b"after a hostile entry")]
    entries.append(("ZendroWebHost.exe", NEW_EXE))
    assert any(len(name.encode()) >= 256 for name, _ in entries)

    outside = tmp_path / "outside"
    folder = outside / "deeper" / "unpack"
    assert unpack(wine, make_zip(entries), tmp_path, folder) == (1, 0)

    kept = {name for name, _ in entries if name.startswith("kept")}
    assert set(files_below(folder)) == kept | {"a", "ZendroWebHost.exe"}
    assert find_named([wine.path, tmp_path], marker) == []
    assert [p for p in (tmp_path.parent, outside, folder.parent) for q in p.iterdir()
            if marker in q.name] == []


def test_a_checksum_mismatch_removes_the_entry_and_ends_the_extraction(wine, tmp_path,
                                                                       temp_guard):
    package = make_zip([("first.txt", b"intact"), ("ZendroWebHost.exe", NEW_EXE),
                        ("after.txt", b"never reached")], zipfile.ZIP_STORED)
    folder = wine.temp / "unpack"
    assert unpack(wine, corrupt_entry(package, "ZendroWebHost.exe"), tmp_path, folder) == (1, -105)
    assert files_below(folder) == {"first.txt": b"intact"}


@pytest.mark.parametrize("package", [
    make_zip([("ZendroWebHost.exe", os.urandom(100000))])[:60000],  # cut short
    b"<html><body>Not Found</body></html>",
    b"",
], ids=["truncated", "not-an-archive", "empty"])
def test_what_is_no_archive_unpacks_nothing(wine, tmp_path, temp_guard, package):
    folder = wine.temp / "unpack"
    assert unpack(wine, package, tmp_path, folder) == (0, -102)
    assert files_below(folder) == {}


# --- the update command -----------------------------------------------------------------------

@pytest.fixture
def host(host_copy, tmp_path):
    """The host that updates itself: a copy in a folder of its own."""
    path = host_copy("ZendroWebHost.exe", tmp_path / "host")
    return path


def update(wine, host, server):
    run = wine.send(UPDATE, exe=host, env={"ZENDRO_DOWNLOAD_SERVER": server.url}, timeout=120)
    assert run.returncode == 0
    assert run.reply == ""
    return run


def last_line(wine):
    """The update's one line in the log: what it swapped in, or why it stopped."""
    lines = wine.log_text().splitlines()
    assert len(lines) == 1, lines
    return lines[0].split(" UpdateNativeHost: ", 1)[1]


def old_of(host):
    return host.with_name(host.name + ".old")


def test_a_newer_version_replaces_the_executable(wine, host, server, temp_guard):
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", make_zip([("docs/", None), ("docs/notes.txt", b"notes"),
                                             ("ZendroWebHost.exe", NEW_EXE)]))
    update(wine, host, server)
    assert server.requests == [MANIFEST_PATH, PACKAGE_PATH]
    assert host.read_bytes() == NEW_EXE
    assert old_of(host).read_bytes() == previous
    assert sorted(p.name for p in host.parent.iterdir()) == ["ZendroWebHost.exe",
                                                             "ZendroWebHost.exe.old"]
    assert last_line(wine) == "updated from 1.0.0.1 to 9.9.9.9"
    assert temp_guard() == []


def test_updates_at_the_same_moment_swap_once(wine, host, server, temp_guard):
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe", NEW_EXE)]))
    runs = wine.send_at_once([UPDATE] * 3, exe=host, env={"ZENDRO_DOWNLOAD_SERVER": server.url},
                             timeout=120)
    assert [run.reply for run in runs] == [""] * 3
    assert host.read_bytes() == NEW_EXE
    assert old_of(host).read_bytes() == previous  # not the new program, swapped twice
    # Nobody tries a second swap, which would wait in vain (6 s) on the ".old" the others run from.
    assert max(run.seconds for run in runs) < 6, [run.seconds for run in runs]
    assert temp_guard() == []


def test_the_package_url_is_taken_as_the_manifest_gives_it(wine, host, server, temp_guard):
    server.serve_update("2", url=server.url + "/elsewhere/p.zip?x=1")
    server.bodies["/elsewhere/p.zip?x=1"] = info_zip({"ZendroWebHost.exe": NEW_EXE,
                                                      "d\u00e9j\u00e0/r.txt": b"r"}, host.parent.parent)
    update(wine, host, server)
    assert server.requests == [MANIFEST_PATH, "/elsewhere/p.zip?x=1"]
    assert host.read_bytes() == NEW_EXE
    assert temp_guard() == []


@pytest.mark.parametrize("untrusted", [None, "manifest", "package", "package-over-http"],
                         ids=["trusted", "manifest-self-signed", "package-self-signed",
                              "package-over-plain-http"])
def test_an_update_over_https_needs_certificates_the_machine_trusts(wine, host, tls, temp_guard,
                                                                     untrusted):
    """...and stays on HTTPS: a package over plain HTTP named by an HTTPS manifest is refused."""
    previous = host.read_bytes()
    manifest_server = UpdateServer(tls.self_signed if untrusted == "manifest" else tls.good)
    package_server = UpdateServer({"package": tls.self_signed, "package-over-http": None}.get(
        untrusted, tls.good))
    try:
        package_server.bodies[PACKAGE_PATH] = make_zip([("ZendroWebHost.exe", NEW_EXE)])
        manifest_server.serve_update("1.0.0.2", url=package_server.url + PACKAGE_PATH)
        update(wine, host, manifest_server)
    finally:
        manifest_server.close()
        package_server.close()
    if untrusted is None:
        assert (manifest_server.requests, package_server.requests) == ([MANIFEST_PATH],
                                                                       [PACKAGE_PATH])
        assert host.read_bytes() == NEW_EXE and old_of(host).read_bytes() == previous
    else:
        # A refused handshake is where it ends: no request reaches that server, none follows.
        assert manifest_server.requests == ([] if untrusted == "manifest" else [MANIFEST_PATH])
        assert package_server.requests == []
        assert host.read_bytes() == previous and not old_of(host).exists()
    assert temp_guard() == []


def test_a_second_update_replaces_the_previous_old_file(wine, host, server, temp_guard):
    previous = host.read_bytes()
    old_of(host).write_bytes(b"left from an earlier update")
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe", NEW_EXE)]))
    update(wine, host, server)
    assert host.read_bytes() == NEW_EXE
    assert old_of(host).read_bytes() == previous
    assert temp_guard() == []


@pytest.mark.parametrize("body", [
    manifest("<hosturl>URL</hosturl><hostver>1.0.0.1</hostver>"),
    manifest("<hosturl>URL</hosturl><hostver>1.0.0.0</hostver>"),
    manifest("<hosturl>URL</hosturl><hostver>1.0.0.1.9</hostver>"),
    manifest("<hosturl>URL</hosturl><hostver>1, 0, 0, 2</hostver>"),
    manifest("<hosturl>URL</hosturl><hostver>2.0</hostver>", root="update"),
    manifest("<hosturl></hosturl><hostver>2.0</hostver>"),
    manifest("<hosturl>URL</hosturl>"),
    manifest("<hostver>2.0</hostver>"),
    b"<cpupdate><hosturl>URL</hosturl><hostver>2.0</hostver>",
], ids=["equal", "older", "fifth-field", "commas", "other-root", "empty-url", "no-version",
        "no-url", "not-well-formed"])
def test_no_newer_version_means_no_package_request(wine, host, server, temp_guard, body):
    previous = host.read_bytes()
    server.bodies[MANIFEST_PATH] = body.replace(b"URL", (server.url + PACKAGE_PATH).encode())
    server.bodies[PACKAGE_PATH] = make_zip([("ZendroWebHost.exe", NEW_EXE)])
    update(wine, host, server)
    assert server.requests == [MANIFEST_PATH]
    assert host.read_bytes() == previous and not old_of(host).exists()
    # Nothing newer on offer is no failure; a manifest that names nothing usable is one.
    if b"<hostver>1" in body:
        assert wine.log_text() == ""
    else:
        assert last_line(wine).startswith("the update manifest: it names no package URL or no "
                                          "version")
    assert temp_guard() == []


@pytest.mark.parametrize("step", ["the update manifest", "the update package download"])
def test_without_a_server_the_update_does_nothing_and_logs_libcurls_cause(wine, host, server,
                                                                          temp_guard, step):
    previous = host.read_bytes()
    closed = "http://127.0.0.1:9"  # the discard port: nothing listens there
    url = closed if step == "the update manifest" else server.url
    server.serve_update("1.0.0.2", url=closed + PACKAGE_PATH)
    run = wine.send(UPDATE, exe=host, env={"ZENDRO_DOWNLOAD_SERVER": url}, timeout=120)
    assert run.reply == ""
    assert host.read_bytes() == previous and not old_of(host).exists()
    assert re.fullmatch(step + r": fetching http://127\.0\.0\.1:9/\S+: Failed to connect to "
                        r"127\.0\.0\.1 port 9 .*", last_line(wine))
    assert temp_guard() == []


def test_a_read_only_executable_is_replaced(wine, host, server, temp_guard):
    previous = host.read_bytes()
    host.chmod(0o555)
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe", NEW_EXE)]))
    update(wine, host, server)
    assert host.read_bytes() == NEW_EXE
    assert old_of(host).read_bytes() == previous
    assert old_of(host).stat().st_mode & 0o200  # its read-only attribute was cleared first
    assert temp_guard() == []


def test_an_old_file_that_cannot_be_deleted_stops_before_anything_moves(wine, host, server,
                                                                        temp_guard):
    previous = host.read_bytes()
    old_of(host).mkdir()
    (old_of(host) / "inside").write_bytes(b"keeps the folder from going")
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe", NEW_EXE)]))
    update(wine, host, server)
    assert server.requests == [MANIFEST_PATH, PACKAGE_PATH]
    assert host.read_bytes() == previous
    assert (old_of(host) / "inside").exists()
    assert temp_guard() == []


def test_a_folder_in_place_of_the_new_executable_is_not_swapped_in(wine, host, server,
                                                                   temp_guard):
    previous = host.read_bytes()
    # A folder where the new executable should be: it "exists", but is no program.
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe/", None),
                                             ("ZendroWebHost.exe/inner.txt", b"x")]))
    update(wine, host, server)
    assert server.requests == [MANIFEST_PATH, PACKAGE_PATH]
    assert host.read_bytes() == previous
    assert not old_of(host).exists()
    assert temp_guard() == []


def damaged(package_entries, name):
    return corrupt_entry(make_zip(package_entries, zipfile.ZIP_STORED), name)


UNPACKING = "unpacking the update package: "
NO_EXECUTABLE = "the update package: it holds no ZendroWebHost.exe at its top"


@pytest.mark.parametrize("package, reason", [
    (damaged([("ZendroWebHost.exe", NEW_EXE), ("other.txt", b"other entry")], "other.txt"),
     UNPACKING),
    (damaged([("ZendroWebHost.exe", NEW_EXE)], "ZendroWebHost.exe"), UNPACKING),
    (make_zip([("ZendroWebHost.exe", NEW_EXE)], zipfile.ZIP_STORED)[: len(NEW_EXE) // 2],
     UNPACKING),
    (b"<html>Not Found</html>", UNPACKING + "it is no zip archive"),
    (make_zip([("bin/", None), ("bin/ZendroWebHost.exe", NEW_EXE)]), NO_EXECUTABLE),
    (make_zip([("readme.txt", b"no executable")]), NO_EXECUTABLE),
    (make_zip([("ZendroWebHost.exe", b"")]), "reading the unpacked program's version: "),
    (make_zip([("ZendroWebHost.exe", b"<html><body>Not Found</body></html>")]),
     "reading the unpacked program's version: "),
    (make_zip([("ZendroWebHost.exe", release("1, 0, 0, 1"))]),
     "the update package: the unpacked program's version 1.0.0.1 is not newer than 1.0.0.1"),
    (make_zip([("ZendroWebHost.exe", release("0, 9, 9, 9"))]),
     "the update package: the unpacked program's version 0.9.9.9 is not newer than 1.0.0.1"),
], ids=["bad-checksum-other-entry", "bad-checksum-executable", "truncated", "not-an-archive",
        "executable-in-subfolder", "no-executable", "empty-executable", "executable-not-a-program",
        "executable-of-the-same-release", "executable-of-an-older-release"])
def test_a_damaged_or_unfit_package_leaves_the_executable_untouched(wine, host, server,
                                                                    temp_guard, package, reason):
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", package)
    update(wine, host, server)
    assert server.requests == [MANIFEST_PATH, PACKAGE_PATH]
    assert host.read_bytes() == previous and not old_of(host).exists()
    assert last_line(wine).startswith(reason)
    assert temp_guard() == []


@pytest.mark.parametrize("form", [*SIGNATURE_FORMS, "signed-but-older"])
def test_with_trusted_keys_only_a_package_signed_by_one_is_swapped_in(wine, host_copy, server,
                                                                      temp_guard, signing, form):
    older = form == "signed-but-older"
    package = make_zip([("ZendroWebHost.exe", release("0, 9, 9, 9") if older else NEW_EXE)])
    offer = signing.offer("signed" if older else form, package, "ZendroWebHost.zip")
    host = host_copy(source=offer.exe)
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", offer.file)
    if offer.signature is not None:
        server.bodies[PACKAGE_PATH + ".minisig"] = offer.signature
    update(wine, host, server)
    # The signature comes first; without a good one the package is never asked for.
    assert server.requests == [MANIFEST_PATH] + (
        [PACKAGE_PATH + ".minisig"] if offer.signature_fetched else []) + (
        [PACKAGE_PATH] if offer.body_fetched else [])
    swapped = offer.trusted and not older
    assert host.read_bytes() == (NEW_EXE if swapped else previous)
    assert old_of(host).exists() == swapped
    assert temp_guard() == []


def test_hostile_entries_in_a_package_write_nothing_outside(wine, host, server, temp_guard,
                                                            tmp_path):
    marker = "stray" + uuid.uuid4().hex[:12]
    names = [f"../{marker}1", f"..\\{marker}2", f"/{marker}3", f"C:{marker}4",
             f"a/../../{marker}5", f"a/../../../{marker}6", f"{marker}7" + "z" * 300]
    entries = [("a/", None)] + [(n, b"hostile") for n in names] + [("ZendroWebHost.exe", NEW_EXE)]
    server.serve_update("1.0.0.2", make_zip(entries))
    update(wine, host, server)
    assert host.read_bytes() == NEW_EXE  # the hostile entries were passed over, the rest used
    assert find_named([wine.path, tmp_path], marker) == []
    assert sorted(p.name for p in host.parent.iterdir()) == ["ZendroWebHost.exe",
                                                             "ZendroWebHost.exe.old"]
    assert temp_guard() == []


# --- files that others hold, a deep temporary folder, bodies without end --------------------------

@contextmanager
def held_by_a_scanner(wine, folder, name, share, seconds=4, wait=True):
    """The file called `name` below `folder` held open for `seconds` by another program, as a
    virus scanner holds a fresh file (hold_file). With `wait` the file must be held before the
    block begins; without, the helper takes it as soon as it appears."""
    holder = subprocess.Popen([WINE64, str(HELPERS / "hold_file.exe"), str(seconds * 1000), share,
                               wine.to_windows(folder), name], env=wine.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    try:
        if wait:
            assert holder.stdout.readline().startswith(b"held "), "the file was not held"
        yield holder
    finally:
        output = holder.communicate(timeout=90)[0]
    assert holder.returncode == 0, output


@pytest.mark.parametrize("held", ["read-only-old-file", "executable", "unpacked-executable"])
def test_files_that_a_scanner_holds_for_a_moment_are_waited_for(wine, host, server, temp_guard,
                                                                held):
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe", NEW_EXE)]))
    if held == "read-only-old-file":
        old_of(host).write_bytes(b"left from an earlier update")
        old_of(host).chmod(0o444)
    target = {"read-only-old-file": (host.parent, old_of(host).name, "none"),
              # shared for reading, or the host itself could not start from it
              "executable": (host.parent, host.name, "read"),
              # taken while the host holds it from its check to its copy, then kept past that:
              # the work folder's removal waits for it
              "unpacked-executable": (wine.temp / "ZendroWebHost", "ZendroWebHost.exe", "read")}
    folder, name, share = target[held]
    with held_by_a_scanner(wine, folder, name, share, wait=held != "unpacked-executable"):
        update(wine, host, server)
    assert host.read_bytes() == NEW_EXE
    assert old_of(host).read_bytes() == previous
    assert temp_guard() == []


def test_an_update_works_in_a_temporary_folder_deeper_than_260_characters(wine, host, server,
                                                                          temp_guard):
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", make_zip([("docs/", None), ("docs/notes.txt", b"notes"),
                                             ("ZendroWebHost.exe", NEW_EXE)]))
    deep = deep_folder(wine.drive_c / "deep-update")
    try:
        with user_temp_folder(wine, deep) as temp:
            assert len(temp) >= 250
            update(wine, host, server)
        assert host.read_bytes() == NEW_EXE and old_of(host).read_bytes() == previous
        assert list(deep.iterdir()) == []
    finally:
        shutil.rmtree(wine.drive_c / "deep-update", ignore_errors=True)
    assert temp_guard() == []


def test_a_package_without_end_stops_at_its_cap_and_leaves_nothing(wine, host, server,
                                                                   temp_guard):
    previous = host.read_bytes()
    with HostilePeer(endless_body) as peer:
        server.serve_update("1.0.0.2", url=peer.url + "/package.zip")
        run = update(wine, host, server)
    assert run.seconds < 60, run.seconds  # 256 MiB at loopback speed, then it stops
    assert host.read_bytes() == previous and not old_of(host).exists()
    assert temp_guard() == []


@pytest.mark.parametrize("what", ["manifest", "package", "package-without-end"])
def test_an_error_page_is_neither_manifest_nor_package(wine, host, server, temp_guard, what):
    """A 404 whose body would pass for the file is not taken for it, and is not even read: the
    transfer ends with the headers, and the log names the status."""
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe", NEW_EXE)]))
    server.statuses[MANIFEST_PATH if what == "manifest" else PACKAGE_PATH] = 404
    with HostilePeer(endless_error_page) as peer:
        if what == "package-without-end":
            server.serve_update("1.0.0.2", url=peer.url + PACKAGE_PATH)
        run = update(wine, host, server)
    assert run.seconds < 15, run.seconds
    assert server.requests == [MANIFEST_PATH] + ([PACKAGE_PATH] if what == "package" else [])
    assert host.read_bytes() == previous and not old_of(host).exists()
    step = "the update manifest" if what == "manifest" else "the update package download"
    assert re.fullmatch(step + r": fetching http://127\.0\.0\.1:\d+/\S+: the server answered with "
                        r"status 404", last_line(wine))
    assert temp_guard() == []


def test_a_manifest_past_64_kib_is_not_read(wine, host, server, temp_guard):
    previous = host.read_bytes()
    server.serve_update("1.0.0.2", make_zip([("ZendroWebHost.exe", NEW_EXE)]))
    server.bodies[MANIFEST_PATH] = server.bodies[MANIFEST_PATH].replace(
        b"<cpupdate>", b"<cpupdate><!--" + b"x" * 65536 + b"-->")
    update(wine, host, server)
    assert server.requests == [MANIFEST_PATH]
    assert host.read_bytes() == previous
    assert temp_guard() == []
