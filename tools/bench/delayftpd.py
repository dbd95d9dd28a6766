#!/usr/bin/python3
"""An FTP server on loopback that behaves as if it were far away.

Every command is answered DELAY milliseconds late, and every data connection
is taken up DELAY milliseconds after it is made, so a client on loopback sees
the round trips of a server on the internet (25 ms each way: a 50 ms round
trip). Serves --root with every right to user "bench", password "bench", and
to the anonymous user. Prints "PORT <number>" once it listens.

    delayftpd.py --root DIR [--port 0] [--delay 25]
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import ActiveDTP, FTPHandler, PassiveDTP
from pyftpdlib.servers import FTPServer


def make_handler(delay):
    class SlowPassive(PassiveDTP):
        def handle_accepted(self, sock, addr):
            self.ioloop.call_later(delay, PassiveDTP.handle_accepted, self, sock, addr)

    class SlowActive(ActiveDTP):
        def handle_connect(self):
            self.ioloop.call_later(delay, ActiveDTP.handle_connect, self)

    class SlowHandler(FTPHandler):
        passive_dtp = SlowPassive
        active_dtp = SlowActive

        def pre_process_command(self, line, cmd, arg):
            self.ioloop.call_later(delay, self._late, line, cmd, arg)

        def _late(self, line, cmd, arg):
            if self.connected:
                FTPHandler.pre_process_command(self, line, cmd, arg)

    return SlowHandler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--delay", type=float, default=25.0, help="milliseconds")
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)

    authorizer = DummyAuthorizer()
    authorizer.add_user("bench", "bench", args.root, perm="elradfmwMT")
    authorizer.add_anonymous(args.root, perm="elradfmwMT")
    handler = make_handler(args.delay / 1000.0)
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", args.port), handler)
    server.max_cons = 256
    server.max_cons_per_ip = 64
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
