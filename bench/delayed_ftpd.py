#!/usr/bin/python3
"""A pyftpdlib server that answers every command late, for bench/run.

A stand-in for a distant server where the kernel offers no netem: every
reply line leaves DELAY milliseconds after it was written (in order, and
without holding up the other sessions: the wait is a timer of the server's
own event loop). Data connections are not slowed.

    delayed_ftpd.py ROOT USER PASSWORD DELAY_MS

Prints "ready <port>" once it listens on 127.0.0.1, then serves until it is
terminated.
"""

import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class DelayedHandler(FTPHandler):
    delay = 0.02
    _due = 0.0

    def _later(self, fn, *args):
        # Strictly increasing times keep the replies in the order written.
        now = time.monotonic()
        self._due = max(now + self.delay, self._due + 1e-6)
        self.ioloop.call_later(self._due - now, fn, *args)

    def push(self, data):
        self._later(self._push_now, data)

    def _push_now(self, data):
        if not self._closed:
            FTPHandler.push(self, data)

    def close_when_done(self):
        # After the replies still on their way (221 to QUIT, a 421).
        self._later(self._close_now)

    def _close_now(self):
        if not self._closed:
            FTPHandler.close_when_done(self)


def main():
    root, user, password, delay_ms = sys.argv[1:5]
    auth = DummyAuthorizer()
    auth.add_user(user, password, root, perm='elradfmwMT')
    DelayedHandler.authorizer = auth
    DelayedHandler.delay = int(delay_ms) / 1000.0
    DelayedHandler.auth_failed_timeout = 0
    server = FTPServer(('127.0.0.1', 0), DelayedHandler)
    server.max_cons = 256
    print('ready %d' % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == '__main__':
    main()
