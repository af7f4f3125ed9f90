#!/usr/bin/env bash
# Plays the MP4 sample with its comment file in the player under Xvfb and saves a PNG of the player's
# window a few seconds after the file started, with the comments over the moving picture:
#   tests/playback/screenshot.sh [output.png]      (default build/x86_64/playback-screenshot.png)
# The player runs from a folder of its own with settings that skip the first-start notice, the
# update check and the online comment fetch.
#
# Wine's video renderer presents through Direct3D on OpenGL, which draws a child window into an
# off-screen X window: a grab of the screen shows the video area black. The script therefore reads
# that X window's picture itself and puts it into the grab of the player's window where the video
# window stands (centred in the black video area, as the player letterboxes it).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build="$root/build/x86_64"
out=${1:-$build/playback-screenshot.png}
seconds=${VELA_SHOT_SECONDS:-6}

bash "$root/scripts/build.sh" x86_64 >/dev/null
folder="$build/playback-screenshot"
rm -rf "$folder"
mkdir -p "$folder"
cp "$build/bin/VelaPlayer.exe" "$folder/"
bash "$root/scripts/make-sample.sh" "$folder"
printf '[main]\r\nLastBootVer=128\r\nFirstBoot=0\r\nLeft=0\r\nTop=0\r\nWidth=800\r\nHeight=640\r\nNotifyVerup=0\r\nOfflineMode=1\r\nAutoAcquireComment=0\r\n' \
    >"$folder/velaplayer.ini"

export WINEPREFIX="$build/wineprefix"
source "$root/scripts/wine-env.sh"
wine_prepare_prefix
XVFB_PID=
start_xvfb
player_pid=
cleanup() {
    [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
    kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
wine_ensure_unmanaged

video=$(env LC_ALL=$WINE_LOCALE winepath -w "$folder/sample(sm9).mp4" 2>/dev/null)
env LC_ALL=$WINE_LOCALE wine "$folder/VelaPlayer.exe" "$video" >/dev/null 2>&1 &
player_pid=$!

# X windows as "id geometry" lines: the player's top-level window (titled with the playing file) and
# the renderer's off-screen surface (a nameless window of another client, larger than a pixel).
find_window() {
    xwininfo -root -tree 2>/dev/null | awk -v pattern="$1" '$0 ~ pattern && !found {
        for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+$/) { print $1, $i; found = 1 } }' || true
}
player=
for _ in $(seq 120); do
    player=$(find_window '"sample\\(sm9\\)\\.mp4 - VelaPlayer"')
    [ -n "$player" ] && break
    sleep 0.5
done
[ -n "$player" ] || { echo "The player's window did not appear." >&2; exit 1; }
sleep "$seconds"
surface=$(find_window 'has no name\\): \\(\\)  [0-9][0-9]+x[0-9][0-9]+\\+')

shot="$folder/screen.ppm"
ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size 1280x1024 -i "$DISPLAY" -frames:v 1 "$shot"
python3 - "$shot" "$folder/window.ppm" "$player" "$surface" <<'EOF'
import ctypes, sys

def read_ppm(path):
    data = open(path, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    return int(fields[1]), int(fields[2]), bytearray(data[pos + 1:])

def grab_window(window_id):
    x11 = ctypes.CDLL('libX11.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XGetImage.restype = ctypes.c_void_p
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XGetPixel.restype = ctypes.c_ulong
    x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    x11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
    display = x11.XOpenDisplay(None)
    root, x, y = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
    width, height, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
    x11.XGetGeometry(display, window_id, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y), ctypes.byref(width),
                     ctypes.byref(height), ctypes.byref(border), ctypes.byref(depth))
    image = x11.XGetImage(display, window_id, 0, 0, width.value, height.value, 0xFFFFFFFF, 2)  # ZPixmap
    pixels = bytearray()
    for row in range(height.value):
        for column in range(width.value):
            p = x11.XGetPixel(image, column, row)
            pixels += bytes(((p >> 16) & 255, (p >> 8) & 255, p & 255))
    return width.value, height.value, pixels

shot, out, player, surface = sys.argv[1:5]
screen_width, screen_height, screen = read_ppm(shot)
geometry = player.split()[1].replace('x', '+').split('+')
w, h, left, top = (int(v) for v in geometry)
left, top = max(left, 0), max(top, 0)
w, h = min(w, screen_width - left), min(h, screen_height - top)
window = bytearray()
for row in range(top, top + h):
    window += screen[(row * screen_width + left) * 3:(row * screen_width + left + w) * 3]

def black(x, y):
    i = (y * w + x) * 3
    return max(window[i:i + 3]) < 8

if surface:
    sw, sh, picture = grab_window(int(surface.split()[0], 16))
    # The video area: the black run through the window's centre column, then through its middle row.
    cx = w // 2
    y0 = next(y for y in range(h) if black(cx, y))
    y1 = y0
    while y1 < h and black(cx, y1):
        y1 += 1
    cy = (y0 + y1) // 2
    x0 = cx
    while x0 > 0 and black(x0 - 1, cy):
        x0 -= 1
    x1 = cx
    while x1 < w and black(x1, cy):
        x1 += 1
    px, py = x0 + (x1 - x0 - sw) // 2, y0 + (y1 - y0 - sh) // 2
    for row in range(sh):
        if 0 <= py + row < h:
            first, last = max(px, 0), min(px + sw, w)
            window[((py + row) * w + first) * 3:((py + row) * w + last) * 3] = \
                picture[(row * sw + first - px) * 3:(row * sw + last - px) * 3]
with open(out, 'wb') as f:
    f.write(b'P6\n%d %d\n255\n' % (w, h))
    f.write(window)
EOF
ffmpeg -loglevel error -y -i "$folder/window.ppm" "$out"
env LC_ALL=$WINE_LOCALE wine taskkill /im VelaPlayer.exe >/dev/null 2>&1 || true
wait "$player_pid" 2>/dev/null || true
player_pid=
echo "Screenshot of the playing sample: $out"
