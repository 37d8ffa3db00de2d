#pragma once
// A direct cut of H.264 video that starts and ends at the range's own pictures. The pictures from the
// start to the next key frame are decoded (from the key frame before the start) and encoded again as
// a closed group that starts with a key frame; the packets from that key frame on are copied. At the
// end, copied packets stop at the last point where every picture before it shows before every
// picture after it; the few pictures between that point and the end are encoded again the same way.
//
// The encoder matches the source's picture size, pixel format, aspect ratio, colours, profile and
// level and time base; its parameter sets get an id the source does not use, so both generations
// live side by side: in the output's "avcC" record (MP4, MOV, Matroska) or in band before each key
// frame (MPEG-TS). Decode times keep rising across each splice with the copied part's own delay.
// Sound is copied untouched by PacketCopy, which ExactCut feeds. Runs on the worker thread.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "engine/h264_nal.h"
#include "media/ffmpeg_ptr.h"

// Why a direct cut cannot start and end exactly (it then cuts at the key frames).
enum class ExactCutRefusal {
    kNone = 0,
    kUnreadable,     // the input cannot be opened or read
    kNotH264,        // no video, or video of another codec
    kNoEncoder,      // no libx264 in this FFmpeg
    kPictureFormat,  // pictures the encoder cannot match (pixel format, interlacing)
    kParameterSets,  // the source's parameter sets cannot be read or joined
};

// Whether a direct cut of the input into output_path (its container chosen by the extension) can
// start and end exactly. Opens the input and an encoder; reads no pictures.
ExactCutRefusal CheckExactCut(const std::string& input_path, const std::string& output_path);

namespace engine {

class PacketCopy;

class ExactCut {
  public:
    // Before the output's header is written: opens an encoder that matches in_video and, for
    // containers with a global header, gives out_par the extradata that carries both generations of
    // parameter sets. in_video must outlive the cut.
    ExactCutRefusal Prepare(const AVStream* in_video, bool global_header, AVCodecParameters* out_par);

    // Starts the file's cut of [start_s, end_s) on the file's own clock; the reading position is at
    // the key frame at or before the start. `copy` has begun the file and receives every packet.
    // Returns 0 or a negative FFmpeg error (no decoder).
    int Begin(PacketCopy* copy, double start_s, double end_s);
    // Takes one packet read from the input (its reference is moved out or dropped). Returns 0 or a
    // negative FFmpeg error.
    int Add(AVFormatContext* muxer, AVPacket* pkt);
    // The input ended (or reading stopped): finishes the pictures.
    int End(AVFormatContext* muxer);

    // Pictures encoded again so far (for the tests' and the bench's word only).
    int PicturesEncoded() const { return encoded_pictures_; }

  private:
    enum class Phase { kLead, kCopy, kDone };
    int LeadVideo(AVFormatContext* muxer, AVPacket* pkt);
    int CopyVideo(AVFormatContext* muxer, AVPacket* pkt);
    int StartCopy(AVFormatContext* muxer, AVPacket* pkt);
    int DecodeInto(const AVPacket* pkt);
    int Encode(AVFrame* frame);
    ExactCutRefusal OpenEncoder(media::CodecContextPtr* out) const;
    int WriteSegment(AVFormatContext* muxer, const AVPacket* next_key);
    int ReleaseGop(AVFormatContext* muxer, size_t count);
    int ResolveEnd(AVFormatContext* muxer);
    int EndPictures(AVFormatContext* muxer);
    bool IsIdr(const AVPacket* pkt) const;

    // Set up by Prepare.
    const AVStream* in_ = nullptr;
    AVRational tb_{1, 1};
    AVRational rate_{25, 1};
    int64_t frame_ticks_ = 1;  // one picture at the nominal rate, in tb_
    int reorder_depth_ = 4;    // pictures a decoder may hold back
    int length_size_ = 0;      // the source packets' NAL lengths; 0: start codes
    bool global_header_ = false;
    int sps_id_ = 1;
    h264::ParameterSets source_sets_;
    std::vector<uint8_t> encoder_extradata_;  // every segment's encoder gives exactly this
    media::CodecContextPtr encoder_;

    // The file's cut.
    PacketCopy* copy_ = nullptr;
    Phase phase_ = Phase::kDone;
    int64_t start_ = 0, end_ = 0;  // tb_
    media::CodecContextPtr decoder_;
    media::FramePtr frame_;
    bool decoding_ = false;
    bool lead_past_end_ = false;             // the decoder showed a picture at or after the end
    int64_t key_delay_ = 0;                  // a source key frame's display minus decode time, tb_
    int64_t encode_from_ = 0;                // at the end: the first picture encoded again, tb_
    int64_t copy_from_ = INT64_MIN;          // display time of the first copied picture
    std::vector<media::PacketPtr> segment_;  // encoded, until the splice's decode times are known
    std::vector<int64_t> durations_;         // the segment's pictures' source durations, in order
    std::deque<media::PacketPtr> gop_;       // copied packets since the last key frame, not yet given on
    int past_end_run_ = 0;                   // packets in a row shown at or after the end
    int encoded_pictures_ = 0;
};

}  // namespace engine
