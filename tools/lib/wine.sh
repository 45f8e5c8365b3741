# wine.sh - the one way this project gets a display and a Wine prefix.
# Sourced by tools/wine-env (which the tests call), tools/demo and
# tools/benchmark.  Plain POSIX sh; every function says what went wrong on
# standard error and returns non-zero.

# Debian's wine (and wineboot, winepath, ..., which call it) starts the
# 32-bit loader whenever wine32 is installed, and so fails outright on a
# machine whose kernel runs no 32-bit program.  There every Wine command is
# sent to the 64-bit loader, which runs 64-bit prefixes, through two small
# commands put in front on PATH (made once per user in /tmp).
if [ -x /usr/lib/wine/wine64 ] && [ -x /usr/lib/wine/wine ] &&
   ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    _shims="/tmp/wine64-only.$(id -u)"
    if [ ! -x "$_shims/wine-stable" ]; then
        # Written beside and renamed: test runs in parallel may get here at once.
        mkdir -p "$_shims" &&
        printf '%s\n' '#!/bin/sh' '# wine on a machine without 32-bit programs: the 64-bit loader' \
            'WINELOADER=/usr/lib/wine/wine64 WINEDEBUG="${WINEDEBUG:-fixme-all}" exec /usr/lib/wine/wine64 "$@"' \
            > "$_shims/.wine.$$" && chmod 755 "$_shims/.wine.$$" &&
        cp -p "$_shims/.wine.$$" "$_shims/.wine-stable.$$" &&
        mv -f "$_shims/.wine.$$" "$_shims/wine" && mv -f "$_shims/.wine-stable.$$" "$_shims/wine-stable"
    fi
    case ":$PATH:" in
    *":$_shims:"*) ;;
    *) PATH="$_shims:$PATH"; export PATH ;;
    esac
fi

# display_start MODE: a private X screen, 1024x768x24, as DISPLAY.
#   MODE wm    with the openbox window manager, as a user's desktop has one
#   MODE bare  Xvfb alone: Wine then waits up to 2 s for a window manager
#              whenever a managed window is destroyed
# display_stop ends what display_start started.

# await WHAT PID CONDITION...: waits up to 10 s until CONDITION holds, as
# long as process PID (WHAT) lives.
await() {
    _what=$1 _pid=$2 _i=0
    shift 2
    until "$@" >/dev/null 2>&1; do
        _i=$((_i + 1))
        if [ $_i -gt 100 ] || ! kill -0 "$_pid" 2>/dev/null; then
            printf '%s\n' "display_start: $_what did not start on $DISPLAY" >&2
            return 1
        fi
        sleep 0.1
    done
}

display_start() {
    _mode="$1"
    _n=90
    while [ -e "/tmp/.X11-unix/X$_n" ] || [ -e "/tmp/.X$_n-lock" ]; do
        _n=$((_n + 1))
        [ $_n -lt 200 ] || { printf '%s\n' "display_start: no free display number" >&2; return 1; }
    done
    Xvfb ":$_n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    display_xvfb=$!
    DISPLAY=":$_n"
    export DISPLAY
    await Xvfb "$display_xvfb" xdotool getdisplaygeometry || return 1
    display_wm=""
    if [ "$_mode" = wm ]; then
        _ready=$(mktemp -u "/tmp/openbox-ready.XXXXXX")
        openbox --startup "touch $_ready" >/dev/null 2>&1 &
        display_wm=$!
        await openbox "$display_wm" test -e "$_ready" || return 1
        rm -f "$_ready"
    fi
}

# window_wait PATTERN SECONDS [OPTION...]: the id of the first window whose
# name matches PATTERN (xdotool's --name; OPTIONs such as --onlyvisible go
# to its search), looking again every 0.1 s until one is found or SECONDS
# have passed.  xdotool's own --sync is not enough: a search reads every
# window's name, and one that vanishes meanwhile (a splash destroyed just
# as a box appears) ends it with an error.  Nothing and 1 at the deadline.
window_wait() {
    _pattern=$1 _deadline=$(($(date +%s) + $2))
    shift 2
    while :; do
        _id=$(xdotool search "$@" --limit 1 --name "$_pattern" 2>/dev/null | head -n 1)
        if [ -n "$_id" ]; then
            printf '%s\n' "$_id"
            return 0
        fi
        [ "$(date +%s)" -lt "$_deadline" ] || return 1
        sleep 0.1
    done
}

display_stop() {
    [ -n "$display_wm" ] && kill "$display_wm" 2>/dev/null
    [ -n "$display_xvfb" ] && kill "$display_xvfb" 2>/dev/null
    [ -n "$display_xvfb" ] && wait "$display_xvfb" 2>/dev/null
    display_wm="" display_xvfb=""
    return 0
}

# prefix_clear DIR: ends the Wine server of prefix DIR and removes it;
# _dir is then its absolute path (Wine takes only an absolute prefix path).
prefix_clear() {
    mkdir -p "$1" && _dir=$(cd "$1" && pwd) || return 1
    WINEPREFIX="$_dir" wineserver -k 2>/dev/null || true
    rm -rf "$_dir"
}

# prefix_template DIR ARCH: boots a fresh prefix (ARCH win32 or win64), the
# template that prefix_make copies.  No Mono or Gecko: nothing here needs
# them, and their installers would ask.
prefix_template() {
    prefix_clear "$1" && mkdir -p "$_dir" || return 1
    if ! WINEPREFIX="$_dir" WINEARCH="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            wineboot -i >/dev/null 2>&1; then
        printf '%s\n' "prefix_template: wineboot failed for a $2 prefix in $_dir" >&2
        return 1
    fi
    WINEPREFIX="$_dir" wineserver -w
}

# prefix_make DIR VERSION TEMPLATE: a throw-away prefix in DIR, copied from
# TEMPLATE, with Wine's Windows version set to VERSION (win95, win98, winme,
# nt40, win2k, winxp, win7, win10, ...).
prefix_make() {
    prefix_clear "$1" && cp -a "$3" "$_dir" || return 1
    prefix_version "$_dir" "$2"
}

# prefix_version DIR VERSION: sets Wine's Windows version of prefix DIR.
# win98fe is the first Windows 98 (4.10 build 1998), which Wine has no
# setting for: no Version setting and no NT version, and the version number
# of the 95/98 family's registry.
prefix_version() {
    _dir=$(cd "$1" && pwd) || return 1 # Wine takes only an absolute prefix path
    if [ "$2" = win98fe ]; then
        # (a value that is not there is no failure)
        WINEPREFIX="$_dir" WINEDEBUG=-all wine reg delete 'HKCU\Software\Wine' /v Version /f \
            >/dev/null 2>&1 || :
        WINEPREFIX="$_dir" WINEDEBUG=-all wine reg delete \
            'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion /f >/dev/null 2>&1 || :
        _set="reg add HKLM\Software\Microsoft\Windows\CurrentVersion /v VersionNumber /d 4.10.1998 /f"
    else
        _set="reg add HKCU\Software\Wine /v Version /d $2 /f"
    fi
    # shellcheck disable=SC2086 # the words of the command above
    if ! WINEPREFIX="$_dir" WINEDEBUG=-all wine $_set >/dev/null 2>&1; then
        printf '%s\n' "prefix_version: could not set version $2 in $_dir" >&2
        return 1
    fi
    WINEPREFIX="$_dir" wineserver -w
}

# drive_map PREFIX LETTER TARGET [TYPE]: drive LETTER (a single letter) of
# the prefix is the folder TARGET; TYPE is Wine's drive type (cdrom, hd,
# network, floppy), unset for Wine's own guess.
drive_map() {
    _prefix=$(cd "$1" && pwd) || return 1
    _letter=$(printf '%s' "$2" | tr 'A-Z' 'a-z')
    ln -sfn "$3" "$1/dosdevices/$_letter:" || return 1
    [ -n "$4" ] || return 0
    # /reg:64: in a 64-bit prefix the 32-bit reg.exe would write into the
    # 32-bit view of HKLM, which Wine's mount manager does not read.
    WINEPREFIX="$_prefix" WINEDEBUG=-all wine reg add 'HKLM\Software\Wine\Drives' /v "$_letter:" \
        /d "$4" /f /reg:64 >/dev/null 2>&1 || { printf '%s\n' "drive_map: could not set the type of $_letter:" >&2; return 1; }
    WINEPREFIX="$_prefix" wineserver -w
}
