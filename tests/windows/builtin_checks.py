#!/usr/bin/env python3
"""The built-in database of the Windows build, run under Wine beside the Linux build's:

  office      vorlanx-db.exe and the Linux vorlanx-db run the same back-office commands in two
              folders; their output and the files they write (CSV reports and exports with a
              byte-order mark, backups) must be the same bytes.
  frames      vorlanxd.exe and the Linux vorlanxd, each on a database of the same card holders,
              get the same card queries, online and offline payments; their replies must be the
              same frames.
  rate        online payments per second of each, closed loop from the simulated terminals (a
              figure, not a check).
  durability  vorlanxd.exe killed outright while terminals pay: every payment a terminal saw
              acknowledged is booked in the file.
Exits non-zero on the first difference or loss.
"""
import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

# Every service started, stopped at the end whatever happened.
started = []
CONF_INI = "[sername]\r\ntype=2\r\n[mssql]\r\n名称=canteen.db\r\n".encode("gbk")


def fail(message):
    sys.exit(f"builtin_checks: {message}")


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.1)
    fail(f"{what} (waited {seconds} s)")


def checksum(body):
    # CRC-16/MODBUS of the frame's bytes after the header, sent low byte first.
    crc = 0xFFFF
    for byte in bytes.fromhex(body):
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return f"{crc & 0xFF:02X}{crc >> 8:02X}"


def frame(machine, length, command, parameters):
    body = f"{machine:04X}{length}{command}{parameters}"
    return "FE01" + body + checksum(body)


class Side:
    """One build: its vorlanx-db and vorlanxd, run natively or under Wine."""

    def __init__(self, name, service, tool, wine):
        self.name, self.service, self.tool, self.wine = name, service, tool, wine

    def command(self, program, *args):
        return (["wine", program] if self.wine else [program]) + list(args)

    def db(self, folder, *args, check=True):
        run = subprocess.run(self.command(self.tool, "canteen.db", *args), cwd=folder, capture_output=True,
                             stdin=subprocess.DEVNULL, timeout=120)
        if check and run.returncode != 0:
            fail(f"{self.name}: vorlanx-db {' '.join(args)} ended with {run.returncode}: {run.stdout + run.stderr!r}")
        return run

    def start(self, folder, holders):
        os.makedirs(folder)
        self.db(folder, "demo", str(holders))
        with open(os.path.join(folder, "conf.ini"), "wb") as f:
            f.write(CONF_INI)
        probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        probe.bind(("127.0.0.1", 0))
        self.port = probe.getsockname()[1]
        probe.close()
        self.log = os.path.join(folder, "stdout.txt")
        directory = ("Z:" + folder.replace("/", "\\")) if self.wine else folder
        with open(self.log, "wb") as out, open(os.path.join(folder, "stderr.txt"), "wb") as err:
            self.process = subprocess.Popen(self.command(self.service, "--port", str(self.port), "--dir", directory),
                                            stdout=out, stderr=err, stdin=subprocess.DEVNULL)
        self.folder = folder
        started.append(self)

        def answers():
            return exchange(self.port, [frame(1, "0007", "63", "00BC614E06")], attempts=1, timeout=0.5)[0] != ""

        wait_for(answers, 60, f"{self.name}: vorlanxd did not answer a card query from its built-in database")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(60)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def exchange(port, frames, attempts=5, timeout=3.0):
    """Each frame from one terminal socket; the reply it got, or "" for none."""
    terminal = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    terminal.bind(("127.0.0.1", 0))
    terminal.settimeout(timeout)
    replies = []
    for hex_frame in frames:
        reply = ""
        for _ in range(attempts):
            terminal.sendto(bytes.fromhex(hex_frame), ("127.0.0.1", port))
            try:
                reply = terminal.recvfrom(4096)[0].hex().upper()
                break
            except (socket.timeout, ConnectionError):
                continue
        replies.append(reply)
    terminal.close()
    return replies


def office(linux, windows, work):
    """The same commands through both tools; the same output and the same files."""
    folders = {}
    for side in (linux, windows):
        folder = os.path.join(work, "office-" + side.name)
        os.makedirs(folder)
        # An import as the office writes it: UTF-8 with a byte-order mark, Chinese names, CRLF. The
        # files have Chinese names, which Windows' ANSI code page 1252 cannot hold.
        with open(os.path.join(folder, "人员.csv"), "wb") as f:
            f.write("\ufeffP001,张三,食堂管理科,12345678,10000\r\nP002,李四,财务部,22222222,500\r\n".encode())
        folders[side.name] = folder
    steps = [
        ["init"],
        ["import", "人员.csv"],
        ["topup", "12345678", "250"],
        ["block", "22222222"],
        ["unblock", "22222222"],
        ["replace", "22222222", "33333333"],
        ["show", "33333333"],
        ["demo", "3"],
        ["report", "--from", "2020-05-08", "--to", "2020-05-09"],
        ["report", "--csv", "--from", "2020-05-08", "--to", "2020-05-09"],
        ["export", "--from", "2020-05-08", "--to", "2020-05-09", "账目.csv"],
        ["backup", "备份.db"],
        ["records"],
    ]
    for step in steps:
        outputs = [side.db(folders[side.name], *step) for side in (linux, windows)]
        if outputs[0].stdout != outputs[1].stdout:
            fail(f"vorlanx-db {' '.join(step)}: Linux wrote {outputs[0].stdout!r}, Windows {outputs[1].stdout!r}")
    report = windows.db(folders["windows"], "report", "--csv", "--from", "2020-05-08").stdout
    if not report.startswith(b"\xef\xbb\xbf") or b"\r\r\n" in report or "合计".encode() not in report:
        fail(f"the CSV report of vorlanx-db.exe is not UTF-8 with a byte-order mark and CRLF: {report!r}")
    for name in ("账目.csv", "备份.db"):
        with open(os.path.join(folders["linux"], name), "rb") as a, open(os.path.join(folders["windows"], name), "rb") as b:
            left, right = a.read(), b.read()
        if name.endswith(".csv") and (left != right or not right.startswith(b"\xef\xbb\xbf")):
            fail(f"{name}: Linux wrote {left!r}, Windows {right!r}")
    # Each tool verifies the other's backup: the same file format on both.
    for side, other in ((linux, "windows"), (windows, "linux")):
        copy = os.path.join(folders[side.name], "other.db")
        shutil.copy(os.path.join(folders[other], "备份.db"), copy)
        run = subprocess.run(side.command(side.tool, "other.db", "verify"), cwd=folders[side.name],
                             capture_output=True, stdin=subprocess.DEVNULL, timeout=120)
        if run.returncode != 0 or not run.stdout.startswith(b"other.db: intact, "):
            fail(f"{side.name}: vorlanx-db verify of the {other} backup: {run.stdout + run.stderr!r}")
    with open(os.path.join(folders["windows"], "foreign.db"), "wb") as f:
        f.write(b"not a database\n")
    run = subprocess.run(windows.command(windows.tool, "foreign.db", "verify"), cwd=folders["windows"],
                         capture_output=True, stdin=subprocess.DEVNULL, timeout=120)
    if run.returncode == 0 or b"is not a Vorlanx database" not in run.stdout + run.stderr:
        fail(f"vorlanx-db.exe verify took a foreign file: {run.stdout + run.stderr!r}")
    print(f"office: {len(steps)} vorlanx-db commands, the same output and files from vorlanx-db.exe; "
          "each verifies the other's backup")


def frames(linux, windows):
    """The same frames to both services, one at a time to each; the same replies."""
    known, unknown = "00BC614E", "05F5E0FF"  # 12345678, the first sample holder; 99999999, nobody
    sent = [
        ("card query", frame(1, "0007", "63", known + "06")),
        ("card query, unknown card", frame(1, "0007", "63", unknown + "06")),
        ("online payment 2.50", frame(1, "000B", "63", known + "00" + "000000FA")),
        ("card query after it", frame(1, "0007", "63", known + "06")),
        ("online payment, unknown card", frame(2, "000B", "63", unknown + "00" + "00000064")),
        ("online payment beyond the balance", frame(1, "000B", "63", known + "00" + "05F5E100")),
        ("offline record 12.50", frame(1, "0011", "76", known + "00" + "200508100503" + "000004E2")),
        ("the same offline record again", frame(1, "0011", "76", known + "00" + "200508100503" + "000004E2")),
        ("card query after both", frame(3, "0007", "63", known + "06")),
    ]
    for what, hex_frame in sent:
        linux_reply = exchange(linux.port, [hex_frame])[0]
        windows_reply = exchange(windows.port, [hex_frame])[0]
        if linux_reply != windows_reply:
            fail(f"{what}: {hex_frame} got {linux_reply or 'no reply'} from Linux, {windows_reply or 'no reply'} from Windows")
        print(f"frames: {what}: {hex_frame} -> {windows_reply or 'no reply'} from both")


def termsim_run(termsim, port, seconds, *extra):
    run = subprocess.run([termsim, "--service", f"127.0.0.1:{port}", "--terminals", "16", "--duration", str(seconds),
                          "--heartbeat", "0", "--card-range", "12345678-12345977", "--mix", "0:1:0", "--amount", "1-5",
                          "--json", *extra], capture_output=True, text=True, timeout=seconds + 120)
    if run.returncode != 0:
        fail(f"vorlanx-termsim ended with {run.returncode}: {run.stderr}")
    return json.loads(run.stdout)


def online_records(side):
    lines = side.db(side.folder, "records").stdout.decode().splitlines()
    header = lines[0].split(",")
    kind, amount = header.index("kind"), header.index("amount_fen")
    return [int(line.split(",")[amount]) for line in lines[1:] if line.split(",")[kind] == "online"]


def durability(windows, termsim):
    """Payments from 16 terminals; vorlanxd.exe killed with SIGKILL once bookings flow."""
    with open(os.path.join(windows.folder, "termsim.json"), "w+") as report:
        payer = subprocess.Popen([termsim, "--service", f"127.0.0.1:{windows.port}", "--terminals", "16",
                                  "--duration", "600", "--heartbeat", "0", "--card-range", "12345678-12345977",
                                  "--mix", "0:1:0", "--amount", "1-5", "--timeout", "300", "--attempts", "1",
                                  "--json"], stdout=report, stdin=subprocess.DEVNULL)

        def paying():
            # One log line per booking.
            with open(windows.log, encoding="utf-8", errors="replace") as f:
                return f.read().count("\n") > 100

        try:
            wait_for(paying, 120, "vorlanxd.exe logged no bookings under load")
            os.kill(windows.process.pid, signal.SIGKILL)
            windows.process.wait()
        finally:
            # The terminals stop and count what they saw acknowledged; a payment still waiting
            # for its answer when the service died is not among them.
            payer.send_signal(signal.SIGINT)
            payer.wait(120)
        report.seek(0)
        sent = json.load(report)
    booked = online_records(windows)
    print(f"durability: vorlanxd.exe killed while paying: {sent['paid']} payments ({sent['paid_fen']} fen) "
          f"acknowledged, {len(booked)} ({sum(booked)} fen) booked")
    if sent["paid"] == 0:
        fail("no payment was acknowledged before the kill")
    if len(booked) < sent["paid"] or sum(booked) < sent["paid_fen"]:
        fail("acknowledged payments are missing from the file after the kill")
    verify = windows.db(windows.folder, "verify").stdout.decode().strip()
    print(f"durability: after the kill: {verify}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux-service", required=True)
    parser.add_argument("--linux-db", required=True)
    parser.add_argument("--windows-service", required=True)
    parser.add_argument("--windows-db", required=True)
    parser.add_argument("--termsim", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rate-seconds", type=int, default=5)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    linux = Side("linux", args.linux_service, args.linux_db, wine=False)
    windows = Side("windows", args.windows_service, args.windows_db, wine=True)

    office(linux, windows, work)

    try:
        linux.start(os.path.join(work, "frames-linux"), 3)
        windows.start(os.path.join(work, "frames-windows"), 3)
        frames(linux, windows)
        linux.stop()
        windows.stop()

        rates = {}
        for side in (linux, windows):
            side.start(os.path.join(work, "rate-" + side.name), 300)
            report = termsim_run(args.termsim, side.port, args.rate_seconds)
            rates[side.name] = report["paid"] / report["seconds"] if report["seconds"] else 0.0
            side.stop()
        print(f"rate: online payments per second, 16 terminals: vorlanxd.exe under Wine {rates['windows']:.0f}, "
              f"Linux vorlanxd {rates['linux']:.0f}")

        windows.start(os.path.join(work, "durability"), 300)
        durability(windows, args.termsim)
    finally:
        for side in started:
            side.stop()


if __name__ == "__main__":
    main()
