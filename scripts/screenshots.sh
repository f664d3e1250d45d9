#!/usr/bin/env bash
# Screenshots of the installed desktop program under a virtual X server: each of the three tabs
# in English and in Czech, and the window during a run, at scale 1 and at QT_SCALE_FACTOR=2.
#
#   scripts/screenshots.sh OUTDIR [PREFIX]
#
# PREFIX is the installation prefix (default: install/ beside this script's folder); the program
# is PREFIX/bin/zel_app. Needs Xvfb, xwininfo, ImageMagick (import, convert) and python3; keys
# and clicks go through the X server's XTEST extension, so no window manager is needed.
set -euo pipefail

out=${1:?usage: screenshots.sh OUTDIR [PREFIX]}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=${2:-$root/install}
app=$prefix/bin/zel_app
[[ -x $app ]] || { echo "screenshots.sh: $app not found; run cmake --install first" >&2; exit 1; }
for tool in Xvfb xwininfo import convert python3; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
xvfb_pid=
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 2800x2200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

# Frames for the run: large enough that the run lasts while the window is captured.
frames=$work/frames
python3 - "$frames" <<'PY'
import array, os, struct, sys, zlib
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
w, h = 1024, 768
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
# 200 distinct rows of 12-bit samples, big-endian as PNG stores them, each after its filter byte.
rows = []
for v in range(200):
    row = array.array('H', (((v * 20) + (x * 37) % 400) & 0xfff for x in range(w)))
    if sys.byteorder == 'little':
        row.byteswap()
    rows.append(b'\0' + row.tobytes())
for i in range(150):
    data = b''.join(rows[(y * 101 + i * 13) % 200] for y in range(h))
    png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 16, 0, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(data, 1)) + chunk(b'IEND', b''))
    with open(os.path.join(folder, 'frame_%03d.png' % i), 'wb') as f:
        f.write(png)
PY

# Sends input to the X server: key presses ("Tab", "ctrl+Tab") and left clicks ("click:X,Y").
keys=$work/keys.py
cat >"$keys" <<'PY'
import ctypes, sys, time
x11 = ctypes.cdll.LoadLibrary('libX11.so.6')
xtst = ctypes.cdll.LoadLibrary('libXtst.so.6')
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
display = x11.XOpenDisplay(None)
def code(name):
    return x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
for stroke in sys.argv[1:]:
    if stroke.startswith('click:'):
        x, y = (int(v) for v in stroke[6:].split(','))
        xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
        x11.XFlush(display)
        time.sleep(0.1)
        xtst.XTestFakeButtonEvent(display, 1, 1, 0)
        xtst.XTestFakeButtonEvent(display, 1, 0, 0)
        x11.XFlush(display)
        time.sleep(0.3)
        continue
    names = ['Control_L' if n == 'ctrl' else n for n in stroke.split('+')]
    for n in names: xtst.XTestFakeKeyEvent(display, code(n), 1, 0)
    for n in reversed(names): xtst.XTestFakeKeyEvent(display, code(n), 0, 0)
    x11.XFlush(display)
    time.sleep(0.15)
PY

# The program's main window: the only large window of the program while no chooser is open.
window_id() {
  xwininfo -root -tree | awk '/\("zel_app"/ { split($0, a, ")  "); split(a[2], g, "x");
                                            if (g[1] + 0 > 300) { print $1; exit } }'
}

# Left, top, width and height of a window on the screen.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                           /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}

shoot() {
  sleep 0.8
  import -window "$window" "$out/$1.png"
  echo "wrote $out/$1.png"
}

# One session of the program in one language and scale: three tabs, then a run.
session() {
  local locale=$1 scale=$2 tag=$1_x$2
  local home=$work/home_$tag
  mkdir -p "$home/ZEL Project/ZEL Convertor"
  cat >"$home/ZEL Project/ZEL Convertor/ZEL.ini" <<INI
[Dialog]
localeName=$locale
lastInputFolder=$frames/
INI
  rm -rf "$frames/ZEL"
  XDG_DATA_HOME=$home QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$app" >"$work/app_$tag.log" 2>&1 &
  app_pid=$!
  window=
  for _ in $(seq 100); do window=$(window_id); [[ -n $window ]] && break; sleep 0.1; done
  [[ -n $window ]] || { echo "screenshots.sh: the window did not appear" >&2; cat "$work/app_$tag.log" >&2; exit 1; }
  sleep 0.5
  read -r left top width height < <(geometry "$window")

  shoot "zel_$tag"
  # The first Tab puts the focus on the tab bar, where Ctrl+Tab turns the pages.
  python3 "$keys" Tab ctrl+Tab
  shoot "reverse_$tag"
  python3 "$keys" ctrl+Tab
  shoot "preferences_$tag"
  python3 "$keys" ctrl+Tab

  # Into the directory field (first row of the form), on to its "..." button, and take the
  # folder the chooser opens at (lastInputFolder); the bit depth is then detected.
  python3 "$keys" "click:$((left + width / 2)),$((top + 93 * scale))" Tab space
  sleep 3
  python3 "$keys" Return
  sleep 5
  # Start carries the only green of the lower part of the window: the play icon.
  import -window "$window" "$work/before_start.png"
  local band=$((height * 2 / 5)) box
  box=$(convert "$work/before_start.png" -crop "+0+$band" +repage -fuzz 3% -fill black \
        +opaque '#3FA34D' -format '%@' info:)
  local bw=${box%%x*} rest=${box#*x}
  local bh=${rest%%+*} bx=${rest#*+}
  local by=${bx#*+}
  bx=${bx%%+*}
  python3 "$keys" "click:$((left + bx + bw / 2)),$((top + band + by + bh / 2))"
  # Running once the stop icon shows its red (it is grey while disabled).
  local shot=
  for _ in $(seq 40); do
    sleep 0.25
    import -window "$window" "$work/probe.png"
    box=$(convert "$work/probe.png" -crop "+0+$band" +repage -fuzz 3% -fill black \
          +opaque '#D63B3B' -format '%@' info: 2>/dev/null)
    if [[ $box != 0x0* ]]; then shot=yes; break; fi
  done
  [[ -n $shot ]] || echo "screenshots.sh: the run did not show as running" >&2
  sleep 1
  shoot "running_$tag"
  kill -TERM "$app_pid"
  wait "$app_pid" || true
  app_pid=
}

for scale in 1 2; do
  session en_US "$scale"
  session cs_CZ "$scale"
done
