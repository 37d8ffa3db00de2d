#include "engine/h264_nal.h"

#include <algorithm>

extern "C" {
#include <libavcodec/codec_par.h>
}

namespace engine::h264 {

namespace {

// Reads Exp-Golomb codes from the start of a NAL's payload, skipping emulation-prevention bytes.
class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size && rbsp_.size() < 64; ++i) {
            if (i >= 2 && data[i] == 3 && data[i - 1] == 0 && data[i - 2] == 0) continue;
            rbsp_.push_back(data[i]);
        }
    }
    void Skip(int bits) { pos_ += bits; }
    int Bit() {
        if (pos_ >= rbsp_.size() * 8) {
            failed_ = true;
            return 0;
        }
        int b = rbsp_[pos_ / 8] >> (7 - pos_ % 8) & 1;
        ++pos_;
        return b;
    }
    int64_t Ue() {
        int zeros = 0;
        while (!Bit() && !failed_)
            if (++zeros > 31) failed_ = true;
        int64_t value = 1;
        for (int i = 0; i < zeros; ++i) value = value << 1 | Bit();
        return value - 1;
    }
    bool failed() const { return failed_; }

  private:
    std::vector<uint8_t> rbsp_;
    size_t pos_ = 0;
    bool failed_ = false;
};

void PutNal(std::vector<uint8_t>* out, const uint8_t* data, size_t size, int length_size) {
    if (length_size == 0) {
        out->insert(out->end(), {0, 0, 0, 1});
    } else {
        for (int b = length_size - 1; b >= 0; --b) out->push_back(static_cast<uint8_t>(size >> (8 * b)));
    }
    out->insert(out->end(), data, data + size);
}

bool IsAvcConfig(const uint8_t* d, size_t n) { return n >= 7 && d[0] == 1; }

// Walks an "avcC" record's two lists of sets; returns the offset after them, or 0 when damaged.
size_t ReadAvcConfig(const uint8_t* d, size_t n, ParameterSets* sets) {
    size_t pos = 5;
    for (int kind = 0; kind < 2; ++kind) {  // sequence, then picture parameter sets
        if (pos >= n) return 0;
        int count = kind == 0 ? (d[pos] & 0x1f) : d[pos];
        ++pos;
        for (int k = 0; k < count; ++k) {
            if (pos + 2 > n) return 0;
            size_t length = static_cast<size_t>(d[pos] << 8 | d[pos + 1]);
            pos += 2;
            if (pos + length > n) return 0;
            (kind == 0 ? sets->sps : sets->pps).emplace_back(d + pos, d + pos + length);
            pos += length;
        }
    }
    return pos;
}

}  // namespace

std::vector<Nal> SplitNals(const uint8_t* data, size_t size, int length_size) {
    std::vector<Nal> nals;
    if (length_size > 0) {
        size_t pos = 0;
        while (pos + length_size <= size) {
            size_t length = 0;
            for (int b = 0; b < length_size; ++b) length = length << 8 | data[pos + b];
            pos += length_size;
            if (length == 0 || pos + length > size) break;
            nals.push_back({data + pos, length});
            pos += length;
        }
        return nals;
    }
    // Start codes: 00 00 01 (a fourth leading zero belongs to the start code, not the NAL before).
    size_t i = 0, start = 0;
    bool open = false;
    while (i + 3 <= size) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (open) {
                size_t end = i;
                while (end > start && data[end - 1] == 0) --end;
                if (end > start) nals.push_back({data + start, end - start});
            }
            i += 3;
            start = i;
            open = true;
        } else {
            ++i;
        }
    }
    if (open && size > start) nals.push_back({data + start, size - start});
    return nals;
}

int ParameterSetId(const Nal& nal) {
    if (nal.size < 2) return -1;
    BitReader r(nal.data + 1, nal.size - 1);
    if (nal.Type() == kSps)
        r.Skip(24);  // profile, constraint flags, level
    else if (nal.Type() != kPps)
        return -1;
    int64_t id = r.Ue();
    return r.failed() ? -1 : static_cast<int>(id);
}

bool ReadParameterSets(const uint8_t* extradata, size_t size, ParameterSets* sets, int* length_size) {
    *sets = {};
    if (!extradata || size == 0) return false;
    if (IsAvcConfig(extradata, size)) {
        *length_size = (extradata[4] & 3) + 1;
        return ReadAvcConfig(extradata, size, sets) != 0;
    }
    *length_size = 0;
    for (const Nal& nal : SplitNals(extradata, size, 0)) {
        if (nal.Type() == kSps) sets->sps.emplace_back(nal.data, nal.data + nal.size);
        if (nal.Type() == kPps) sets->pps.emplace_back(nal.data, nal.data + nal.size);
    }
    return !sets->sps.empty() && !sets->pps.empty();
}

bool ReadParameterSets(const AVCodecParameters* par, ParameterSets* sets, int* length_size) {
    return ReadParameterSets(par->extradata, static_cast<size_t>(std::max(par->extradata_size, 0)), sets,
                             length_size);
}

std::vector<uint8_t> AvcConfigWithSets(const uint8_t* base, size_t size, const ParameterSets& added) {
    ParameterSets own;
    if (!IsAvcConfig(base, size)) return {};
    const size_t end = ReadAvcConfig(base, size, &own);
    if (end == 0) return {};
    own.sps.insert(own.sps.end(), added.sps.begin(), added.sps.end());
    own.pps.insert(own.pps.end(), added.pps.begin(), added.pps.end());
    if (own.sps.size() > 31 || own.pps.size() > 255) return {};
    std::vector<uint8_t> out(base, base + 5);
    out.push_back(static_cast<uint8_t>(0xe0 | own.sps.size()));
    for (const auto& s : own.sps) PutNal(&out, s.data(), s.size(), 2);
    out.push_back(static_cast<uint8_t>(own.pps.size()));
    for (const auto& p : own.pps) PutNal(&out, p.data(), p.size(), 2);
    // The High profiles' chroma and bit-depth fields stay as they were.
    out.insert(out.end(), base + end, base + size);
    return out;
}

std::vector<uint8_t> SetsAsPacketData(const ParameterSets& sets, int length_size) {
    std::vector<uint8_t> out;
    for (const auto& s : sets.sps) PutNal(&out, s.data(), s.size(), length_size);
    for (const auto& p : sets.pps) PutNal(&out, p.data(), p.size(), length_size);
    return out;
}

std::vector<uint8_t> Repack(const std::vector<Nal>& nals, int length_size, std::initializer_list<int> drop) {
    std::vector<uint8_t> out;
    for (const Nal& nal : nals)
        if (std::find(drop.begin(), drop.end(), nal.Type()) == drop.end())
            PutNal(&out, nal.data, nal.size, length_size);
    return out;
}

bool HasNal(const std::vector<Nal>& nals, int type) {
    return std::any_of(nals.begin(), nals.end(), [type](const Nal& n) { return n.Type() == type; });
}

}  // namespace engine::h264
