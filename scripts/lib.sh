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
               transmission-daemon zip chromium firefox-esr openssl minisign python3-pefile
               osslsigncode)
# What scripts/sign and scripts/reproduce --signed need besides the build.
SIGN_PACKAGES=(osslsigncode openssl)

# Cross-builds the dependencies when their cache is missing, then configures the Windows tree: as an
# ordinary build, unless the arguments (given to cmake) say otherwise.
configure_windows() {
    local prefix
    prefix=$("$ZENDRO_ROOT/scripts/deps" | tail -n 1)
    log "configuring the Windows build"
    cmake --preset windows -S "$ZENDRO_ROOT" -DZENDRO_DEPS_PREFIX="$prefix" -DZENDRO_SETUP_HOST_EXE= \
        -DZENDRO_UNINSTALLER_SIGNER= "$@" >/dev/null
}

# Builds the Windows tree, or the named targets of it, and copies the release files to dist/.
build_windows() {
    configure_windows
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

# Builds the release files signed, in the order that leaves every file they install signed: the
# executable; the setup around that signed executable, its uninstaller signed while makensis writes
# it; the setup. $1 is a program run as `$1 <name> <file>` that signs <file> in place as the release
# file <name> (ZendroWebHost.exe, Uninstall.exe, ZendroWebHostSetup.exe). The signed executable and
# setup go to the folder $2; what each of the three was before signing to $3/unsigned/, and the
# signed uninstaller to $3. The build tree is an ordinary one again afterwards.
build_signed_release() {
    local signer=$1 out=$2 work=$3
    mkdir -p "$out" "$work/unsigned"
    build_windows ZendroWebHost
    cp "$ZENDRO_ROOT/build/windows/ZendroWebHost.exe" "$work/unsigned/ZendroWebHost.exe"
    cp "$work/unsigned/ZendroWebHost.exe" "$out/ZendroWebHost.exe"
    log "the signature of ZendroWebHost.exe"
    "$signer" ZendroWebHost.exe "$out/ZendroWebHost.exe"

    printf '#!/bin/sh\nset -e\ncp "$1" %q\n%q Uninstall.exe "$1"\ncp "$1" %q\n' \
        "$work/unsigned/Uninstall.exe" "$signer" "$work/Uninstall.exe" >"$work/sign-uninstaller"
    chmod 700 "$work/sign-uninstaller"
    configure_windows -DZENDRO_SETUP_HOST_EXE="$out/ZendroWebHost.exe" \
        -DZENDRO_UNINSTALLER_SIGNER="$work/sign-uninstaller"
    log "building the setup around the signed executable, with the signature of its uninstaller"
    # Made afresh whatever ninja thinks, so that the uninstaller is signed now.
    rm -f "$ZENDRO_ROOT/build/windows/ZendroWebHostSetup.exe"
    (cd "$ZENDRO_ROOT" && cmake --build --preset windows --target ZendroWebHostSetup)
    configure_windows
    if [ ! -f "$work/Uninstall.exe" ]; then
        log "makensis did not have the uninstaller signed"
        return 1
    fi
    cp "$ZENDRO_ROOT/build/windows/ZendroWebHostSetup.exe" "$work/unsigned/ZendroWebHostSetup.exe"
    cp "$work/unsigned/ZendroWebHostSetup.exe" "$out/ZendroWebHostSetup.exe"
    log "the signature of ZendroWebHostSetup.exe"
    "$signer" ZendroWebHostSetup.exe "$out/ZendroWebHostSetup.exe"
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
