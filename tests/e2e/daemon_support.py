"""The daemon's files in the test prefix."""

import shutil

import pytest


@pytest.fixture
def settings_file(wine):
    """Writes the daemon's exported settings in the prefix; removes what it made afterwards."""
    home = wine.appdata / "ZendroWebDaemon"
    existed = home.exists()
    path = home / "Zendro" / "exported_params.properties"

    def write(contents: bytes):
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(contents)
        return path

    yield write
    if existed:
        path.unlink(missing_ok=True)
    else:
        shutil.rmtree(home, ignore_errors=True)
