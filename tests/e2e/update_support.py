"""Stand-in download server and update packages for the self-update tests."""

import io
import shutil
import struct
import subprocess
import threading
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

from http_support import serve_tls

MANIFEST_PATH = "/files/ZendroWeb/hostupdate.xml"
PACKAGE_PATH = "/files/ZendroWeb/ZendroWebHost.zip"


class UpdateServer:
    """Serves fixed bodies by path on 127.0.0.1 (free port), with status 200 or the one in
    `statuses` (404 without a body), and logs every request path; over HTTPS with `tls` (an
    ssl.SSLContext)."""

    def __init__(self, tls=None):
        self.bodies = {}
        self.statuses = {}
        self.requests = []
        server = self

        class Handler(BaseHTTPRequestHandler):
            timeout = 30

            def do_GET(self):
                server.requests.append(self.path)
                body = server.bodies.get(self.path)
                self.send_response(server.statuses.get(self.path, 200 if body is not None else 404))
                body = body if body is not None else b"not here"
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = (serve_tls(self.httpd, tls) if tls
                    else f"http://127.0.0.1:{self.httpd.server_address[1]}")
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def serve_update(self, version: str, package: bytes = None, url: str = None):
        """A manifest naming `version`, and the package at the URL it names."""
        url = url if url is not None else self.url + PACKAGE_PATH
        self.bodies[MANIFEST_PATH] = manifest(f"<hosturl>{url}</hosturl><hostver>{version}</hostver>")
        if package is not None:
            self.bodies[PACKAGE_PATH] = package

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=10)


def manifest(children: str, root: str = "cpupdate") -> bytes:
    return f'<?xml version="1.0" encoding="utf-8"?>\n<{root}>{children}</{root}>\n'.encode()


def with_file_version(program: bytes, version: str) -> bytes:
    """A copy of a Windows program whose FileVersion text is `version` (no longer than the old
    text; the rest of the old text's room is filled with NULs), as if it were another release."""
    key = "FileVersion\0".encode("utf-16-le")
    start = program.index(key) + len(key)
    while program[start:start + 2] == b"\0\0":  # padding to the value's 32-bit boundary
        start += 2
    end = start
    while program[end:end + 2] != b"\0\0":
        end += 2
    text = version.encode("utf-16-le")
    assert len(text) <= end - start, (version, program[start:end].decode("utf-16-le"))
    return program[:start] + text.ljust(end - start, b"\0") + program[end:]


def make_zip(entries, compression=zipfile.ZIP_DEFLATED) -> bytes:
    """A zip from (name, data) pairs; data None makes a folder entry. Names are kept as given."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_STORED if data is None else compression
            if data is None:
                info.external_attr = 0o40755 << 16 | 0x10
            archive.writestr(info, b"" if data is None else data)
    return buffer.getvalue()


def corrupt_entry(package: bytes, name: str) -> bytes:
    """Flips one byte of a stored entry's data: its checksum no longer matches."""
    with zipfile.ZipFile(io.BytesIO(package)) as archive:
        info = archive.getinfo(name)
    assert info.compress_type == zipfile.ZIP_STORED and info.file_size > 0
    offset = info.header_offset
    name_length, extra_length = struct.unpack("<HH", package[offset + 26 : offset + 30])
    data = offset + 30 + name_length + extra_length
    damaged = bytearray(package)
    damaged[data + info.file_size // 2] ^= 0xFF
    return bytes(damaged)


def info_zip(tree: dict, workdir: Path) -> bytes:
    """An archive made by Info-ZIP's zip from a folder tree {relative path: bytes or None}."""
    source = workdir / "info-zip-source"
    if source.exists():
        shutil.rmtree(source)
    source.mkdir(parents=True)
    for relative, data in tree.items():
        path = source / relative
        if data is None:
            path.mkdir(parents=True, exist_ok=True)
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
    target = workdir / "info-zip.zip"
    target.unlink(missing_ok=True)
    subprocess.run(["zip", "-q", "-r", "-X", "-9", str(target), "."], cwd=source, check=True,
                   timeout=60)
    return target.read_bytes()


def tree_snapshot(folder: Path) -> set:
    """Every path below `folder`, relative to it."""
    if not folder.exists():
        return set()
    return {p.relative_to(folder) for p in folder.rglob("*")}


def find_named(roots, marker: str) -> list:
    """Every file or folder below `roots` whose name holds `marker` (links are not followed)."""
    import os

    found = []
    for root in roots:
        for folder, dirs, files in os.walk(root):
            found += [os.path.join(folder, n) for n in dirs + files if marker in n]
    return found
