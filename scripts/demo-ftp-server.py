#!/usr/bin/python3
"""A local FTP server for the rkcurl demo and tests (pyftpdlib).

Serves ROOT read-write to one user on 127.0.0.1, on a free port that it prints on standard
output as its first line once it listens. Writes "login USER" on standard error for every
login (the tests count logins to see connection reuse). Runs until it is terminated.

usage: demo-ftp-server.py ROOT USER PASSWORD
"""
import logging
import os
import re
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    root, user, password = sys.argv[1:4]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")

    class Handler(FTPHandler):
        busy_counts = {}

        def on_login(self, username):
            print("login " + username, file=sys.stderr, flush=True)

        def ftp_RETR(self, file):
            match = re.match(r"busy(\d+)-", os.path.basename(file))
            if match:
                seen = Handler.busy_counts.get(file, 0) + 1
                Handler.busy_counts[file] = seen
                if seen <= int(match.group(1)):
                    self.respond("450 Busy, try again later.")
                    return
            return super().ftp_RETR(file)

    Handler.authorizer = authorizer
    Handler.banner = "rkcurl demo FTP server ready"
    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
