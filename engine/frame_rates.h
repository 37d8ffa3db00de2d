#pragma once
// The frame rates an output may be asked for, as numbers, and the encoder time base each selects.

extern "C" {
#include <libavutil/rational.h>
}

// The encoder time base (the duration of one frame) an output frame rate selects, compared as exact
// fractions (30000/1001, 25/1); false for a rate not in the table (the input stream's time base then
// stays).
bool EncoderTimeBaseForRate(AVRational output_frame_rate, AVRational* time_base);
