#!/usr/bin/python3
"""Runs a pyftpdlib server on 127.0.0.1 for the tests, shaped by flags.

Prints "ready <port>" on stdout once the listening socket is bound, then
serves until it is terminated. Logs every command and reply on stderr.
"""

import argparse
import logging
import selectors
import socket
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def reply_lines(code, text):
    """RFC 959 multi-line reply: "code-" on every line but the last."""
    lines = text.replace('\r\n', '\n').split('\n')
    out = ['%s-%s' % (code, line) for line in lines[:-1]]
    out.append('%s %s' % (code, lines[-1]))
    return out


class EndlessFS(AbstractedFS):
    """Every folder holds the folder `endless` once more, without end: each
    such part of a path leads back to the root, whose folder of that name
    (made by the test) is what the listings show. A link loop that the
    listing does not show as a link looks like this to a client."""
    endless = None
    _asked = '/'

    def ftp2fs(self, ftppath):
        self._asked = self.ftpnorm(ftppath)
        parts = [p for p in self._asked.split('/')
                 if p and p != self.endless]
        return AbstractedFS.ftp2fs(self, '/' + '/'.join(parts))

    def chdir(self, path):
        # CWD translates its argument just before: the folder asked for is
        # the one PWD names, not the root it leads back to.
        AbstractedFS.chdir(self, path)
        self.cwd = self._asked


def path_parts(path):
    return [p for p in path.split('/') if p]


class TestHandler(FTPHandler):
    # Set from the command line before the server starts.
    disabled = frozenset()
    unanswered = frozenset()
    direct_user = None
    direct_reply = ''
    unlistable = None    # folders of this name refuse to be listed
    unenterable = None   # folders of this name refuse CWD

    def push(self, s):
        if self.unicode_errors == 'surrogateescape':
            # Replies naming a raw file name carry its bytes as they are.
            super(FTPHandler, self).push(s.encode('utf8', 'surrogateescape'))
        else:
            super().push(s)

    def _respond_multi(self, code, text):
        lines = reply_lines(code, text)
        for line in lines[:-1]:
            self.push(line + '\r\n')
            self.logline('-> %s' % line)
        self.respond(lines[-1])

    def handle(self):
        # pyftpdlib sends newlines inside a single 220 line; write a proper
        # multi-line banner instead.
        self.on_connect()
        if not self._closed and not self._closing:
            self._respond_multi('220', str(self.banner))

    def pre_process_command(self, line, cmd, arg):
        if cmd in self.disabled:
            self.logline('<- %s' % line)
            self.respond('502 Command "%s" not implemented.' % cmd)
            return
        if cmd in self.unanswered:
            # A server that hangs on one command, for abort and time-out
            # tests: the command is read and nothing ever comes back.
            self.logline('<- %s (left unanswered)' % line)
            return
        # A folder the server will not show or enter, as a folder without
        # read or execute permission does for a real user.
        if self.fs is not None and self.refused(cmd, arg):
            self.logline('<- %s (refused)' % line)
            self.respond('550 Permission denied.')
            return
        super().pre_process_command(line, cmd, arg)

    def _shutdown_connecting_dtp(self):
        # pyftpdlib 1.5.7 closes the previous PORT connector on every new
        # PORT, even when it connected long ago and handed its socket to a
        # data channel that has closed it since. Its close() then takes the
        # descriptor number out of the event loop, and that number may by
        # now belong to another session's new data connection, which never
        # hears that it connected (several sessions from one client in
        # active mode). A connector that connected has nothing left to close.
        if self._dtp_connector is not None and self._dtp_connector.connected:
            self._dtp_connector = None
        super()._shutdown_connecting_dtp()

    def refused(self, cmd, arg):
        if cmd in ('LIST', 'NLST', 'MLSD') and self.unlistable:
            listed = self.fs.cwd if not arg or arg.startswith('-') \
                else self.fs.ftpnorm(arg)
            return self.unlistable in path_parts(listed)
        if cmd in ('CWD', 'XCWD') and self.unenterable and arg:
            return self.unenterable in path_parts(self.fs.ftpnorm(arg))
        return False

    def ftp_USER(self, line):
        if (not self.authenticated and self.direct_user is not None
                and line == self.direct_user):
            # Some servers trust the client (or the connection) and log the
            # user in on USER alone; the client must then skip PASS.
            self.username = line
            home = self.authorizer.get_home_dir(line)
            self.handle_auth_success(home, '', self.direct_reply)
            return
        super().ftp_USER(line)

    def handle_auth_success(self, home, password, msg_login):
        lines = reply_lines('230', msg_login)
        for line in lines[:-1]:
            self.push(line + '\r\n')
            self.logline('-> %s' % line)
        super().handle_auth_success(home, password, lines[-1][4:])


def serve_silent(port):
    """Accepts connections and reads everything, but never answers."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(('127.0.0.1', port))
    listener.listen(16)
    print('ready %d' % listener.getsockname()[1], flush=True)
    sel = selectors.DefaultSelector()
    sel.register(listener, selectors.EVENT_READ)
    while True:
        for key, _ in sel.select():
            sock = key.fileobj
            if sock is listener:
                conn, peer = listener.accept()
                logging.info('silent: connection from %s:%d', *peer)
                sel.register(conn, selectors.EVENT_READ)
                continue
            data = sock.recv(65536)
            if data:
                logging.info('silent: ignored %r', data)
            else:
                sel.unregister(sock)
                sock.close()


def main():
    p = argparse.ArgumentParser()
    p.add_argument('--port', type=int, required=True)
    p.add_argument('--root', required=True)
    p.add_argument('--user', default='test')
    p.add_argument('--password', default='secret')
    p.add_argument('--perm', default='elradfmwMT')
    p.add_argument('--anonymous', action='store_true')
    p.add_argument('--banner', default='')
    p.add_argument('--login-message', default='Login successful.')
    p.add_argument('--user-reply-230', default='')
    p.add_argument('--disable', action='append', default=[])
    p.add_argument('--unanswered', action='append', default=[])
    p.add_argument('--silent', action='store_true')
    p.add_argument('--masquerade', default='')
    p.add_argument('--passive-ports', default='')
    p.add_argument('--idle-timeout', type=float, default=0)
    p.add_argument('--max-cons-per-ip', type=int, default=0)
    p.add_argument('--address', default='127.0.0.1')
    p.add_argument('--raw-names', action='store_true')
    p.add_argument('--endless-folder', default='')
    p.add_argument('--unlistable', default='')
    p.add_argument('--unenterable', default='')
    args = p.parse_args()

    logging.basicConfig(stream=sys.stderr, level=logging.DEBUG,
                        format='[%(asctime)s] %(message)s')

    if args.silent:
        serve_silent(args.port)
        return

    auth = DummyAuthorizer()
    auth.add_user(args.user, args.password, args.root, perm=args.perm,
                  msg_login=args.login_message)
    if args.anonymous:
        auth.add_anonymous(args.root, perm='elr')

    handler = TestHandler
    handler.authorizer = auth
    handler.disabled = frozenset(c.upper() for c in args.disable)
    handler.unanswered = frozenset(c.upper() for c in args.unanswered)
    # Drop them from the command table too, so FEAT and HELP stop naming them.
    handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items()
                          if k not in handler.disabled}
    if args.banner:
        handler.banner = args.banner
    if args.user_reply_230:
        handler.direct_user = args.user
        handler.direct_reply = args.user_reply_230
    if args.masquerade:
        handler.masquerade_address = args.masquerade
    if args.passive_ports:
        lo, hi = (int(x) for x in args.passive_ports.split('-'))
        handler.passive_ports = range(lo, hi + 1)
    if args.idle_timeout > 0:
        # The server's own time-out: "421 Control connection timed out."
        # and the connection closed after this many idle seconds.
        handler.timeout = args.idle_timeout
    if args.raw_names:
        # Names that are not UTF-8 pass through as the bytes they are on
        # disk, as servers that do not translate names send them.
        handler.unicode_errors = 'surrogateescape'
    if args.endless_folder:
        EndlessFS.endless = args.endless_folder
        handler.abstracted_fs = EndlessFS
    handler.unlistable = args.unlistable or None
    handler.unenterable = args.unenterable or None
    # pyftpdlib delays a 530 by three seconds against password guessing;
    # the tests want the answer at once.
    handler.auth_failed_timeout = 0

    server = FTPServer((args.address, args.port), handler)
    if args.max_cons_per_ip > 0:
        # "421 Too many connections from the same IP address." to the next.
        server.max_cons_per_ip = args.max_cons_per_ip
    print('ready %d' % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == '__main__':
    main()
