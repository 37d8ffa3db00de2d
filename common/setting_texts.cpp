#include "common/setting_texts.h"

#include <cstdlib>
#include <string>

namespace {

// The leading decimal number of a text, as the C library reads it; 0 when there is none.
double LeadingNumber(std::string_view text) {
    std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

int BitRateFromText(std::string_view text) {
    if (!Contains(text, " kbps")) return 0;
    return static_cast<int>(LeadingNumber(text) * 1000);
}

int SampleRateFromText(std::string_view text) {
    if (!Contains(text, " Hz")) return 0;
    return static_cast<int>(LeadingNumber(text));
}

bool SizeFromText(std::string_view text, int* width, int* height) {
    auto star = text.find('*');
    if (star == std::string_view::npos) return false;
    std::string_view w = text.substr(0, star), h = text.substr(star + 1);
    if (w.empty() || h.empty()) return false;
    *width = std::atoi(std::string(w).c_str());
    *height = std::atoi(std::string(h).c_str());
    return true;
}

int ChannelsFromText(std::string_view text) {
    if (text == "1 Channel Mono") return 1;
    if (text == "2 Channel Stereo") return 2;
    return 0;
}
