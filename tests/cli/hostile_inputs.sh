#!/usr/bin/env bash
# Runs inputs that are no usable media (damaged, empty, random, a pipe, devices, a folder, a name
# FFmpeg would take for a protocol) through every command of both command-line tools. Each must end
# by itself with a non-zero exit and a reason on standard error, and leave nothing in its output
# folder. Prints one line per run with its time; exits 1 when any run broke a rule.
#
# usage: hostile_inputs.sh SUITE_DIR FIXTURE_DIR WORK_DIR
set -uo pipefail
suite=$(realpath "${1:?usage: hostile_inputs.sh SUITE_DIR FIXTURE_DIR WORK_DIR}")
fixtures=$(realpath "${2:?}")
work=$(realpath -m "${3:?}")
taviro=$suite/bin/taviro-cli
melisk=$suite/bin/melisk-cli

rm -rf "$work"
mkdir -p "$work/in" "$work/out"
cd "$work/in"

[ -x "$taviro" ] && [ -x "$melisk" ] || { echo "no taviro-cli or melisk-cli in $suite/bin" >&2; exit 1; }
head -c 65536 /dev/urandom > random.mp3
head -c 65536 /dev/urandom > random.mp4
: > empty.mp4
cp "$fixtures/empty.mp3" empty.mp3
cp "$fixtures/truncated.mp4" truncated.mp4
cp "$fixtures/truncated.m4a" truncated.m4a
cp "$fixtures/not_media.mp4" text.mp4
head -c 4096 "$fixtures/video_h264_aac.mp4" > header_only.mp4
# A file FFmpeg would read as standard input if the name reached it as a URL.
head -c 65536 /dev/urandom > 'pipe:0.mp3'
mkfifo fifo.mp3
mkdir folder.mp4
ln -s "$work/in/nowhere.mp3" dangling.mp3

inputs=(random.mp3 random.mp4 empty.mp4 empty.mp3 truncated.mp4 truncated.m4a text.mp4
        header_only.mp4 'pipe:0.mp3' fifo.mp3 folder.mp4 dangling.mp3 missing.mp4
        /dev/zero /dev/null /dev/urandom "$work/in")

failures=0
slowest=0
runs=0
check() {  # check LABEL COMMAND...
    local label=$1; shift
    rm -rf "$work/out"; mkdir -p "$work/out"
    local start end ms rc
    start=$(date +%s%N)
    # Standard input is a pipe that stays open: a tool that reads it instead of a file hangs.
    timeout 20 "$@" <&3 > "$work/stdout" 2> "$work/stderr"
    rc=$?
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    runs=$((runs + 1))
    (( ms > slowest )) && slowest=$ms
    local problem=""
    [ "$rc" -eq 124 ] && problem="hung"
    # 1: the file failed, 2: refused; anything else (0, a crash, a missing program) breaks the rule.
    [ -z "$problem" ] && [ "$rc" -ne 1 ] && [ "$rc" -ne 2 ] && problem="exit $rc"
    [ -z "$problem" ] && [ ! -s "$work/stderr" ] && problem="no reason given"
    [ -z "$problem" ] && [ -n "$(ls -A "$work/out")" ] && problem="left $(ls -A "$work/out" | tr '\n' ' ')"
    local reason
    reason=$(grep -v '^progress:' "$work/stderr" | tail -n 1)
    if [ -n "$problem" ]; then
        failures=$((failures + 1))
        printf 'FAIL %5d ms  %-40s %s | %s\n' "$ms" "$label" "$problem" "$reason"
    else
        printf 'ok   %5d ms  %-40s exit %d | %s\n' "$ms" "$label" "$rc" "$reason"
    fi
}

export SDL_AUDIODRIVER=dummy
exec 3< <(sleep 3600)
stdin_writer=$!
trap 'kill $stdin_writer 2>/dev/null' EXIT
for input in "${inputs[@]}"; do
    name=$(basename "$input")
    check "taviro probe $name" "$taviro" probe -- "$input"
    check "taviro cut $name" "$taviro" cut --out-dir "$work/out" -- "$input"
    check "taviro cut --direct $name" "$taviro" cut --direct --out-dir "$work/out" -- "$input"
    check "taviro merge $name" "$taviro" merge --out-dir "$work/out" -- "$input" "$input"
    check "taviro preview $name" "$taviro" preview --at 1 --out "$work/out/p.bmp" -- "$input"
    check "melisk probe $name" "$melisk" probe -- "$input"
    check "melisk cut $name" "$melisk" cut --out-dir "$work/out" -- "$input"
    check "melisk merge $name" "$melisk" merge --out-dir "$work/out" -- "$input" "$input"
    check "melisk play $name" "$melisk" play -- "$input"
done
echo "$runs runs, slowest ${slowest} ms"
echo "$((runs - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
