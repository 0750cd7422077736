"""A certificate authority made for the test session with Debian's openssl, and server certificates
that it (or nobody) vouches for, as ssl contexts of stand-in servers. Certificates name
"localhost": Wine refuses a certificate for an IP address."""

import base64
import ssl
import subprocess
import uuid

CONFIG = """[ca]
default_ca = test_ca
[test_ca]
dir = {folder}
database = $dir/index.txt
new_certs_dir = $dir
serial = $dir/serial
certificate = $dir/ca.pem
private_key = $dir/ca.key
default_md = sha256
policy = anything
unique_subject = no
[anything]
commonName = supplied
[server]
extendedKeyUsage = serverAuth
subjectAltName = DNS:{name}
{extra}
"""


class CertificateAuthority:
    """The session's authority in `folder`, and its certificates: `good` (for localhost),
    `other_name`, `expired`, and `self_signed` (not issued by it)."""

    def __init__(self, folder):
        self.folder = folder
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "index.txt").write_text("")
        (folder / "serial").write_text("1000\n")
        # A name of its own: an authority of an earlier session may still be trusted.
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
                     "-out", "ca.pem", "-days", "7", "-subj", f"/CN=Test CA {uuid.uuid4().hex}",
                     "-addext", "basicConstraints=critical,CA:TRUE")
        self.config = self.write_config("ca", "localhost", "")
        self.good = self.issue("good")
        self.other_name = self.issue("other-name", name="elsewhere.test")
        self.expired = self.issue("expired", dates=["-startdate", "20240101000000Z",
                                                    "-enddate", "20240201000000Z"])
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "self.key",
                     "-out", "self.pem", "-days", "7", "-subj", "/CN=localhost",
                     "-addext", "subjectAltName=DNS:localhost")
        self.self_signed = context(folder / "self.pem", folder / "self.key")

    def base64(self) -> str:
        pem = (self.folder / "ca.pem").read_text()
        return base64.b64encode(ssl.PEM_cert_to_DER_cert(pem)).decode()

    def openssl(self, *args):
        result = subprocess.run(["openssl", *map(str, args)], cwd=self.folder,
                                capture_output=True, text=True, timeout=60)
        assert result.returncode == 0, (args, result.stderr)

    def write_config(self, stem, name, extra):
        config = self.folder / f"{stem}.cnf"
        config.write_text(CONFIG.format(folder=self.folder, name=name, extra=extra))
        return config

    def issue(self, stem, name="localhost", dates=("-days", "7"), crl_url=None) -> ssl.SSLContext:
        """A certificate for `name`; with `crl_url`, naming where its revocation list lies."""
        extra = f"crlDistributionPoints = URI:{crl_url}" if crl_url else ""
        config = self.write_config(stem, name, extra)
        self.openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{stem}.key",
                     "-out", f"{stem}.csr", "-subj", f"/CN={name}")
        self.openssl("ca", "-batch", "-notext", "-config", config, "-extensions", "server",
                     "-in", f"{stem}.csr", "-out", f"{stem}.pem", *dates)
        return context(self.folder / f"{stem}.pem", self.folder / f"{stem}.key")

    def revocation_list(self, *revoked_stems) -> bytes:
        """The authority's revocation list (DER), naming the certificates issued as these stems."""
        for stem in revoked_stems:
            self.openssl("ca", "-config", self.config, "-revoke", f"{stem}.pem")
        self.openssl("ca", "-config", self.config, "-gencrl", "-crldays", "7", "-out", "crl.pem")
        self.openssl("crl", "-in", "crl.pem", "-outform", "DER", "-out", "crl.der")
        return (self.folder / "crl.der").read_bytes()


def context(certificate, key) -> ssl.SSLContext:
    server = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    server.load_cert_chain(certificate, key)
    return server
