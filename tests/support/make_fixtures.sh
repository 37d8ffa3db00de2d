#!/usr/bin/env bash
# Makes the small media files the tests use, with the ffmpeg tool, into DIR.
# Each file is made once per build tree: an existing file is kept. Files appear atomically
# (written under a temporary name, then renamed), so parallel test processes never see half a file.
set -euo pipefail
dir=${1:?usage: make_fixtures.sh DIR}
mkdir -p "$dir"
cd "$dir"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# make NAME ARGS...: runs ffmpeg ARGS with the output NAME, unless NAME exists.
make() {
  local name=$1; shift
  [ -s "$name" ] && return 0
  local ext=${name##*.}
  local tmp=".tmp.$$.$name"
  ff "$@" -f "$(format_for "$ext")" "$tmp"
  mv -f "$tmp" "$name"
}
format_for() {
  case $1 in
    mp4) echo mp4 ;; mkv) echo matroska ;; avi) echo avi ;; flv) echo flv ;; ts) echo mpegts ;;
    mp3) echo mp3 ;; mov) echo mov ;; wav) echo wav ;; m4a) echo mp4 ;; aac) echo adts ;; wma) echo asf ;;
    wmv) echo asf ;; *) echo "$1" ;;
  esac
}

video="testsrc2=size=320x240:rate=25"
tone="sine=frequency=440:sample_rate=44100"

# 3 s of H.264/AAC in MP4, 320x240 at 25 fps, stereo 44.1 kHz.
make video_h264_aac.mp4 -f lavfi -i "$video:duration=3" -f lavfi -i "$tone:duration=3" \
  -ac 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 25 -c:a aac -b:a 128k -shortest
# MKV: H.264 with Vorbis, 30000/1001 fps.
make video_h264_vorbis.mkv -f lavfi -i "testsrc2=size=352x288:rate=30000/1001:duration=3" \
  -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=3" -ac 2 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a libvorbis -shortest
# AVI: MPEG-4 part 2 with MP3.
make video_mpeg4_mp3.avi -f lavfi -i "testsrc2=size=320x240:rate=25:duration=3" \
  -f lavfi -i "$tone:duration=3" -ac 2 -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 128k -shortest
# FLV: Sorenson (flv1) with MP3 at 22.05 kHz mono.
make video_flv1_mp3.flv -f lavfi -i "testsrc2=size=320x240:rate=15:duration=3" \
  -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=3" -ac 1 \
  -c:v flv -q:v 5 -c:a libmp3lame -b:a 64k -shortest
# MPEG-TS starting at 10 s (non-zero start time).
make video_start10.ts -f lavfi -i "$video:duration=3" -f lavfi -i "$tone:duration=3" -ac 2 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest -output_ts_offset 10
# Audio only: MP3, 3 s.
make audio_only.mp3 -f lavfi -i "$tone:duration=3" -ac 2 -c:a libmp3lame -b:a 128k
# Two video and two audio streams: the second of each differs (size, rate, sample rate, channels).
make two_streams.mkv -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" \
  -f lavfi -i "testsrc2=size=160x120:rate=10:duration=2" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" \
  -f lavfi -i "sine=frequency=880:sample_rate=22050:duration=2" \
  -map 0:v -map 2:a -map 1:v -map 3:a \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a:0 aac -ac:a:0 2 -c:a:1 libvorbis -ac:a:1 1
# Video only.
make video_only.mp4 -f lavfi -i "$video:duration=2" -c:v libx264 -preset ultrafast -pix_fmt yuv420p
# A video whose r_frame_rate is above 1000 fps (30000/1).
make rate_30000.mp4 -f lavfi -i "testsrc2=size=160x120:rate=30000:duration=0.02" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -video_track_timescale 30000
# Exactly 1000 fps: not corrected.
make rate_1000.mkv -f lavfi -i "testsrc2=size=160x120:rate=1000:duration=0.05" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p

# patch IN OUT PERL: a copy of IN with its bytes changed by the perl expression (on $d).
patch() {
  [ -s "$2" ] && return 0
  perl -0777 -e 'local $/; open F, "<", $ARGV[0]; binmode F; $d = <F>; '"$3"'; open O, ">", $ARGV[1]; binmode O; print O $d;' \
    "$1" ".tmp.$$.$2"
  mv -f ".tmp.$$.$2" "$2"
}
# A video stream no decoder exists for: the AVI's MPEG-4 FourCC replaced by an unknown one.
patch video_mpeg4_mp3.avi unknown_video_codec.avi '$d =~ s/FMP4/ZZZZ/g'
# An audio stream no decoder exists for: the audio format tag replaced by an unknown one.
patch video_mpeg4_mp3.avi unknown_audio_codec.avi \
  '$p = index($d, "auds"); $q = index($d, "strf", $p); substr($d, $q + 8, 2) = "\x77\x77"'

# 10 s of a quiet 150 Hz hum with a 0.2 s beep at every whole second k, at 500 + 100 k Hz, for
# checking what a player played (tests/support/pcm.h); the same sound in each audio format. The hum
# never reaches zero, so no played sample can be taken for the device's silence.
make beeps_10s.wav -f lavfi \
  -i "aevalsrc=exprs=0.02*(2+sin(2*PI*150*t))+0.5*lt(mod(t\\,1)\\,0.2)*sin(2*PI*(500+100*floor(t))*t):s=44100:d=10" \
  -ac 2 -c:a pcm_s16le
make beeps_10s.mp3 -i beeps_10s.wav -c:a libmp3lame -b:a 128k
make beeps_10s.m4a -i beeps_10s.wav -c:a aac -b:a 128k
make beeps_10s.aac -i beeps_10s.wav -c:a aac -b:a 128k
make beeps_10s.ogg -i beeps_10s.wav -c:a libvorbis
make beeps_10s.opus -i beeps_10s.wav -c:a libopus -b:a 96k
make beeps_10s.wma -i beeps_10s.wav -c:a wmav2 -b:a 128k
make beeps_10s.flac -i beeps_10s.wav -c:a flac
make beeps_10s.ac3 -i beeps_10s.wav -c:a ac3 -b:a 192k
make beeps_10s.aiff -i beeps_10s.wav -c:a pcm_s16be
make beeps_10s.mp2 -i beeps_10s.wav -c:a mp2 -b:a 192k
make beeps_10s.au -i beeps_10s.wav -c:a pcm_s16be
# MPEG-2 layer III at a low bit rate: its frames lean on the bit reservoir over several frames.
make beeps_10s_32k.mp3 -i beeps_10s.wav -ac 1 -ar 22050 -c:a libmp3lame -b:a 32k
# The MP3's frames in MP4: no raw MP3 for a frame scanner.
make beeps_10s_mp3.mp4 -i beeps_10s.mp3 -c:a copy
# The MP3 damaged: 0.8 s from 2.5 s on overwritten with 0xFF bytes (false frame headers), and cut
# off after about 7.5 s.
patch beeps_10s.mp3 beeps_damaged.mp3 '$d = substr($d, 0, 120000); substr($d, 40000, 12800) = "\xff" x 12800'

# Not media at all.
if [ ! -s not_media.mp4 ]; then
  printf 'This is a plain text file, not a video.\n%.0s' {1..50} > .tmp.$$.not_media
  mv -f .tmp.$$.not_media not_media.mp4
fi
# Truncated: the first 2 KiB of an MP4 whose index sits at the end.
if [ ! -s truncated.mp4 ]; then
  head -c 2048 video_h264_aac.mp4 > .tmp.$$.truncated
  mv -f .tmp.$$.truncated truncated.mp4
fi
# Preview pictures: red above, blue below, with a moving test pattern in the middle so that every
# frame differs; key frames every 2 s.
split_picture() {  # split_picture SIZE W H DURATION
  echo "testsrc2=s=$(($2 / 3))x$(($3 / 3)):r=25:d=$4[t];color=c=red:s=$1:r=25:d=$4,drawbox=x=0:y=$(($3 / 2)):w=$2:h=$(($3 / 2)):color=blue:t=fill[bg];[bg][t]overlay=x=$(($2 / 3)):y=$(($3 / 3))"
}
make split_1080p.mp4 -f lavfi -i "$(split_picture 1920x1080 1920 1080 4)" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 50 -keyint_min 50 -sc_threshold 0
make split_444.mkv -f lavfi -i "$(split_picture 320x240 320 240 1)" -c:v libx264 -preset ultrafast -pix_fmt yuv444p
make split_422.avi -f lavfi -i "$(split_picture 320x240 320 240 1)" -c:v mjpeg -pix_fmt yuvj422p -q:v 3
make split_411.mkv -f lavfi -i "$(split_picture 320x240 320 240 1)" -c:v ffv1 -pix_fmt yuv411p
make split_rgb.mov -f lavfi -i "$(split_picture 320x240 320 240 1)" -c:v png -pix_fmt rgb24
# A longer input for cancelling a running job: 20 s of small MPEG-4 video with AAC.
make long_20s.mp4 -f lavfi -i "testsrc2=size=320x240:rate=25:duration=20" -f lavfi -i "$tone:duration=20" \
  -ac 2 -c:v mpeg4 -q:v 5 -g 25 -c:a aac -b:a 96k -shortest

# Conversion engine inputs. Two MP4s made alike (H.264 with B-frames, AAC) for direct merges.
make merge_a.mp4 -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" -f lavfi -i "$tone:duration=2" \
  -ac 2 -c:v libx264 -preset veryfast -bf 3 -pix_fmt yuv420p -g 25 -c:a aac -b:a 96k -shortest
make merge_b.mp4 -f lavfi -i "smptebars=size=320x240:rate=25:duration=1.6" \
  -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=1.6" \
  -ac 2 -c:v libx264 -preset veryfast -bf 3 -pix_fmt yuv420p -g 25 -c:a aac -b:a 96k -shortest
# Same format and size as merge_a.mp4 but other encoder settings (no CABAC, no B-frames): other
# parameter sets.
make merge_c.mp4 -f lavfi -i "testsrc=size=320x240:rate=25:duration=1.2" \
  -f lavfi -i "sine=frequency=770:sample_rate=44100:duration=1.2" \
  -ac 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 25 -c:a aac -b:a 96k -shortest
# 8 s with a key frame every 2 s exactly, for direct cuts.
make gop2_8s.mp4 -f lavfi -i "testsrc2=size=160x120:rate=25:duration=8" -f lavfi -i "$tone:duration=8" \
  -ac 2 -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 50 -keyint_min 50 -sc_threshold 0 \
  -c:a aac -b:a 64k -shortest
# MJPEG with 48 kHz mono PCM at 20 fps: a third size, rate and codec for merges.
make mjpeg_pcm.avi -f lavfi -i "testsrc=size=200x150:rate=20:duration=2" \
  -f lavfi -i "sine=frequency=550:sample_rate=48000:duration=2" -ac 1 \
  -c:v mjpeg -pix_fmt yuvj420p -q:v 4 -c:a pcm_s16le -shortest
# MPEG-TS starting at 10 s with a key frame every half second, so a byte seek finds pictures.
make ts_start10_gop.ts -f lavfi -i "$video:duration=3" -f lavfi -i "$tone:duration=3" -ac 2 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 12 -c:a aac -shortest -output_ts_offset 10
# Audio and video of different lengths, for the joints of merges: 1 s of video with 3 s of audio,
# and the other way round.
make audio_longer.mp4 -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=3" -ac 2 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 96k
make video_longer.mp4 -f lavfi -i "$video:duration=3" -f lavfi -i "$tone:duration=1" -ac 2 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 96k
# Matroska whose clock starts at 1.4 s, key frames every half second.
make start_1_4.mkv -f lavfi -i "$video:duration=3" -f lavfi -i "$tone:duration=3" -ac 2 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 12 -c:a libvorbis -shortest -output_ts_offset 1.4
# Time-stamp jumps: two 2 s MPEG-TS pieces joined byte for byte, the second far ahead of (or far
# behind) the first.
ts_piece() {
  make "$1" -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 12 -c:a aac -shortest -output_ts_offset "$2"
}
ts_piece ts_piece_10.ts 10
ts_piece ts_piece_500.ts 500
for jump in "forward ts_piece_10.ts ts_piece_500.ts" "back ts_piece_500.ts ts_piece_10.ts"; do
  set -- $jump
  if [ ! -s "ts_jump_$1.ts" ]; then
    cat "$2" "$3" > ".tmp.$$.ts_jump_$1.ts"
    mv -f ".tmp.$$.ts_jump_$1.ts" "ts_jump_$1.ts"
  fi
done
# MOV and WMV inputs for direct jobs.
make video_mpeg4_aac.mov -f lavfi -i "$video:duration=3" -f lavfi -i "$tone:duration=3" -ac 2 \
  -c:v mpeg4 -q:v 5 -g 25 -c:a aac -b:a 96k -shortest
make video_wmv2_wma.wmv -f lavfi -i "$video:duration=3" -f lavfi -i "$tone:duration=3" -ac 2 \
  -c:v wmv2 -q:v 5 -g 25 -c:a wmav2 -b:a 96k -shortest

# Stream copy driven packet by packet: key frames every second exactly, and sound as PCM in 20 ms
# packets, so every range boundary and joint falls on a packet boundary of both streams.
copy_sound="sine=frequency=440:sample_rate=32000:samples_per_frame=640"
copy_video() {
  local name=$1 video_s=$2 sound_s=$3; shift 3
  make "$name" -f lavfi -i "testsrc2=size=160x120:rate=25:duration=$video_s" \
    -f lavfi -i "$copy_sound:duration=$sound_s" -c:v libx264 -pix_fmt yuv420p -g 25 -keyint_min 25 \
    -sc_threshold 0 -c:a pcm_s16le "$@"
}
copy_video copy_gop1.mkv 5 5 -preset ultrafast -bf 0
copy_video copy_bframes.mov 5 5 -preset veryfast -bf 2
copy_video copy_sound_longer.mkv 1 1.5 -preset ultrafast -bf 0
copy_video copy_offset10.mkv 1 1 -preset ultrafast -bf 0 -output_ts_offset 10

# Timing sources: every picture shows its own number (12 bits, least significant on the left, one
# 32-pixel column each) and the sound beeps for 0.1 s at every whole second, the pitch telling the
# second (400 Hz + 100 Hz * (second mod 8)). timed NAME SECONDS FIRST_SECOND AUDIO_SECONDS ARGS...:
# numbers and pitches count from FIRST_SECOND, so joined files stay apart. RATE=HZ sets the sample
# rate (44100).
timed() {
  local name=$1 seconds=$2 first=$3 audio=$4 rate=${RATE:-44100}
  shift 4
  make "$name" -f lavfi \
    -i "color=c=black:s=384x96:r=25:d=$seconds,geq=lum='255*gt(bitand(N+25*$first,pow(2,floor(X/32))),0)':cb=128:cr=128" \
    -f lavfi -i "aevalsrc='0.5*lt(mod(t,1),0.1)*sin(2*PI*(400+100*mod(floor(t)+$first,8))*t)':s=$rate:d=$audio" \
    -ac 2 -pix_fmt yuv420p "$@"
}
bframes="-c:v libx264 -preset veryfast -bf 3 -g 50 -keyint_min 50 -sc_threshold 0 -b:v 400k"
timed timed_12s.mp4 12 0 12 $bframes -c:a aac -b:a 128k
timed timed_3s.mp4 3 0 3 $bframes -c:a aac -b:a 128k
timed timed_3s_from4.mp4 3 4 3 $bframes -c:a aac -b:a 128k
timed timed_sound_longer.mp4 2 0 4 $bframes -c:a aac -b:a 128k
timed timed_8s.mkv 8 0 8 $bframes -c:a libvorbis
timed timed_8s.mov 8 0 8 $bframes -c:a aac -b:a 128k
timed timed_8s_start_1_4.ts 8 0 8 $bframes -c:a aac -b:a 128k -output_ts_offset 1.4
# Sound that ends inside its last AAC packet (1 s at 44.1 kHz: 955 samples of padding; 1.48 s at
# 48 kHz: 640), for the joints of direct merges.
timed timed_1s_44k.mp4 1 0 1 $bframes -c:a aac -b:a 128k
RATE=48000 timed timed_1_48s_48k.mp4 1.48 0 1.48 $bframes -c:a aac -b:a 128k
# Variable frame rate: pictures 5 to 14 of every second are left out, the rest keep their times.
timed timed_vfr.mp4 8 0 8 -vf "select='not(between(mod(n,25),5,14))'" -vsync vfr $bframes -c:a aac -b:a 128k
# Audio tool inputs: 3 s of tone in each container the cut must keep.
audio() {  # audio NAME FORMAT RATE CHANNELS ENCODER-ARGS...
  local name=$1 format=$2 rate=$3 channels=$4; shift 4
  [ -s "$name" ] && return 0
  ff -f lavfi -i "sine=frequency=440:sample_rate=$rate:duration=3" -ac "$channels" "$@" -f "$format" ".tmp.$$.$name"
  mv -f ".tmp.$$.$name" "$name"
}
audio tone.m4a ipod 44100 2 -c:a aac -b:a 64k
audio tone.aac adts 44100 2 -c:a aac -b:a 64k
audio tone.ogg ogg 44100 2 -c:a libvorbis -q:a 2
audio tone.opus opus 48000 2 -c:a libopus -b:a 48k
audio tone_pcm.wav wav 44100 2 -c:a pcm_s16le
audio tone_adpcm.wav wav 22050 1 -c:a adpcm_ima_wav
audio tone.wma asf 44100 2 -c:a wmav2 -b:a 64k
audio tone.flac flac 44100 2 -c:a flac
# Ogg Vorbis with tags.
make tagged.ogg -f lavfi -i "$tone:duration=3" -ac 2 -c:a libvorbis -metadata title="Cut Me Gently" \
  -metadata artist="Nobody"
# FLAC with tags and a cover picture (PNG), which a cut keeps.
make tagged.flac -f lavfi -i "$tone:duration=3" -f lavfi -i "color=c=red:size=32x32:duration=1" -map 0:a -map 1:v \
  -frames:v 1 -ac 2 -c:a flac -c:v png -disposition:v attached_pic -metadata title="Cut Me Gently" \
  -metadata artist="Nobody" -metadata:s:v comment="Cover (front)"
audio tone.ac3 ac3 48000 2 -c:a ac3 -b:a 96k
audio tone.aiff aiff 44100 2 -c:a pcm_s16be
audio tone_audio.ts mpegts 48000 2 -c:a mp2 -b:a 128k
audio tone_22k_mono.wav wav 22050 1 -c:a pcm_s16le
# MPEG audio in MPEG-TS, each frame in a packet of its own (the stream type says only "MPEG audio").
audio mp2_frames.ts mpegts 44100 1 -c:a mp2 -muxdelay 0 -muxpreload 0
audio mp3_frames.ts mpegts 48000 2 -c:a libmp3lame -b:a 128k -muxdelay 0 -muxpreload 0
# MP3s to join frame for frame (bit rates may differ), and two that cannot join them: mono, 48 kHz.
audio join_a.mp3 mp3 44100 2 -c:a libmp3lame -b:a 128k
audio join_b.mp3 mp3 44100 2 -c:a libmp3lame -b:a 192k -t 1.2
audio join_c.mp3 mp3 44100 2 -c:a libmp3lame -b:a 96k -t 2.1
audio join_mono.mp3 mp3 44100 1 -c:a libmp3lame -b:a 64k -t 1
audio join_48k.mp3 mp3 48000 2 -c:a libmp3lame -b:a 128k -t 1
# MPEG-2 (576-sample frames, 8-bit reservoir pointer): VBR, a file shorter than one joint, CBR.
audio join_22k_a.mp3 mp3 22050 1 -c:a libmp3lame -q:a 4 -t 1.3
audio join_22k_short.mp3 mp3 22050 1 -c:a libmp3lame -b:a 32k -t 0.02
audio join_22k_b.mp3 mp3 22050 1 -c:a libmp3lame -b:a 24k -t 0.9
# Files named .mp3 whose audio is AAC (ADTS) or MPEG layer II.
audio aac_named.mp3 adts 44100 2 -c:a aac -b:a 64k
audio mp2_named.mp3 mp2 44100 2 -c:a mp2 -b:a 128k
# Raw elementary streams: H.264 video only (no audio), and headerless PCM (no format to detect).
if [ ! -s raw_video.h264 ]; then
  ff -f lavfi -i "$video:duration=1" -c:v libx264 -preset ultrafast -pix_fmt yuv420p -f h264 ".tmp.$$.raw_video.h264"
  mv -f ".tmp.$$.raw_video.h264" raw_video.h264
fi
if [ ! -s raw_samples.pcm ]; then
  ff -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=1" -f s16le ".tmp.$$.raw_samples.pcm"
  mv -f ".tmp.$$.raw_samples.pcm" raw_samples.pcm
fi
# An empty file and a truncated M4A (its index, at the end, is missing).
[ -e empty.mp3 ] || : > empty.mp3
if [ ! -s truncated.m4a ]; then
  head -c 4096 tone.m4a > .tmp.$$.truncated.m4a
  mv -f .tmp.$$.truncated.m4a truncated.m4a
fi
# A VBR MP3 without a Xing header whose first half is noise and second half silence: the length
# FFmpeg estimates from the first frames' bit rate (about 6.6 s) is far short of the 10 s it holds.
make vbr_noxing.mp3 -f lavfi -i "aevalsrc='if(lt(t,5),random(0)*2-1,0)':s=44100:d=10" \
  -c:a libmp3lame -q:a 2 -write_xing 0
# A 10 s MP3 cut to a tenth of its bytes: its header still claims 10 s.
make tone_10s.mp3 -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=10" -c:a libmp3lame -b:a 128k
if [ ! -s truncated_tenth.mp3 ]; then
  head -c $(( $(stat -c %s tone_10s.mp3) / 10 )) tone_10s.mp3 > .tmp.$$.truncated_tenth.mp3
  mv -f .tmp.$$.truncated_tenth.mp3 truncated_tenth.mp3
fi
exit 0
