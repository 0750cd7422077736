# Shared by scripts/build, scripts/test and friends: set-up on a bare Debian 12 machine.
# shellcheck shell=bash

ZENDRO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

log() { printf '==> %s\n' "$*" >&2; }

# Installs the named Debian packages that are missing.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

BUILD_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
                libz-mingw-w64-dev wine64 cmake ninja-build googletest python3 nsis)
TEST_PACKAGES=(python3-pytest clang libclang-rt-14-dev libjsoncpp-dev libsodium-dev xvfb xdotool
               transmission-daemon zip chromium firefox-esr openssl minisign python3-pefile)

# Cross-builds the dependencies when their cache is missing, then the Windows tree.
build_windows() {
    local prefix
    prefix=$("$ZENDRO_ROOT/scripts/deps" | tail -n 1)
    log "configuring the Windows build"
    cmake --preset windows -S "$ZENDRO_ROOT" -DZENDRO_DEPS_PREFIX="$prefix" >/dev/null
    log "building ${*:-everything}"
    local targets=()
    for target in "$@"; do targets+=(--target "$target"); done
    # Build presets are looked up in the current folder.
    (cd "$ZENDRO_ROOT" && cmake --build --preset windows "${targets[@]}")
    mkdir -p "$ZENDRO_ROOT/dist"
    cp "$ZENDRO_ROOT/build/windows/ZendroWebHost.exe" "$ZENDRO_ROOT/dist/ZendroWebHost.exe"
    # The setup program only when this run built it, so dist/ never holds a stale one.
    if [ $# -eq 0 ] || [[ " $* " == *" ZendroWebHostSetup "* ]]; then
        cp "$ZENDRO_ROOT/build/windows/ZendroWebHostSetup.exe" "$ZENDRO_ROOT/dist/ZendroWebHostSetup.exe"
    fi
}

# Makes a Wine prefix (once) whose home folder lies inside it, so nothing reaches the real home.
ensure_wine_prefix() {
    local prefix
    prefix=$(realpath -m "$1")
    if [ ! -f "$prefix/system.reg" ]; then
        log "making the Wine prefix $prefix"
        mkdir -p "$prefix/home"
        HOME="$prefix/home" WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" \
            DISPLAY= "$WINE64" wineboot -i >/dev/null 2>&1
        WINEPREFIX="$prefix" "$WINESERVER" -w
    fi
}

# Starts a persistent wineserver for the prefix in $WINEPREFIX, and Wine's background services
# with it. Those services inherit the standard output of the program that starts them, so the
# first program must not be one whose output a test reads to its end.
start_wineserver() {
    "$WINESERVER" -p
    "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wineserver() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
}
