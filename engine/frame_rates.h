#pragma once
// The frame rates an output may be asked for, as numbers, and the encoder time base each selects.

extern "C" {
#include <libavutil/rational.h>
}

// The encoder time base (the duration of one frame) an output frame rate selects, compared by exact
// equality; false for a value not in the table (the input stream's time base then stays).
bool EncoderTimeBaseForRate(double output_frame_rate, AVRational* time_base);
