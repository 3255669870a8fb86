#!/usr/bin/python3
"""A small TDS 7.x server for the tests: logins, SQL batches and canned replies.

Run: /usr/bin/python3 tdspeer.py --journal FILE --rules FILE [--server-name NAME]
     [--exit-on-stdin-eof]

Prints "PORT <n>" as its first stdout line once it listens on 127.0.0.1.
The rules file (JSON, see README.md) is read again for every login and every
batch, so a test can change the rules between steps. The journal gets one JSON
object per line for every login, batch, attention and disconnect, written
before the reply goes out, so the test sees it as soon as its call returns.
"""

import argparse
import datetime
import decimal
import re
import select
import socket
import struct
import threading
import uuid

from peerutil import Journal, RulesFile, listen_local, logger, serve

# Packet types.
PKT_SQL_BATCH = 0x01
PKT_RPC = 0x03
PKT_REPLY = 0x04
PKT_ATTENTION = 0x06
PKT_TRANSACTION = 0x0E
PKT_LOGIN7 = 0x10
PKT_PRELOGIN = 0x12

STATUS_EOM = 0x01

# Token types.
TOK_COLMETADATA = 0x81
TOK_ERROR = 0xAA
TOK_INFO = 0xAB
TOK_LOGINACK = 0xAD
TOK_FEATUREEXTACK = 0xAE
TOK_ROW = 0xD1
TOK_ENVCHANGE = 0xE3
TOK_DONE = 0xFD
TOK_DONEPROC = 0xFE
TOK_RETURNSTATUS = 0x79

DONE_FINAL = 0x00
DONE_MORE = 0x01
DONE_ERROR = 0x02
DONE_COUNT = 0x10
DONE_ATTN = 0x20

CURCMD_SELECT = 0xC1

# SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, case and accent insensitive,
# sort id 52, which the driver maps to Windows-1252 for varchar data.
COLLATION = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])
VARCHAR_CODEC = "cp1252"

# TDS version words as the client sends them (little-endian in LOGIN7).
TDS_VERSIONS = {
    0x70000000: (0x700, "7.0"),
    0x71000000: (0x701, "7.1"),
    0x71000001: (0x701, "7.1"),
    0x72090002: (0x702, "7.2"),
    0x730A0003: (0x703, "7.3"),
    0x730B0003: (0x703, "7.3"),
    0x74000004: (0x704, "7.4"),
}

# What the driver sends by itself as the first batch after logging in (only
# when a text size is configured), so tests can tell it from the program's
# batches. Kept to the exact form: a program's own first batch must never
# be taken for the driver's.
DRIVER_BATCHES = [re.compile(r"\Aset textsize \d+ \Z")]


class PeerClosed(Exception):
    pass


log = logger("tdspeer")


DEFAULT_RULES = {"logins": {"sa": "geheim"}, "databases": ["master"], "batches": []}


def check_rules(data):
    if not isinstance(data, dict):
        raise ValueError("rules must be a JSON object")
    rules = dict(DEFAULT_RULES)
    rules.update(data)
    return rules


def rule_matches(rule, text):
    if "regex" in rule:
        flags = 0
        for ch in rule.get("flags", ""):
            flags |= {"i": re.IGNORECASE, "s": re.DOTALL, "m": re.MULTILINE,
                      "x": re.VERBOSE}.get(ch, 0)
        return re.search(rule["regex"], text, flags) is not None
    if "contains" in rule:
        if rule.get("ignore_case"):
            return rule["contains"].lower() in text.lower()
        return rule["contains"] in text
    return False


def find_rule(rules, text):
    for rule in rules.get("batches", []):
        try:
            if rule_matches(rule, text):
                return rule
        except re.error as e:
            log("bad pattern in rule", rule, e)
    return None


# ---------------------------------------------------------------- statements

WORD_CHARS = "_@#$"


def sql_words(text):
    """The batch's words outside strings, quoted names and comments, in upper
    case; any other character but blanks is a word of its own and a quoted
    string or name is "'", '"' or "[", so it never reads as a keyword."""
    words = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c.isspace():
            i += 1
        elif text.startswith("--", i):
            end = text.find("\n", i)
            i = n if end < 0 else end + 1
        elif text.startswith("/*", i):
            depth = 0  # block comments nest
            while i < n:
                if text.startswith("/*", i):
                    depth, i = depth + 1, i + 2
                elif text.startswith("*/", i):
                    depth, i = depth - 1, i + 2
                    if depth == 0:
                        break
                else:
                    i += 1
        elif c in "'\"[":
            close = "]" if c == "[" else c
            j = i + 1
            while True:
                k = text.find(close, j)
                if k < 0:
                    j = n
                    break
                if text.startswith(close * 2, k):  # a doubled closer stays inside
                    j = k + 2
                    continue
                j = k + 1
                break
            words.append(c)
            i = j
        elif c.isalnum() or c in WORD_CHARS:
            j = i
            while j < n and (text[j].isalnum() or text[j] in WORD_CHARS):
                j += 1
            words.append(text[i:j].upper())
            i = j
        else:
            words.append(c)
            i += 1
    return words


GUARD = ["IF", "@@TRANCOUNT", ">", "0"]
# A batch holds a statement the peer keeps state for only if it holds one of
# these (in lower case: plain substring searches run at memory speed).
STATE_KEYWORDS = ("commit", "rollback", "tran", "nocount", "xact_abort")


def statement_effects(words):
    """(kind, argument, guarded) for every SET, BEGIN TRAN, COMMIT and ROLLBACK
    the peer keeps state for, in text order. guarded: written as
    IF @@TRANCOUNT > 0 ..., so it does nothing without a transaction."""
    out = []
    for i, w in enumerate(words):
        after = words[i + 1:i + 3] + ["", ""]
        guarded = words[max(0, i - 4):i] == GUARD
        if w == "SET":
            # SET NOCOUNT, XACT_ABORT ON: options may come as a list.
            names, j = [], i + 1
            while j < len(words) and words[j][:1].isalpha():
                names.append(words[j])
                j += 1
                if j < len(words) and words[j] == ",":
                    j += 1
                else:
                    break
            if j < len(words) and words[j] in ("ON", "OFF"):
                for name in names:
                    if name in ("NOCOUNT", "XACT_ABORT"):
                        out.append((name, words[j] == "ON", guarded))
        elif w == "BEGIN" and (after[0] in ("TRAN", "TRANSACTION") or
                               after[0] == "DISTRIBUTED" and after[1] in ("TRAN", "TRANSACTION")):
            out.append(("BEGIN", None, guarded))
        elif w in ("COMMIT", "ROLLBACK"):
            out.append((w, None, guarded))
    return out


# The native answers: application locks (the name before .sys. in brackets or
# plain) and @@TRANCOUNT.
APPLOCK_CALL = re.compile(
    r"(?:(\[(?:[^\]]|\]\])*\]|[\w@#$]+)\s*\.\s*(?:\[?sys\]?\s*)?\.\s*)?"
    r"\b(sp_getapplock|sp_releaseapplock)\b", re.IGNORECASE)
APPLOCK_RESOURCE = re.compile(r"@Resource\s*=\s*N?'((?:[^']|'')*)'", re.IGNORECASE)


def unquote_name(name):
    if name.startswith("[") and name.endswith("]"):
        return name[1:-1].replace("]]", "]")
    return name


class AppLocks:
    """Server-wide application locks: (database in lower case, resource) ->
    the connection that holds it."""

    def __init__(self):
        self._lock = threading.Lock()
        self._owners = {}

    def get(self, conn, database, resource):
        key = (database.lower(), resource)
        with self._lock:
            owner = self._owners.setdefault(key, conn)
            return owner == conn

    def release(self, conn, database, resource):
        key = (database.lower(), resource)
        with self._lock:
            if self._owners.get(key) != conn:
                return False
            del self._owners[key]
            return True

    def release_all(self, conn):
        with self._lock:
            for key in [k for k, owner in self._owners.items() if owner == conn]:
                del self._owners[key]


def single_int(value):
    """One result set of one unnamed int column and one row, as SELECT @x gives."""
    return {"result": {"columns": [{"name": "", "type": "int"}], "rows": [[value]]}}


# ---------------------------------------------------------------- encoding helpers

def b_varchar(s):
    data = s.encode("utf-16-le")
    return bytes([len(data) // 2]) + data


def us_varchar(s):
    data = s.encode("utf-16-le")
    return struct.pack("<H", len(data) // 2) + data


def b_varbyte(b):
    return bytes([len(b)]) + b


def token_with_length(tok, body):
    return bytes([tok]) + struct.pack("<H", len(body)) + body


def parse_datetime(value):
    if isinstance(value, (int, float)):
        raise ValueError("datetime values are strings")
    text = str(value).strip().replace("T", " ")
    for fmt in ("%Y-%m-%d %H:%M:%S.%f", "%Y-%m-%d %H:%M:%S", "%Y-%m-%d %H:%M", "%Y-%m-%d"):
        try:
            return datetime.datetime.strptime(text, fmt)
        except ValueError:
            continue
    raise ValueError("not a date/time: %r" % value)


def decimal_bytes(precision):
    if precision <= 9:
        return 5
    if precision <= 19:
        return 9
    if precision <= 28:
        return 13
    return 17


# ---------------------------------------------------------------- column types

class Column:
    """One column of a result set: its COLMETADATA entry and its ROW values."""

    def __init__(self, desc, tds):
        self.name = str(desc.get("name", ""))
        self.type = str(desc.get("type", "int")).lower()
        self.nullable = bool(desc.get("nullable", True))
        self.length = int(desc.get("length", 0) or 0)
        self.precision = int(desc.get("precision", 18) or 18)
        self.scale = int(desc.get("scale", 0) or 0)
        self.tds = tds
        if self.type not in COLUMN_TYPES:
            raise ValueError("unknown column type %r" % self.type)
        if self.type in ("varchar", "char"):
            self.length = self.length or 50
            if not 1 <= self.length <= 8000:
                raise ValueError("varchar length %d" % self.length)
        if self.type in ("nvarchar", "nchar"):
            self.length = self.length or 50
            if not 1 <= self.length <= 4000:
                raise ValueError("nvarchar length %d" % self.length)
        if self.type == "varbinary":
            self.length = self.length or 50
            if not 1 <= self.length <= 8000:
                raise ValueError("varbinary length %d" % self.length)
        if self.type in ("decimal", "numeric"):
            if not 1 <= self.precision <= 38 or not 0 <= self.scale <= self.precision:
                raise ValueError("decimal(%d,%d)" % (self.precision, self.scale))
        if self.type == "date" and tds < 0x703:
            raise ValueError("date needs TDS 7.3 or later")

    def collation(self):
        return COLLATION if self.tds >= 0x701 else b""

    def metadata(self):
        user_type = struct.pack("<I", 0) if self.tds >= 0x702 else struct.pack("<H", 0)
        flags = struct.pack("<H", 0x0001 if self.nullable else 0x0000)
        return user_type + flags + self.type_info() + b_varchar(self.name)

    def type_info(self):
        t = self.type
        if t in INT_SIZES:
            return bytes([0x26, INT_SIZES[t]])
        if t == "bit":
            return bytes([0x68, 1])
        if t == "float":
            return bytes([0x6D, 8])
        if t == "real":
            return bytes([0x6D, 4])
        if t == "money":
            return bytes([0x6E, 8])
        if t == "smallmoney":
            return bytes([0x6E, 4])
        if t == "datetime":
            return bytes([0x6F, 8])
        if t == "smalldatetime":
            return bytes([0x6F, 4])
        if t == "date":
            return bytes([0x28])
        if t in ("decimal", "numeric"):
            return bytes([0x6A if t == "decimal" else 0x6C, decimal_bytes(self.precision),
                          self.precision, self.scale])
        if t == "uniqueidentifier":
            return bytes([0x24, 16])
        if t == "varchar":
            return bytes([0xA7]) + struct.pack("<H", self.length) + self.collation()
        if t == "char":
            return bytes([0xAF]) + struct.pack("<H", self.length) + self.collation()
        if t == "nvarchar":
            return bytes([0xE7]) + struct.pack("<H", self.length * 2) + self.collation()
        if t == "nchar":
            return bytes([0xEF]) + struct.pack("<H", self.length * 2) + self.collation()
        if t == "varbinary":
            return bytes([0xA5]) + struct.pack("<H", self.length)
        raise ValueError(t)

    def value(self, v):
        t = self.type
        if v is None:
            if t in ("varchar", "char", "nvarchar", "nchar", "varbinary"):
                return b"\xff\xff"
            return b"\x00"
        if t in INT_SIZES:
            size = INT_SIZES[t]
            n = int(v)
            fmt = {1: "<B", 2: "<h", 4: "<i", 8: "<q"}[size]
            return bytes([size]) + struct.pack(fmt, n)
        if t == "bit":
            if isinstance(v, str):
                v = v.strip().lower() in ("1", "true")
            return bytes([1, 1 if v else 0])
        if t == "float":
            return bytes([8]) + struct.pack("<d", float(v))
        if t == "real":
            return bytes([4]) + struct.pack("<f", float(v))
        if t in ("money", "smallmoney"):
            units = int((decimal.Decimal(str(v)) * 10000).to_integral_value(
                rounding=decimal.ROUND_HALF_UP))
            if t == "smallmoney":
                return bytes([4]) + struct.pack("<i", units)
            return bytes([8]) + struct.pack("<iI", units >> 32, units & 0xFFFFFFFF)
        if t == "datetime":
            dt = parse_datetime(v)
            days = (dt.date() - datetime.date(1900, 1, 1)).days
            seconds = dt.hour * 3600 + dt.minute * 60 + dt.second + dt.microsecond / 1e6
            ticks = int(round(seconds * 300))
            return bytes([8]) + struct.pack("<iI", days, ticks)
        if t == "smalldatetime":
            dt = parse_datetime(v)
            days = (dt.date() - datetime.date(1900, 1, 1)).days
            return bytes([4]) + struct.pack("<HH", days, dt.hour * 60 + dt.minute)
        if t == "date":
            days = (parse_datetime(v).date() - datetime.date(1, 1, 1)).days
            return bytes([3]) + struct.pack("<I", days)[:3]
        if t in ("decimal", "numeric"):
            d = decimal.Decimal(str(v))
            scaled = int((d * (decimal.Decimal(10) ** self.scale)).to_integral_value(
                rounding=decimal.ROUND_HALF_UP))
            if len(str(abs(scaled))) > self.precision:
                raise ValueError("%s does not fit decimal(%d,%d)" % (v, self.precision,
                                                                     self.scale))
            size = decimal_bytes(self.precision)
            mag = abs(scaled).to_bytes(size - 1, "little")
            return bytes([size, 0 if scaled < 0 else 1]) + mag
        if t == "uniqueidentifier":
            return bytes([16]) + uuid.UUID(str(v)).bytes_le
        if t in ("varchar", "char"):
            data = str(v).encode(VARCHAR_CODEC, errors="replace")
            if t == "char":
                data = data[:self.length].ljust(self.length, b" ")
            if len(data) > self.length:
                raise ValueError("%r longer than varchar(%d)" % (v, self.length))
            return struct.pack("<H", len(data)) + data
        if t in ("nvarchar", "nchar"):
            s = str(v)
            if t == "nchar":
                s = s.ljust(self.length)
            data = s.encode("utf-16-le", errors="surrogatepass")
            if len(data) > self.length * 2:
                raise ValueError("%r longer than nvarchar(%d)" % (v, self.length))
            return struct.pack("<H", len(data)) + data
        if t == "varbinary":
            data = bytes.fromhex(str(v))
            if len(data) > self.length:
                raise ValueError("%d bytes longer than varbinary(%d)" % (len(data), self.length))
            return struct.pack("<H", len(data)) + data
        raise ValueError(t)


INT_SIZES = {"tinyint": 1, "smallint": 2, "int": 4, "bigint": 8}
COLUMN_TYPES = set(INT_SIZES) | {
    "bit", "float", "real", "money", "smallmoney", "datetime", "smalldatetime", "date",
    "decimal", "numeric", "uniqueidentifier", "varchar", "char", "nvarchar", "nchar",
    "varbinary"}


# ---------------------------------------------------------------- connection

class Connection:
    def __init__(self, server, sock, conn_id):
        self.server = server
        self.sock = sock
        self.id = conn_id
        self.spid = 50 + conn_id
        self.tds = 0x704
        self.packet_size = 4096
        self.packet_id = 0
        self.inbuf = b""
        self.logged_in = False
        self.database = "master"
        self.batches_seen = 0
        self.transaction = None
        self.transaction_count = 0  # numbers the transaction-manager descriptors
        self.trancount = 0  # @@TRANCOUNT
        self.xact_abort = False
        self.nocount = False

    # -- raw packets

    def _recv_exact(self, n):
        while len(self.inbuf) < n:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise PeerClosed()
            self.inbuf += chunk
        data, self.inbuf = self.inbuf[:n], self.inbuf[n:]
        return data

    def read_packet(self):
        header = self._recv_exact(8)
        ptype, status, length = header[0], header[1], struct.unpack(">H", header[2:4])[0]
        if length < 8:
            raise PeerClosed()
        return ptype, status, self._recv_exact(length - 8)

    def read_message(self):
        """One whole message: packets up to the one marked end-of-message."""
        ptype, status, payload = self.read_packet()
        parts = [payload]
        while not status & STATUS_EOM:
            nexttype, status, payload = self.read_packet()
            if nexttype == PKT_ATTENTION:
                # The client gave up on the request it was still sending.
                return PKT_ATTENTION, b""
            parts.append(payload)
        return ptype, b"".join(parts)

    def send_message(self, payload, ptype=PKT_REPLY):
        room = self.packet_size - 8
        chunks = [payload[i:i + room] for i in range(0, len(payload), room)] or [b""]
        out = []
        for i, chunk in enumerate(chunks):
            status = STATUS_EOM if i == len(chunks) - 1 else 0
            self.packet_id = (self.packet_id + 1) % 256
            out.append(struct.pack(">BBHHBB", ptype, status, len(chunk) + 8, self.spid,
                                   self.packet_id, 0) + chunk)
        self.sock.sendall(b"".join(out))

    def attention_pending(self, timeout):
        """Wait up to timeout seconds; True when an attention came in."""
        if len(self.inbuf) < 8:
            readable, _, _ = select.select([self.sock], [], [], timeout)
            if not readable:
                return False
        ptype, _, _ = self.read_packet()
        if ptype != PKT_ATTENTION:
            log("conn", self.id, "unexpected packet type", ptype, "during a reply")
        return ptype == PKT_ATTENTION

    # -- tokens

    def done(self, status, rows=0, curcmd=0, token=TOK_DONE):
        if self.nocount:
            status &= ~DONE_COUNT
            rows = 0
        count = struct.pack("<Q", rows) if self.tds >= 0x702 else struct.pack("<I", rows)
        return bytes([token]) + struct.pack("<HH", status, curcmd) + count

    def message_token(self, tok, number, cls, state, text, proc="", line=1):
        body = (struct.pack("<iBB", number, state, cls) + us_varchar(text) +
                b_varchar(self.server.name) + b_varchar(proc) +
                (struct.pack("<i", line) if self.tds >= 0x702 else struct.pack("<H", line)))
        return token_with_length(tok, body)

    def envchange(self, kind, new, old):
        return token_with_length(TOK_ENVCHANGE, bytes([kind]) + new + old)

    # -- conversation

    def serve(self):
        try:
            while True:
                ptype, payload = self.read_message()
                if ptype == PKT_PRELOGIN and not self.logged_in:
                    self.on_prelogin(payload)
                elif ptype == PKT_LOGIN7 and not self.logged_in:
                    if not self.on_login(payload):
                        return
                elif ptype == PKT_SQL_BATCH and self.logged_in:
                    if not self.on_batch(payload):
                        return
                elif ptype == PKT_RPC and self.logged_in:
                    self.on_rpc(payload)
                elif ptype == PKT_TRANSACTION and self.logged_in:
                    self.on_transaction(payload)
                elif ptype == PKT_ATTENTION:
                    self.on_attention()
                else:
                    log("conn", self.id, "packet type", ptype, "not served; closing")
                    return
        except (PeerClosed, ConnectionError, OSError):
            pass
        finally:
            try:
                self.sock.close()
            except OSError:
                pass
            # The transaction and the locks end with the connection, silently:
            # a journaled rollback or release must mean the client asked for it.
            self.server.applocks.release_all(self.id)
            self.server.journal.write(event="disconnect", conn=self.id)

    def on_prelogin(self, payload):
        requested = None
        pos = 0
        while pos < len(payload) and payload[pos] != 0xFF:
            if pos + 5 > len(payload):
                break
            opt, off, length = payload[pos], *struct.unpack(">HH", payload[pos + 1:pos + 5])
            if opt == 0x01 and length >= 1 and off < len(payload):
                requested = payload[off]
            pos += 5
        options = [
            (0x00, bytes([16, 0]) + struct.pack(">HH", 1000, 0)),  # server version
            (0x01, bytes([0x02])),  # encryption not supported
            (0x02, b"\x00"),  # instance: accepted
            (0x04, b"\x00"),  # no MARS
        ]
        offset = 5 * len(options) + 1
        head, body = b"", b""
        for opt, data in options:
            head += struct.pack(">BHH", opt, offset + len(body), len(data))
            body += data
        self.send_message(head + b"\xff" + body)
        if requested not in (None, 0x00, 0x02):
            log("conn", self.id, "client asked for encryption", requested,
                "which this peer does not offer")

    def on_login(self, p):
        if len(p) < 94:
            log("conn", self.id, "short LOGIN7")
            return False
        version_word = struct.unpack("<I", p[4:8])[0]
        self.tds, version_name = TDS_VERSIONS.get(version_word, (0x704, "0x%08X" % version_word))
        requested_size = struct.unpack("<I", p[8:12])[0]
        option_flags3 = p[27]

        def field(at):
            off, count = struct.unpack("<HH", p[at:at + 4])
            return p[off:off + 2 * count]

        def text(at):
            return field(at).decode("utf-16-le", errors="surrogatepass")

        password = bytes(((b ^ 0xA5) >> 4 | ((b ^ 0xA5) & 0x0F) << 4) for b in field(44))
        login = {
            "host": text(36), "user": text(40),
            "password": password.decode("utf-16-le", errors="surrogatepass"),
            "app": text(48), "server": text(52), "library": text(60),
            "language": text(64), "database": text(68),
            "tds_version": version_name, "packet_size": requested_size,
        }
        rules = self.server.rules.current()
        users = rules.get("logins", {})
        databases = rules.get("databases", ["master"])
        database = login["database"] or "master"
        known = {d.lower(): d for d in databases}

        tokens = []
        if users.get(login["user"]) != login["password"] or login["user"] not in users:
            tokens.append(self.message_token(
                TOK_ERROR, 18456, 14, 1, "Login failed for user '%s'." % login["user"]))
            accepted = False
        elif database.lower() not in known:
            tokens.append(self.message_token(
                TOK_ERROR, 4060, 11, 1,
                'Cannot open database "%s" requested by the login. The login failed.' % database))
            tokens.append(self.message_token(
                TOK_ERROR, 18456, 14, 1, "Login failed for user '%s'." % login["user"]))
            accepted = False
        else:
            accepted = True
        login["accepted"] = accepted
        self.server.journal.write(event="login", conn=self.id, **login)

        if not accepted:
            tokens.append(self.done(DONE_ERROR))
            self.send_message(b"".join(tokens))
            return False

        self.database = known[database.lower()]
        if 512 <= requested_size <= 32767:
            self.packet_size = requested_size
        size = str(self.packet_size)
        tokens.append(self.envchange(1, b_varchar(self.database), b_varchar("master")))
        tokens.append(self.message_token(
            TOK_INFO, 5701, 0, 2, "Changed database context to '%s'." % self.database))
        if self.tds >= 0x701:
            tokens.append(self.envchange(7, b_varbyte(COLLATION), b_varbyte(b"")))
        tokens.append(self.envchange(2, b_varchar("us_english"), b_varchar("")))
        tokens.append(self.message_token(
            TOK_INFO, 5703, 0, 1, "Changed language setting to us_english."))
        ack_version = struct.pack(">I", 0x07000000 if self.tds == 0x700 else version_word)
        tokens.append(token_with_length(
            TOK_LOGINACK, bytes([1]) + ack_version + b_varchar(self.server.product) +
            bytes([16, 0]) + struct.pack(">H", 1000)))
        tokens.append(self.envchange(4, b_varchar(size), b_varchar(size)))
        if self.tds >= 0x704 and option_flags3 & 0x10:
            # No optional feature is supported; an empty acknowledgement says so.
            tokens.append(bytes([TOK_FEATUREEXTACK, 0xFF]))
        tokens.append(self.done(DONE_FINAL))
        self.send_message(b"".join(tokens))
        self.logged_in = True
        return True

    def strip_headers(self, payload):
        if self.tds >= 0x702 and len(payload) >= 4:
            total = struct.unpack("<I", payload[:4])[0]
            if 4 <= total <= len(payload):
                return payload[total:]
        return payload

    def on_batch(self, payload):
        raw = self.strip_headers(payload)
        text = raw.decode("utf-16-le", errors="surrogatepass")
        first = self.batches_seen == 0
        self.batches_seen += 1
        driver = first and any(p.match(text) for p in DRIVER_BATCHES)
        self.server.journal.write(event="batch", conn=self.id, text=text, driver=driver)

        rules = self.server.rules.current()
        rule = find_rule(rules, text) if not driver else None
        refusal = rule.get("refuse_in_transaction") if rule else None
        refused = refusal is not None and self.trancount > 0
        # A refused batch never runs: no delay, no disconnect, no statements.
        timing = rule if rule is not None and not refused else {}
        if refused:
            items = [{"error": refusal}]
        else:
            # Splitting a large script into words takes long in Python; a
            # batch without any of the keywords has nothing to split for.
            lowered = text.lower()
            words = sql_words(text) if any(k in lowered for k in STATE_KEYWORDS) else []
            items = self.apply_statements(words)
            items += (rule.get("reply", []) if rule is not None
                      else self.native_reply(text, words, "applock" in lowered))
        try:
            tokens, worst = self.build_reply(items)
        except (ValueError, TypeError, KeyError, AttributeError, decimal.InvalidOperation,
                struct.error) as e:
            log("conn", self.id, "rule cannot be answered:", e)
            tokens = [self.message_token(TOK_ERROR, 50000, 16, 1, "tdspeer rule error: %s" % e),
                      self.done(DONE_ERROR)]
            worst = 16
        delay = float(timing.get("delay_ms", 0)) / 1000.0
        if delay > 0 and self.attention_pending(delay):
            self.server.journal.write(event="attention", conn=self.id)
            if self.xact_abort:
                self.end_transaction("rollback")
            self.send_message(self.done(DONE_ATTN))
            return True
        if timing.get("disconnect"):
            return False
        if worst >= 11 and self.xact_abort:
            self.end_transaction("rollback")
        self.send_message(b"".join(tokens))
        return True

    # -- transactions and locks

    def change_trancount(self, what, count):
        self.trancount = count
        self.server.journal.write(event="transaction", conn=self.id, what=what, trancount=count)

    def end_transaction(self, what):
        """COMMIT or ROLLBACK with a transaction open; False without one."""
        if self.trancount == 0:
            return False
        self.change_trancount(what, self.trancount - 1 if what == "commit" else 0)
        return True

    def apply_statements(self, words):
        """Carries out the batch's SET, BEGIN TRAN, COMMIT and ROLLBACK in text
        order; returns the reply items for the errors they raise."""
        items = []
        for kind, on, guarded in statement_effects(words):
            if guarded and self.trancount == 0:
                continue
            if kind == "NOCOUNT":
                self.nocount = on
            elif kind == "XACT_ABORT":
                self.xact_abort = on
            elif kind == "BEGIN":
                self.change_trancount("begin", self.trancount + 1)
            elif not self.end_transaction(kind.lower()):
                number = 3902 if kind == "COMMIT" else 3903
                items += [{"error": {"number": number, "class": 16, "state": 1, "message":
                                     "The %s TRANSACTION request has no corresponding BEGIN "
                                     "TRANSACTION." % kind}}, {"done": {}}]
        return items

    def native_reply(self, text, words, applock):
        """What a server answers by itself to the lock batches and @@TRANCOUNT."""
        # The full pattern backtracks over every word of a large script; a
        # plain search for its core first.
        call = APPLOCK_CALL.search(text) if applock else None
        if call:
            return self.applock_reply(call, text)
        if any(w == "SELECT" and nxt == "@@TRANCOUNT" for w, nxt in zip(words, words[1:])):
            return [single_int(self.trancount)]
        return []

    def applock_reply(self, call, text):
        procedure = call.group(2).lower()
        database = unquote_name(call.group(1)) if call.group(1) else self.database
        resource = APPLOCK_RESOURCE.search(text)
        if resource is None:
            return [{"error": {"number": 201, "class": 16, "state": 4, "procedure": procedure,
                               "message": "Procedure or function '%s' expects parameter "
                                          "'@Resource', which was not supplied." % procedure}}]
        resource = resource.group(1).replace("''", "'")
        locks = self.server.applocks
        # The peer never waits for a lock: it answers as with @LockTimeout = 0.
        if procedure == "sp_getapplock":
            granted = locks.get(self.id, database, resource)
            self.journal_applock("granted" if granted else "refused", database, resource)
            return [single_int(0 if granted else -1)]
        if locks.release(self.id, database, resource):
            self.journal_applock("released", database, resource)
            return [single_int(0)]
        return [{"error": {"number": 1223, "class": 16, "state": 1, "message":
                           "Cannot release the application lock (Database Principal: 'public', "
                           "Resource: '%s') because it is not currently held." % resource}},
                single_int(-999)]

    def journal_applock(self, what, database, resource):
        self.server.journal.write(event="applock", conn=self.id, what=what, database=database,
                                  resource=resource)

    def build_reply(self, items):
        """Tokens for the reply items, and the highest error class among them
        (0 without errors); every statement ends in a DONE, only the last is final."""
        out = []  # (bytes, is_done)
        pending_error = False
        worst = 0

        def close_statement(rows=None, curcmd=0):
            nonlocal pending_error
            status = (DONE_ERROR if pending_error else 0) | (DONE_COUNT if rows is not None else 0)
            out.append([status, rows or 0, curcmd])
            pending_error = False

        for item in items:
            if "error" in item or "info" in item:
                e = item.get("error") or item.get("info")
                is_error = "error" in item
                cls = int(e.get("class", 16 if is_error else 0))
                if is_error:
                    worst = max(worst, cls)
                out.append(self.message_token(
                    TOK_ERROR if is_error else TOK_INFO, int(e.get("number", 50000)), cls,
                    int(e.get("state", 1)), str(e.get("message", "")),
                    str(e.get("procedure", "")), int(e.get("line", 1))))
                pending_error = pending_error or is_error
            elif "done" in item:
                d = item["done"] or {}
                close_statement(d.get("rows"), int(d.get("curcmd", 0)))
            elif "result" in item:
                if pending_error:
                    close_statement()
                r = item["result"]
                columns = [Column(c, self.tds) for c in r.get("columns", [])]
                if not columns:
                    raise ValueError("a result set needs columns")
                meta = struct.pack("<H", len(columns)) + b"".join(c.metadata() for c in columns)
                out.append(bytes([TOK_COLMETADATA]) + meta)
                rows = r.get("rows", [])
                for row in rows:
                    if len(row) != len(columns):
                        raise ValueError("row %r has %d values for %d columns" %
                                         (row, len(row), len(columns)))
                    out.append(bytes([TOK_ROW]) +
                               b"".join(c.value(v) for c, v in zip(columns, row)))
                close_statement(len(rows), CURCMD_SELECT)
            else:
                raise ValueError("unknown reply item %r" % item)
        if pending_error or not any(isinstance(t, list) for t in out):
            close_statement()
        # Every DONE but the last says more follows.
        done_positions = [i for i, t in enumerate(out) if isinstance(t, list)]
        tokens = []
        for i, t in enumerate(out):
            if isinstance(t, list):
                status, rows, curcmd = t
                if i != done_positions[-1]:
                    status |= DONE_MORE
                tokens.append(self.done(status, rows, curcmd))
            else:
                tokens.append(t)
        return tokens, worst

    def on_rpc(self, payload):
        # The program sends plain batches; a remote procedure call is noted and
        # answered as a procedure that did nothing.
        raw = self.strip_headers(payload)
        name = ""
        if len(raw) >= 2:
            count = struct.unpack("<H", raw[:2])[0]
            if count == 0xFFFF and len(raw) >= 4:
                name = "#%d" % struct.unpack("<H", raw[2:4])[0]
            else:
                name = raw[2:2 + 2 * count].decode("utf-16-le", errors="replace")
        self.server.journal.write(event="rpc", conn=self.id, procedure=name)
        self.send_message(bytes([TOK_RETURNSTATUS]) + struct.pack("<i", 0) +
                          self.done(DONE_FINAL, token=TOK_DONEPROC))

    def on_transaction(self, payload):
        # The driver begins, commits and rolls back through these requests
        # (TDS 7.2 and later) when the program switches autocommit off.
        raw = self.strip_headers(payload)
        kind = struct.unpack("<H", raw[:2])[0] if len(raw) >= 2 else -1
        names = {5: "begin", 7: "commit", 8: "rollback"}
        name = names.get(kind, "request %d" % kind)
        self.server.journal.write(event="transaction", conn=self.id, request=name)
        tokens = []
        if kind == 5:
            tokens.append(self.begin_transaction())
        elif kind in (7, 8):
            # After the name comes a flag byte; bit 0 asks for a new transaction.
            pos = 2
            if len(raw) > pos:
                pos += 1 + 2 * raw[pos]
            restart = len(raw) > pos and raw[pos] & 0x01
            if self.transaction is not None:
                tokens.append(self.envchange(9 if kind == 7 else 10, b_varbyte(b""),
                                             b_varbyte(self.transaction)))
                self.transaction = None
            self.end_transaction("commit" if kind == 7 else "rollback")
            if restart:
                tokens.append(self.begin_transaction())
        else:
            tokens.append(self.message_token(
                TOK_ERROR, 50000, 16, 1, "tdspeer: transaction request %d not served" % kind))
        tokens.append(self.done(DONE_FINAL if kind in names else DONE_ERROR))
        self.send_message(b"".join(tokens))

    def begin_transaction(self):
        self.change_trancount("begin", self.trancount + 1)
        self.transaction_count += 1
        self.transaction = struct.pack("<Q", (self.id << 32) | self.transaction_count)
        return self.envchange(8, b_varbyte(self.transaction), b_varbyte(b""))

    def on_attention(self):
        self.server.journal.write(event="attention", conn=self.id)
        self.send_message(self.done(DONE_ATTN))


# ---------------------------------------------------------------- server

class Server:
    def __init__(self, journal, rules, name, product):
        self.journal = journal
        self.rules = rules
        self.name = name
        self.product = product
        self.applocks = AppLocks()
        self.sock = listen_local(16)
        self.port = self.sock.getsockname()[1]
        self._next_id = 0

    def run(self):
        while True:
            client, _ = self.sock.accept()
            client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            self._next_id += 1
            conn = Connection(self, client, self._next_id)
            threading.Thread(target=conn.serve, daemon=True).start()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--journal", required=True)
    ap.add_argument("--rules", default="")
    ap.add_argument("--server-name", default="TDSPEER")
    ap.add_argument("--product", default="TDS test peer")
    ap.add_argument("--exit-on-stdin-eof", action="store_true")
    args = ap.parse_args()

    rules = RulesFile(args.rules, check_rules, DEFAULT_RULES, log)
    server = Server(Journal(args.journal), rules, args.server_name, args.product)
    serve(server.port, server.run, args.exit_on_stdin_eof)


if __name__ == "__main__":
    main()
