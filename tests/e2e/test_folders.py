"""Download folders: the default folder, showing a folder in the shell, and the folder dialog."""

import json
import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import EXE, HELPERS, WINE64, frame, split_frames

FOLDER_CLASSES = ("Folder", "Directory")


def test_default_downloads_folder_is_the_profiles_with_backslashes_doubled(wine):
    run = wine.send('{"text":"getDefaultDownloadsDirectory"}')
    expected = wine.to_windows(wine.profile) + "\\Downloads\\Zendro Downloads"
    assert run.reply == expected  # decoded as JSON: every backslash came doubled
    assert run.frames[0] == ('{"text": "%s"}' % expected.replace("\\", "\\\\")).encode()
    assert not (wine.profile / "Downloads" / "Zendro Downloads").exists()  # nothing is created


@pytest.fixture
def folder_viewer(wine, tmp_path):
    """Points the prefix's folder association at a copy of record_open.exe for one test; yields
    a function that returns the folders the shell was asked to open and can break the
    association. The keys are restored afterwards."""
    viewer = tmp_path / "viewer" / "record_open.exe"
    viewer.parent.mkdir()
    shutil.copy2(HELPERS / "record_open.exe", viewer)
    log = Path(str(viewer) + ".log")
    saved = {}
    for name in FOLDER_CLASSES:
        key = f"HKLM\\Software\\Classes\\{name}\\shell\\open"
        backup = tmp_path / f"{name}.reg"
        if wine.wine("reg", "export", key, wine.windows_path(backup), "/y", check=False).returncode == 0:
            saved[key] = backup
        else:
            saved[key] = None

    def point_at(program):
        for key in saved:
            wine.wine("reg", "delete", key + "\\ddeexec", "/f", check=False)
            wine.wine("reg", "add", key + "\\command", "/ve", "/d", f'"{program}" "%1"', "/f")

    point_at(wine.windows_path(viewer))

    class Viewer:
        @staticmethod
        def opened():
            return log.read_text(encoding="utf-8").splitlines() if log.exists() else []

        @staticmethod
        def break_association():
            point_at("Z:\\no\\such\\viewer.exe")

    yield Viewer
    for key, backup in saved.items():
        wine.wine("reg", "delete", key, "/f", check=False)
        if backup:
            wine.wine("reg", "import", wine.windows_path(backup))


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


def test_a_folder_the_shell_cannot_show_is_a_failure(wine, folder_viewer, tree):
    folder_viewer.break_association()
    run = open_folder(wine, wine.windows_path(tree))
    assert run.reply == "failed"


def test_a_file_past_max_path_is_found_through_the_long_path_form(wine, folder_viewer, tree):
    name = "n" * 240 + ".txt"
    (tree / name).write_text("x")
    path = wine.windows_path(tree / name)
    assert 260 < len(path) < 1018
    run = open_folder(wine, path)
    assert run.reply == "success"
    assert folder_viewer.opened() == [wine.windows_path(tree)]
