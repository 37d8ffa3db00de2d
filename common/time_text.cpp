#include "common/time_text.h"

#include <algorithm>
#include <limits>
#include <utility>

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
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    size_t i = 0;
    auto digits = [&](size_t at_most) {
        int64_t value = 0;
        size_t n = 0;
        for (; i < text.size() && n < at_most && text[i] >= '0' && text[i] <= '9'; ++i, ++n)
            value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{1} << 40);
        return std::pair{value, n};
    };
    auto separator = [&](char c) { return i < text.size() && text[i++] == c; };

    const auto [hours, hour_digits] = digits(text.size());
    if (hour_digits == 0 || !separator(':')) return std::nullopt;
    const auto [minutes, minute_digits] = digits(2);
    if (minute_digits != 2 || minutes > 59 || !separator(':')) return std::nullopt;
    const auto [seconds, second_digits] = digits(2);
    if (second_digits != 2 || seconds > 59) return std::nullopt;
    int64_t millis = 0;
    if (i < text.size()) {
        if (!separator('.')) return std::nullopt;
        const auto [value, millis_digits] = digits(3);
        if (millis_digits != 3) return std::nullopt;
        millis = value;
    }
    if (i != text.size()) return std::nullopt;
    const int64_t total = ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
    if (total > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(total);
}
