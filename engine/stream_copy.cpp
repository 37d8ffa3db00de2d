// Stream copy for direct cut and merge: the parameter sets a later file's first key frame carries.
// The packets themselves go through PacketCopy.
#include "engine/conversion_run.h"

namespace engine {

namespace {

bool IsAvcConfiguration(const AVCodecParameters* par) {
    return par->extradata_size >= 7 && par->extradata[0] == 1;
}

// The parameter sets of an H.264 stream's extradata as packet data: as they are for an Annex B
// stream, each with a big-endian length of `length_size` bytes for an "avcC" one. Empty when the
// extradata cannot be read.
std::vector<uint8_t> ParameterSetsAsPacketData(const AVCodecParameters* par, int length_size) {
    const uint8_t* d = par->extradata;
    const size_t n = static_cast<size_t>(par->extradata_size);
    if (!IsAvcConfiguration(par)) return std::vector<uint8_t>(d, d + n);
    std::vector<uint8_t> out;
    size_t pos = 5;
    for (int kind = 0; kind < 2; ++kind) {  // sequence, then picture parameter sets
        if (pos >= n) return {};
        int count = kind == 0 ? (d[pos] & 0x1f) : d[pos];
        ++pos;
        for (int k = 0; k < count; ++k) {
            if (pos + 2 > n) return {};
            size_t length = static_cast<size_t>(d[pos] << 8 | d[pos + 1]);
            pos += 2;
            if (pos + length > n) return {};
            for (int b = length_size - 1; b >= 0; --b) out.push_back(static_cast<uint8_t>(length >> (8 * b)));
            out.insert(out.end(), d + pos, d + pos + length);
            pos += length;
        }
    }
    return out;
}

}  // namespace

void ConversionRun::PrepareParameterSets() {
    in_.parameter_sets.clear();
    const AVCodecParameters* in = in_.video->codecpar;
    const AVCodecParameters* out = video_.out->codecpar;
    if (in->codec_id != AV_CODEC_ID_H264 || out->codec_id != AV_CODEC_ID_H264) return;
    // The sets in effect: the output header's, or those the last file before brought along.
    if (!video_.active_extradata_known) {
        video_.active_extradata.assign(out->extradata, out->extradata + out->extradata_size);
        video_.active_extradata_known = true;
    }
    std::vector<uint8_t> own(in->extradata, in->extradata + in->extradata_size);
    if (own == video_.active_extradata) return;
    // A file whose pictures refer to other parameter sets carries its own in front of its first key
    // frame, in the packets' own NAL form.
    if (IsAvcConfiguration(in) != IsAvcConfiguration(out)) return;
    if (IsAvcConfiguration(in) && (in->extradata[4] & 3) != (out->extradata[4] & 3)) return;
    int length_size = IsAvcConfiguration(in) ? (in->extradata[4] & 3) + 1 : 0;
    in_.parameter_sets = ParameterSetsAsPacketData(in, length_size);
    if (!in_.parameter_sets.empty()) video_.active_extradata = std::move(own);
}

}  // namespace engine
