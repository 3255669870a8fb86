#!/usr/bin/python3
"""An FTP server for the tests, on pyftpdlib, with switches for awkward servers.

Run: /usr/bin/python3 ftppeer.py --root DIR [--user NAME] [--password PW]
     [--journal FILE] [--no-mlsd] [--no-rest] [--account] [--preliminary TEXT]
     [--greeting-delay-ms N] [--port N] [--silent | --raw-greeting TEXT | --raw-greeting-hex HEX]
     [--stall-after N | --drop-after N] [--listing-file PATH]
     [--masquerade ADDR] [--exit-on-stdin-eof]

Prints "PORT <n>" as its first stdout line once it listens on 127.0.0.1
(on a free port, or on --port).
The journal gets every command line as received, one per line, written
before the command is handled, so the test sees it as soon as a reply comes.
"""

import argparse
import logging
import os

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, proto_cmds
from pyftpdlib.ioloop import AsyncChat
from pyftpdlib.log import config_logging, logger
from pyftpdlib.servers import FTPServer

from peerutil import exit_with_stdin

ABORTED = "426 Connection closed; transfer aborted."


class Prefix:
    """Passes on only the first `limit` bytes of a producer."""

    def __init__(self, producer, limit):
        self._producer = producer
        self._left = limit

    def more(self):
        if self._left <= 0:
            return b""
        data = self._producer.more()[: self._left]
        self._left -= len(data)
        return data


class PeerDTP(DTPHandler):
    # "stall" or "drop": how a download ends once its first bytes are out.
    cut = None

    def _cutting(self):
        return self.cut is not None and self.cmd == "RETR" and not self.receive

    def close_when_done(self):
        # A stalled download is never finished from this side.
        if self._cutting() and self.cut == "stall":
            return
        super().close_when_done()

    def writable(self):
        if self._cutting() and self.cut == "stall" and not self.producer_fifo:
            # All that will ever be sent is out: wait only for the client to
            # hang up, instead of spinning on a socket that stays writable.
            self.modify_ioloop_events(self.ioloop.READ)
            return False
        return super().writable()

    def readable(self):
        # Reading is how a stalled download notices the client hanging up.
        return True if self._cutting() else super().readable()

    def handle_close(self):
        if self._cutting() and not self._closed:
            self._resp = (ABORTED, logger.debug)
            self.close()
        else:
            super().handle_close()


class PeerHandler(FTPHandler):
    dtp_handler = PeerDTP
    # pyftpdlib waits 3 s before a 530; the reply stays, the wait would only
    # slow the tests down.
    auth_failed_timeout = 0
    journal = None        # file descriptor
    preliminary = None    # text of a 120 reply before the greeting
    greeting_delay = 0    # seconds between the 120 reply and the greeting
    greeting = None       # raw bytes instead of the greeting; then mute
    silent = False        # no greeting and mute
    account = False       # PASS answers 332, ACCT logs in
    cut_after = None      # downloads send only this many bytes
    listing = None        # bytes sent for LIST and MLSD
    _pending_password = None

    def _mute(self):
        return self.silent or self.greeting is not None

    def handle(self):
        if self.silent:
            return
        if self.greeting is not None:
            AsyncChat.push(self, self.greeting)  # bytes as they are
            return
        if self.preliminary is not None:
            self.push("120 %s\r\n" % self.preliminary)
        if self.greeting_delay > 0:
            # The client now waits for the greeting with the 120 in hand.
            self.ioloop.call_later(self.greeting_delay, self._greet, _errback=self.handle_error)
            return
        super().handle()

    def _greet(self):
        if not self._closed and not self._closing:
            super().handle()

    def found_terminator(self):
        if self.journal is not None:
            os.write(self.journal, b"".join(self._in_buffer) + b"\n")
        if self._mute():
            self._in_buffer = []
            self._in_buffer_len = 0
            return
        super().found_terminator()

    def ftp_USER(self, line):
        self._pending_password = None
        super().ftp_USER(line)

    def ftp_PASS(self, line):
        if not self.account or self.authenticated or not self.username:
            super().ftp_PASS(line)
            return
        try:
            self.authorizer.validate_authentication(self.username, line, self)
        except AuthenticationFailed as err:
            self.handle_auth_failed(str(err), line)
            return
        self._pending_password = line
        self.respond("332 Need account for login.")

    def ftp_ACCT(self, line):
        if self._pending_password is None:
            self.respond("503 Login with USER and PASS first.")
            return
        password, self._pending_password = self._pending_password, None
        self.handle_auth_success(self.authorizer.get_home_dir(self.username), password,
                                 self.authorizer.get_msg_login(self.username))

    def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
        if cmd == "RETR" and self.cut_after is not None:
            data = Prefix(data, self.cut_after)
        super().push_dtp_data(data, isproducer, file, cmd)

    def ftp_LIST(self, path):
        if self.listing is None:
            return super().ftp_LIST(path)
        self.push_dtp_data(self.listing, cmd="LIST")
        return path

    def ftp_MLSD(self, path):
        if self.listing is None:
            return super().ftp_MLSD(path)
        self.push_dtp_data(self.listing, cmd="MLSD")
        return path


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", default="korvex")
    ap.add_argument("--password", default="geheim")
    ap.add_argument("--journal")
    ap.add_argument("--no-mlsd", action="store_true")
    ap.add_argument("--no-rest", action="store_true")
    ap.add_argument("--account", action="store_true")
    ap.add_argument("--preliminary")
    ap.add_argument("--greeting-delay-ms", type=int, default=0, metavar="N")
    ap.add_argument("--port", type=int, default=0, metavar="N")
    greeting = ap.add_mutually_exclusive_group()
    greeting.add_argument("--silent", action="store_true")
    greeting.add_argument("--raw-greeting", help="Python escapes allowed")
    greeting.add_argument("--raw-greeting-hex")
    cut = ap.add_mutually_exclusive_group()
    cut.add_argument("--stall-after", type=int, metavar="N")
    cut.add_argument("--drop-after", type=int, metavar="N")
    ap.add_argument("--listing-file")
    ap.add_argument("--masquerade")
    ap.add_argument("--exit-on-stdin-eof", action="store_true")
    args = ap.parse_args()

    config_logging(level=logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    PeerHandler.authorizer = authorizer

    cmds = dict(proto_cmds)
    if args.no_mlsd:
        del cmds["MLSD"], cmds["MLST"]
    if args.no_rest:
        del cmds["REST"]
    if args.account:
        cmds["ACCT"] = dict(perm=None, auth=False, arg=None,
                            help="Syntax: ACCT [<SP> account] (send account information).")
    PeerHandler.proto_cmds = cmds
    PeerHandler.account = args.account
    PeerHandler.preliminary = args.preliminary
    PeerHandler.greeting_delay = max(0, args.greeting_delay_ms) / 1000.0

    if args.raw_greeting is not None:
        PeerHandler.greeting = (args.raw_greeting.encode("utf-8").decode("unicode_escape")
                                .encode("latin-1"))
    elif args.raw_greeting_hex is not None:
        PeerHandler.greeting = bytes.fromhex(args.raw_greeting_hex)
    PeerHandler.silent = args.silent
    if PeerHandler.silent or PeerHandler.greeting is not None:
        PeerHandler.timeout = 0  # no idle 421 either: silent means silent

    if args.stall_after is not None or args.drop_after is not None:
        PeerHandler.cut_after = max(0, args.stall_after if args.stall_after is not None
                                    else args.drop_after)
        PeerHandler.use_sendfile = False  # sendfile would bypass the cut
        PeerDTP.cut = "stall" if args.stall_after is not None else "drop"
        if PeerDTP.cut == "stall":
            PeerDTP.timeout = 0  # no idle 421 on the stalled download

    if args.listing_file:
        with open(args.listing_file, "rb") as f:
            PeerHandler.listing = f.read()
    if args.masquerade:
        PeerHandler.masquerade_address = args.masquerade
    if args.journal:
        PeerHandler.journal = os.open(args.journal, os.O_WRONLY | os.O_CREAT | os.O_APPEND,
                                      0o644)

    server = FTPServer(("127.0.0.1", args.port), PeerHandler)
    if args.exit_on_stdin_eof:
        exit_with_stdin()
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
