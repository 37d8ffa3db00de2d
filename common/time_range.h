#pragma once
// What the cut tab shows for the preview position and the chosen time range: the texts of the start,
// end and length fields, the position text and the slider's selection marks. Plain functions over
// millisecond values and time texts; the window applies the results to its controls.

#include <cstdint>
#include <string>

// Slider range of the preview: positions and selection marks are per-mille of the duration.
inline constexpr int kPreviewSliderMax = 1000;

// Texts of the start (1023), end (1024) and length (1025) fields.
struct TimeFields {
    std::string start;
    std::string end;
    std::string length;
};

// A video was loaded: the whole probed range is selected.
struct LoadedVideoView {
    int selection_start = 0;  // per-mille, for SetSelectionStart
    int selection_end = 0;    // per-mille, for SetSelectionEnd
    TimeFields fields;
    std::string position;  // text of 1184
};
LoadedVideoView ViewOfLoadedVideo(int64_t duration_us, int64_t range_start_us, int64_t range_end_us);

// The thumb moved to a slider position: the preview frame to decode and the new position text.
struct TrackedPosition {
    double seek_s = 0;       // where the preview frame is taken, seconds
    int32_t preview_ms = 0;  // the new preview position
    std::string position;    // text of 1184
};
TrackedPosition PositionAtThumb(int thumb, int64_t duration_us);

// Start point at the preview position: the end resets to the end of the video.
TimeFields FieldsForStartPoint(int32_t preview_ms, int64_t duration_us);

// End point at the preview position, given the start field's text. When the end lies at or before
// the start the two are swapped, so the start stays the earlier time.
TimeFields FieldsForEndPoint(const std::string& start_text, int32_t preview_ms);

// Length text for the two typed times: their difference, or zero for an empty or reversed range.
std::string LengthText(const std::string& start_text, const std::string& end_text);

// "position / duration" as 1184 shows it.
std::string PositionText(int32_t position_ms, int32_t duration_ms);

// The slider value (per-mille, held within the slider's range) of a time in a video of the given
// duration; 0 when the duration is not known.
int SliderValueAt(int32_t ms, int32_t duration_ms);

// Probed microseconds to the windows' milliseconds (truncating, held within 32 bits).
int32_t UsToMs(int64_t us);

// Why typed times cannot make a cut, as the "TISHI" key of its message; nullptr when they can: a text
// that is no time ("sjgscw"), an end at or before the start ("jsxyks"), a start at or beyond the end
// of the file ("kscgsc").
const char* CutRangeRefusalKey(const std::string& start_text, const std::string& end_text,
                               int32_t duration_ms);
