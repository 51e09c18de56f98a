# Sourced: the environment every Wine run of the project shares. Prepares the
# prefix once (Japanese locale, font replacements) and gives the run a display.
# Only the 64-bit loader: this machine refuses 32-bit executables.
MIRABO_ROOT=${MIRABO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=${WINEPREFIX:-$MIRABO_ROOT/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts: nothing may be downloaded here. With
# its HTML engine off, the browser control is still made and embedded and
# still takes navigations; it only renders nothing.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Sound: a PulseAudio server of the project's own with a null sink (see
# mirabo_ensure_sound), which plays in real time into nothing, so media
# positions advance as on a machine with speakers.
export XDG_RUNTIME_DIR=${MIRABO_SOUND_DIR:-$MIRABO_ROOT/build/sound}
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
export PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native
# Wine keeps the memory of shared sections in files of its server's folder,
# under TMPDIR; on a disk every page written there is written back to the
# disk, which Windows, whose sections live in memory, never does. A memory
# file system, when there is a roomy one, keeps them in memory as well.
if [ -z "${MIRABO_KEEP_TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ] &&
  [ "$(df -Pk /dev/shm 2>/dev/null | awk 'NR==2 {print $4}')" -gt 2097152 ] 2>/dev/null; then
  export TMPDIR=/dev/shm
fi
# Code page 932 needs the generated Japanese locale.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

mirabo_ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    MIRABO_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$MIRABO_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
  done
  echo "wine-env: could not start Xvfb" >&2
  return 1
}

mirabo_ensure_sound() {
  [ -S "$PULSE_RUNTIME_PATH/native" ] && pactl info >/dev/null 2>&1 && return 0
  mkdir -p "$PULSE_RUNTIME_PATH" && chmod 700 "$XDG_RUNTIME_DIR"
  # As root the server warns and runs; -n: only the modules named here.
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
    --load="module-null-sink sink_name=mirabo_null" --load="module-native-protocol-unix" \
    >"$XDG_RUNTIME_DIR/pulseaudio.log" 2>&1 || {
    echo "wine-env: could not start the sound server (log: $XDG_RUNTIME_DIR/pulseaudio.log)" >&2
    return 1
  }
  local i
  for i in $(seq 1 50); do
    [ -S "$PULSE_RUNTIME_PATH/native" ] && return 0
    sleep 0.1
  done
  echo "wine-env: the sound server did not come up" >&2
  return 1
}

mirabo_stop_sound() { pulseaudio --kill >/dev/null 2>&1 || true; }

mirabo_prepare_prefix() {
  local stamp="$WINEPREFIX/.mirabo-prepared-3"
  [ -f "$stamp" ] && return 0
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  # Faces the program names but Wine does not have: replacements make them
  # real families (GetTextFace answers the requested name).
  local reg="$WINEPREFIX/mirabo-prefix.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n'
    printf '"ＭＳ ゴシック"="IPAGothic"\r\n'
    printf '"MS UI Gothic"="IPAPGothic"\r\n'
    printf '"MS PGothic"="IPAPGothic"\r\n'
    printf '"MS Gothic"="IPAGothic"\r\n'
    printf '"Terminal"="IPAGothic"\r\n'
    printf '"FixedSys"="IPAGothic"\r\n'
    printf '\r\n'
    # The test programs run on a virtual desktop of their own: without a
    # window manager every window shown on the X display costs a 2-second
    # wait for events that never come. The viewer itself stays on the display.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n'
    printf '"MiraboTests"="1280x1024"\r\n\r\n'
    for exe in mirabo_win_tests.exe mirabo_unit_tests.exe mirabo_bench.exe; do
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\Explorer]\r\n' "$exe"
      printf '"Desktop"="MiraboTests"\r\n\r\n'
    done
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  "$WINE" regedit /S "$(winepath_w "$reg")" >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$stamp"
}

winepath_w() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
