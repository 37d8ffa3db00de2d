#include "common/time_text.h"

#include <limits>

namespace {

std::string TwoDigits(int value) {
    std::string text = std::to_string(value);
    return value <= 9 ? "0" + text : text;
}

// The leading integer of a text as the C library's atoi reads it: white space, an optional sign and
// decimal digits; 0 when there are none. Held within 32 bits instead of overflowing.
template <typename Char>
int64_t LeadingInteger(std::basic_string_view<Char> text) {
    size_t i = 0;
    auto is_space = [](Char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && is_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;
    }
    return negative ? -value : value;
}

template <typename Char>
int32_t TextToTimeImpl(std::basic_string_view<Char> text) {
    using View = std::basic_string_view<Char>;
    size_t first_colon = text.find(Char(':'));
    size_t last_colon = text.rfind(Char(':'));
    size_t first_dot = text.find(Char('.'));

    int64_t hours = first_colon == View::npos ? 0 : LeadingInteger(text.substr(0, first_colon));
    int64_t minutes = first_colon == View::npos ? 0 : LeadingInteger(text.substr(first_colon + 1, 2));
    int64_t seconds = LeadingInteger(last_colon == View::npos ? text : text.substr(last_colon + 1));
    int64_t millis = LeadingInteger(first_dot == View::npos ? text : text.substr(first_dot + 1));

    int64_t total = (minutes * 60 + seconds + hours * 3600) * 1000 + millis;
    if (total > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (total < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(total);
}

}  // namespace

std::string TimeToText(int32_t ms) {
    int m = ms % 1000;
    std::string millis = std::to_string(m);
    if (m == 0)
        millis = "000";
    else if (m < 10)
        millis = "00" + millis;
    else if (m < 100)
        millis = "0" + millis;

    int h = ms / 3600000;
    int r = ms / 1000 - h * 3600;
    return TwoDigits(h) + ":" + TwoDigits(r / 60) + ":" + TwoDigits(r % 60) + "." + millis;
}

std::u16string TimeToText16(int32_t ms) {
    std::string text = TimeToText(ms);
    return std::u16string(text.begin(), text.end());
}

int32_t TextToTime(std::string_view text) { return TextToTimeImpl(text); }
int32_t TextToTime(std::u16string_view text) { return TextToTimeImpl(text); }

std::optional<int32_t> ParseTimeText(std::string_view text) {
    auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    size_t colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos) return std::nullopt;
    for (size_t i = 0; i < colon; ++i)
        if (!digit(i)) return std::nullopt;
    size_t rest = text.size() - colon;  // ":MM:SS" or ":MM:SS.mmm"
    if (rest != 6 && rest != 10) return std::nullopt;
    for (size_t i : {colon + 1, colon + 2, colon + 4, colon + 5})
        if (!digit(i)) return std::nullopt;
    if (text[colon + 3] != ':' || text[colon + 1] > '5' || text[colon + 4] > '5') return std::nullopt;
    if (rest == 10 && (text[colon + 6] != '.' || !digit(colon + 7) || !digit(colon + 8) || !digit(colon + 9)))
        return std::nullopt;
    int64_t hours = 0;
    for (size_t i = 0; i < colon; ++i) {
        hours = hours * 10 + (text[i] - '0');
        if (hours > 596) return std::nullopt;  // beyond 2^31 ms in any case
    }
    auto two = [&](size_t i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
    int64_t ms = ((hours * 60 + two(colon + 1)) * 60 + two(colon + 4)) * 1000;
    if (rest == 10) ms += (text[colon + 7] - '0') * 100 + two(colon + 8);
    if (ms > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(ms);
}
