"""A loopback attendance server for the end-to-end test.

    line_server.py PORT_FILE LINES_FILE

Listens on 127.0.0.1 at a free port, writes the port to PORT_FILE, answers
every line a client sends with "OK" and appends the line to LINES_FILE.
Runs until it is killed.
"""
import os
import socket
import sys
import threading


def serve(connection, lines_path):
    with connection, connection.makefile("rb") as reader:
        for raw in reader:
            line = raw.rstrip(b"\r\n").decode("latin-1")
            with open(lines_path, "a", encoding="latin-1") as lines:
                lines.write(line + "\n")
            connection.sendall(b"OK\r\n")


def main():
    port_path, lines_path = sys.argv[1], sys.argv[2]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    with open(port_path + ".tmp", "w") as port_file:
        port_file.write(str(listener.getsockname()[1]))
    os.replace(port_path + ".tmp", port_path)
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, lines_path), daemon=True).start()


if __name__ == "__main__":
    main()
