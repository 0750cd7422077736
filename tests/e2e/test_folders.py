"""Download folders: the default folder, showing a folder in the shell, and the folder dialog."""

import json
import shutil
import time
from pathlib import Path

import pytest

from conftest import HELPERS, split_frames
from folder_dialog_support import DIALOG_CAPTION, HostWithWindow, VirtualDisplay

FOLDER_CLASSES = ("Folder", "Directory")


def test_default_downloads_folder_is_the_profiles_with_backslashes_doubled(wine):
    run = wine.send('{"text":"getDefaultDownloadsDirectory"}')
    expected = wine.to_windows(wine.profile) + "\\Downloads\\Zendro Downloads"
    assert run.reply == expected  # decoded as JSON: every backslash came doubled
    assert run.frames[0] == ('{"text": "%s"}' % expected.replace("\\", "\\\\")).encode()
    assert not (wine.profile / "Downloads" / "Zendro Downloads").exists()  # nothing is created


@pytest.fixture(scope="module")
def folder_association(wine, tmp_path_factory):
    """Points the prefix's folder association at a copy of record_open.exe for this module, and
    restores the keys afterwards."""
    folder = tmp_path_factory.mktemp("viewer")
    viewer = folder / "record_open.exe"
    shutil.copy2(HELPERS / "record_open.exe", viewer)
    saved = {}
    for name in FOLDER_CLASSES:
        key = f"HKLM\\Software\\Classes\\{name}\\shell\\open"
        backup = folder / f"{name}.reg"
        exported = wine.wine("reg", "export", key, wine.windows_path(backup), "/y", check=False)
        saved[key] = backup if exported.returncode == 0 else None

    class Association:
        program = wine.windows_path(viewer)
        log = Path(str(viewer) + ".log")

        @staticmethod
        def point_at(program):
            for key in saved:
                wine.wine("reg", "delete", key + "\\ddeexec", "/f", check=False)
                wine.wine("reg", "add", key + "\\command", "/ve", "/d", f'"{program}" "%1"', "/f")

    Association.point_at(Association.program)
    yield Association
    for key, backup in saved.items():
        wine.wine("reg", "delete", key, "/f", check=False)
        if backup:
            wine.wine("reg", "import", wine.windows_path(backup))


@pytest.fixture
def folder_viewer(folder_association):
    """The folders the shell was asked to open during one test."""
    folder_association.log.unlink(missing_ok=True)

    class Viewer:
        @staticmethod
        def opened():
            log = folder_association.log
            return log.read_text(encoding="utf-8").splitlines() if log.exists() else []

    return Viewer


def open_folder(wine, directory):
    return wine.send(json.dumps({"text": "openContainingFolder", "directory": directory}))


@pytest.fixture
def tree(tmp_path):
    root = tmp_path / "tree"
    (root / "sub dir").mkdir(parents=True)
    (root / "sub dir" / "run me.exe").write_bytes(b"MZ")
    return root


def test_a_folder_is_shown(wine, folder_viewer, tree):
    run = open_folder(wine, wine.windows_path(tree / "sub dir"))
    assert run.reply == "success"
    assert folder_viewer.opened() == [wine.windows_path(tree / "sub dir")]


def test_for_a_file_its_folder_is_shown_never_the_file(wine, folder_viewer, tree):
    run = open_folder(wine, wine.windows_path(tree / "sub dir" / "run me.exe"))
    assert run.reply == "success"
    assert folder_viewer.opened() == [wine.windows_path(tree / "sub dir")]


def test_forward_slashes_separate_too(wine, folder_viewer, tree):
    forward = wine.windows_path(tree / "sub dir" / "run me.exe").replace("\\", "/")
    run = open_folder(wine, forward)
    assert run.reply == "success"
    [opened] = folder_viewer.opened()
    assert opened.replace("/", "\\") == wine.windows_path(tree / "sub dir")


def test_a_relative_path_is_found_from_the_current_folder(wine, folder_viewer, tree, monkeypatch):
    monkeypatch.chdir(tree)
    run = open_folder(wine, "sub dir\\run me.exe")
    assert run.reply == "success"
    [opened] = folder_viewer.opened()
    assert opened.lower().endswith("sub dir") and "run me" not in opened


@pytest.mark.parametrize(
    "make_directory",
    [
        pytest.param(lambda wine, tree: wine.windows_path(tree / "missing"), id="missing"),
        pytest.param(lambda wine, tree: wine.windows_path(tree / "missing" / "f.txt"), id="missing-folder"),
        pytest.param(lambda wine, tree: "", id="empty"),
        pytest.param(lambda wine, tree: "C:\\" + "a\\" * 600, id="too-long-for-the-prefixed-form"),
    ],
)
def test_nothing_to_show_fails_and_opens_nothing(wine, folder_viewer, tree, make_directory):
    run = open_folder(wine, make_directory(wine, tree))
    assert run.reply == "failed"
    assert folder_viewer.opened() == []


def test_a_file_without_a_folder_in_its_path_is_not_opened(wine, folder_viewer, tree, monkeypatch):
    monkeypatch.chdir(tree / "sub dir")
    run = open_folder(wine, "run me.exe")
    assert run.reply == "failed"
    assert folder_viewer.opened() == []


def test_a_path_too_long_for_the_shell_fails_without_reaching_it(wine, folder_viewer, tmp_path):
    # Longer than the prefixed form can hold (1,018 units), yet existing through the Z: drive.
    # Wine's shell crashes on such paths, so the host must not hand them over.
    deep = tmp_path / "deep"
    for index in range(12):
        deep = deep / (f"{index:02d}" + "d" * 95)
    deep.mkdir(parents=True)
    (deep / "f.txt").write_text("x")
    path = wine.windows_path(deep / "f.txt")
    assert len(path) > 1018
    run = open_folder(wine, path)
    assert run.reply == "failed"
    assert folder_viewer.opened() == []


def test_a_folder_the_shell_cannot_show_is_a_failure(wine, folder_association, tree):
    folder_association.point_at("Z:\\no\\such\\viewer.exe")
    try:
        run = open_folder(wine, wine.windows_path(tree))
    finally:
        folder_association.point_at(folder_association.program)
    assert run.reply == "failed"


def test_a_file_past_max_path_is_found_through_the_long_path_form(wine, folder_viewer, tree):
    name = "n" * 240 + ".txt"
    (tree / name).write_text("x")
    path = wine.windows_path(tree / name)
    assert 260 < len(path) < 1018
    run = open_folder(wine, path)
    assert run.reply == "success"
    assert folder_viewer.opened() == [wine.windows_path(tree)]


def test_folder_dialog_without_a_display_returns_cancel_at_once(wine):
    run = wine.send('{"text":"setDownloadFolder"}', timeout=60)
    assert run.reply == "Cancel"


@pytest.fixture(scope="module")
def display():
    screen = VirtualDisplay()
    yield screen
    screen.close()


@pytest.fixture
def dialog(wine, display):
    host = HostWithWindow(wine, display, b'{"text":"setDownloadFolder"}')
    window = display.find_window(DIALOG_CAPTION)
    yield host, window
    if host.process.poll() is None:  # the test failed before closing it
        display.xdotool("key", "--window", window or "0", "Escape")
        host.finish()


def reply_of(raw):
    [body] = split_frames(raw)
    return json.loads(body)["text"]


def test_folder_dialog_closed_with_escape_gives_cancel(display, dialog):
    host, window = dialog
    assert window, "no folder dialog appeared"
    display.xdotool("key", "--window", window, "Escape")
    assert reply_of(host.finish()) == "Cancel"


def choose_by_typing(display, window, name):
    time.sleep(1)  # let the tree fill
    display.xdotool("key", "--window", window, "shift+Tab")
    display.xdotool("type", "--window", window, "--delay", "50", name)
    time.sleep(0.5)
    display.xdotool("key", "--window", window, "Return")


@pytest.fixture
def desktop_folder(wine):
    # The prefix's Desktop leads into Wine's HOME; a folder there is a child of the dialog's root.
    folder = wine.profile / "Desktop" / "Zendro Pick"
    folder.mkdir()
    yield folder
    folder.rmdir()


def test_folder_dialog_gives_the_chosen_folder(wine, display, desktop_folder, dialog):
    host, window = dialog
    assert window, "no folder dialog appeared"
    choose_by_typing(display, window, "Zendro Pick")
    raw = host.finish()
    expected = wine.to_windows(desktop_folder)
    assert reply_of(raw) == expected
    assert ('"%s"' % expected.replace("\\", "\\\\")).encode() in raw


def test_folder_dialog_choice_without_a_path_is_invalid(display, dialog):
    host, window = dialog
    assert window, "no folder dialog appeared"
    choose_by_typing(display, window, "My Computer")
    assert reply_of(host.finish()) == "invalid"
