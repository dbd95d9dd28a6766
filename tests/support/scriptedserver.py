#!/usr/bin/python3
"""Kvado's scripted FTP server: plays a reply script to one client and records
everything the client sends, for the replies that real servers will not give.

Usage: scriptedserver.py --script FILE --dir DIR [--host 127.0.0.1]

Prints "PORT <number>" on stdout once it listens, accepts one control
connection and plays the script, a JSON list of steps. Every string in a script
stands for bytes: the characters U+0000..U+00FF are the bytes of the same value.

  {"send": ["220-Hello", "220 Ready"]}    send each line followed by CR LF
  {"send_raw": "bytes"}                   send exactly these bytes
  {"send_repeat": "bytes", "bytes": N}    send the bytes over and over without
                                          pause, N bytes in all or until the
                                          client closes; records
                                          "send-repeat-stopped" (the client
                                          closed) or "send-repeat-done"
  {"expect": "USER anonymous", "reply": ["331 Password"]}
                                          wait for the next command line (without
                                          CR LF) and fail unless it is this one;
                                          then send the reply lines, if any
  {"expect_re": "PORT .*", "reply": [...]} the same with a regular expression
                                          that must match the whole line
                                          (a "TYPE A" or "TYPE I" that the step
                                          does not ask for is answered "200
                                          Type set" and passed over: the client
                                          switches to binary for files and back
                                          to ASCII for listings)
  {"data_open": "", "name": "data"}       connect to the address of the last PORT,
                                          from the given source address ("" for
                                          any, e.g. "127.0.0.2" for a third host)
  {"passive_listen": "227 x ({p1},{p2})"} listen on the control address at a free
                                          port and send the line with "{port}"
                                          and "{p1},{p2}" filled in (CR LF added);
                                          "full": true keeps its accept queue
                                          full (a connect there hangs)
  {"data_accept": true, "name": "data"}   accept a connection at that port
  {"data_send": "bytes", "name": "data"}  send bytes on a data connection
  {"data_recv": "file", "name": "data"}   receive until the client closes, store
                                          the bytes as DIR/file
  {"data_close": true, "name": "data"}    close a data connection (a TLS one with
                                          close_notify first)
  {"data_cut": true, "name": "data"}      close it without close_notify
  {"tls": "PEMFILE"}                      TLS on the control connection, this side
                                          the server (certificate and key in PEMFILE)
  {"data_tls": "PEMFILE", "name": "data"} TLS on a data connection, the same way
  {"data_reset": true, "name": "data"}    close it with a reset (SO_LINGER 0)
  {"data_flood": 30, "name": "data"}      send without pause for up to 30 s or
                                          until the client closes it; records
                                          "data-flood-stopped NAME" (the client
                                          closed it) or "data-flood-done NAME"
  {"data_expect_close": 5, "name": "data"} wait up to 5 s for the client to close
                                          it; records whether it did
  {"close": true}                         close the control connection
  {"expect_close": 5}                     wait up to 5 s for the client to close
                                          the control connection
  {"pause": 0.2}                          wait

Waits for a command or data time out after 10 s ("timeout" in a step changes
it), which fails the script. Records, flushed as they happen:
  DIR/commands.raw   every byte received on the control connection
  DIR/events.txt     one line per event: "connected", "data-open NAME",
                     "data-refused NAME", "data-closed-by-peer NAME",
                     "data-still-open NAME", "stored FILE", "closed",
                     "closed-by-peer", "done", or "fail MESSAGE"
After the last step it keeps recording until the client closes (at most 60 s).
"""
import argparse
import json
import os
import re
import socket
import ssl
import struct
import sys
import time

DEFAULT_TIMEOUT = 10.0
LINGER = 60.0


class ScriptFailure(Exception):
    pass


def as_bytes(text):
    return text.encode("latin-1")


class Session:
    def __init__(self, control, directory):
        self.control = control
        self.directory = directory
        self.buffer = b""
        self.last_port = None
        self.passive = None
        self.data = {}
        self.raw = open(os.path.join(directory, "commands.raw"), "ab", buffering=0)
        self.events = open(os.path.join(directory, "events.txt"), "a", encoding="utf-8", buffering=1)

    def event(self, text):
        self.events.write(text + "\n")

    def receive(self, timeout):
        """One chunk from the control connection, recorded; b"" when the client closed."""
        self.control.settimeout(timeout)
        try:
            chunk = self.control.recv(65536)
        except ConnectionResetError:
            chunk = b""
        self.raw.write(chunk)
        return chunk

    def next_command(self, timeout):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise ScriptFailure("no command within %.1f s" % timeout)
            try:
                chunk = self.receive(left)
            except socket.timeout:
                raise ScriptFailure("no command within %.1f s" % timeout)
            if not chunk:
                raise ScriptFailure("the client closed the control connection")
            self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        if line.endswith(b"\r"):
            line = line[:-1]
        if line[:5].upper() == b"PORT ":
            self.last_port = parse_port(line[5:])
        return line

    def send_lines(self, lines):
        self.control.sendall(b"".join(as_bytes(line) + b"\r\n" for line in lines))

    def data_socket(self, step):
        name = step.get("name", "data")
        if name not in self.data:
            raise ScriptFailure("no open data connection %r" % name)
        return name, self.data[name]

    def run(self, step):
        timeout = float(step.get("timeout", DEFAULT_TIMEOUT))
        if "send" in step:
            self.send_lines(step["send"])
        elif "send_raw" in step:
            self.control.sendall(as_bytes(step["send_raw"]))
        elif "send_repeat" in step:
            stopped = repeat(self.control, as_bytes(step["send_repeat"]), int(step["bytes"]))
            self.event("send-repeat-stopped" if stopped else "send-repeat-done")
        elif "expect" in step or "expect_re" in step:
            line = self.next_command(timeout)
            wanted_type = as_bytes(step.get("expect", step.get("expect_re", ""))).upper().startswith(b"TYPE")
            while line in (b"TYPE A", b"TYPE I") and not wanted_type:
                self.send_lines(["200 Type set to " + line[5:].decode("latin-1")])
                line = self.next_command(timeout)
            if "expect" in step:
                ok = line == as_bytes(step["expect"])
                wanted = step["expect"]
            else:
                ok = re.fullmatch(as_bytes(step["expect_re"]), line, re.DOTALL) is not None
                wanted = step["expect_re"]
            if not ok:
                raise ScriptFailure("expected %r, got %r" % (wanted, line.decode("latin-1")))
            self.send_lines(step.get("reply", []))
        elif "data_open" in step:
            self.open_data(step, timeout)
        elif "passive_listen" in step:
            if self.passive is not None:
                self.passive.close()
            self.passive = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.passive.bind((self.control.getsockname()[0], 0))
            self.passive.listen(0 if step.get("full") else 1)
            port = self.passive.getsockname()[1]
            if step.get("full"):  # connections of its own fill the accept queue
                self.fillers = []
                for _ in range(2):
                    filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                    filler.setblocking(False)
                    filler.connect_ex(("127.0.0.1", port))
                    self.fillers.append(filler)
                time.sleep(0.2)
            line = step["passive_listen"].replace("{port}", str(port))
            self.send_lines([line.replace("{p1},{p2}", "%d,%d" % (port // 256, port % 256))])
        elif "data_accept" in step:
            name = step.get("name", "data")
            if self.passive is None:
                raise ScriptFailure("data_accept before any passive_listen")
            self.passive.settimeout(timeout)
            try:
                sock, _ = self.passive.accept()
            except socket.timeout:
                raise ScriptFailure("no passive data connection within %.1f s" % timeout)
            self.data[name] = sock
            self.event("data-open " + name)
        elif "data_send" in step:
            _, sock = self.data_socket(step)
            sock.sendall(as_bytes(step["data_send"]))
        elif "data_recv" in step:
            self.receive_data(step, timeout)
        elif "data_close" in step:
            name, sock = self.data_socket(step)
            if isinstance(sock, ssl.SSLSocket):
                try:
                    sock = sock.unwrap()  # close_notify
                except (OSError, ValueError):
                    pass
            sock.close()
            del self.data[name]
        elif "data_cut" in step:
            name, sock = self.data_socket(step)
            sock.close()  # an SSLSocket closes without close_notify
            del self.data[name]
        elif "tls" in step:
            self.control = tls_context(step["tls"]).wrap_socket(self.control, server_side=True)
            self.event("tls")
        elif "data_tls" in step:
            name, sock = self.data_socket(step)
            sock.settimeout(timeout)
            self.data[name] = tls_context(step["data_tls"]).wrap_socket(sock, server_side=True)
            self.event("data-tls " + name)
        elif "data_reset" in step:
            name, sock = self.data_socket(step)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            sock.close()
            del self.data[name]
        elif "data_flood" in step:
            name, sock = self.data_socket(step)
            self.event(("data-flood-stopped " if flood(sock, float(step["data_flood"])) else "data-flood-done ")
                       + name)
        elif "data_expect_close" in step:
            name, sock = self.data_socket(step)
            closed = wait_for_close(sock, float(step["data_expect_close"]))
            self.event(("data-closed-by-peer " if closed else "data-still-open ") + name)
        elif "close" in step:
            self.control.close()
            self.event("closed")
        elif "expect_close" in step:
            if not self.wait_control_close(float(step["expect_close"])):
                raise ScriptFailure("the client kept the control connection open")
            self.event("closed-by-peer")
        elif "pause" in step:
            time.sleep(float(step["pause"]))
        else:
            raise ScriptFailure("unknown step %r" % step)

    def open_data(self, step, timeout):
        name = step.get("name", "data")
        if self.last_port is None:
            raise ScriptFailure("data_open before any PORT command")
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.settimeout(timeout)
        source = step["data_open"]
        if source:
            sock.bind((source, 0))
        try:
            sock.connect(self.last_port)
        except ConnectionResetError:
            # The client took the connection and reset it before this side saw
            # the handshake end (a busy machine): it was open, and it ended.
            pass
        except OSError:
            sock.close()
            self.event("data-refused " + name)
            return
        self.data[name] = sock
        self.event("data-open " + name)

    def receive_data(self, step, timeout):
        name, sock = self.data_socket(step)
        sock.settimeout(timeout)
        received = []
        try:
            while True:
                chunk = sock.recv(65536)
                if not chunk:
                    break
                received.append(chunk)
        except socket.timeout:
            raise ScriptFailure("data connection %r not closed within %.1f s" % (name, timeout))
        except OSError:  # reset by the client, also before the connection was seen open
            pass
        with open(os.path.join(self.directory, step["data_recv"]), "wb") as stored:
            stored.write(b"".join(received))
        sock.close()
        del self.data[name]
        self.event("stored " + step["data_recv"])

    def wait_control_close(self, timeout):
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            try:
                chunk = self.receive(left)
            except socket.timeout:
                return False
            except OSError:
                return True
            if not chunk:
                return True
            self.buffer += chunk


def tls_context(pem):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(pem)
    return context


def parse_port(argument):
    try:
        parts = [int(p) for p in argument.decode("latin-1").strip().split(",")]
    except ValueError:
        return None
    if len(parts) != 6 or any(p < 0 or p > 255 for p in parts):
        return None
    return ("%d.%d.%d.%d" % tuple(parts[:4]), parts[4] * 256 + parts[5])


def flood(sock, seconds):
    """Sends for the given time; True when the peer closed the connection first."""
    # Large blocks into a large send buffer: faster than a client reads them.
    block = b"x" * (4 << 20)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 8 << 20)
    deadline = time.monotonic() + seconds
    sock.settimeout(0.2)
    while time.monotonic() < deadline:
        try:
            sock.send(block)
        except socket.timeout:
            continue
        except OSError:
            return True
    return False


def repeat(sock, pattern, total):
    """Sends pattern over and over; True when the peer closed the connection first."""
    block = pattern * max(1, (1 << 20) // len(pattern))
    sent = 0
    try:
        while sent < total:
            sock.sendall(block)
            sent += len(block)
    except OSError:
        return True
    return False


def wait_for_close(sock, timeout):
    sock.settimeout(timeout)
    try:
        while True:
            if not sock.recv(65536):
                return True
    except socket.timeout:
        return False
    except OSError:
        return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    args = parser.parse_args()

    with open(args.script, "r", encoding="utf-8") as f:
        steps = json.load(f)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind((args.host, 0))
    listener.listen(1)
    print("PORT %d" % listener.getsockname()[1], flush=True)

    listener.settimeout(LINGER)
    control, _ = listener.accept()
    listener.close()
    session = Session(control, args.dir)
    session.event("connected")
    try:
        for step in steps:
            session.run(step)
    except (ScriptFailure, OSError) as failure:
        session.event("fail %s" % failure)
        print("scriptedserver: %s" % failure, file=sys.stderr, flush=True)
        return 1
    session.event("done")
    if control.fileno() >= 0:
        session.wait_control_close(LINGER)
    return 0


if __name__ == "__main__":
    sys.exit(main())
