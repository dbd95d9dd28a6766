#!/usr/bin/python3
"""A pyftpdlib server for Kvado's tests on a loopback address.

Serves --root to the anonymous user (read-only, or with every write right when
--anon-write is given) and, with --user/--password, to a named user with every
write right. Prints "PORT <number>" on stdout once it listens, then serves
until it is terminated.
"""
import argparse
import logging
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

READ_PERM = "elr"
WRITE_PERM = "elradfmwMT"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--anon-write", action="store_true")
    parser.add_argument("--user")
    parser.add_argument("--password")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    warnings.simplefilter("ignore", RuntimeWarning)  # anonymous write rights are wanted here
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root, perm=WRITE_PERM if args.anon_write else READ_PERM)
    if args.user:
        authorizer.add_user(args.user, args.password or "", args.root, perm=WRITE_PERM)

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "pyftpdlib ready."
    handler.auth_failed_timeout = 0.2  # keeps refused logins quick in tests
    server = FTPServer((args.host, args.port), handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
