#include "engine/frame_rates.h"

namespace {
struct FrameRateRow {
    double rate;
    AVRational time_base;
};
// 18 fps has no list text: only an input of that rate brings it.
constexpr FrameRateRow kFrameRates[] = {
    {8, {1001, 8008}},   {10, {1001, 10010}}, {12, {1001, 12012}},    {14.985, {1001, 15000}},
    {15, {1001, 15015}}, {18, {1, 18}},       {20, {1001, 20020}},    {23.975, {1001, 24000}},
    {24, {1001, 24024}}, {25, {1001, 25025}}, {29.97, {1001, 30000}}, {30, {1001, 30030}},
    {50, {1, 50}},       {60, {1, 60}},
};
}  // namespace

bool EncoderTimeBaseForRate(double output_frame_rate, AVRational* time_base) {
    for (const auto& row : kFrameRates) {
        if (row.rate == output_frame_rate) {
            *time_base = row.time_base;
            return true;
        }
    }
    return false;
}
