"""Peers that misbehave on purpose, on 127.0.0.1 (free ports). Each stops when its test ends."""

import socket
import threading
import time


class HostilePeer:
    """Accepts connections and answers each with `behaviour(connection, stop_event)`."""

    def __init__(self, behaviour, https=False):
        self.behaviour = behaviour
        self.stop_event = threading.Event()
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.listener.settimeout(0.2)
        self.port = self.listener.getsockname()[1]
        # With `https`, clients are told to speak TLS to it (certificates name "localhost").
        self.url = f"https://localhost:{self.port}" if https else f"http://127.0.0.1:{self.port}"
        self.connections = 0
        self.thread = threading.Thread(target=self._serve, daemon=True)

    def _serve(self):
        while not self.stop_event.is_set():
            try:
                connection, _ = self.listener.accept()
            except OSError:
                continue
            self.connections += 1
            threading.Thread(target=self._answer, args=(connection,), daemon=True).start()

    def _answer(self, connection):
        with connection:
            try:
                connection.settimeout(5)
                connection.recv(65536)  # the request; its content does not matter here
                self.behaviour(connection, self.stop_event)
            except OSError:
                pass

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop_event.set()
        self.thread.join(timeout=10)
        self.listener.close()


def never_answers(connection, stop):
    stop.wait(120)


def drips_headers(connection, stop):
    """A header block without end, one byte at a time."""
    connection.sendall(b"HTTP/1.1 200 OK\r\nX-Drip: ")
    while not stop.is_set():
        connection.sendall(b"a")
        time.sleep(0.1)


def closes_mid_body(connection, stop):
    connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + b"x" * 1000)


def huge_body(size):
    def behaviour(connection, stop):
        connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % size)
        chunk = b"z" * (1 << 20)
        sent = 0
        while sent < size and not stop.is_set():
            piece = chunk[: min(len(chunk), size - sent)]
            connection.sendall(piece)
            sent += len(piece)

    return behaviour


def redirects_to_itself(connection, stop):
    body = b"moved"
    connection.sendall(b"HTTP/1.1 302 Found\r\nLocation: /\r\nContent-Length: %d\r\n\r\n%s"
                       % (len(body), body))


def refuses_with_409(connection, stop):
    """What a Transmission daemon says to a request without a valid session id, every time."""
    body = b"<h1>409: Conflict</h1>"
    connection.sendall(b"HTTP/1.1 409 Conflict\r\nX-Transmission-Session-Id: forever\r\n"
                       b"Content-Length: %d\r\n\r\n%s" % (len(body), body))


def speaks_plain_http(connection, stop):
    """An HTTP answer to whatever came, a TLS client's greeting included."""
    body = b"plain"
    connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n%s" % (len(body), body))


def drips_body(connection, stop):
    """A long body that keeps coming, 16 KiB every 0.2 s: too fast to count as stalled."""
    connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % (1 << 30))
    while not stop.is_set():
        connection.sendall(b"d" * 16384)
        time.sleep(0.2)


def endless_body(connection, stop):
    """A body without a length that never ends, as fast as the client takes it."""
    connection.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
    chunk = b"e" * (1 << 20)
    while not stop.is_set():
        connection.sendall(chunk)


def endless_error_page(connection, stop):
    """A 404 whose body never ends, as fast as the client takes it."""
    connection.sendall(b"HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\n")
    chunk = b"<p>not here</p>" * 65536
    while not stop.is_set():
        connection.sendall(chunk)


def announces_too_much(connection, stop):
    """Announces a body of 1 TiB, then sends nothing: only the announcement can end the wait."""
    connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % (1 << 40))
    stop.wait(120)
