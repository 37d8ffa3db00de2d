// Stream copy for direct cut and merge: the parameter sets a later file's first key frame carries.
// The packets themselves go through PacketCopy.
#include "engine/conversion_run.h"
#include "engine/h264_nal.h"

namespace engine {

namespace {

bool IsAvcConfiguration(const AVCodecParameters* par) {
    return par->extradata_size >= 7 && par->extradata[0] == 1;
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
    h264::ParameterSets sets;
    int length_size = 0;
    if (h264::ReadParameterSets(in, &sets, &length_size))
        in_.parameter_sets = h264::SetsAsPacketData(sets, length_size);
    if (!in_.parameter_sets.empty()) video_.active_extradata = std::move(own);
}

}  // namespace engine
