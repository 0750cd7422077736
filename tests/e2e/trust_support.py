"""Signed downloads: minisign key pairs made per session, and copies of the executable that
trust a key (put in with the put_trusted_keys helper)."""

import shutil
import subprocess
from pathlib import Path
from types import SimpleNamespace

import pytest

from conftest import EXE, HELPERS


class Publisher:
    """A minisign key pair without a password."""

    def __init__(self, folder: Path):
        folder.mkdir(parents=True)
        self.folder, self.pub, self.key = folder, folder / "k.pub", folder / "k.key"
        minisign("-G", "-W", "-p", self.pub, "-s", self.key)

    def sign(self, data: bytes, name: str, *options) -> bytes:
        """The .minisig of `data` as the file `name`; minisign's default trusted comment
        ("timestamp:...<TAB>file:<name><TAB>hashed") unless `options` give another."""
        signed = self.folder / "files" / name
        signed.parent.mkdir(exist_ok=True)
        signed.write_bytes(data)
        minisign("-S", "-s", self.key, "-m", signed, *options)
        return Path(f"{signed}.minisig").read_bytes()


def minisign(*args):
    subprocess.run(["minisign", *map(str, args)], check=True, stdin=subprocess.DEVNULL,
                   capture_output=True, timeout=60)


def trusting_copy(wine, target: Path, keys: bytes) -> Path:
    """A copy of the executable whose trusted keys resource holds `keys`."""
    target.parent.mkdir(parents=True)
    shutil.copy2(EXE, target)
    keys_file = target.with_suffix(".keys")
    keys_file.write_bytes(keys)
    run = wine.run([wine.to_windows(target), wine.to_windows(keys_file)],
                   exe=HELPERS / "put_trusted_keys.exe")
    assert run.returncode == 0, "the keys resource could not be replaced"
    return target


# The two files a host downloads; each one's signature is worthless for the other.
RELEASE_FILES = ("ZendroWebDaemonSetup.exe", "ZendroWebHost.zip")


def other_file(name: str) -> str:
    return RELEASE_FILES[1 - RELEASE_FILES.index(name)]


def renamed(signature: bytes, name: str, to: str) -> bytes:
    """The signature with the file name in its trusted comment changed (not signed again)."""
    return signature.replace(b"\tfile:" + name.encode() + b"\t", b"\tfile:" + to.encode() + b"\t")


# form: (publisher, stranger, file, its name) -> (file served, its .minisig or None for a 404 with
# a body). Only "signed" is to be trusted; "key-line-malformed" meets an executable whose keys
# resource also holds a line that is no key, and so never even fetches the signature. The signature
# is fetched before the file, and the file only when all of the signature that does not need the
# file holds: well-formed, by a trusted key, its trusted comment genuine and naming this file (the
# forms in SIGNATURE_PASSES_BEFORE_THE_BODY).
SIGNATURE_FORMS = {
    "signed": lambda p, s, d, n: (d, p.sign(d, n)),
    "one-byte-changed-after-signing": lambda p, s, d, n: (d[:-1] + bytes([d[-1] ^ 1]), p.sign(d, n)),
    "signed-by-an-untrusted-key": lambda p, s, d, n: (d, s.sign(d, n)),
    "signature-missing": lambda p, s, d, n: (d, None),
    "signature-empty": lambda p, s, d, n: (d, b""),
    # Another release file, served with its own good signature in place of this one.
    "signed-as-the-other-release-file": lambda p, s, d, n: (d, p.sign(d, other_file(n))),
    "trusted-comment-renamed-to-this-file": lambda p, s, d, n: (
        d, renamed(p.sign(d, other_file(n)), other_file(n), n)),
    "custom-comment-without-file": lambda p, s, d, n: (d, p.sign(d, n, "-t", "ZendroWebHost 1.0.0.2")),
    "signature-malformed": lambda p, s, d, n: (d, b"\n".join(p.sign(d, n).splitlines()[1:])),
    "legacy-signature": lambda p, s, d, n: (d, p.sign(d, n, "-l")),
    "key-line-malformed": lambda p, s, d, n: (d, p.sign(d, n)),
}

SIGNATURE_PASSES_BEFORE_THE_BODY = {"signed", "one-byte-changed-after-signing"}


@pytest.fixture(scope="session")
def signing(wine, tmp_path_factory):
    folder = tmp_path_factory.mktemp("signing")
    publisher, stranger = Publisher(folder / "publisher"), Publisher(folder / "stranger")
    keys = publisher.pub.read_bytes()

    def offer(form, data, name):
        file, signature = SIGNATURE_FORMS[form](publisher, stranger, data, name)
        broken = form == "key-line-malformed"
        return SimpleNamespace(file=file, signature=signature, trusted=form == "signed",
                               exe=refusing if broken else trusting, signature_fetched=not broken,
                               body_fetched=form in SIGNATURE_PASSES_BEFORE_THE_BODY)

    trusting = trusting_copy(wine, folder / "trusting" / "ZendroWebHost.exe", keys)
    refusing = trusting_copy(wine, folder / "refusing" / "ZendroWebHost.exe", keys + b"RWQ0no\n")
    return SimpleNamespace(offer=offer, publisher=publisher)
