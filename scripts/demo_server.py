#!/usr/bin/python3
"""The demo FTP server that scripts/run starts beside the program.

Serves a small demo folder on 127.0.0.1 with pyftpdlib, user "demo" with
password "demo" and full rights. Prints "ready <port>" once it listens and
runs until it is stopped.

    demo_server.py [--port 2121] [--root FOLDER]

Without --root the folder is a temporary one, removed again on exit. Files
already in the folder are left as they are, so a second run keeps what was
uploaded before.
"""

import argparse
import logging
import os
import shutil
import signal
import struct
import sys
import tempfile
import zlib

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

README = """Welcome to the Glimmer FTP demo server.

This folder is served on 127.0.0.1 to user "demo" (password "demo") with
full rights: download, upload, rename, delete and make folders freely.

  docs/       a guide and an archive one level further down
  pictures/   small images
  data.bin    1 KiB of binary data (every byte value four times)
"""


def tiny_png(width, height, rgb):
    """A valid PNG of one colour, built by hand to stay dependency-free."""
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body
                + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))
    row = b'\x00' + bytes(rgb) * width
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(row * height))
            + chunk(b'IEND', b''))


DEMO_FILES = {
    'readme.txt': README.encode(),
    'data.bin': bytes(range(256)) * 4,
    'notes with spaces.txt': b'File names may hold spaces.\n',
    'docs/guide.txt': b'Connect, browse, and drag files between the panes.\n',
    'docs/changes.txt': b''.join(b'line %d of a longer text file\n' % i
                                 for i in range(1, 201)),
    'docs/archive/old-notes.txt': b'Two levels down.\n',
    'docs/archive/backup.gz': zlib.compress(b'compressed demo bytes\n' * 50),
    'pictures/red.png': tiny_png(16, 16, (220, 40, 40)),
    'pictures/icons/blue.png': tiny_png(8, 8, (40, 40, 220)),
    'pictures/icons/green.png': tiny_png(8, 8, (40, 180, 40)),
}


def populate(root):
    for name, data in DEMO_FILES.items():
        path = os.path.join(root, *name.split('/'))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if not os.path.exists(path):
            with open(path, 'wb') as f:
                f.write(data)
    os.makedirs(os.path.join(root, 'upload'), exist_ok=True)


class DemoHandler(FTPHandler):
    def _shutdown_connecting_dtp(self):
        # pyftpdlib 1.5.7 closes the previous PORT connector on every new
        # PORT, even one that connected long ago and whose socket a data
        # channel has closed since. Its close() then takes that descriptor
        # number out of the event loop, and the number may by now belong to
        # another session's new data connection, which then never hears
        # that it connected: with two simultaneous transfers in active mode
        # a file stalled until the client's time-out. A connector that
        # connected has nothing left to close.
        if self._dtp_connector is not None and self._dtp_connector.connected:
            self._dtp_connector = None
        super()._shutdown_connecting_dtp()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--port', type=int, default=2121,
                        help='port on 127.0.0.1 (0: any free port)')
    parser.add_argument('--root', default='',
                        help='folder to serve (default: a temporary folder)')
    parser.add_argument('--verbose', action='store_true',
                        help='log every command and reply on stderr')
    args = parser.parse_args()

    logging.basicConfig(stream=sys.stderr,
                        level=logging.DEBUG if args.verbose else logging.WARNING,
                        format='[demo-server] %(message)s')

    temporary = not args.root
    root = tempfile.mkdtemp(prefix='glimmer-demo-') if temporary else os.path.abspath(args.root)
    os.makedirs(root, exist_ok=True)
    populate(root)

    authorizer = DummyAuthorizer()
    authorizer.add_user('demo', 'demo', root, perm='elradfmwMT')
    handler = DemoHandler
    handler.authorizer = authorizer
    handler.banner = 'Glimmer FTP demo server ready.'

    # Stopping with SIGTERM (as scripts/run does) still removes a temporary
    # folder.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        try:
            server = FTPServer(('127.0.0.1', args.port), handler)
        except OSError as err:
            print('demo_server: cannot listen on 127.0.0.1:%d: %s'
                  % (args.port, err.strerror or err), file=sys.stderr)
            sys.exit(1)
        print('ready %d' % server.address[1], flush=True)
        server.serve_forever(handle_exit=True)
    except KeyboardInterrupt:
        pass
    finally:
        if temporary:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == '__main__':
    main()
