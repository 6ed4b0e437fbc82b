# Sourced by scripts/test-windows and scripts/guide-screenshots: the private Wine prefix of the
# Windows build and a virtual display for the Win32 window. Not a program of its own.

# wine_prefix_start BUILD: the prefix BUILD/wineprefix, one wineserver kept alive until the
# caller's `wineserver -k` (a Wine start costs about 2 s without it and 0.1 s with it), and no Wine
# chatter in the output.
wine_prefix_start() {
    export WINEPREFIX=$1/wineprefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== windows: Wine prefix"
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # A server left behind by an interrupted run would keep the prefix in a state we did not make.
    wineserver -k 2>/dev/null || true
    wineserver -p
    # The first Wine program of a server starts Wine's own services, which stay for the server's
    # life with the program's output files: started by a test, they would hold ctest's pipes open
    # and ctest would wait for them until the time-out. They start here, on /dev/null.
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

# wine_display_start BUILD: the window's Chinese UI faces, as a Chinese Windows has them, are the
# CJK font of a Debian package in this prefix; a display of its own, SIZE or 1024x768, whose number
# Xvfb picks and writes to BUILD/xvfb-display. Exports DISPLAY and sets xvfb_pid for the caller to
# kill. The Wine server starts again on that display.
wine_display_start() {
    local size=${2:-1024x768}
    local face
    for face in "Microsoft YaHei UI" "Microsoft YaHei" SimSun NSimSun SimHei; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f \
            </dev/null >/dev/null 2>&1
    done
    : >"$1/xvfb-display"
    Xvfb -displayfd 3 -screen 0 ${size}x24 -nolisten tcp 3>"$1/xvfb-display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$1/xvfb-display" ] && break
        sleep 0.1
    done
    [ -s "$1/xvfb-display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$(head -n1 "$1/xvfb-display")
    # Wine's desktop process, started with the server's first program, keeps the display it found
    # then, none here: the server starts again, and its desktop with it, on this display.
    wineserver -k 2>/dev/null || true
    wineserver -w
    wineserver -p
    wine cmd /c exit </dev/null >/dev/null 2>&1
}
