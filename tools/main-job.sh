#!/bin/bash
# The main job: setup.exe sets up our sample modem driver package on a fresh
# Wine machine that has the modem, runs again unattended, then removes it, and
# after each run prints what changed on the machine.
#
#   tools/main-job.sh [VERSION] [--earlier-install]
#
# VERSION is the Windows the machine plays: xp (default), 2000, nt4, 98, me, 95.
# --earlier-install gives the modem an earlier installation of the package
# first, which setup removes before it installs.
# Output in build/main-job/<VERSION>/: snapshots, reports, screenshots, prefix.
# Exit code 0 when the report shows the driver installed after setup and gone
# after removal.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=$(nproc)

VERSION=xp
EARLIER=""
ON_DISPLAY=""
for arg in "$@"; do
    case "$arg" in
        xp|2000|nt4|98|me|95) VERSION=$arg ;;
        --earlier-install) EARLIER=--earlier-install ;;
        --on-display) ON_DISPLAY=1 ;;
        *) echo "usage: tools/main-job.sh [xp|2000|nt4|98|me|95] [--earlier-install]" >&2; exit 2 ;;
    esac
done
case "$VERSION" in
    xp) WINE_VERSION=winxp ;; 2000) WINE_VERSION=win2k ;; nt4) WINE_VERSION=nt40 ;;
    98) WINE_VERSION=win98 ;; me) WINE_VERSION=winme ;; 95) WINE_VERSION=win95 ;;
esac

OUT=$ROOT/build/main-job/$VERSION
BIN=$ROOT/build/win64/bin
export WINEPREFIX="$OUT/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

build() {
    # The program as shipped: 32-bit, checked.
    cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
    cmake --build build/win32 -j "$JOBS" --target setup
    tools/check-pe.sh build/win32/bin/setup.exe
    # This machine runs 64-bit Wine only, so the machine runs the 64-bit build of the same sources.
    cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
    cmake --build build/win64 -j "$JOBS" --target setup filler filler-launch cfgmgr_machine sample_package \
        make-machine machine-report
}

w() { timeout "${TIMEOUT:-120}" wine "$@" </dev/null; }
unix_of() { echo "$WINEPREFIX/drive_c/$1"; }

make_machine() {
    rm -rf "$OUT" && mkdir -p "$OUT"
    timeout 180 wineboot -i >/dev/null 2>&1 </dev/null
    timeout 30 wineserver -p >/dev/null 2>&1 </dev/null || true
    w reg add 'HKCU\Software\Wine' /v Version /d "$WINE_VERSION" /f >/dev/null 2>&1
    w reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Title bars drawn by Wine itself (Xvfb has no window manager), for the screenshots.
    w reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

    # The two pieces Wine's device installer lacks, as parts of the machine:
    # C:\machine\filler-launch.exe starts a program with filler.dll, which
    # supplies SetupDiSetSelectedDriverA; C:\windows\system32\cfgmgr32.dll,
    # preferred for setup.exe only, plays the configuration manager.
    mkdir -p "$(unix_of machine)"
    cp "$BIN/filler-launch.exe" "$BIN/filler.dll" "$(unix_of machine)/"
    cp "$BIN/machine/cfgmgr32.dll" "$(unix_of windows/system32)/cfgmgr32.dll"
    local program
    for program in setup.exe make-machine.exe; do
        w reg add "HKCU\\Software\\Wine\\AppDefaults\\$program\\DllOverrides" /v cfgmgr32 /d native,builtin /f >/dev/null 2>&1
    done

    cp "$BIN/make-machine.exe" "$BIN/machine-report.exe" "$(unix_of machine)/"
    w 'C:\machine\make-machine.exe' $EARLIER
    # The package with setup.exe next to it, as a driver package ships.
    cp -r "$ROOT/build/win64/sample-modem" "$(unix_of sample-modem)"
    cp "$BIN/setup.exe" "$(unix_of sample-modem)/setup.exe"
    # Setup commands of the package log here (see examples/README.md).
    mkdir -p "$(unix_of windows/temp)"
}

snapshot() {
    w 'C:\machine\machine-report.exe' "C:\\machine\\$1.txt" >/dev/null
    cp "$(unix_of machine)/$1.txt" "$OUT/$1.txt"
}

report() {
    local title=$1 before=$2 after=$3
    echo
    echo "== $title =="
    python3 tools/machine-diff.py "$OUT/$before.txt" "$OUT/$after.txt" | tee "$OUT/$after.changes.txt"
}

# Runs setup.exe with the arguments through the machine's launcher and waits
# for its end; with SHOT set, saves the progress dialog while it is on screen.
run_setup() {
    local shot=$1
    shift
    TIMEOUT=300 w 'C:\machine\filler-launch.exe' 'C:\sample-modem\setup.exe' "$@" &
    local pid=$! window=""
    if [ -n "$shot" ]; then
        for _ in $(seq 1 600); do
            window=$(xdotool search --name "^Setup$" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        # The last picture taken while the dialog is still up shows the most progress.
        while [ -n "$window" ] && xdotool getwindowname "$window" >/dev/null 2>&1; do
            timeout 5 import -window "$window" "$OUT/$shot.tmp.png" 2>/dev/null && mv "$OUT/$shot.tmp.png" "$OUT/$shot.png"
            sleep 0.1
        done
        rm -f "$OUT/$shot.tmp.png"
        [ -f "$OUT/$shot.png" ] && echo "(screenshot of the progress dialog: $OUT/$shot.png)"
    fi
    # A box (setup failed, an error) would wait for a person: save it and answer it.
    while kill -0 "$pid" 2>/dev/null; do
        window=$(xdotool search --name "^(Setup failed|Error)$" 2>/dev/null | head -n 1 || true)
        if [ -n "$window" ]; then
            timeout 5 import -window "$window" "$OUT/box.png" 2>/dev/null || true
            echo "setup.exe showed a box \"$(xdotool getwindowname "$window" 2>/dev/null)\" ($OUT/box.png)"
            xdotool key --window "$window" Return 2>/dev/null || true
        fi
        sleep 0.5
    done
    wait "$pid" || true
}

# A restart of the machine between runs, as a person follows setup's restart
# prompt: Wine carries out the pending file operations, and Plug and Play sets
# up the devices it finds.
restart_machine() {
    echo "(the machine restarts)"
    timeout 120 wineboot -r >/dev/null 2>&1 </dev/null || true
    timeout 30 wineserver -p >/dev/null 2>&1 </dev/null || true
    # Windows NT 4.0 has no Plug and Play.
    [ "$VERSION" = nt4 ] || w 'C:\machine\make-machine.exe' --plug-and-play || true
}

# True when a device of the snapshot has a driver key with VXSignature.
modem_driver_installed() {
    python3 - "$OUT/$1.txt" <<'PY'
import re, sys
lines = open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines()
signed = {m.group(1) for l in lines if (m := re.match(r"driver-key (\S+) VXSignature = ", l))}
drivers = {m.group(1) for l in lines if (m := re.match(r"device .*; driver=([^;]+);", l))}
sys.exit(0 if signed & drivers else 1)
PY
}

main_job() {
    echo "main-job: Windows $VERSION machine ($WINE_VERSION) in $WINEPREFIX"
    make_machine
    cat <<EOF

The machine has a PCI modem controller, PCI\\VEN_8086&DEV_2416&SUBSYS_24168086&REV_01 with the full
list of PCI hardware ids${EARLIER:+, carrying an earlier installation of the package}.
Two parts of the machine stand in for what Wine's device installer lacks (not part of setup.exe):
  C:\\machine\\filler-launch.exe + filler.dll
      setup.exe is started through it. Wine leaves SetupDiSetSelectedDriverA unimplemented (a call
      ends the program); the filler answers it by selecting the best compatible driver.
  C:\\windows\\system32\\cfgmgr32.dll (preferred for setup.exe)
      Wine's configuration manager cannot locate the root of the device tree or enumerate it again.
      This one can; it also plays the PCI bus (a removed device still plugged in is found again) and
      Plug and Play (a device without driver gets the best one of the INF folder).
EOF
    snapshot before
    echo
    echo "Machine before setup:"
    sed 's/^/  /' "$OUT/before.txt"

    echo
    echo "-- setup.exe (progress dialog on screen) --"
    run_setup progress
    restart_machine
    snapshot after-setup
    report "What setup changed" before after-setup

    echo
    echo "-- setup.exe /SILENT (again, unattended) --"
    run_setup "" /SILENT
    restart_machine
    snapshot after-silent-setup
    report "What the unattended setup changed" after-setup after-silent-setup

    echo
    echo "-- setup.exe /REMOVE /SILENT --"
    run_setup "" /REMOVE /SILENT
    restart_machine
    snapshot after-removal
    report "What the removal changed" after-silent-setup after-removal

    timeout 30 wineserver -k >/dev/null 2>&1 || true
    case "$VERSION" in 95|98|me) cat <<EOF

Note: under the Windows $VERSION setting Wine keeps the registry of the NT family. Removal deletes
the device keys where Windows $VERSION has them (HKLM\ENUM, ...\Services\Class), so the driver key that
Wine made below ...\Control\Class stays behind on this machine, belonging to no device.
EOF
    ;;
    nt4) cat <<EOF

Note: the unattended setup finds the root modem of the first one registered. setup.exe then opens it,
drops it from its device list and creates it again; Wine refuses to create a device under an
instance id that stays registered, so that run shows "Error 0xE0000207 in SetupDiCreateDeviceInfo"
(box.png; answered by this job), fails and changes nothing. The first setup and the removal are whole.
EOF
    ;;
    esac
    echo
    local ok=0
    if modem_driver_installed after-setup && modem_driver_installed after-silent-setup; then
        echo "main-job: the driver was installed by setup (a device whose driver key has VXSignature)."
    else
        echo "main-job: FAILED: no installed driver after setup."; ok=1
    fi
    if modem_driver_installed after-removal; then
        echo "main-job: FAILED: a device with VXSignature in its driver key is still there after removal."; ok=1
    else
        echo "main-job: the driver was gone after removal."
    fi
    return $ok
}

if [ -n "$ON_DISPLAY" ]; then
    main_job
else
    build
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$VERSION" $EARLIER --on-display
fi
