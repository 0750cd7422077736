"""Signed downloads: minisign key pairs made for the test session, signatures of the files the
stand-in servers offer, and copies of the executable that carry trusted keys."""

import shutil
import subprocess
from dataclasses import dataclass
from pathlib import Path

import pytest

from conftest import EXE, HELPERS

PUT_KEYS = HELPERS / "put_trusted_keys.exe"


class Publisher:
    """A minisign key pair (no password) made with Debian's minisign."""

    def __init__(self, folder: Path):
        folder.mkdir(parents=True)
        self.folder = folder
        self.pub = folder / "key.pub"
        self.key = folder / "key.key"
        subprocess.run(["minisign", "-G", "-W", "-p", self.pub, "-s", self.key], check=True,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        self.key_line = self.pub.read_text().splitlines()[1]

    def sign(self, data: bytes, *options) -> bytes:
        """The .minisig file of `data`."""
        signed = self.folder / "signed.bin"
        signed.write_bytes(data)
        subprocess.run(["minisign", "-S", "-s", self.key, "-m", signed, "-t", "a release",
                        *options], check=True, stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=60)
        return Path(str(signed) + ".minisig").read_bytes()


def trusting_copy(wine, target: Path, keys: bytes, source: Path = EXE) -> Path:
    """A copy of `source` at `target` whose trusted keys resource holds `keys`."""
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy2(source, target)
    keys_file = target.with_name(target.name + ".keys")
    keys_file.write_bytes(keys)
    run = wine.run([wine.to_windows(target), wine.to_windows(keys_file)], exe=PUT_KEYS)
    assert run.returncode == 0, "the keys resource could not be replaced"
    keys_file.unlink()
    return target


def _flipped(data: bytes) -> bytes:
    return data[:-1] + bytes([data[-1] ^ 1])


# How the file and its signature are offered: (publisher, stranger, file) -> (file served,
# signature served or None for a 404 with a body), and whether the host may use the file.
SIGNATURE_FORMS = {
    "signed": (lambda p, s, d: (d, p.sign(d)), True),
    "one-byte-changed-after-signing": (lambda p, s, d: (_flipped(d), p.sign(d)), False),
    "signed-by-an-untrusted-key": (lambda p, s, d: (d, s.sign(d)), False),
    "signature-missing": (lambda p, s, d: (d, None), False),
    "signature-empty": (lambda p, s, d: (d, b""), False),
    "trusted-comment-altered": (
        lambda p, s, d: (d, p.sign(d).replace(b"a release", b"a relaxse")), False),
    "signature-malformed": (lambda p, s, d: (d, b"\n".join(p.sign(d).splitlines()[1:])), False),
    "legacy-signature": (lambda p, s, d: (d, p.sign(d, "-l")), False),
    # Signed well, but the executable's keys resource also holds a line that is no key.
    "key-line-malformed": (lambda p, s, d: (d, p.sign(d)), False),
}


@dataclass
class Offer:
    file: bytes
    signature: bytes  # None: the server has none
    trusted: bool
    exe: Path  # the executable, with its trusted keys, that meets the offer
    signature_fetched: bool  # keys that cannot be read need no signature to refuse


class Signing:
    """A publisher whose key a copy of the executable trusts, and a stranger it does not know."""

    def __init__(self, wine, folder: Path):
        self.publisher = Publisher(folder / "publisher")
        self.stranger = Publisher(folder / "stranger")
        keys = self.publisher.pub.read_bytes()
        self.trusting = trusting_copy(wine, folder / "trusting" / "ZendroWebHost.exe", keys)
        self.refusing = trusting_copy(wine, folder / "refusing" / "ZendroWebHost.exe",
                                      keys + b"RWQ0notakey\n")

    def offer(self, form: str, data: bytes) -> Offer:
        make, trusted = SIGNATURE_FORMS[form]
        file, signature = make(self.publisher, self.stranger, data)
        broken = form == "key-line-malformed"
        return Offer(file, signature, trusted, self.refusing if broken else self.trusting,
                     not broken)


@pytest.fixture(scope="session")
def signing(wine, tmp_path_factory):
    return Signing(wine, tmp_path_factory.mktemp("signing"))
