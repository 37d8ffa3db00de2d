#include "engine/frame_rates.h"

namespace {
struct FrameRateRow {
    AVRational rate;
    AVRational time_base;
};
// 18 fps has no list text: only an input of that rate brings it.
constexpr FrameRateRow kFrameRates[] = {
    {{8, 1}, {1001, 8008}},
    {{10, 1}, {1001, 10010}},
    {{12, 1}, {1001, 12012}},
    {{15000, 1001}, {1001, 15000}},
    {{15, 1}, {1001, 15015}},
    {{18, 1}, {1, 18}},
    {{20, 1}, {1001, 20020}},
    {{24000, 1001}, {1001, 24000}},
    {{24, 1}, {1001, 24024}},
    {{25, 1}, {1001, 25025}},
    {{30000, 1001}, {1001, 30000}},
    {{30, 1}, {1001, 30030}},
    {{50, 1}, {1, 50}},
    {{60, 1}, {1, 60}},
};
}  // namespace

bool EncoderTimeBaseForRate(AVRational output_frame_rate, AVRational* time_base) {
    if (output_frame_rate.num <= 0 || output_frame_rate.den <= 0) return false;
    for (const auto& row : kFrameRates) {
        if (av_cmp_q(row.rate, output_frame_rate) == 0) {
            *time_base = row.time_base;
            return true;
        }
    }
    return false;
}
