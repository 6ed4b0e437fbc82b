#!/usr/bin/env python3
"""The pictures of the operator's guide (docs/操作手册.md): the Win32 window under Wine and Xvfb,
driven by control ID through vorlanx-drive.exe as window_checks.py drives it, in the states the
guide describes. The built-in database holds a few card holders, vorlanx-termsim terminals on
Linux pay and answer over 127.0.0.1, and each picture is taken once its state has been reached.

    guide_screenshots.py --exe vorlanx.exe --drive vorlanx-drive.exe --termsim vorlanx-termsim
                         --db vorlanx-db --work DIR --out DIR [--dpi N]

Writes the PNG files named in PICTURES into --out. Exits non-zero, naming the step, when a state
is not reached. The Wine prefix, WINEDEBUG and DISPLAY are the caller's.
"""

import argparse
import ctypes
import ctypes.util
import os
import re
import socket
import subprocess
import sys
import time

# The driving machinery is the window checks' own; importing it leaves no bytecode in the tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from window_checks import Drive, check, end_all, fail, free_udp_port, fresh_service_dir, windows_path  # noqa: E402

# Control IDs of ui/Controls.h.
ONLINE, LISTEN_PORT, LISTEN, STOP = 1001, 1011, 1012, 1013
SUCCESS_COUNT = 1017
RESULTS, LOG = 1041, 1051
CLOCK_ALL = 1103
BREAKFAST_CHECK, LUNCH_CHECK, DINNER_CHECK = 1210, 1220, 1230
PERIODS_ALL = 1251
PERSONNEL, READ_ALL, DOWNLOAD_ALL = 1304, 1311, 1315
TERMINALS, SERVER, DATABASE_NAME, USER, PASSWORD, SQL_SERVER = 1401, 1412, 1414, 1416, 1418, 1419
SAVE_DATABASE = 1421
ADD_DEVICES = 2011
STATUS_PANEL, OPERATION_PANEL = 5, 7
TITLE = "VorlanxV7_20200508"

# The picture files, in the order they are taken, and what each shows (README and the guide).
PICTURES = {
    "listening.png": "listening (on 3000 where free), four terminals heard, their frames in the log",
    "online-menu.png": "the menu 设备 of the online terminal list: 添加设备",
    "terminal-list.png": "数据配置 after 添加设备: the terminal list, the built-in database",
    "clock.png": "基础参数 after 操作全部/设置时间: every terminal's |设置成功",
    "periods.png": "时段设置 after 批量设置 of three ticked periods",
    "whitelist.png": "黑白名单 after 传全部白名单 and 读全白名单数, the personnel list",
    "sql-server.png": "数据配置 with MSSQL库 and a SQL Server Express address",
    "connect-failed.png": "保存数据配置 with a server that does not answer: A连接失败",
}

# Card holders of the built-in database, as a canteen office imports them: personnel number,
# name, department, card number, balance in fen.
HOLDERS = [
    ("P0001", "张伟", "食堂部", 12345678, 35000),
    ("P0002", "王芳", "财务部", 12345679, 18050),
    ("P0003", "李娜", "后勤部", 12345680, 42000),
    ("P0004", "刘强", "行政部", 12345681, 9000),
    ("P0005", "陈静", "研发部", 12345682, 26500),
    ("P0006", "杨磊", "研发部", 12345683, 31000),
    ("P0007", "赵敏", "后勤部", 12345684, 12000),
    ("P0008", "黄丽", "食堂部", 12345685, 50000),
    ("P0009", "周军", "行政部", 12345686, 7800),
    ("P0010", "吴磊", "财务部", 12345687, 23000),
    ("P0011", "孙悦", "研发部", 12345688, 15500),
    ("P0012", "郑洁", "食堂部", 12345689, 40000),
]
TERMINAL_COUNT = 4


class Screen:
    """Pictures of the main window: the display cut to the window, so that pop-up menus and
    message boxes over it are in the picture too."""

    def __init__(self, out):
        self.out = out
        self.box = None

    def find_window(self):
        tree = subprocess.run(["xwininfo", "-root", "-tree"], stdout=subprocess.PIPE, text=True,
                              errors="replace", check=True).stdout
        # 0x600003 "VorlanxV7_20200508": ("vorlanx.exe" "Vorlanx.exe")  798x465+3+22  +53+72
        # The window's client area; its frame is the window manager's, and there is none.
        for m in re.finditer(r'"%s":.*?(\d+)x(\d+)[+-]\d+[+-]\d+\s+\+(-?\d+)\+(-?\d+)' % TITLE, tree):
            w, h, x, y = (int(v) for v in m.groups())
            if w > 200 and h > 200:
                self.box = (w, h, x, y)
                return
        fail("no X window titled %s" % TITLE)

    def point_at(self, x, y):
        """Moves the display's pointer to x, y of the window: the window pops a list's menu up
        where the pointer is, as Windows does."""
        if self.box is None:
            self.find_window()
        x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XWarpPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
            [ctypes.c_uint] * 2 + [ctypes.c_int] * 2
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        display = x11.XOpenDisplay(None)
        if not display:
            fail("cannot open the display to move the pointer")
        _, _, left, top = self.box
        x11.XWarpPointer(display, 0, x11.XDefaultRootWindow(display), 0, 0, 0, 0, left + x, top + y)
        x11.XSync(display, 0)
        x11.XCloseDisplay(display)

    def shoot(self, name):
        if name not in PICTURES:
            fail("picture %s is not in PICTURES" % name)
        if self.box is None:
            self.find_window()
        w, h, x, y = self.box
        path = os.path.join(self.out, name)
        # -strip drops the time stamps of the PNG, so that a picture that did not change is the same file.
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", "-strip",
                        path], check=True)
        print("picture %s: %s" % (name, PICTURES[name]))


def port_for_listening():
    # The port terminals are set to out of the box, when this machine has it free.
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind(("0.0.0.0", 3000))
        return 3000
    except OSError:
        return free_udp_port()
    finally:
        s.close()


def log_shown(drive, lines=9):
    # The log is emptied past 20 lines: a picture waits until it shows a few entries.
    drive.until("text %d" % LOG, lambda t: t.count("\r\n") >= lines, 60, "the log shows %d lines" % lines)


def main():
    p = argparse.ArgumentParser()
    for name in ("exe", "drive", "termsim", "db", "work", "out"):
        p.add_argument("--" + name, required=True)
    p.add_argument("--dpi", type=int, default=96, help="the prefix's dots per inch, which scale the window")
    a = p.parse_args()
    scale = a.dpi / 96
    os.makedirs(a.out, exist_ok=True)
    # A picture left from an earlier run must not pass for one of this run.
    for name in PICTURES:
        if os.path.exists(os.path.join(a.out, name)):
            os.remove(os.path.join(a.out, name))
    service_dir = fresh_service_dir(a.work)

    # The data folder as setup leaves it (its first conf.ini, GBK), with the holders imported.
    with open(os.path.join(service_dir, "conf.ini"), "w", encoding="gbk", newline="\r\n") as f:
        f.write("[sername]\ntype=2\n[mssql]\n服务=127.0.0.1\n名称=canteen\n用户=sa\n密码=468\n")
    holders = os.path.join(a.work, "holders.csv")
    with open(holders, "w", encoding="utf-8") as f:
        f.writelines("%s,%s,%s,%d,%d\n" % h for h in HOLDERS)
    subprocess.run([a.db, os.path.join(service_dir, "canteen.db"), "import", holders], check=True,
                   stdout=subprocess.DEVNULL)

    screen = Screen(a.out)
    procs = []
    window = drive = None
    try:
        window = subprocess.Popen(["wine", a.exe, "--dir", windows_path(service_dir)],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(window)
        drive = Drive(a.drive)
        procs.append(drive.proc)
        drive("window 60")
        drive.until("panel %d" % STATUS_PANEL, lambda t: t == "A连接成功", 60, "the built-in database connects")
        drive.until("count %d" % PERSONNEL, lambda n: n == str(len(HOLDERS)), 60, "the personnel list loads")

        # Listening, with terminals that pay now and then and send their keep-alives.
        port = port_for_listening()
        drive("set %d %d" % (LISTEN_PORT, port))
        drive("click %d" % LISTEN)
        listening = drive("enabled %d" % STOP) == "1"
        check("开始监听 starts listening", listening, "" if listening else "port %d: %s" % (port, drive("box 2000")))
        sim = subprocess.Popen([a.termsim, "--service", "127.0.0.1:%d" % port, "--terminals", str(TERMINAL_COUNT),
                                "--mix", "1:2:0", "--rate", "0.7", "--cards", holders, "--amount", "300-1500",
                                "--heartbeat", "4", "--duration", "600"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(sim)
        drive.until("count %d" % ONLINE, lambda n: n == str(TERMINAL_COUNT), 60, "the terminals are heard")
        log_shown(drive, 15)
        screen.shoot("listening.png")

        # The menu of the online list, popped up on its first row.
        log_shown(drive)
        screen.point_at(round(45 * scale), round(36 * scale))
        time.sleep(0.3)
        drive("rclick %d %d %d" % (ONLINE, round(40 * scale), round(32 * scale)))
        check("a right click on the online list pops its menu up", drive("menu 5000") == "1")
        time.sleep(0.3)
        screen.shoot("online-menu.png")
        drive("menu close")
        drive("command %d" % ADD_DEVICES)
        check("添加设备 fills the terminal list", drive("count %d" % TERMINALS) == str(TERMINAL_COUNT))
        time.sleep(0.5)
        log_shown(drive)
        screen.shoot("terminal-list.png")

        # 基础参数: the clocks of all terminals set to this PC's time.
        drive("tab 0")
        drive("click %d" % CLOCK_ALL)
        drive.until("text %d" % SUCCESS_COUNT, lambda n: n == str(TERMINAL_COUNT), 30, "设置时间 answered")
        drive.idle()
        log_shown(drive)
        screen.shoot("clock.png")

        # 时段设置: breakfast, lunch and dinner ticked (their fields locked) and sent to every terminal.
        drive("tab 1")
        for box in (BREAKFAST_CHECK, LUNCH_CHECK, DINNER_CHECK):
            drive("click %d" % box)
        drive("click %d" % PERIODS_ALL)
        drive.until("text %d" % SUCCESS_COUNT, lambda n: n == str(3 * TERMINAL_COUNT), 30, "设置消费时段 answered")
        drive.idle()
        log_shown(drive)
        screen.shoot("periods.png")

        # 黑白名单: the personnel list downloaded to every terminal, then each terminal's count.
        drive("tab 2")
        drive("click %d" % DOWNLOAD_ALL)
        drive.until("panel %d" % OPERATION_PANEL, lambda t: t == "设备已下载完成", 60, "传全部白名单 ends")
        drive.idle()
        drive("click %d" % READ_ALL)
        drive.until("text %d" % RESULTS, lambda t: t.count("|白名单数：%d" % len(HOLDERS)) == TERMINAL_COUNT, 30,
                    "读全白名单数 shows the downloaded count")
        drive.idle()
        log_shown(drive)
        screen.shoot("whitelist.png")

        # 数据配置: the settings of a SQL Server Express, typed in and not saved.
        drive("tab 3")
        drive("click %d" % SQL_SERVER)
        wanted = "192.168.10.5\\SQLEXPRESS"
        drive("set %d %s" % (SERVER, wanted))
        drive("set %d canteen" % DATABASE_NAME)
        drive("set %d canteen_pos" % USER)
        drive("set %d Canteen-2026" % PASSWORD)
        shown = drive("text %d" % SERVER)
        if shown != wanted:
            print("NOTE: the server box of this build shows %r for %r" % (shown, wanted))
        time.sleep(0.5)
        log_shown(drive)
        screen.shoot("sql-server.png")

        # The same save with nothing answering (FreeTDS tries port 1433 of this machine): the box
        # the operator then sees. Nothing is written to conf.ini.
        drive("set %d 127.0.0.1" % SERVER)
        drive("click %d" % SAVE_DATABASE)
        box = drive("box 90000 open")
        check("保存数据配置 without a server shows A连接失败", box == "信息：\tA连接失败", box)
        time.sleep(0.3)
        screen.shoot("connect-failed.png")
        drive("box 1000")

        check("the window closes", drive("close") == "")
    finally:
        end_all(procs, drive, window is not None and window.poll() is None)
    missing = [name for name in PICTURES if not os.path.exists(os.path.join(a.out, name))]
    if missing:
        fail("pictures not made: " + ", ".join(missing))
    return 0


if __name__ == "__main__":
    sys.exit(main())
