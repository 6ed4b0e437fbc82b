#!/usr/bin/env python3
"""A small SQL Server stand-in that speaks TDS 7.4 without encryption, for the tests of the
SQL Server road: the service, unixODBC and the FreeTDS driver talk to it as to a canteen's server.

It answers the four stored-procedure calls of the service in exactly the text forms the service
sends them, on card holders read from a CSV file (the form `vorlanx-db import` reads) with the
built-in database's rules. Every booking is appended to a CSV ledger and flushed to disk before
the answer leaves; started again on the same ledger it rebuilds balances and booked offline
records from it.

    tds_server.py --port N --user U --password P --database D --holders FILE --ledger FILE
                  [--fault none|late:MS|info|error-after-first-result|deadlock|drop-before|drop-after]
                  [--text nvarchar|varchar] [--blocked CARD[,CARD...]]

Faults: late:MS holds every call of the booking procedures (online and offline) MS milliseconds
before running it (an attention in that time cancels it, nothing booked); info sends PRINT messages around every result; the others hit the
first, third, fifth... call of the booking procedures (online and offline), so that a resend
goes through: error-after-first-result books nothing but sends the procedure's SELECT and then
an error; deadlock answers error 1205 and books nothing; drop-before closes the connection
without booking; drop-after books, then closes the connection without answering.
A wrong user, password or database is refused with error 18456 and the connection closed.
"""

import argparse
import csv
import os
import re
import select
import socket
import struct
import sys
import threading

# Packet types of [MS-TDS] 2.2.3.1.1
PKT_SQL_BATCH = 0x01
PKT_RPC = 0x03
PKT_REPLY = 0x04
PKT_ATTENTION = 0x06
PKT_LOGIN7 = 0x10
PKT_PRELOGIN = 0x12
STATUS_EOM = 0x01

# Tokens
TOK_COLMETADATA = 0x81
TOK_ERROR = 0xAA
TOK_INFO = 0xAB
TOK_LOGINACK = 0xAD
TOK_ROW = 0xD1
TOK_ENVCHANGE = 0xE3
TOK_RETURNSTATUS = 0x79
TOK_DONE = 0xFD
TOK_DONEPROC = 0xFE
TOK_DONEINPROC = 0xFF

DONE_FINAL = 0x0000
DONE_MORE = 0x0001
DONE_ERROR = 0x0002
DONE_COUNT = 0x0010
DONE_ATTN = 0x0020

# Data types
NVARCHAR = 0xE7
BIGVARCHAR = 0xA7
INTN = 0x26
MONEYN = 0x6E

SERVER_NAME = "VORLANX-STANDIN"
# Chinese_PRC_CI_AS: LCID 0x0804 with the case/accent/kana/width flags, a Windows collation
# (sort id 0), so its code page is 936 (GBK).
CHINESE_PRC = bytes([0x04, 0x08, 0xD0, 0x00, 0x00])
LATIN1_GENERAL = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])
DISPLAY_BYTES = 16
LARGEST_CARD = 4294967295
PACKET_SIZE = 4096


def us_varchar(text):
    data = text.encode("utf-16-le")
    return struct.pack("<H", len(data) // 2) + data


def b_varchar(text):
    data = text.encode("utf-16-le")
    return struct.pack("<B", len(data) // 2) + data


def message_token(token, number, state, severity, text, proc=""):
    body = struct.pack("<iBB", number, state, severity) + us_varchar(text) + b_varchar(SERVER_NAME)
    body += b_varchar(proc) + struct.pack("<i", 1)
    return struct.pack("<BH", token, len(body)) + body


def error_token(number, severity, text, proc=""):
    return message_token(TOK_ERROR, number, 1, severity, text, proc)


def info_token(text, number=0):
    return message_token(TOK_INFO, number, 1, 0, text)


def done_token(token, status, count=0, cmd=0xC1):
    return struct.pack("<BHHQ", token, status, cmd, count)


def env_change(kind, new, old):
    body = struct.pack("<B", kind) + new + old
    return struct.pack("<BH", TOK_ENVCHANGE, len(body)) + body


# ---- result sets -------------------------------------------------------------------------------


class Column:
    def __init__(self, name, kind):
        self.name = name
        self.kind = kind  # "nvarchar", "varchar", "int", "bigint", "money"

    def metadata(self):
        head = struct.pack("<IH", 0, 0x0001)  # user type, flags: nullable
        if self.kind == "nvarchar":
            info = struct.pack("<BH", NVARCHAR, 200) + CHINESE_PRC
        elif self.kind == "varchar":
            info = struct.pack("<BH", BIGVARCHAR, 100) + CHINESE_PRC
        elif self.kind == "int":
            info = struct.pack("<BB", INTN, 4)
        elif self.kind == "bigint":
            info = struct.pack("<BB", INTN, 8)
        else:
            info = struct.pack("<BB", MONEYN, 8)
        return head + info + b_varchar(self.name)

    def value(self, v):
        if self.kind in ("nvarchar", "varchar"):
            if v is None:
                return b"\xff\xff"
            data = v.encode("utf-16-le") if self.kind == "nvarchar" else v.encode("gbk")
            return struct.pack("<H", len(data)) + data
        if v is None or v == "":
            return b"\x00"
        if self.kind == "int":
            return struct.pack("<Bi", 4, int(v))
        if self.kind == "bigint":
            return struct.pack("<Bq", 8, int(v))
        # money: a 64-bit count of ten-thousandths, the high half first
        scaled = int(v) * 100  # v in fen
        return struct.pack("<BiI", 8, scaled >> 32, scaled & 0xFFFFFFFF)


def result_set(columns, rows):
    out = bytearray(struct.pack("<BH", TOK_COLMETADATA, len(columns)))
    for c in columns:
        out += c.metadata()
    for row in rows:
        out.append(TOK_ROW)
        for c, v in zip(columns, row):
            out += c.value(v)
    out += done_token(TOK_DONEINPROC, DONE_MORE | DONE_COUNT, len(rows))
    return bytes(out)


def procedure_end(status=0, error=False):
    return struct.pack("<Bi", TOK_RETURNSTATUS, status) + done_token(
        TOK_DONEPROC, DONE_ERROR if error else DONE_FINAL, 0, 0xE0)


# ---- the canteen's tables ----------------------------------------------------------------------


def fit_display(text):
    """A display text cut to what a terminal's line shows: 16 GBK bytes."""
    out = ""
    for ch in text:
        if len((out + ch).encode("gbk", errors="replace")) > DISPLAY_BYTES:
            break
        out += ch
    return out


def yuan(fen):
    magnitude = -fen if fen < 0 else fen
    return "%s%d.%02d" % ("-" if fen < 0 else "", magnitude // 100, magnitude % 100)


def money_line(label, fen):
    # The unit is left off when the UTF-8 text would pass 16 bytes, as the built-in database does.
    line = label + yuan(fen) + "元"
    if len(line.encode("utf-8")) > DISPLAY_BYTES:
        line = label + yuan(fen)
    return fit_display(line)


WHOLE = re.compile(r"-?[0-9]+\Z")
HEX = re.compile(r"-?[0-9A-Fa-f]+\Z")


def whole(text, base=10):
    if (WHOLE if base == 10 else HEX).match(text) is None:
        return None
    value = int(text, base)
    return value if -(1 << 63) <= value < (1 << 63) else None


def card_of(decimal, hexcard):
    card = whole(decimal)
    if card is None:
        card = whole(hexcard, 16)
    if card is None or card < 0 or card > LARGEST_CARD:
        return None
    return card


class Canteen:
    def __init__(self, holders_file, ledger_file, blocked):
        self.lock = threading.Lock()
        self.holders = {}  # card -> [code, name, dept, balance, active]
        self.by_code = []
        with open(holders_file, encoding="utf-8-sig", newline="") as f:
            for row in csv.reader(f):
                if not row or (len(row) == 5 and row[0] == "hr_code"):
                    continue
                if len(row) != 5:
                    raise SystemExit("holders: expected 5 fields, got %r" % (row,))
                code, name, dept, card, balance = row
                entry = [code, name, dept, int(balance), True]
                self.by_code.append((code, entry, card))
                if card != "":
                    self.holders[int(card)] = entry
        for card in blocked:
            if card in self.holders:
                self.holders[card][4] = False
        self.offline = set()
        self.ledger_file = ledger_file
        self.replay()
        self.ledger = open(ledger_file, "a", encoding="utf-8", newline="")

    def replay(self):
        if not os.path.exists(self.ledger_file):
            return
        with open(self.ledger_file, encoding="utf-8", newline="") as f:
            for line in f:
                if not line.endswith("\n"):
                    break  # a row cut off by a kill was never acknowledged
                row = line.rstrip("\r\n").split(",")
                if len(row) != 6:
                    continue
                kind, card, machine, fen, date, time = row
                card, fen = int(card), int(fen)
                if kind == "offline":
                    self.offline.add((card, int(machine), date, time, fen))
                if card in self.holders:
                    self.holders[card][3] -= fen

    def book(self, kind, card, machine, fen, date, time):
        line = "%s,%d,%d,%d,%s,%s\n" % (kind, card, machine, fen, date, time)
        self.ledger.write(line)
        self.ledger.flush()
        os.fsync(self.ledger.fileno())

    def query(self, call):
        card = card_of(call["cardno"], call["hexkh"])
        if card is None:
            return "2", None, 0, ["无此卡", "", "", ""]
        with self.lock:
            holder = self.holders.get(card)
            if holder is None:
                return "2", None, card, ["无此卡", "卡号:%d" % card, "", ""]
            code, name, dept, balance, active = holder
            if not active:
                return "3", holder, card, [name, "此卡已停用", dept, "卡号:%d" % card]
            return "1", holder, card, [name, money_line("余额:", balance), dept, "卡号:%d" % card]

    def online(self, call, book=True):
        card = card_of(call["cardno"], call["hexkh"])
        amount = whole(call["xfmoney"])
        machine = whole(call["macid"])
        if card is None:
            return "01", None, 0, ["无此卡", "", "", ""]
        if amount is None or amount <= 0 or machine is None:
            return "04", None, card, ["金额无效", "卡号:%d" % card, "", ""]
        with self.lock:
            holder = self.holders.get(card)
            if holder is None:
                return "01", None, card, ["无此卡", "卡号:%d" % card, "", ""]
            code, name, dept, balance, active = holder
            if not active:
                return "02", holder, card, [name, "此卡已停用", dept, ""]
            if balance < amount:
                return "03", holder, card, [name, "余额不足", money_line("余额:", balance), money_line("消费:", amount)]
            if not book:
                return None
            self.book("online", card, machine, amount, call["rdate"], call["rtime"])
            holder[3] -= amount
            return "00", holder, card, [name, money_line("消费:", amount), money_line("余额:", holder[3]), dept]

    def offline_record(self, call, book=True):
        card = card_of(call["cardno"], call["hexkh"])
        amount = whole(call["xfmoney"])
        machine = whole(call["macid"])
        if card is None or amount is None or amount < 0 or machine is None:
            return "0"
        if not book:
            return None
        key = (card, machine, call["rdate"], call["rtime"], amount)
        with self.lock:
            if key not in self.offline:
                self.book("offline", card, machine, amount, call["rdate"], call["rtime"])
                self.offline.add(key)
                if card in self.holders:
                    self.holders[card][3] -= amount
        return "1"

    def whitename(self):
        with self.lock:
            rows = [(code, e[1], e[2], card) for code, e, card in self.by_code if e[4] and card != ""]
        return sorted(rows, key=lambda r: r[0].encode("utf-8"))


# ---- the calls, in the forms the service sends ------------------------------------------------

VALUE = r"([0-9A-Za-z:\-]*)"
CALLS = [
    ("query", re.compile(r"execute dbo\.sp_consume_ykt_query;1 @cardno = '%s',@hexkh = '%s',@macid =%s\Z"
                         % (VALUE, VALUE, VALUE)), ["cardno", "hexkh", "macid"]),
    ("online", re.compile(r"exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =%s,macid =%s,rdate =%s,"
                          r"rtime =%s,cardno =%s,xfmoney =%s,'\Z" % ((VALUE,) * 6)),
     ["hexkh", "macid", "rdate", "rtime", "cardno", "xfmoney"]),
    ("offline", re.compile(r"exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=%s,macid=%s,rdate=%s,"
                           r"rtime=%s,cardno=%s,xfmoney=%s,'\Z" % ((VALUE,) * 6)),
     ["hexkh", "macid", "rdate", "rtime", "cardno", "xfmoney"]),
    ("whitename", re.compile(r"execute dbo\.sp_consume_ykt_whitename;1 @macid = '(.*)'\Z", re.S), ["macid"]),
]
SET_ONLY = re.compile(r"^\s*(set\s+[^;]*?;?\s*)+$", re.I | re.S)


def parse_call(text):
    for kind, pattern, names in CALLS:
        m = pattern.match(text)
        if m:
            return kind, dict(zip(names, m.groups()))
    return None, None


class Drop(Exception):
    pass


class Connection:
    def __init__(self, server, sock):
        self.server = server
        self.sock = sock
        self.packet_size = PACKET_SIZE
        self.pending = bytearray()

    # -- packets --
    def read_exact(self, n):
        while len(self.pending) < n:
            data = self.sock.recv(65536)
            if not data:
                raise Drop()
            self.pending += data
        out = bytes(self.pending[:n])
        del self.pending[:n]
        return out

    def read_message(self):
        """One whole message, possibly split over several packets: (type, payload)."""
        payload = bytearray()
        while True:
            header = self.read_exact(8)
            kind, status, length = struct.unpack(">BBH", header[:4])
            if length < 8:
                raise Drop()
            payload += self.read_exact(length - 8)
            if status & STATUS_EOM:
                return kind, bytes(payload)

    def send(self, data, kind=PKT_REPLY):
        room = self.packet_size - 8
        chunks = [data[i:i + room] for i in range(0, len(data), room)] or [b""]
        out = bytearray()
        for n, chunk in enumerate(chunks):
            status = STATUS_EOM if n == len(chunks) - 1 else 0
            out += struct.pack(">BBHHBB", kind, status, len(chunk) + 8, 0, (n + 1) & 0xFF, 0) + chunk
        self.sock.sendall(out)

    def attention_within(self, seconds):
        """Waits; True when the client sent an attention in that time."""
        ready, _, _ = select.select([self.sock], [], [], seconds)
        if not ready and not self.pending:
            return False
        kind, _ = self.read_message()
        return kind == PKT_ATTENTION

    # -- the conversation --
    def run(self):
        try:
            kind, payload = self.read_message()
            if kind != PKT_PRELOGIN:
                return
            self.prelogin()
            kind, payload = self.read_message()
            if kind != PKT_LOGIN7 or not self.login(payload):
                return
            while True:
                kind, payload = self.read_message()
                if kind == PKT_ATTENTION:
                    self.send(done_token(TOK_DONE, DONE_ATTN))
                elif kind == PKT_SQL_BATCH:
                    self.batch(payload)
                elif kind == PKT_RPC:
                    self.rpc(payload)
                else:
                    self.send(error_token(16903, 16, "This server answers SQL batches and sp_executesql only.") +
                              done_token(TOK_DONE, DONE_ERROR))
        except (Drop, OSError, ConnectionError):
            pass
        finally:
            try:
                self.sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.sock.close()

    def prelogin(self):
        # VERSION, ENCRYPTION (not supported: nothing on this connection is encrypted), INSTOPT,
        # THREADID, MARS off.
        options = [(0x00, struct.pack(">IH", 0x0F000FA0, 0)), (0x01, b"\x02"), (0x02, b"\x00"),
                   (0x03, struct.pack(">I", 0)), (0x04, b"\x00")]
        offset = len(options) * 5 + 1
        head = bytearray()
        body = bytearray()
        for token, data in options:
            head += struct.pack(">BHH", token, offset + len(body), len(data))
            body += data
        self.send(bytes(head) + b"\xff" + bytes(body))

    def login(self, p):
        def text(at):
            offset, chars = struct.unpack_from("<HH", p, at)
            return p[offset:offset + chars * 2]

        requested = struct.unpack_from("<I", p, 8)[0]
        user = text(40).decode("utf-16-le")
        raw = text(44)
        # Each password byte is sent with its nibbles swapped and XORed with 0xA5.
        password = bytes(((b ^ 0xA5) >> 4) | (((b ^ 0xA5) & 0x0F) << 4) for b in raw).decode("utf-16-le")
        database = text(68).decode("utf-16-le")
        cfg = self.server.options
        if user != cfg.user or password != cfg.password or (database and database != cfg.database):
            out = b""
            if user == cfg.user and password == cfg.password:
                out += error_token(4060, 11, 'Cannot open database "%s" requested by the login. '
                                   "The login failed." % database)
            out += error_token(18456, 14, "Login failed for user '%s'." % user)
            self.send(out + done_token(TOK_DONE, DONE_ERROR))
            return False
        if requested in range(512, 32768):
            self.packet_size = requested
        out = env_change(1, b_varchar(cfg.database), b_varchar("master"))
        out += info_token("Changed database context to '%s'." % cfg.database, 5701)
        out += env_change(7, struct.pack("<B", 5) + CHINESE_PRC, b"\x00")
        out += env_change(2, b_varchar("us_english"), b_varchar(""))
        out += info_token("Changed language setting to us_english.", 5703)
        out += env_change(4, b_varchar(str(self.packet_size)), b_varchar(str(PACKET_SIZE)))
        ack = struct.pack("<B", 1) + bytes([0x74, 0x00, 0x00, 0x04]) + b_varchar("Microsoft SQL Server")
        ack += bytes([15, 0, 0x0F, 0xA0])
        out += struct.pack("<BH", TOK_LOGINACK, len(ack)) + ack
        self.send(out + done_token(TOK_DONE, DONE_FINAL, 0, 0))
        return True

    @staticmethod
    def skip_headers(payload):
        # TDS 7.2 and later put ALL_HEADERS (a transaction descriptor) in front of the request.
        skip = struct.unpack_from("<I", payload, 0)[0] if len(payload) >= 4 else 0
        return skip if 4 <= skip <= len(payload) else 0

    def batch(self, payload):
        text = payload[self.skip_headers(payload):].decode("utf-16-le", errors="replace")
        self.statement(text, lambda out: out)

    def rpc(self, payload):
        """sp_executesql (10) and sp_prepexec (13) with the statement as a string parameter, as
        clients send a text command through their prepared-statement calls."""
        at = self.skip_headers(payload)
        name_len = struct.unpack_from("<H", payload, at)[0]
        proc = struct.unpack_from("<H", payload, at + 2)[0] if name_len == 0xFFFF else None
        at += 4 if name_len == 0xFFFF else 2 + name_len * 2
        at += 2  # option flags
        texts = []
        try:
            while at < len(payload):
                at += 1 + payload[at] * 2 + 1  # name, status flags
                kind = payload[at]
                at += 1
                if kind == INTN:
                    at += 1
                    at += 1 + payload[at]
                elif kind in (NVARCHAR, BIGVARCHAR):
                    maxlen = struct.unpack_from("<H", payload, at)[0]
                    at += 2 + 5
                    if maxlen == 0xFFFF:  # PLP: total length, then chunks up to a zero one
                        total = struct.unpack_from("<Q", payload, at)[0]
                        at += 8
                        data = bytearray()
                        while total != 0xFFFFFFFFFFFFFFFF:
                            chunk = struct.unpack_from("<I", payload, at)[0]
                            at += 4
                            if chunk == 0:
                                break
                            data += payload[at:at + chunk]
                            at += chunk
                    else:
                        n = struct.unpack_from("<H", payload, at)[0]
                        at += 2
                        data = b"" if n == 0xFFFF else payload[at:at + n]
                        at += 0 if n == 0xFFFF else n
                    texts.append(data.decode("utf-16-le" if kind == NVARCHAR else "gbk", errors="replace"))
                elif kind == 0x63:  # NTEXT
                    at += 4 + 5
                    n = struct.unpack_from("<I", payload, at)[0]
                    at += 4
                    texts.append("" if n == 0xFFFFFFFF else payload[at:at + n].decode("utf-16-le", errors="replace"))
                    at += 0 if n == 0xFFFFFFFF else n
                else:
                    break
        except (IndexError, struct.error):
            pass
        texts = [t for t in texts if t]
        if proc not in (10, 13) or not texts:
            self.send(error_token(16903, 16, "This server answers SQL batches and sp_executesql only.") +
                      done_token(TOK_DONEPROC, DONE_ERROR))
            return

        def prepared(out):
            if proc != 13 or len(out) < 18:
                return out
            # sp_prepexec hands back the handle of the prepared statement as its output parameter.
            value = struct.pack("<HB", 0, 0) + struct.pack("<BIHBB", 0x01, 0, 0x0001, INTN, 4) + struct.pack(
                "<Bi", 4, 1)
            return out[:-18] + bytes([0xAC]) + value + out[-18:]

        self.statement(texts[-1], prepared)

    def statement(self, text, wrap):
        kind, call = parse_call(text)
        if kind is None:
            if SET_ONLY.match(text):
                self.send(done_token(TOK_DONE, DONE_FINAL, 0, 0))
            else:
                self.send(error_token(2812, 16, "Could not find stored procedure '%s'." % text.strip()[:100]) +
                          done_token(TOK_DONE, DONE_ERROR))
            return
        fault = self.server.fault
        if fault.startswith("late:") and kind in ("online", "offline"):
            if self.attention_within(int(fault[5:]) / 1000.0):
                self.send(done_token(TOK_DONE, DONE_ATTN))
                return
        hit = False
        if kind in ("online", "offline"):
            hit = self.server.next_booking_faulted()
        self.send(wrap(self.answer(kind, call, fault if hit else "none")))

    def answer(self, kind, call, fault):
        canteen = self.server.canteen
        t = self.server.text_kind
        info = self.server.fault == "info"
        if fault == "drop-before":
            raise Drop()
        if fault == "deadlock":
            return error_token(1205, 13, "Transaction (Process ID 53) was deadlocked on lock resources with another "
                               "process and has been chosen as the deadlock victim. Rerun the transaction.",
                               "sp_consume_ykt_" + kind) + procedure_end(-3, True)
        out = info_token("sp_consume_ykt_%s: start" % kind) if info else b""
        display = [Column("col%d" % n, t) for n in (5, 6, 7, 8)]
        if kind == "query":
            code, holder, card, texts = canteen.query(call)
            cols = [Column("col1", t), Column("col2", "varchar"), Column("col3", "bigint"),
                    Column("col4", "money")] + display
            row = [code, holder[0] if holder else "", card, holder[3] if holder else None] + [fit_display(x) for x in texts]
            out += result_set(cols, [row])
        elif kind == "online":
            refused = fault == "error-after-first-result"
            answer = canteen.online(call, book=not refused)
            if answer is None:
                # The SELECT that shows the paid texts runs, then the INSERT behind it fails.
                card = card_of(call["cardno"], call["hexkh"])
                holder = canteen.holders[card]
                answer = ("00", holder, card, [holder[1], money_line("消费:", int(call["xfmoney"])),
                                            money_line("余额:", holder[3] - int(call["xfmoney"])), holder[2]])
            code, holder, card, texts = answer
            cols = [Column("col1", t), Column("col2", "varchar"), Column("col3", "bigint"),
                    Column("col4", "money")] + display
            row = [code, holder[0] if holder else "", card, holder[3] if holder else None] + [fit_display(x) for x in texts]
            out += result_set(cols, [row])
            if refused:
                out += self.failed_insert(kind)
                return out + procedure_end(-6, True)
        elif kind == "offline":
            refused = fault == "error-after-first-result"
            code = canteen.offline_record(call, book=not refused)
            out += result_set([Column("col1", "int")], [[code if code is not None else "1"]])
            if refused:
                return out + self.failed_insert(kind) + procedure_end(-6, True)
        else:
            rows = canteen.whitename()
            out += result_set([Column("hr_code", "varchar"), Column("hr_name", t), Column("dept_name", t),
                               Column("hr_phyid", "bigint")], rows)
        if info:
            out += info_token("sp_consume_ykt_%s: done" % kind)
        if fault == "drop-after":
            raise Drop()
        return out + procedure_end()

    @staticmethod
    def failed_insert(kind):
        return error_token(2627, 14, "Violation of PRIMARY KEY constraint 'PK_consume_record'. Cannot insert "
                           "duplicate key in object 'dbo.consume_record'.", "sp_consume_ykt_" + kind) + \
            done_token(TOK_DONEINPROC, DONE_MORE | DONE_ERROR, 0)


class Server:
    def __init__(self, options):
        self.options = options
        self.fault = options.fault
        self.text_kind = options.text
        blocked = [int(c) for c in options.blocked.split(",") if c] if options.blocked else []
        self.canteen = Canteen(options.holders, options.ledger, blocked)
        self.count_lock = threading.Lock()
        self.bookings = 0

    def next_booking_faulted(self):
        if self.fault in ("none", "info") or self.fault.startswith("late:"):
            return False
        with self.count_lock:
            self.bookings += 1
            return self.bookings % 2 == 1

    def serve(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((self.options.host, self.options.port))
        listener.listen(64)
        print("listening on %d" % listener.getsockname()[1], flush=True)
        while True:
            sock, _ = listener.accept()
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=Connection(self, sock).run, daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, required=True, help="TCP port, 0 for any free one")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (127.0.0.1)")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--database", required=True)
    parser.add_argument("--holders", required=True, help="CSV: hr_code,hr_name,dept_name,hr_phyid,balance_fen")
    parser.add_argument("--ledger", required=True, help="CSV of bookings: kind,card,machine,fen,date,time")
    parser.add_argument("--fault", default="none", help="none|late:MS|info|error-after-first-result|deadlock|"
                        "drop-before|drop-after")
    parser.add_argument("--text", choices=["nvarchar", "varchar"], default="nvarchar",
                        help="type of the text columns (varchar: Chinese_PRC collation, GBK bytes)")
    parser.add_argument("--blocked", default="", help="card numbers that are blocked, comma-separated")
    options = parser.parse_args()
    if not re.match(r"(none|info|error-after-first-result|deadlock|drop-before|drop-after|late:[0-9]+)\Z",
                    options.fault):
        parser.error("unknown --fault " + options.fault)
    try:
        server = Server(options)
    except (OSError, ValueError, UnicodeError) as error:
        parser.error("cannot read the holders or the ledger: %s" % error)
    try:
        server.serve()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
