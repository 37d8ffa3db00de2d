#pragma once
// Stream copy: the packets of one input's chosen video and audio streams go unchanged into an output
// whose streams are already set up, file after file, each packet keeping its own time stamps rebased
// onto the output's timeline. Shared by both media engines (an audio job passes no video streams).
// Runs on the worker thread; owns nothing of the input or the muxer.
//
// Timing rules:
// - A file starts at its first key frame: its display time is the file's origin, placed where the
//   output stands (0 for the first file). Pictures before it are dropped.
// - A cut ends after the last picture shown before its end (plus the pictures decoded before the end
//   that later pictures may refer to), so the whole chosen range is kept.
// - Audio is kept from the origin to the end of the file's pictures, so sound starts and ends with
//   the picture. A decoder plays every audio packet whole, so in a merge a packet that would run
//   past the pictures is dropped (its sound would overlap the next file's and push it late), and
//   audio that outlasts the pictures by more than one audio frame is kept whole while the next file
//   waits for its real end. Joints thus stay within one audio frame and never add up.
// - A file without a copied video stream is timed by its audio alone (origin: the range start); a cut
//   runs from the packet that holds the start until the range's length is written.

#include <cstdint>
#include <deque>
#include <limits>
#include <vector>

#include "media/ffmpeg_ptr.h"

namespace engine {

class PacketCopy {
  public:
    // Starts a file. in_video/in_audio are the input streams to copy (null: none); out_video and
    // out_audio the output streams they go to (non-null where the input stream is). start_s and end_s
    // bound a cut on the file's own clock (its start time included); a merge passes 0 and infinity.
    void BeginFile(const AVStream* in_video, const AVStream* in_audio, AVStream* out_video,
                   AVStream* out_audio, double start_s, double end_s, bool merge);
    // Bytes to put in front of the file's first key frame (a later file's own H.264 parameter sets).
    void SetKeyFramePrefix(std::vector<uint8_t> prefix) { prefix_ = std::move(prefix); }

    // Takes one packet read from the input (its reference is moved out; packets of other streams are
    // left alone) and writes what can be written. Returns 0, or the negative FFmpeg error of a failed
    // video write.
    int Add(AVFormatContext* muxer, AVPacket* pkt);
    // The file's packets have all been given (or reading stops): writes or drops what is held back.
    int EndFile(AVFormatContext* muxer);
    // The file's pictures are all given (an exact cut decides its last picture itself): the sound
    // that belongs to them can be decided.
    int EndPictures(AVFormatContext* muxer) {
        video_done_ = true;
        return FlushAudio(muxer, false);
    }
    // The cut's range is complete: later packets of this file would all be dropped.
    bool Finished() const;
    // Whether the file gave the output at least one picture (always true for a file without video).
    bool WrotePicture() const { return !in_video_ || pictures_ > 0; }
    // Whether the file gave the output any sound.
    bool WroteSound() const { return sound_packets_ > 0; }

    // The output's clocks in seconds: where each stream's last packet ends.
    double VideoEnd() const { return video_end_us_ / 1e6; }
    double AudioEnd() const { return audio_end_us_ / 1e6; }

  private:
    // One input stream's packet, in AV_TIME_BASE units.
    struct Times {
        int64_t pts = 0;
        int64_t dts = 0;
        int64_t duration = 0;
        int64_t played = 0;  // audio: at least the decoded frame's length
        bool has_dts = false;
    };
    Times TimesOf(const AVPacket* pkt, const AVStream* stream, int64_t fallback_duration) const;
    // A packet held back with its times, read once when it arrived.
    struct Held {
        media::PacketPtr packet;
        Times t;
    };
    Held Hold(AVPacket* pkt, const Times& t);
    // Writes the held pictures in order; stops at the first failed write unless told to go on, and
    // returns the first error.
    int WriteHeldVideo(AVFormatContext* muxer, bool past_errors);
    bool TakeVideo(AVPacket* pkt, const Times& t);
    void Anchor();
    int FlushAudio(AVFormatContext* muxer, bool file_ended);
    int Write(AVFormatContext* muxer, AVPacket* pkt, AVStream* out, const Times& t, int64_t* last_dts);
    void AttachFlacStreamInfo(AVPacket* pkt, const AVStream* out);

    const AVStream* in_video_ = nullptr;
    const AVStream* in_audio_ = nullptr;
    AVStream* out_video_ = nullptr;
    AVStream* out_audio_ = nullptr;
    bool merge_ = false;
    int64_t start_us_ = 0;
    int64_t end_us_ = std::numeric_limits<int64_t>::max();
    int64_t video_frame_us_ = 40000;  // one picture, when a packet does not say
    int64_t audio_frame_us_ = 0;      // the longest audio packet seen in the file

    // The file's origin on its own clock and where it goes on the output's.
    bool anchored_ = false;
    bool origin_known_ = false;
    int64_t origin_us_ = 0;
    int64_t placed_us_ = 0;
    std::vector<uint8_t> prefix_;

    // Video of the current file.
    bool video_done_ = false;
    bool origin_final_ = false;    // a cut's origin may move to a later key frame before its start
    bool audio_past_end_ = false;  // a sound packet past the pictures' end has been seen
    int64_t pictures_ = 0;
    int64_t sound_packets_ = 0;
    int64_t kept_video_end_us_ = std::numeric_limits<int64_t>::min();  // file clock
    int64_t max_kept_pts_us_ = std::numeric_limits<int64_t>::min();
    std::deque<Held> held_video_;  // read before the origin was placed
    std::deque<Held> held_audio_;  // waiting for the pictures that decide them
    int64_t first_kept_audio_us_ = std::numeric_limits<int64_t>::min();  // file clock; sound alone

    // The output timeline, across files.
    int64_t video_end_us_ = 0;
    int64_t audio_end_us_ = 0;
    int64_t last_video_dts_ = std::numeric_limits<int64_t>::min();  // output stream time base
    int64_t last_audio_dts_ = std::numeric_limits<int64_t>::min();
    bool first_file_ = true;
    bool negative_times_ = false;  // the container takes negative time stamps (else the first file
                                   // is placed so that none is written)
};

}  // namespace engine
