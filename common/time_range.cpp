#include "common/time_range.h"

#include <algorithm>
#include <limits>

#include "common/time_text.h"

int32_t UsToMs(int64_t us) {
    const int64_t ms = us / 1000;
    return static_cast<int32_t>(
        std::clamp<int64_t>(ms, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

std::string PositionText(int32_t position_ms, int32_t duration_ms) {
    return TimeToText(position_ms) + " / " + TimeToText(duration_ms);
}

namespace {

// Per-mille of the duration, clamped to the slider's range. A file without a known duration would
// divide by zero; its marks go to the two ends.
int PerMille(int64_t value_ms, int64_t duration_ms, int if_no_duration) {
    if (duration_ms <= 0) return if_no_duration;
    const int64_t v = value_ms * kPreviewSliderMax / duration_ms;
    return static_cast<int>(std::clamp<int64_t>(v, 0, kPreviewSliderMax));
}

}  // namespace

int SliderValueAt(int32_t ms, int32_t duration_ms) { return PerMille(ms, duration_ms, 0); }

LoadedVideoView ViewOfLoadedVideo(int64_t duration_us, int64_t range_start_us, int64_t range_end_us) {
    const int32_t d = UsToMs(duration_us);
    const int32_t s = UsToMs(range_start_us);
    const int32_t e = UsToMs(range_end_us);
    LoadedVideoView view;
    view.selection_start = PerMille(s, d, 0);
    view.selection_end = PerMille(e, d, kPreviewSliderMax);
    view.fields.start = TimeToText(s);
    view.fields.end = TimeToText(e);
    view.fields.length = TimeToText(e - s);
    view.position = PositionText(s, e);
    return view;
}

TrackedPosition PositionAtThumb(int thumb, int64_t duration_us) {
    // The share is taken in single precision, as the slider's message carried it.
    const float share = static_cast<float>(thumb) / static_cast<float>(kPreviewSliderMax);
    const double duration_s = static_cast<double>(duration_us) / 1000000.0;
    TrackedPosition p;
    p.seek_s = share * duration_s;
    p.preview_ms = static_cast<int32_t>(p.seek_s * 1000);
    p.position = PositionText(p.preview_ms, static_cast<int32_t>(duration_s * 1000));
    return p;
}

TimeFields FieldsForStartPoint(int32_t preview_ms, int64_t duration_us) {
    const int32_t d = UsToMs(duration_us);
    return {TimeToText(preview_ms), TimeToText(d), TimeToText(d - preview_ms)};
}

TimeFields FieldsForEndPoint(const std::string& start_text, int32_t preview_ms) {
    const int32_t s = TextToTime(start_text);
    if (preview_ms > s) return {start_text, TimeToText(preview_ms), TimeToText(preview_ms - s)};
    return {TimeToText(preview_ms), TimeToText(s), TimeToText(s - preview_ms)};
}

std::string LengthText(const std::string& start_text, const std::string& end_text) {
    const int32_t s = TextToTime(start_text);
    const int32_t e = TextToTime(end_text);
    return s < e ? TimeToText(e - s) : TimeToText(0);
}

const char* CutRangeRefusalKey(const std::string& start_text, const std::string& end_text,
                               int32_t duration_ms) {
    const std::optional<int32_t> start = ParseTimeText(start_text);
    const std::optional<int32_t> end = ParseTimeText(end_text);
    if (!start || !end) return "sjgscw";
    if (*end <= *start) return "jsxyks";
    if (*start >= duration_ms) return "kscgsc";
    return nullptr;
}
