#!/usr/bin/python3
"""An FTP server (pyftpdlib) for end-to-end tests that writes every command
line it receives to a record file, one per line, as it arrives.

Usage: recordingserver.py --root DIR --record FILE [--host 127.0.0.1] [--port 0] [--send-limit BYTES]
                          [--tls CERTFILE]

The anonymous user reads everything and may write in the folder "upload".
With --send-limit every download is sent at most that many bytes a second
(so that a transfer lasts long enough to be stopped). With --tls (a PEM file
holding a certificate and its key) the server takes AUTH TLS, PBSZ and PROT.
Prints "PORT <number>"
on stdout once it listens; serves until terminated.
"""
import argparse
import logging
import os
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--send-limit", type=int, default=0)
    parser.add_argument("--tls")
    args = parser.parse_args()

    record = open(args.record, "a", encoding="utf-8", errors="replace", buffering=1)

    base = FTPHandler
    if args.tls:
        from pyftpdlib.handlers import TLS_FTPHandler

        base = TLS_FTPHandler
        base.certfile = args.tls

    class RecordingHandler(base):
        def pre_process_command(self, line, cmd, arg):
            record.write(line + "\n")
            return super().pre_process_command(line, cmd, arg)

    warnings.simplefilter("ignore", RuntimeWarning)  # write rights in "upload" are wanted
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root, perm="elr")
    upload = os.path.join(args.root, "upload")
    os.makedirs(upload, exist_ok=True)
    authorizer.override_perm("anonymous", upload, perm="elradfmwMT", recursive=True)
    RecordingHandler.authorizer = authorizer
    RecordingHandler.banner = "Kvado test server ready."
    if args.send_limit:
        class Throttled(ThrottledDTPHandler):
            write_limit = args.send_limit

        RecordingHandler.dtp_handler = Throttled

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    server = FTPServer((args.host, args.port), RecordingHandler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
