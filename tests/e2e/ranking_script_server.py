#!/usr/bin/env python3
"""A scripted ranking server for the netplay end-to-end test.

Serves one exchange per connection on 127.0.0.1: reads the 2-byte request, answers with
the given threshold, reads the submission (124 bytes) or the decline (2 bytes), sends the
text of TEXT_FILE with its header, and waits for the client to close; a connection that
starts with another message (netplay's replay of a kept score) is closed unanswered, as a
server that does not know it does. Every message it
receives is appended to RECORD_FILE as one line: "<name> <hex bytes>". READY_FILE is
written once it listens.

usage: ranking_script_server.py PORT THRESHOLD TEXT_FILE RECORD_FILE READY_FILE
"""
import socket
import struct
import sys


def receive_exactly(conn, count):
    data = b""
    while len(data) < count:
        chunk = conn.recv(count - len(data))
        if not chunk:
            raise ConnectionError("closed after %d of %d bytes" % (len(data), count))
        data += chunk
    return data


def record(path, name, data):
    with open(path, "a") as out:
        out.write("%s %s\n" % (name, data.hex()))


def serve(conn, threshold, text, record_path):
    conn.settimeout(60)
    kind = receive_exactly(conn, 1)
    if kind != b"\x00":
        # Not a ranking request (netplay sends a kept score's replay after the exchange):
        # closed unanswered, as a server that does not know the message closes it.
        record(record_path, "other", kind)
        return
    record(record_path, "request", kind + receive_exactly(conn, 1))
    conn.sendall(b"\x00" * 52 + struct.pack("<I", threshold))
    first = receive_exactly(conn, 1)
    if first == b"\x02":
        record(record_path, "submission", first + receive_exactly(conn, 123))
    else:
        record(record_path, "answer", first + receive_exactly(conn, 1))
    conn.sendall(b"\x00" * 4 + struct.pack("<I", len(text)) + text)
    while conn.recv(4096):
        pass


def main():
    port, threshold = int(sys.argv[1]), int(sys.argv[2])
    text_path, record_path, ready_path = sys.argv[3:6]
    with open(text_path, "rb") as f:
        text = f.read()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        listener.bind(("127.0.0.1", port))
    except PermissionError:
        sys.exit(77)  # port 20 needs root or the bind capability
    listener.listen(4)
    open(ready_path, "w").close()
    while True:
        conn, _ = listener.accept()
        with conn:
            try:
                serve(conn, threshold, text, record_path)
            except (ConnectionError, socket.timeout) as e:
                record(record_path, "broken", str(e).encode())


if __name__ == "__main__":
    main()
