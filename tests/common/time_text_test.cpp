#include "common/time_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct ToTextCase {
    int32_t ms;
    const char* text;
};

TEST(TimeToText, FormatsHoursMinutesSecondsAndMilliseconds) {
    const ToTextCase cases[] = {
        {0, "00:00:00.000"},          {3723045, "01:02:03.045"},
        {360000000, "100:00:00.000"},  // hours are not limited to two digits
        {5, "00:00:00.005"},          {50, "00:00:00.050"},
        {500, "00:00:00.500"},        {999, "00:00:00.999"},
        {1000, "00:00:01.000"},       {59999, "00:00:59.999"},
        {60000, "00:01:00.000"},      {3599999, "00:59:59.999"},
        {3600000, "01:00:00.000"},    {36000000, "10:00:00.000"},
        {10000, "00:00:10.000"},      {std::numeric_limits<int32_t>::max(), "596:31:23.647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        EXPECT_EQ(TimeToText(c.ms), c.text);
        std::string narrow(c.text);
        EXPECT_EQ(TimeToText16(c.ms), std::u16string(narrow.begin(), narrow.end()));
    }
}

struct ToTimeCase {
    const char* text;
    int32_t ms;
};

TEST(TextToTime, ReadsEachPartAsALeadingInteger) {
    const ToTimeCase cases[] = {
        {"01:02:03.045", 3723045},
        {"00:00:05.5", 5005},  // the digit after the point counts milliseconds
        {"00:00:05.500", 5500},
        {"00:00:00.000", 0},
        {"100:00:00.000", 360000000},
        {"00:00:10", 10000},  // no point: milliseconds from the whole text, whose leading "00" is 0 ...
        {"7", 7007},          // ... and a bare number is its own seconds and milliseconds
        {"", 0},
        {"abc", 0},
        {"00:90:00.000", 5400000},     // minutes are not limited to 59
        {"1:2", 3722001},              // minutes from the two characters after the first colon
        {"00:1x:30.250", 90250},       // reading stops at the first non-digit
        {" 01: 02: 03.004", 3603004},  // minutes from " 0", the two characters after the colon
        {"00:00:-1.000", -1000},
        {"9999:00:00.000", std::numeric_limits<int32_t>::max()},  // held at the 32-bit limit
        {"-9999:00:00.000", std::numeric_limits<int32_t>::min()},
        {"99999999999999999999:00:00.000", std::numeric_limits<int32_t>::max()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TextToTime(std::string_view(c.text)), c.ms);
        std::string narrow(c.text);
        EXPECT_EQ(TextToTime(std::u16string_view(std::u16string(narrow.begin(), narrow.end()))), c.ms);
    }
}

TEST(TextToTime, ReadsBackEveryTextTimeToTextWrites) {
    for (int32_t ms : {0, 1, 9, 10, 99, 100, 999, 1000, 61001, 3723045, 86399999, 360000000,
                       std::numeric_limits<int32_t>::max()}) {
        SCOPED_TRACE(ms);
        EXPECT_EQ(TextToTime(TimeToText(ms)), ms);
    }
}

TEST(TextToTime, WideTextBeyondAsciiStopsTheNumber) {
    // A full-width digit is not a decimal digit for the C reader.
    EXPECT_EQ(TextToTime(std::u16string_view(u"00:00:0\uFF15.000")), 0);
    EXPECT_EQ(TextToTime(std::u16string_view(u"00:01:00.\u00E9")), 60000);
}

TEST(ParseTimeText, AcceptsOnlyTheTypedTimeFormat) {
    const struct {
        const char* text;
        std::optional<int32_t> ms;
    } cases[] = {
        {"01:02:03.045", 3723045},
        {" 00:00:05.500 ", 5500},
        {"00:01:30", 90000},
        {"100:00:00.000", 360000000},
        {"0:00:01.000", 1000},
        {"596:31:23.647", 2147483647},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"00:00:05.5", std::nullopt},
        {"00:60:00.000", std::nullopt},
        {"00:00:60.000", std::nullopt},
        {"00:0:05.000", std::nullopt},
        {"-00:00:01.000", std::nullopt},
        {"00:00:01.0000", std::nullopt},
        {"00:00:01.", std::nullopt},
        {"00:00:01.000x", std::nullopt},
        {"596:31:23.648", std::nullopt},
        {"00:00", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseTimeText(c.text), c.ms) << c.text;
}

}  // namespace
