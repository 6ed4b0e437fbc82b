#!/usr/bin/env python3
"""The Win32 window under Wine and Xvfb, driven by control ID from a second Windows program
(vorlanx-drive.exe) while vorlanx-termsim terminals on Linux answer over 127.0.0.1 and the TDS
stand-in serves the personnel list through Wine's ODBC. One window start serves the main group of
checks, a second one those of a named instance in the server box; before them, two starts that
must fail show their message boxes.

    window_checks.py --exe vorlanx.exe --drive vorlanx-drive.exe --termsim vorlanx-termsim
                     --tds tds_server.py --work DIR --shots DIR

Exits non-zero at the first failed check, naming it. The Wine prefix, WINEDEBUG and DISPLAY are
the caller's.
"""

import argparse
import os
import re
import socket
import subprocess
import sys
import threading
import time

TITLE = "信息："
PORT_EDIT, LISTEN, STOP = 1011, 1012, 1013
WHITELIST_COUNT, SUCCESS_COUNT = 1015, 1017
SEND_ADDRESS, SEND_PORT, SEND_MACHINE = 1022, 1024, 1026
RESULTS, LOG = 1041, 1051
OPERATION_PANEL = 7
SERVER_ADDRESS, SQL_SERVER_CHECK, SAVE_DATABASE = 1412, 1419, 1421
CLOCK_ALL = 1103
BREAKFAST_CHECK, BREAKFAST_START, BREAKFAST_END = 1210, 1211, 1213
PERIODS_ONE = 1250
PERSONNEL = 1304
READ_ONE, READ_ALL, DOWNLOAD_ONE = 1310, 1311, 1314
ONLINE, TERMINALS = 1001, 1401
ADD_DEVICES, REFRESH_PERSONNEL, REMOVE_ALL = 2011, 2021, 2032
VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN = 0x25, 0x27, 0x26, 0x28
VK_TAB, VK_RETURN, VK_APPS = 0x09, 0x0D, 0x5D
HOLDERS = 60
# ui::kPortHeldByServiceText
PORT_HELD_BY_SERVICE = ("端口被占用：Windows 服务 vorlanxd 正在本机运行并监听终端。"
                        "请停止该服务 (net stop vorlanxd)，或改用其他端口。")


def fail(text):
    sys.exit("window check failed: " + text)


def crc16(data):
    # CRC-16/MODBUS, sent low byte first.
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def whitelist_frames(machine, cards):
    frames = []
    for k in range(len(cards) // 50 + 1):
        entries = "".join("%08X" % c for c in cards[50 * k:50 * k + 50] if c)
        body = "%04X%04X31%02X%s" % (machine, (len(entries) + 4) // 2, len(entries) // 8, entries)
        crc = crc16(bytes.fromhex(body))
        frames.append(bytes.fromhex("FE01" + body + "%02X%02X" % (crc & 0xFF, crc >> 8)))
    return frames


def free_udp_port():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Recorder:
    """A terminal that only records what reaches it, with the time of arrival."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(0.1)
        self.port = self.sock.getsockname()[1]
        self.frames = []
        self.running = True
        self.thread = threading.Thread(target=self.loop, daemon=True)
        self.thread.start()

    def loop(self):
        while self.running:
            try:
                data, _ = self.sock.recvfrom(4096)
                self.frames.append((time.monotonic(), data))
            except socket.timeout:
                pass

    def take(self):
        frames, self.frames = self.frames, []
        return frames


class Drive:
    def __init__(self, exe):
        self.proc = subprocess.Popen(["wine", exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=None, text=True, encoding="utf-8")

    def __call__(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().rstrip("\n")
        answer = re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n"}.get(m.group(1), m.group(1)), answer)
        if not answer.startswith("ok"):
            fail("driver: %s -> %s" % (line, answer or "(no answer)"))
        return answer[3:]

    def idle(self):
        # The administration buttons come back when the command before has sent its last frame.
        self.until("enabled %d" % READ_ONE, lambda e: e == "1", 30, "the last command ends")

    def until(self, line, wanted, seconds, what):
        deadline = time.monotonic() + seconds
        while True:
            got = self(line)
            if wanted(got):
                return got
            if time.monotonic() > deadline:
                fail("%s: %s gave %r" % (what, line, got))
            time.sleep(0.2)


def start_tds(script, work, port):
    out = open(os.path.join(work, "tds.txt"), "w+")
    tds = subprocess.Popen([sys.executable, script, "--port", str(port), "--user", "sa", "--password", "468",
                            "--database", "canteen", "--holders", os.path.join(work, "holders.csv"),
                            "--ledger", os.path.join(work, "ledger.csv")], stdout=out, stderr=subprocess.STDOUT)
    for _ in range(100):
        out.seek(0)
        line = out.read()
        if "listening on" in line:
            return tds, int(line.split()[2])
        time.sleep(0.1)
    fail("the TDS stand-in did not start")


def check(what, condition, detail=""):
    if not condition:
        fail(what + (": " + detail if detail else ""))
    print("ok   " + what)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def conf_value(service_dir, key):
    """A key's value in the window's conf.ini (GBK), or None."""
    with open(os.path.join(service_dir, "conf.ini"), "rb") as f:
        for line in f.read().decode("gbk").splitlines():
            if line.startswith(key + "="):
                return line[len(key) + 1:]
    return None


def wait_conf(service_dir, key, value, seconds=30):
    deadline = time.monotonic() + seconds
    while conf_value(service_dir, key) != value and time.monotonic() < deadline:
        time.sleep(0.2)
    return conf_value(service_dir, key)


def fresh_service_dir(work):
    """The window's data folder under work, emptied of what an earlier run left."""
    service_dir = os.path.join(work, "service")
    os.makedirs(service_dir, exist_ok=True)
    for name in os.listdir(service_dir):
        os.remove(os.path.join(service_dir, name))
    return service_dir


def end_all(procs, drive, window_left):
    """Ends a run's processes. A window left by a failed step would be found by the next run: its
    Windows process outlives the wine launcher, so the driver kills it first."""
    if window_left and drive is not None and drive.proc.poll() is None:
        try:
            drive.proc.stdin.write("kill\n")
            drive.proc.stdin.flush()
            drive.proc.stdout.readline()
        except OSError:
            pass
    for proc in reversed(procs):
        if proc.poll() is None:
            proc.kill()


def start_errors(a, drive):
    """A window that will not start says why in a message box as well as on standard error."""
    for arguments, shown, line in (
            (["--dir", windows_path(os.path.join(a.work, "no such dir"))], "无法启动：--dir 指定的服务目录不存在：",
             "the --dir given does not exist"),
            (["dropped.txt"], "无法启动：不认识的参数：dropped.txt", "usage: vorlanx")):
        # Standard error goes to a file: Wine's desktop process, started with the first window,
        # inherits the handles and would hold a pipe open after the program has ended.
        err_path = os.path.join(a.work, "start-error.txt")
        with open(err_path, "wb") as err_file:
            proc = subprocess.Popen(["wine", a.exe, *arguments], stdout=subprocess.DEVNULL, stderr=err_file)
        box = drive("anybox 60000")
        proc.wait(timeout=60)
        with open(err_path, "rb") as f:
            err = f.read().decode(errors="replace")
        check("%s shows its message box" % " ".join(arguments[:1]), box.startswith(TITLE + "\t" + shown), box)
        check("%s also says it on standard error and fails" % " ".join(arguments[:1]),
              line in err and proc.returncode != 0, "%d %r" % (proc.returncode, err))


def server_text_group(a, drive, service_dir):
    """A second start of the window on a named instance in conf.ini: the server box shows it, a
    save keeps it, and the box takes what is typed; a malformed address is refused."""
    with open(os.path.join(service_dir, "conf.ini"), "w", encoding="gbk", newline="\r\n") as f:
        f.write("[sername]\ntype=1\n[mssql]\n服务=HOST\\SQLEXPRESS\n名称=canteen\n用户=sa\n密码=468\n")
    window = subprocess.Popen(["wine", a.exe, "--dir", windows_path(service_dir)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        drive("window 60")
        drive("tab 3")
        shown = drive("text %d" % SERVER_ADDRESS)
        check("服务 HOST\\SQLEXPRESS from conf.ini is shown", shown == "HOST\\SQLEXPRESS", shown)
        drive.until("panel 5", lambda t: t == "A连接失败", 120, "the connect to HOST\\SQLEXPRESS fails")
        drive("click %d" % SQL_SERVER_CHECK)
        drive("click %d" % SAVE_DATABASE)
        check("a save without connecting shows no box", drive("box 1000") == "none")
        check("HOST\\SQLEXPRESS survives a save untouched",
              wait_conf(service_dir, "服务", "HOST\\SQLEXPRESS") == "HOST\\SQLEXPRESS" and
              conf_value(service_dir, "type") == "0", repr(conf_value(service_dir, "服务")))
        drive("set %d " % SERVER_ADDRESS)
        typed = "db-2\\SQLEXPRESS,14330"
        for c in typed:
            drive("char %d %d" % (SERVER_ADDRESS, ord(c)))
        check("the server box takes a typed host\\instance,port", drive("text %d" % SERVER_ADDRESS) == typed,
              drive("text %d" % SERVER_ADDRESS))
        drive("click %d" % SAVE_DATABASE)
        check("and saves it", wait_conf(service_dir, "服务", typed) == typed)
        drive("set %d 127.0.0.1,70000" % SERVER_ADDRESS)
        drive("click %d" % SAVE_DATABASE)
        box = drive("box 5000")
        check("a malformed server address is refused with 服务地址错误", box == TITLE + "\t服务地址错误", box)
        check("and not saved", conf_value(service_dir, "服务") == typed)
        check("the second window closes", drive("close") == "")
    finally:
        if window.poll() is None:
            drive("kill")
            window.kill()


def main():
    p = argparse.ArgumentParser()
    for name in ("exe", "drive", "termsim", "tds", "work", "shots", "vorlanxd"):
        p.add_argument("--" + name, required=True)
    a = p.parse_args()
    os.makedirs(a.shots, exist_ok=True)
    service_dir = fresh_service_dir(a.work)

    # The card holders of the personnel list, served by the stand-in through Wine's ODBC.
    cards = [20000000 + i for i in range(HOLDERS)]
    with open(os.path.join(a.work, "holders.csv"), "w", encoding="utf-8") as f:
        for i, card in enumerate(cards):
            f.write("P%03d,员工%d,食堂,%d,100000\n" % (i, i, card))
    holder_rows = "".join("P%03d|员工%d|食堂|%d\n" % (i, i, card) for i, card in enumerate(cards))
    tds, tds_port = start_tds(a.tds, a.work, 0)
    procs = [tds]
    window = drive = None
    restarted = False
    try:
        # conf.ini as the window's own save writes it: GBK.
        with open(os.path.join(service_dir, "conf.ini"), "w", encoding="gbk", newline="\r\n") as f:
            f.write("[sername]\ntype=1\n[mssql]\n服务=127.0.0.1,%d\n名称=canteen\n用户=sa\n密码=468\n" % tds_port)

        drive = Drive(a.drive)
        procs.append(drive.proc)
        start_errors(a, drive)

        # The server box shows 服务 as conf.ini holds it, host,port included, and the window
        # connects with it.
        window = subprocess.Popen(["wine", a.exe, "--dir", windows_path(service_dir)],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(window)
        drive("window 60")
        stored = "127.0.0.1,%d" % tds_port
        drive("tab 3")
        check("服务 %s from conf.ini is shown" % stored, drive("text %d" % SERVER_ADDRESS) == stored,
              drive("text %d" % SERVER_ADDRESS))

        # The time fields' key rules, on 编辑框早A ("05:00:01").
        drive("tab 1")
        f = BREAKFAST_START
        drive("select %d 0 2" % f)
        for c in "12":
            drive("char %d %d" % (f, ord(c)))
        check("typing 1, 2 into the hours gives 12", drive("text %d" % f) == "12:00:01", drive("text %d" % f))
        drive("char %d %d" % (f, ord("7")))
        check("typing 7 into hours 12 gives 07 (127 > 23)", drive("text %d" % f) == "07:00:01")
        drive("key %d %d" % (f, VK_RIGHT))
        drive("key %d %d" % (f, VK_RIGHT))
        check("Right twice selects the seconds", drive("selection %d" % f) == "6 2", drive("selection %d" % f))
        drive("key %d %d" % (f, VK_RIGHT))
        check("Right on the seconds wraps to the hours", drive("selection %d" % f) == "0 2")
        drive("key %d %d" % (f, VK_LEFT))
        check("Left on the hours keeps the hours", drive("selection %d" % f) == "0 2")
        drive("key %d %d" % (f, VK_DOWN))
        check("Down on hours 07 gives 06", drive("text %d" % f) == "06:00:01")
        drive("clickchar %d 4" % f)
        check("a click in the minutes selects them", drive("selection %d" % f) == "3 2", drive("selection %d" % f))
        drive("key %d %d" % (f, VK_DOWN))
        check("Down on minutes 00 gives 59", drive("text %d" % f) == "06:59:01")
        drive("updown %d 1" % f)
        check("the up button on minutes 59 gives 00", drive("text %d" % f) == "06:00:01", drive("text %d" % f))
        drive("char %d %d" % (f, ord("x")))
        drive("char %d %d" % (f, ord("x")))
        check("a letter types a 0", drive("text %d" % f) == "06:00:01" and drive("selection %d" % f) == "3 2")

        # The Windows service vorlanxd listens on a port; the window, second to try it, names it.
        held = free_udp_port()
        held_dir = os.path.join(a.work, "vorlanxd-service")
        os.makedirs(held_dir, exist_ok=True)

        def service(*arguments):
            return subprocess.run(["wine", a.vorlanxd, *arguments], stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, timeout=300).stdout.decode(errors="replace")
        service("--install-service", "--port", str(held), "--dir", windows_path(held_dir))
        try:
            started = service("--start-service")
            check("the service vorlanxd runs in the prefix", "service vorlanxd running" in started, started)
            drive("set %d %d" % (PORT_EDIT, held))
            drive("click %d" % LISTEN)
            box = drive("box 10000")
            check("开始监听 on the running service's port names the service", box == TITLE + "\t" + PORT_HELD_BY_SERVICE,
                  box)
            check("and leaves the window idle", drive("enabled %d" % LISTEN) == "1" and drive("enabled %d" % STOP) == "0")
        finally:
            service("--remove-service")

        # Listening, from the keyboard: Tab from the port box to 开始监听, Enter clicks it.
        port = free_udp_port()
        drive("set %d %d" % (PORT_EDIT, port))
        drive("focusclick %d" % PORT_EDIT)
        drive.until("focused", lambda f: f == str(PORT_EDIT), 10, "a click gives the port box the focus")
        drive("press %d" % VK_TAB)
        drive.until("focused", lambda f: f == str(LISTEN), 10, "Tab moves the focus to 开始监听")
        print("ok   Tab moves the focus from the port box to 开始监听")
        drive("press %d" % VK_RETURN)
        drive.until("enabled %d" % STOP, lambda e: e == "1", 10, "Enter on the focused 开始监听 clicks it")
        listening = drive("enabled %d" % STOP) == "1" and drive("enabled %d" % LISTEN) == "0"
        check("开始监听 starts listening", listening,
              "" if listening else "port %d, message box: %s" % (port, drive("box 2000")))
        sim = subprocess.Popen([a.termsim, "--service", "127.0.0.1:%d" % port, "--terminals", "5", "--mix",
                                "0:0:0", "--heartbeat", "1", "--duration", "300"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(sim)
        drive.until("count %d" % ONLINE, lambda n: n == "5", 30, "five terminals in the online list")
        print("ok   five terminals appear in the online list")

        drive("command %d" % ADD_DEVICES)
        check("添加设备 fills the terminal list", drive("count %d" % TERMINALS) == "5")
        check("添加设备 shows page 数据配置", drive("visible %d" % TERMINALS) == "1")
        # The simulator's terminal n sends from 127.0.0.(n+1) with machine number n; which is heard
        # first is up to its threads.
        first = (drive("text %d" % SEND_ADDRESS), drive("text %d" % SEND_MACHINE))
        check("添加设备 puts the first terminal in the send fields",
              first in [("127.0.0.%d" % (n + 1), str(n)) for n in range(1, 6)], repr(first))

        drive("tab 0")
        drive("click %d" % CLOCK_ALL)
        drive.until("text %d" % SUCCESS_COUNT, lambda n: n == "5", 30, "操作全部/设置时间 gives 标签_成功数 5")
        print("ok   操作全部/设置时间 gives 标签_成功数 5")

        drive("tab 2")
        drive("click %d" % READ_ALL)
        text = drive.until("text %d" % RESULTS, lambda t: t.count("白名单数：") == 5, 30, "读全白名单数")
        lines = [l for l in text.split("\r\n") if "白名单数：" in l]
        check("读全白名单数 shows each terminal's count",
              sorted(l.split("|")[0].split(":")[0] for l in lines) == ["127.0.0.%d" % i for i in range(2, 7)],
              repr(lines))

        # A white-list download to one terminal: the personnel rows from the stand-in, 50 a frame.
        drive.until("count %d" % PERSONNEL, lambda n: n == str(HOLDERS), 30, "the personnel list loads")
        recorder = Recorder()
        drive("set %d 127.0.0.1" % SEND_ADDRESS)
        drive("set %d %d" % (SEND_PORT, recorder.port))
        drive("set %d 7" % SEND_MACHINE)
        drive.idle()
        drive("click %d" % DOWNLOAD_ONE)
        expected = whitelist_frames(7, cards)
        deadline = time.monotonic() + 20
        while len(recorder.frames) < len(expected) and time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(0.5)
        got = recorder.take()
        check("传单台白名单 sends the frames of the personnel list", [d for _, d in got] == expected,
              " ".join(d.hex().upper() for _, d in got))
        gaps = [round(b[0] - a[0], 3) for a, b in zip(got, got[1:])]
        check("传单台白名单 pauses 230 ms between frames", all(g >= 0.225 for g in gaps), repr(gaps))

        # A period command sends to the send fields and saves conf.ini in GBK.
        drive("tab 1")
        time.sleep(0.5)
        drive("click %d" % BREAKFAST_CHECK)
        check("ticking 选择框_早时间 locks its fields",
              drive("enabled %d" % BREAKFAST_START) == "0" and drive("enabled %d" % BREAKFAST_END) == "0")
        check("and their up/down buttons",
              drive("arrows %d" % BREAKFAST_START) == "0" and drive("arrows %d" % BREAKFAST_END) == "0")
        drive.idle()
        drive("click %d" % PERIODS_ONE)
        deadline = time.monotonic() + 10
        while not recorder.frames and time.monotonic() < deadline:
            time.sleep(0.1)
        check("单设置消费时段 sends a frame", bool(recorder.take()))
        conf = b""
        deadline = time.monotonic() + 10
        while b"06:00:01" not in conf and time.monotonic() < deadline:
            time.sleep(0.2)
            conf = open(os.path.join(service_dir, "conf.ini"), "rb").read()
        check("the period command saves conf.ini in GBK",
              "[时段参数]".encode("gbk") in conf and b"06:00:01" in conf and "时段参数".encode() not in conf)

        # Refused input: a message box, nothing sent.
        drive.idle()
        drive("set %d 70000" % SEND_PORT)
        drive("click %d" % READ_ONE)
        box = drive("box 5000")
        time.sleep(0.5)
        check("a bad port in the send fields is refused with a message box",
              box.startswith(TITLE + "\t") and len(box) > len(TITLE) + 1, box)
        drive("set %d %d" % (SEND_PORT, recorder.port))
        drive("set %d 7x" % SEND_MACHINE)
        drive("click %d" % READ_ONE)
        box = drive("box 5000")
        time.sleep(0.5)
        check("a bad machine number in the send fields is refused with a message box",
              box.startswith(TITLE + "\t") and len(box) > len(TITLE) + 1, box)
        drive("set %d 7" % SEND_MACHINE)
        drive("set %d 127.0..1" % SEND_ADDRESS)
        drive("click %d" % READ_ONE)
        box = drive("box 5000")
        time.sleep(0.5)
        check("an address with a blank part is refused with the core's message",
              box == TITLE + "\t发送目标的IP地址不正确：127.0..1", box)
        check("nothing is sent for refused input", not recorder.take())
        drive("set %d 127.0.0.1" % SEND_ADDRESS)
        drive("set %d 7" % SEND_MACHINE)
        drive.idle()
        drive("click %d" % READ_ONE)
        deadline = time.monotonic() + 10
        while not recorder.frames and time.monotonic() < deadline:
            time.sleep(0.1)
        check("the same command with good fields sends", bool(recorder.take()))

        drive("command %d" % REMOVE_ALL)
        check("删除全部 empties the terminal list", drive("count %d" % TERMINALS) == "0")
        drive("tab 2")
        drive.idle()
        drive("click %d" % READ_ALL)
        check("an empty terminal list gives 请先添加设备", drive("box 5000") == TITLE + "\t请先添加设备")

        drive("command %d" % ADD_DEVICES)
        drive("rclick %d 60 150" % TERMINALS)
        check("a right click on the terminal list pops its menu up", drive("menu 5000") == "1")
        subprocess.run(["import", "-window", "root", os.path.join(a.shots, "menu-参数.png")], check=True)
        drive("menu close")
        drive("focusclick %d" % TERMINALS)
        drive.until("focused", lambda f: f == str(TERMINALS), 10, "a click gives the terminal list the focus")
        drive("press %d" % VK_APPS)
        check("the menu key on the terminal list pops its menu up", drive("menu 5000") == "1")
        drive("menu close")
        for page in range(4):
            drive("tab %d" % page)
            time.sleep(0.7)
            shot = os.path.join(a.shots, "page-%d.png" % page)
            subprocess.run(["import", "-window", "root", shot], check=True)
        print("ok   screenshots of the four pages in " + a.shots)

        # The database goes away and the operator refreshes the personnel list: the refresh fails,
        # and the window goes on showing the rows in force, the ones a download sends.
        sim.kill()
        sim.wait()
        check("the personnel list shows the holders", drive("rows %d" % PERSONNEL) == holder_rows)
        tds.kill()
        tds.wait()
        drive("tab 2")
        drive("command %d" % REFRESH_PERSONNEL)
        drive.until("panel %d" % OPERATION_PANEL, lambda t: t == "人事档案读取失败，名单保持不变", 60,
                    "a refresh without the database fails")
        shown = drive("rows %d" % PERSONNEL)
        check("a failed refresh leaves the rows in force on show", shown == holder_rows, shown[:200])
        check("a failed refresh leaves 白名单数 at the rows in force", drive("text %d" % WHITELIST_COUNT) == "60")
        drive("set %d 127.0.0.1" % SEND_ADDRESS)
        drive("set %d %d" % (SEND_PORT, recorder.port))
        drive("set %d 7" % SEND_MACHINE)
        drive.idle()
        recorder.take()
        drive("click %d" % DOWNLOAD_ONE)
        deadline = time.monotonic() + 20
        while len(recorder.frames) < len(expected) and time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(0.5)
        check("the download after the failed refresh sends the rows on show",
              [d for _, d in recorder.take()] == expected)

        # The database is back and the operator saves its settings while listening: the outcome's
        # box opens, and while it waits for OK a datagram's entry still reaches the log.
        tds, _ = start_tds(a.tds, a.work, tds_port)
        procs.append(tds)
        drive("tab 3")
        check("the window still listens", drive("enabled %d" % STOP) == "1")
        drive("click %d" % SAVE_DATABASE)
        box = drive("box 30000 open")
        check("保存 with the database back shows A连接成功", box == TITLE + "\tA连接成功", box)
        knock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        knock.bind(("127.0.0.1", 0))
        knock_from = "%d" % knock.getsockname()[1]
        knock.sendto(b"\x55", ("127.0.0.1", port))
        knock.close()
        drive.until("text %d" % LOG, lambda t: knock_from in t, 30, "a datagram's entry while A连接成功 is open")
        print("ok   a datagram's entry reaches the log while A连接成功 is open")
        drive("box 1000")
        # After OK the window restarts with the saved settings.
        restarted = True
        window.wait(60)
        drive("window 60")
        port = free_udp_port()
        drive("set %d %d" % (PORT_EDIT, port))
        drive("click %d" % LISTEN)
        check("the restarted window listens", drive("enabled %d" % STOP) == "1")
        check("服务 %s survives the save untouched" % stored, conf_value(service_dir, "服务") == stored,
              repr(conf_value(service_dir, "服务")))
        check("and is shown again after the restart", drive("text %d" % SERVER_ADDRESS) == stored)

        check("the window closes while listening and its process ends", drive("close") == "")
        restarted = False
        server_text_group(a, drive, service_dir)
    finally:
        end_all(procs, drive, restarted or (window is not None and window.poll() is None))
    return 0


if __name__ == "__main__":
    sys.exit(main())
