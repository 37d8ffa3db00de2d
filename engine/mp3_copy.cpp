// MP3 without re-encoding: the sample-exact cut and the lossless join. Both copy whole frames byte
// for byte behind a new Xing/Info frame whose LAME tag tells decoders how many samples to drop at the
// start (encoder delay) and at the end (padding); the join also re-encodes the few frames at each
// joint (engine/mp3_joint.*).
#include <algorithm>
#include <cmath>

#include "engine/audio_job.h"
#include "engine/exact_audio_cut.h"
#include "engine/mp3_joint.h"
#include "engine/mp3_stream.h"
#include "engine/output_publish.h"

extern "C" {
#include <libavutil/error.h>
}

namespace engine {

namespace {

struct Mp3Layout {
    std::vector<uint8_t> prefix;      // written before the Xing frame (a cut keeps the ID3v2 tag)
    std::vector<uint8_t> lead_frame;  // one frame before the pieces' frames when not empty
    std::vector<Mp3Piece> pieces;
    size_t FrameCount() const {
        size_t count = lead_frame.empty() ? 0 : 1;
        for (const Mp3Piece& piece : pieces) count += piece.size();
        return count;
    }
    int encoder_delay = 0;
    int padding = 0;
    std::vector<uint8_t> lame_tag;
    Mp3FrameHeader like;
};

// Offsets from the first frame and the bytes of the first `frames` frames of the pieces; the CRC of
// those bytes when `crc` is given.
int64_t FrameOffsets(const Mp3Layout& layout, size_t frames, std::vector<int64_t>* offsets, uint16_t* crc) {
    int64_t bytes = 0;
    offsets->clear();
    if (crc) *crc = 0;
    if (!layout.lead_frame.empty() && frames > 0) {
        offsets->push_back(0);
        bytes = static_cast<int64_t>(layout.lead_frame.size());
        if (crc) *crc = LameCrc(*crc, layout.lead_frame.data(), layout.lead_frame.size());
    }
    for (const Mp3Piece& piece : layout.pieces) {
        for (size_t f = piece.first; f < piece.end && offsets->size() < frames; ++f) {
            const Mp3Frame& frame = piece.stream->frames[f];
            offsets->push_back(bytes);
            bytes += frame.size;
            if (crc) *crc = LameCrc(*crc, &piece.stream->bytes[frame.offset], frame.size);
        }
    }
    return bytes;
}

// Writes the layout into a new file. With `file_per_piece` each piece counts for its own job input
// (the join), else the whole job is input 0. A stop keeps the frames written so far, under a header that
// counts them. Returns 0, or the FFmpeg error of the step that failed (the file is then removed).
int WriteMp3(const std::string& path, const Mp3Layout& layout, bool file_per_piece, JobProgress& progress,
             const char** failed_step) {
    const size_t total_frames = layout.FrameCount();
    std::vector<int64_t> offsets;
    uint16_t crc = 0;
    int64_t frames_bytes = FrameOffsets(layout, total_frames, &offsets, &crc);
    std::vector<uint8_t> xing = MakeXingFrame(layout.like, offsets, frames_bytes, layout.encoder_delay,
                                              layout.padding, crc, layout.lame_tag);

    PublishedOutput file;
    int opened = file.Open(path);
    AVIOContext* io = opened < 0 ? nullptr : file.io();
    if (!io) {
        *failed_step = "could not create the output file";
        return opened < 0 ? opened : AVERROR(ENOMEM);
    }
    avio_write(io, layout.prefix.data(), static_cast<int>(layout.prefix.size()));
    avio_write(io, xing.data(), static_cast<int>(xing.size()));
    avio_write(io, layout.lead_frame.data(), static_cast<int>(layout.lead_frame.size()));

    size_t written = layout.lead_frame.empty() ? 0 : 1;
    bool stopped = false;
    // Per input: its frames in all pieces, and those written.
    std::vector<size_t> input_frames, input_done;
    for (const Mp3Piece& piece : layout.pieces) {
        input_frames.resize(std::max<size_t>(input_frames.size(), piece.input + 1));
        input_frames[piece.input] += piece.size();
    }
    input_done.resize(input_frames.size());
    int done_inputs = 0;  // inputs before this one are written
    for (size_t p = 0; p < layout.pieces.size() && !stopped; ++p) {
        const Mp3Piece& piece = layout.pieces[p];
        if (file_per_piece) {
            for (; done_inputs < piece.input; ++done_inputs)
                if (progress.file_status[done_inputs].load() != JOB_FILE_FAILED)
                    progress.file_status[done_inputs].store(JOB_FILE_DONE);
            progress.current_file.store(piece.input);
        }
        // Runs of frames that lie one after the other in the input go out in one write.
        size_t f = piece.first;
        while (f < piece.end) {
            if (progress.cancel_requested.load()) {
                stopped = true;
                break;
            }
            const Mp3Frame& start = piece.stream->frames[f];
            int64_t run_end = start.offset + start.size;
            size_t g = f + 1;
            while (g < piece.end && piece.stream->frames[g].offset == run_end &&
                   run_end - start.offset < (1 << 20))
                run_end += piece.stream->frames[g++].size;
            avio_write(io, &piece.stream->bytes[start.offset], static_cast<int>(run_end - start.offset));
            written += g - f;
            input_done[piece.input] += g - f;
            f = g;
            size_t done = file_per_piece ? input_done[piece.input] : written;
            size_t of = file_per_piece ? input_frames[piece.input] : total_frames;
            progress.percent.store(of ? static_cast<int32_t>(done * 100 / of) : 100);
        }
    }
    if (!stopped && file_per_piece) {
        for (; done_inputs < static_cast<int>(input_frames.size()); ++done_inputs)
            if (progress.file_status[done_inputs].load() != JOB_FILE_FAILED)
                progress.file_status[done_inputs].store(JOB_FILE_DONE);
    }
    if (stopped) {
        // The header counts what was written; the last frame's padding is no longer known.
        frames_bytes = FrameOffsets(layout, written, &offsets, &crc);
        xing =
            MakeXingFrame(layout.like, offsets, frames_bytes, layout.encoder_delay, 0, crc, layout.lame_tag);
        avio_seek(io, static_cast<int64_t>(layout.prefix.size()), SEEK_SET);
        avio_write(io, xing.data(), static_cast<int>(xing.size()));
        avio_seek(io, 0, SEEK_END);
    }
    avio_flush(io);
    if (io->error < 0) {
        int error = io->error;
        file.Discard();
        *failed_step = "could not write the output file";
        return error;
    }
    const JobFailure published = file.Publish();
    if (published.failed()) {
        // The publishing steps' texts are literals: keep the one that says what happened.
        *failed_step = published.error == AVERROR(ENOENT)
                           ? "the output folder no longer holds the output file"
                           : "could not write the output file";
        return published.error < 0 ? published.error : AVERROR(EIO);
    }
    progress.SetPublishedPath(file.published_path());
    return 0;
}

}  // namespace

bool RunMp3Cut(const JobRequest& request, bool to_end, JobProgress& progress) {
    const JobInput& in = request.inputs[0];
    Mp3Stream s;
    if (!ReadMp3Stream(in.path, &s).empty()) return false;
    progress.current_file.store(0);
    progress.percent.store(0);
    auto finish = [&](const char* step, int error) {
        EndCut(progress, step, error);
        return true;
    };

    // Sample positions count the decoded sound, as a player shows it; raw positions count from the
    // first frame's first decoded sample, before the start skip.
    const int spf = s.first.samples;
    const int64_t total = s.DecodedSamples();
    const CutSamples range = CutRange(in, s.first.sample_rate, to_end);
    const int64_t start = range.start;
    // The frames counted, not the container's duration: without a Xing header that is an estimate.
    const int64_t end = std::min(total, range.Stop());
    if (end <= start) return finish("the range holds no sound", 0);
    const int64_t raw_start = start + s.StartSkip();
    const int64_t raw_end = end + s.StartSkip();

    const size_t start_frame = static_cast<size_t>(raw_start / spf);
    const size_t last_frame = std::min(static_cast<size_t>((raw_end - 1) / spf), s.frames.size() - 1);
    // The frame before the start is decoded as well: the first samples of the start frame overlap it.
    const size_t preroll = start_frame > 0 ? start_frame - 1 : 0;
    size_t first = std::min(ReservoirStart(s, preroll), ReservoirStart(s, start_frame));
    // The tag holds at most 4095 samples of delay: at low bit rates the reservoir may reach further
    // back than that allows, and then its oldest frames are left out.
    while (first < preroll && raw_start - static_cast<int64_t>(first) * spf - kMp3DecoderDelay > 4095)
        ++first;

    Mp3Layout layout;
    layout.like = s.first;
    layout.lame_tag = s.lame_tag;
    layout.prefix.assign(s.bytes.begin(), s.bytes.begin() + s.id3v2_size);
    layout.pieces.push_back({&s, first, last_frame + 1});
    int64_t first_raw = static_cast<int64_t>(first) * spf;
    int64_t frames_raw = static_cast<int64_t>(last_frame + 1 - first) * spf;
    // A decoder that reads the tag drops its own delay at least: a start in a stream's first 529
    // samples (a file without a LAME tag) is reached through a frame of silence in front, which
    // leaves the decoder as the stream's start does.
    if (raw_start - first_raw < kMp3DecoderDelay) {
        layout.lead_frame = MakeSilentFrame(s.first);
        first_raw -= spf;
        frames_raw += spf;
    }
    layout.encoder_delay = static_cast<int>(raw_start - first_raw - kMp3DecoderDelay);
    layout.padding = static_cast<int>(frames_raw + kMp3DecoderDelay - (raw_end - first_raw));

    const char* step = nullptr;
    int error = WriteMp3(request.output_path, layout, false, progress, &step);
    return finish(step, error);
}

void RunMp3CopyJoin(const JobRequest& request, JobProgress& progress) {
    const int count = request.FileCount();
    progress.current_file.store(0);
    progress.percent.store(0);
    auto fail_all = [&](const char* step, int error) {
        for (int i = 0; i < count; ++i) progress.Fail(i, {step, error});
        progress.current_file.store(count);
    };
    std::vector<Mp3Stream> streams(count);
    for (int i = 0; i < count; ++i) {
        progress.current_file.store(i);
        if (progress.cancel_requested.load()) return progress.current_file.store(count);
        std::string why = ReadMp3Stream(request.inputs[i].path, &streams[i]);
        bool differs = why.empty() && i > 0 &&
                       (streams[i].first.sample_rate != streams[0].first.sample_rate ||
                        streams[i].first.channels != streams[0].first.channels);
        if (!why.empty() || differs) {
            progress.Fail(i, {differs ? "its sample rate or channel count differs from the first file's"
                                      : "could not read the MP3 frames",
                              0});
            for (int j = 0; j < count; ++j)
                if (j != i) progress.Fail(j, {"another file cannot be joined without re-encoding", 0});
            progress.current_file.store(count);
            return;
        }
    }
    if (request.output_path.empty()) return fail_all("no output format fits the output name", 0);

    // The frames around each joint are re-encoded so that the files' sounds follow one another; a
    // file without a LAME tag counts as sound from its first decoded sample.
    const char* step = nullptr;
    Mp3JoinPlan plan;
    int error = PlanMp3Join(streams, progress.cancel_requested, &plan, &step);
    if (error == AVERROR_EXIT) return progress.current_file.store(count);
    if (error < 0) return fail_all(step, error);
    Mp3Layout layout;
    layout.like = streams[0].first;
    layout.lame_tag = streams[0].lame_tag;
    layout.pieces = plan.pieces;
    layout.encoder_delay = plan.encoder_delay;
    layout.padding = plan.padding;

    error = WriteMp3(request.output_path, layout, true, progress, &step);
    if (step) return fail_all(step, error);
    progress.current_file.store(count);
}

}  // namespace engine

Mp3JoinCheck CheckMp3CopyJoin(const std::vector<std::string>& paths) {
    Mp3JoinCheck check;
    engine::Mp3FrameHeader first;
    for (size_t i = 0; i < paths.size(); ++i) {
        engine::Mp3Stream s;
        if (!engine::ReadMp3Stream(paths[i], &s).empty()) {
            check.problem = Mp3JoinProblem::kUnreadable;
        } else if (i == 0) {
            first = s.first;
            continue;
        } else if (s.first.sample_rate != first.sample_rate) {
            check = {Mp3JoinProblem::kSampleRate, 0, {}, s.first.sample_rate, first.sample_rate};
        } else if (s.first.channels != first.channels) {
            check = {Mp3JoinProblem::kChannels, 0, {}, s.first.channels, first.channels};
        } else {
            continue;
        }
        check.file = static_cast<int>(i);
        check.path = paths[i];
        return check;
    }
    return check;
}
