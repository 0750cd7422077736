"""Stand-in HTTP peers on 127.0.0.1 (free ports) that answer by path and record every request."""

import threading
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


@dataclass
class Answer:
    status: int = 200
    body: bytes = b""
    headers: list = field(default_factory=list)  # (name, value), sent exactly as written
    cut_after: int = None  # when set, the connection closes after that many bytes of the body


@dataclass
class Request:
    method: str
    path: str
    headers: dict
    body: bytes


def serve_tls(server, context) -> str:
    """Makes an http.server on 127.0.0.1 speak HTTPS with `context` (an ssl.SSLContext) and returns
    its base URL. Each handshake runs in the thread of its connection, so a client that fails or
    stalls one holds up no other; a failed one is no error of the test server."""
    server.socket = context.wrap_socket(server.socket, server_side=True,
                                        do_handshake_on_connect=False)
    server.handle_error = lambda request, address: None
    return f"https://localhost:{server.server_address[1]}"


class StandInServer:
    """Answers each path with its Answer, or with what a function of the Request returns (404 with
    an empty body for unknown paths). With `tls` (an ssl.SSLContext) it speaks HTTPS."""

    def __init__(self, answers=None, tls=None):
        self.answers = dict(answers or {})
        self.requests = []
        outer = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def handle_any(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length) if length else b""
                request = Request(self.command, self.path, dict(self.headers.items()), body)
                outer.requests.append(request)
                answer = outer.answers.get(self.path, Answer(404))
                if callable(answer):
                    answer = answer(request)
                self.send_response(answer.status)
                for name, value in answer.headers:
                    self.send_header(name, value)
                self.send_header("Content-Length", str(len(answer.body)))
                self.end_headers()
                if answer.cut_after is None:
                    self.wfile.write(answer.body)
                else:
                    self.wfile.write(answer.body[: answer.cut_after])
                    self.close_connection = True

            do_GET = handle_any
            do_POST = handle_any

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self.url = serve_tls(self.server, tls) if tls else f"http://127.0.0.1:{self.port}"
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=10)


def unused_port() -> int:
    """A loopback port on which nothing listens (free a moment ago)."""
    import socket

    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]
