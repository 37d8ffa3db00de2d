// Ogg Vorbis cut without re-encoding: the source's packets from the one before the start's packet
// (a decoder's first packet only primes the overlap of the next), behind the source's headers. The
// cut plays from the packet boundary before the start (at most half a long block early): neither
// FFmpeg's reader nor libvorbisfile drops leading samples for a first page whose granule position is
// lower than its packets give (libvorbisfile cuts as many from the end instead), so the granule
// positions count from that boundary and every reader plays the same samples. The last page's
// granule position ends the range at its sample, which every reader honours.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "engine/exact_audio_cut.h"
#include "engine/output_publish.h"
#include "media/ffmpeg_ptr.h"
#include "media/input.h"

extern "C" {
#include <libavutil/bswap.h>
#include <libavutil/crc.h>
#include <libavutil/dict.h>
#include <libavutil/random_seed.h>
}

namespace engine {

using media::PacketPtr;

namespace {

// The three Vorbis headers from FFmpeg's extradata (2, then the first two sizes in Xiph lacing).
bool SplitHeaders(const uint8_t* data, int size, std::array<std::vector<uint8_t>, 3>* headers) {
    if (!data || size < 3 || data[0] != 2) return false;
    int pos = 1;
    int sizes[3] = {0, 0, 0};
    for (int i = 0; i < 2; ++i) {
        while (pos < size && data[pos] == 255) sizes[i] += data[pos++];
        if (pos >= size) return false;
        sizes[i] += data[pos++];
    }
    sizes[2] = size - pos - sizes[0] - sizes[1];
    if (sizes[2] <= 0) return false;
    for (int i = 0; i < 3; ++i) {
        (*headers)[i].assign(data + pos, data + pos + sizes[i]);
        pos += sizes[i];
    }
    return true;
}

// The comment header again with the source's tags: FFmpeg's reader keeps only the vendor in the
// header it hands on and puts the tags in the stream's metadata. Empty when `source` is no comment
// header.
std::vector<uint8_t> CommentHeader(const std::vector<uint8_t>& source, const AVDictionary* tags) {
    auto le32 = [](const uint8_t* p) {
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    };
    auto put32 = [](std::vector<uint8_t>* out, size_t v) {
        for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    if (source.size() < 11 || source[0] != 3 || le32(&source[7]) > source.size() - 11) return {};
    std::vector<uint8_t> out(source.begin(), source.begin() + 11 + le32(&source[7]));
    std::vector<std::string> comments;
    for (const AVDictionaryEntry* e = nullptr; (e = av_dict_get(tags, "", e, AV_DICT_IGNORE_SUFFIX));)
        comments.push_back(std::string(e->key) + "=" + e->value);
    put32(&out, comments.size());
    for (const std::string& c : comments) {
        put32(&out, c.size());
        out.insert(out.end(), c.begin(), c.end());
    }
    out.push_back(1);  // framing bit
    return out;
}

// The pages of one logical Ogg stream, written through `out` as they fill.
class OggLink {
  public:
    OggLink(PublishedOutput& out, uint32_t serial) : out_(out), serial_(serial) {}

    // Adds a packet; `granule` is the stream's position after it.
    void Add(const uint8_t* data, size_t size, int64_t granule) {
        size_t left = size;
        for (;;) {
            if (lacing_.size() == 255) Emit(false, /*packet_ends=*/false);
            const size_t piece = std::min<size_t>(left, 255);
            lacing_.push_back(static_cast<uint8_t>(piece));
            body_.insert(body_.end(), data, data + piece);
            data += piece;
            left -= piece;
            if (piece < 255) break;
        }
        granule_ = granule;
        packet_ended_ = true;
    }
    void Add(const std::vector<uint8_t>& packet, int64_t granule) {
        Add(packet.data(), packet.size(), granule);
    }
    // Ends the page (the last of the stream: `last`); nothing when it is empty.
    void Flush(bool last = false) {
        if (!lacing_.empty()) Emit(last, packet_ended_);
    }
    size_t PageBytes() const { return body_.size(); }
    int64_t Granule() const { return packet_ended_ ? granule_ : 0; }  // of the page so far
    int Error() const { return error_; }

  private:
    void Emit(bool last, bool packet_ends) {
        std::vector<uint8_t> page(27 + lacing_.size());
        std::memcpy(page.data(), "OggS", 4);
        page[5] = static_cast<uint8_t>((continued_ ? 1 : 0) | (sequence_ == 0 ? 2 : 0) | (last ? 4 : 0));
        const uint64_t granule = packet_ends ? static_cast<uint64_t>(granule_) : ~uint64_t{0};
        for (int i = 0; i < 8; ++i) page[6 + i] = static_cast<uint8_t>(granule >> (8 * i));
        for (int i = 0; i < 4; ++i) page[14 + i] = static_cast<uint8_t>(serial_ >> (8 * i));
        for (int i = 0; i < 4; ++i) page[18 + i] = static_cast<uint8_t>(sequence_ >> (8 * i));
        page[26] = static_cast<uint8_t>(lacing_.size());
        std::memcpy(&page[27], lacing_.data(), lacing_.size());
        page.insert(page.end(), body_.begin(), body_.end());
        const AVCRC* table = av_crc_get_table(AV_CRC_32_IEEE);
        const uint32_t crc = av_bswap32(av_crc(table, 0, page.data(), page.size()));
        for (int i = 0; i < 4; ++i) page[22 + i] = static_cast<uint8_t>(crc >> (8 * i));
        if (int error = out_.Write(page.data(), page.size()); error < 0 && error_ == 0) error_ = error;
        continued_ = !packet_ends;
        packet_ended_ = false;
        ++sequence_;
        lacing_.clear();
        body_.clear();
    }

    PublishedOutput& out_;
    uint32_t serial_;
    uint32_t sequence_ = 0;
    std::vector<uint8_t> lacing_;
    std::vector<uint8_t> body_;
    int64_t granule_ = 0;
    bool packet_ended_ = false;
    bool continued_ = false;
    int error_ = 0;
};

constexpr size_t kPageBytes = 4096;

// Writes the headers of a link, each set ending its page as Ogg Vorbis requires.
void WriteHeaders(OggLink& link, const std::array<std::vector<uint8_t>, 3>& headers) {
    link.Add(headers[0], 0);
    link.Flush();
    link.Add(headers[1], 0);
    link.Add(headers[2], 0);
    link.Flush();
}

// Where the sound of a packet ends: FFmpeg's reader stamps a packet that changes the block size
// with the duration of a block like the one before, and its start to match, so only the ends of
// packets are right.
int64_t End(const AVPacket& pkt) { return pkt.pts + pkt.duration; }

}  // namespace

bool RunVorbisCut(const JobRequest& request, bool to_end, JobProgress& progress) {
    media::InputOptions options;
    options.video_decoder = options.audio_decoder = false;
    media::Input source = media::OpenInput(request.inputs[0].path, options);
    AVStream* st = source.audio;
    std::array<std::vector<uint8_t>, 3> headers;
    if (!source.ok() || !st || st->time_base.num != 1 || st->time_base.den != st->codecpar->sample_rate ||
        !SplitHeaders(st->codecpar->extradata, st->codecpar->extradata_size, &headers))
        return false;
    if (std::vector<uint8_t> comment = CommentHeader(headers[1], st->metadata); !comment.empty())
        headers[1] = std::move(comment);
    progress.current_file.store(0);
    progress.percent.store(0);
    auto finish = [&](const char* step, int error) {
        EndCut(progress, step, error);
        return true;
    };
    const CutSamples range = CutRange(request.inputs[0], st->codecpar->sample_rate, to_end);
    const int64_t start = range.start, end = range.Stop();
    if (range.end <= start) return finish("the range holds no sound", 0);

    PublishedOutput out;
    int error = 0;
    // The packet before the one whose sound holds the start leads; a packet's sound starts where the
    // one before ends.
    PacketPtr previous(av_packet_alloc()), pkt(av_packet_alloc());
    bool have_previous = false;
    auto read = [&](AVPacket* into) {
        while (!progress.cancel_requested.load() && av_read_frame(source.format.get(), into) >= 0) {
            if (into->stream_index == st->index && into->pts != AV_NOPTS_VALUE) return true;
            av_packet_unref(into);
        }
        return false;
    };
    while (read(pkt.get()) && End(*pkt) <= start) {
        av_packet_unref(previous.get());
        av_packet_move_ref(previous.get(), pkt.get());
        have_previous = true;
    }
    if (progress.cancel_requested.load()) return finish(nullptr, 0);
    if (!have_previous || pkt->size == 0) return finish("the range holds no sound", 0);
    if ((error = out.Open(request.output_path)) < 0) return finish("could not create the output file", error);

    OggLink link(out, av_get_random_seed());
    WriteHeaders(link, headers);
    // The leading packet's sound ends where the output's begins.
    const int64_t origin = End(*previous);
    bool first_page = true;
    for (;;) {
        const bool have_next = pkt->size > 0 && End(*previous) < end;
        const int64_t granule = std::min(End(*previous), end) - origin;
        // The first page of sound must not be the last (FFmpeg's reader takes a stream's start from
        // a page that does not end it), and no page's granule position may be negative.
        if (!have_next && first_page && link.Granule() > 0) {
            link.Flush();
            first_page = false;
        }
        link.Add(previous->data, previous->size, granule);
        if ((!have_next || link.PageBytes() >= kPageBytes) && granule > 0) {
            link.Flush(!have_next);
            first_page = false;
        }
        if (!have_next) break;
        av_packet_unref(previous.get());
        av_packet_move_ref(previous.get(), pkt.get());
        progress.percent.store(range.Percent(std::max<int64_t>(End(*previous) - start, 0)));
        read(pkt.get());
    }
    if (link.Error() < 0) {
        out.Discard();
        return finish("could not write the output file", link.Error());
    }
    const JobFailure published = out.Publish();
    if (published.failed()) return finish(published.step.c_str(), published.error);
    progress.SetPublishedPath(out.published_path());
    return finish(nullptr, 0);
}

}  // namespace engine
