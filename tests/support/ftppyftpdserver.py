#!/usr/bin/python3
"""A pyftpdlib server for Kvado's tests on a loopback address.

Serves --root to the anonymous user (read-only, or with every write right when
--anon-write is given) and, with --user/--password, to a named user with every
write right. Prints "PORT <number>" on stdout once it listens, then serves
until it is terminated.

With --tls CERTFILE (a PEM file holding the certificate and its key) the
server takes AUTH TLS, PBSZ and PROT; --tls-fault plays one misbehaviour:
"drop" closes the connection instead of the handshake after 234, "plain-files"
keeps PROT P for listings (TYPE A) but sends files (TYPE I) in the clear,
"clear-reply" answers RETR with a line in the clear inside the TLS control
connection and closes it (as a server that dies mid-session may),
"clear-data" writes a line in the clear into a download's TLS data connection
once a megabyte has gone and keeps it open.
--log FILE records every command received (passwords too), one a line.
"""
import argparse
import logging
import os
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

READ_PERM = "elr"
WRITE_PERM = "elradfmwMT"


def make_handler(args):
    base = TLS_FTPHandler if args.tls else FTPHandler
    log = open(args.log, "a", buffering=1) if args.log else None

    class Handler(base):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
            return super().pre_process_command(line, cmd, arg)

        def ftp_AUTH(self, line):
            if args.tls_fault != "drop":
                return super().ftp_AUTH(line)
            self.respond("234 AUTH TLS successful.")
            self.close_when_done()

        def ftp_RETR(self, file):
            if args.tls_fault == "clear-reply":
                os.write(self.socket.fileno(), b"500 OOPS: in the clear\r\n")
                return self.close()
            return super().ftp_RETR(file)

        def ftp_TYPE(self, line):
            super().ftp_TYPE(line)
            if args.tls_fault == "plain-files":
                self._prot = not line.upper().startswith("I")

    class DamagingDTPHandler(TLS_DTPHandler):
        sent = 0

        def send(self, data):
            result = super().send(data)
            before, self.sent = self.sent, self.sent + (result or 0)
            if before < 1 << 20 <= self.sent:
                os.write(self.socket.fileno(), b"in the clear\r\n")
            return result

    if args.tls:
        Handler.certfile = args.tls
    if args.tls_fault == "clear-data":
        Handler.dtp_handler = DamagingDTPHandler
    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--anon-write", action="store_true")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--tls")
    parser.add_argument("--tls-fault", choices=["drop", "plain-files", "clear-reply", "clear-data"])
    parser.add_argument("--log")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    warnings.simplefilter("ignore", RuntimeWarning)  # anonymous write rights are wanted here
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root, perm=WRITE_PERM if args.anon_write else READ_PERM)
    if args.user:
        authorizer.add_user(args.user, args.password or "", args.root, perm=WRITE_PERM)

    handler = make_handler(args)
    handler.authorizer = authorizer
    handler.banner = "pyftpdlib ready."
    handler.auth_failed_timeout = 0.2  # keeps refused logins quick in tests
    server = FTPServer((args.host, args.port), handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
