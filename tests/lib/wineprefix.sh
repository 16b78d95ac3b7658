#!/usr/bin/env bash
# Private Wine prefixes for the Windows test levels and the demo.
#
# One template prefix per build folder and Windows architecture is made once
# (wineboot, then the settings every run needs) and reused; each test run or scenario works in a
# fresh copy of it with its own wineserver, so runs never see each other's
# files, registry or windows. Nothing here touches ~/.wine.
#
# The architecture is that of the build under test: i686 runs in a win32
# prefix with Wine's 32-bit loader, x86-64 in a win64 prefix with its 64-bit
# loader. Each loader is called by its own name: Debian's `wine` command
# picks the 32-bit one whenever it is installed, whether or not the machine
# can run it. WP_ARCH (i686 or x86-64) names it; unset, it is what
# scripts/winarch chooses for the machine.
#
# As a command:
#   wineprefix.sh arch WIN_BUILD            print the architecture of a Windows build
#   wineprefix.sh template BUILD_DIR        make (if needed) and print the template
#   wineprefix.sh fresh BUILD_DIR DEST      make DEST a fresh copy, print its path
#   wineprefix.sh headless PREFIX           give a fresh copy Wine's null display driver
#   wineprefix.sh kill PREFIX               end the prefix's wineserver and programs
#   wineprefix.sh remove PREFIX             kill, then delete the copy
# Sourced, it offers the same as functions wp_build_arch, wp_env, wp_template,
# wp_fresh, wp_headless, wp_kill, wp_remove; after wp_env, "$WINELOADER" and
# "$WINESERVER" are the loader and server to run.
#
# A copy shares the big, read-only system DLL folders with the template
# through hard links (a copy costs milliseconds instead of half a gigabyte);
# the registry and every other file are real copies. Programs under test
# never write into C:\windows\system32.

_WP_LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The architecture of the setup program in a Windows build folder, from the
# machine field of its program header.
wp_build_arch() {
    local exe="$1/src/setup.exe" machine
    machine=$(python3 -c 'import struct,sys
d=open(sys.argv[1],"rb").read(4096)
pe=struct.unpack_from("<I",d,0x3C)[0]
print("%04x" % struct.unpack_from("<H",d,pe+4)[0])' "$exe" 2>/dev/null) || { _wp_die "cannot read $exe (build first)"; return 1; }
    case "$machine" in
        014c) echo i686 ;;
        8664) echo x86-64 ;;
        *) _wp_die "$exe: unknown machine $machine"; return 1 ;;
    esac
}

# Settings every Wine process of the tests runs with, for the architecture
# given (default: WP_ARCH, else the machine's choice).
wp_env() {
    local arch=${1:-${WP_ARCH:-}}
    [ -n "$arch" ] || arch=$("$_WP_LIB/../../scripts/winarch") || return 1
    export WP_ARCH=$arch
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
    case "$arch" in
        i686)
            export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver ;;
        x86-64)
            export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 ;;
        *) _wp_die "unknown architecture '$arch' (i686 or x86-64)"; return 1 ;;
    esac
    [ -x "$WINELOADER" ] || { _wp_die "$WINELOADER is missing (run scripts/bootstrap)"; return 1; }
}

_wp_die() {
    echo "wineprefix: $*" >&2
    return 1
}

# What the template was made with; a different Wine remakes it.
_wp_stamp() {
    echo "wine=$("$WINELOADER" --version 2>/dev/null) arch=$WINEARCH layout=5"
}

# Runs a Wine tool in the given prefix without a display, bounded in time.
_wp_wine() {
    local prefix=$1
    shift
    WINEPREFIX="$prefix" DISPLAY= timeout 300 "$@" </dev/null
}

# The folder of the prefix's wineserver socket, when this Wine records it
# in the prefix (a name like wine-XXXXXX under the temporary folder).
_wp_server_dir() {
    local name
    name=$(cat "$1/wineserver" 2>/dev/null) || return 1
    [[ "$name" =~ ^wine-[A-Za-z0-9]{6}$ ]] || return 1
    echo "${TMPDIR:-/tmp}/$name"
}

_wp_make_template() {
    local tmp=$1
    rm -rf "$tmp"
    mkdir -p "$tmp" || return 1
    echo "wineprefix: creating the template Wine prefix (once per build folder)..." >&2
    _wp_wine "$tmp" "$WINELOADER" wineboot.exe -i >"$tmp.log" 2>&1 || { cat "$tmp.log" >&2; _wp_die "wineboot failed"; return 1; }
    # No window manager under Xvfb: Wine places and draws its windows itself.
    _wp_wine "$tmp" "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$tmp.log" 2>&1 &&
    # A crashing program must not wait for a person to close a crash dialog.
    _wp_wine "$tmp" "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$tmp.log" 2>&1 ||
        { cat "$tmp.log" >&2; _wp_die "setting the template's registry failed"; return 1; }
    # The font of the caption buttons (minimize, maximize, close): without
    # it Wine draws their glyph letters in some other font.
    local marlett
    for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
        [ -f "$marlett" ] || continue
        cp "$marlett" "$tmp/drive_c/windows/Fonts/marlett.ttf" &&
        _wp_wine "$tmp" "$WINELOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' \
            /v 'Marlett (TrueType)' /d marlett.ttf /f >>"$tmp.log" 2>&1 || { cat "$tmp.log" >&2; return 1; }
        break
    done
    WINEPREFIX="$tmp" timeout 120 "$WINESERVER" -w
    # Nothing runs in the template again: its socket folder can go.
    local sdir
    sdir=$(_wp_server_dir "$tmp") && rm -rf "$sdir"
    rm -f "$tmp/wineserver"
    [ -f "$tmp/system.reg" ] && [ -d "$tmp/drive_c/windows/system32" ] || { _wp_die "template is incomplete"; return 1; }
    rm -f "$tmp.log"
}

# Prints the template prefix of BUILD_DIR for the architecture of wp_env,
# making it first when it is missing or was made by another Wine. Safe when
# several runs start at once.
wp_template() {
    local build=$1
    [ -n "$build" ] || { _wp_die "wp_template BUILD_DIR"; return 1; }
    wp_env || return 1
    mkdir -p "$build" || return 1
    build=$(cd "$build" && pwd)
    local tpl="$build/wineprefix-template-$WP_ARCH"
    (
        flock -w 600 9 || { _wp_die "timed out waiting for the template lock"; exit 1; }
        if [ "$(cat "$tpl/.template-stamp" 2>/dev/null)" != "$(_wp_stamp)" ]; then
            rm -rf "$tpl"
            _wp_make_template "$tpl.new" || exit 1
            _wp_stamp >"$tpl.new/.template-stamp"
            mv "$tpl.new" "$tpl"
        fi
    ) 9>"$tpl.lock" || return 1
    echo "$tpl"
}

# Makes DEST a fresh copy of BUILD_DIR's template and prints its path.
wp_fresh() {
    local build=$1 dest=$2
    [ -n "$build" ] && [ -n "$dest" ] || { _wp_die "wp_fresh BUILD_DIR DEST"; return 1; }
    local tpl
    tpl=$(wp_template "$build") || return 1
    wp_remove "$dest" || return 1
    mkdir -p "$(dirname "$dest")" || return 1
    dest="$(cd "$(dirname "$dest")" && pwd)/$(basename "$dest")"
    if cp -al "$tpl" "$dest" 2>/dev/null; then
        # Unshare everything but the system DLL folders.
        (cd "$tpl" && find . -type f \
            ! -path './drive_c/windows/system32/*' \
            ! -path './drive_c/windows/syswow64/*' \
            ! -path './drive_c/windows/winsxs/*' -print0 |
            xargs -0 -r cp -a --parents --remove-destination -t "$dest") || return 1
    else
        # Another file system than the template's: a full copy.
        rm -rf "$dest"
        cp -a "$tpl" "$dest" || return 1
    fi
    # The copy's wineserver gets its own socket folder, not the template's.
    rm -f "$dest/.template-stamp" "$dest/wineserver"
    (cd "$dest" && pwd)
}

# Makes a fresh copy (no wineserver started in it yet) use Wine's null
# display driver: windows, messages and drawing work without any X server,
# and nothing is shown. For tests that need no screen.
wp_headless() {
    local prefix=$1
    [ -f "$prefix/user.reg" ] || { _wp_die "wp_headless: $prefix is no prefix"; return 1; }
    printf '\n[Software\\\\Wine\\\\Drivers]\n"Graphics"="null"\n' >>"$prefix/user.reg"
}

# Ends the prefix's wineserver and every program still running in it.
wp_kill() {
    local prefix=$1
    [ -d "$prefix/drive_c" ] || return 0
    wp_env || return 1
    WINEPREFIX="$prefix" timeout 30 "$WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX="$prefix" timeout 30 "$WINESERVER" -w >/dev/null 2>&1
    return 0
}

# Kills the prefix's programs and deletes the copy with its socket folder.
wp_remove() {
    local prefix=$1
    [ -n "$prefix" ] || return 0
    if [ -e "$prefix" ]; then
        [ -f "$prefix/system.reg" ] || [ -d "$prefix/drive_c" ] || { _wp_die "refusing to delete $prefix: not a Wine prefix"; return 1; }
        wp_kill "$prefix"
        local sdir
        sdir=$(_wp_server_dir "$prefix") && rm -rf "$sdir"
        rm -rf "$prefix"
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -u
    cmd=${1:-}
    shift || true
    case "$cmd" in
        arch) wp_build_arch "$@" ;;
        template) wp_template "$@" ;;
        fresh) wp_fresh "$@" ;;
        headless) wp_headless "$@" ;;
        kill) wp_kill "$@" ;;
        remove) wp_remove "$@" ;;
        *) echo "usage: $0 arch WIN_BUILD | template BUILD_DIR | fresh BUILD_DIR DEST | headless PREFIX | kill PREFIX | remove PREFIX" >&2; exit 2 ;;
    esac
fi
