# Wine environment of the project; sourced by the scripts. WINEPREFIX must be set by the caller.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The ANSI code page of the home platform (932) comes from this locale; it is given to Wine only,
# since the Linux side may not have the locale installed.
WINE_LOCALE=ja_JP.UTF-8

wine_server() {
    if [ -x /usr/lib/wine/wineserver64 ]; then /usr/lib/wine/wineserver64 "$@"; else wineserver "$@"; fi
}

# Creates the prefix once; later calls return at once. Safe to call from parallel test runs.
wine_prepare_prefix() {
    [ -f "$WINEPREFIX/.vela-ready" ] && return 0
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.vela-ready" ]; then
            env LC_ALL=$WINE_LOCALE wineboot -i >/dev/null 2>&1 || true
            wine_set_managed N
            wine_server -w
            touch "$WINEPREFIX/.vela-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Whether a window manager manages Wine's windows. Without one (Xvfb) managed windows make every
# DestroyWindow and the first messages of a dialog wait two seconds for a state change that never
# comes; tests therefore run unmanaged. A desktop run sets it back to managed.
wine_set_managed() {
    env LC_ALL=$WINE_LOCALE wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1 || true
    if [ "$1" = N ]; then touch "$WINEPREFIX/.vela-unmanaged"; else rm -f "$WINEPREFIX/.vela-unmanaged"; fi
}

wine_ensure_unmanaged() {
    [ -f "$WINEPREFIX/.vela-unmanaged" ] || wine_set_managed N
}

# Starts Wine's background services (desktop, plugplay, rpcss...) detached from our output: started by
# a test program instead, they would inherit its output pipe and keep CTest waiting for its end.
wine_start_services() {
    [ "${VELA_WINE_SERVICES:-}" = "$WINEPREFIX" ] && return 0
    env LC_ALL=$WINE_LOCALE wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    export VELA_WINE_SERVICES="$WINEPREFIX"
}

# Starts an Xvfb on a free display and exports DISPLAY; XVFB_PID holds its process.
start_xvfb() {
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp 4>"$display_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$display_file")"
    rm -f "$display_file"
}
