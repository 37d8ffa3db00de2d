#!/usr/bin/env bash
# Installs the suite's package with apt into a clean Debian 12 root and runs it there: taviro-cli
# cuts a fixture, the window opens a video given on its command line off-screen and keeps its
# settings and preview picture in the user's folders.
# Needs root, debootstrap and Debian's mirror; not part of `make test`. `make package` first.
# Usage: scripts/check-deb-in-chroot.sh [BUILD] [CACHE]
#   CACHE (default /var/tmp/suite-chroot) keeps the clean root that debootstrap made, for the next run.
set -euo pipefail

build=$(realpath "${1:-build}")
cache=${2:-/var/tmp/suite-chroot}
deb=$(ls -t "$build"/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "no package in $build: run make package" >&2; exit 2; }
[ -s "$build/fixtures/video_h264_aac.mp4" ] || { echo "no fixtures in $build: run make test" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "needs debootstrap: apt-get install debootstrap" >&2; exit 2; }

clean="$cache/root"
if [ ! -x "$clean/usr/bin/apt-get" ]; then
  rm -rf "$clean"
  debootstrap --variant=minbase bookworm "$clean" http://deb.debian.org/debian
fi

# Each run gets a copy of the clean root, so nothing a run installed is there for the next.
root=$(mktemp -d "$cache/run.XXXXXX")
cleanup() {
  if mountpoint -q "$root/proc" && ! umount "$root/proc"; then
    echo "left $root: its proc is still mounted" >&2
    return
  fi
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
cp -a "$clean/." "$root/"
mount -t proc proc "$root/proc"
cp /etc/resolv.conf "$root/etc/resolv.conf"

cp "$deb" "$root/tmp/suite.deb"
cp "$build/fixtures/video_h264_aac.mp4" "$root/tmp/video.mp4"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

echo "== apt install ./suite.deb (no recommended packages)"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends /tmp/suite.deb \
  > "$root/tmp/apt.log" 2>&1 || { cat "$root/tmp/apt.log" >&2; exit 1; }
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' ostrand

echo "== taviro-cli cut"
mkdir -p "$root/tmp/out"
out=$(in_root taviro-cli cut /tmp/video.mp4 --from 00:00:00.000 --to 00:00:01.000 --direct --out-dir /tmp/out | tail -n 1)
ffprobe -v error -show_entries format=duration:stream=codec_type -of compact "$root$out"

echo "== taviro /tmp/video.mp4, off-screen, started by an ordinary user"
in_root useradd --create-home tester
in_root chroot --userspec=tester:tester / env HOME=/home/tester QT_QPA_PLATFORM=offscreen \
  taviro /tmp/video.mp4 &
window=$!
settings="$root/home/tester/.config/ostrand/taviro/setting.ini"
preview="$root/home/tester/.cache/ostrand/taviro/image.bmp"
for _ in $(seq 600); do
  [ "$(stat -c %s "$preview" 2>/dev/null || echo 0)" -ge 691254 ] && break
  kill -0 "$window" 2>/dev/null || break
  sleep 0.1
done
running=no
kill -0 "$window" 2>/dev/null && running=yes
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
[ "$running" = yes ] || { echo "taviro did not keep running" >&2; exit 1; }
grep -q "^file=english.ini" "$settings"
echo "settings in ~tester/.config/ostrand/taviro/setting.ini:"
sed 's/^/  /' "$settings"
ffprobe -v error -show_entries stream=codec_name,width,height -of compact "$preview"

for program in ostrand taviro melisk taviro-cli melisk-cli; do
  if [ -x "$root/usr/bin/$program" ]; then echo "installed: /usr/bin/$program"; fi
done
echo "== the package installs and runs in a clean Debian 12 root"
