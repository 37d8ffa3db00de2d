#pragma once
// The few pieces of H.264 syntax the stream copy looks into: NAL units in both packet forms (Annex B
// start codes, or big-endian lengths as in "avcC" containers), parameter-set ids, the "avcC"
// configuration record. No decoding; all data is borrowed unless a function returns a vector.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

struct AVCodecParameters;

namespace engine::h264 {

enum NalType { kSlice = 1, kIdrSlice = 5, kSei = 6, kSps = 7, kPps = 8, kAud = 9 };

struct Nal {
    const uint8_t* data = nullptr;  // from the NAL header byte on
    size_t size = 0;
    int Type() const { return size > 0 ? data[0] & 0x1f : -1; }
};

// The NAL units of a packet: `length_size` bytes of length before each (1 to 4), or 0 for start
// codes. A damaged length ends the list.
std::vector<Nal> SplitNals(const uint8_t* data, size_t size, int length_size);

// The id an SPS or PPS declares (seq_parameter_set_id, pic_parameter_set_id); -1 when unreadable.
int ParameterSetId(const Nal& nal);

// The parameter sets of a stream's extradata, as NAL units without length or start code.
struct ParameterSets {
    std::vector<std::vector<uint8_t>> sps;
    std::vector<std::vector<uint8_t>> pps;
};

// Reads an "avcC" record or Annex B extradata. length_size gets the packets' NAL length size
// (0 for Annex B). False when the extradata cannot be read.
bool ReadParameterSets(const uint8_t* extradata, size_t size, ParameterSets* sets, int* length_size);
bool ReadParameterSets(const AVCodecParameters* par, ParameterSets* sets, int* length_size);

// An "avcC" record: `base`'s header and trailing fields, with `added`'s sets after base's own.
// Empty when `base` is no readable "avcC".
std::vector<uint8_t> AvcConfigWithSets(const uint8_t* base, size_t size, const ParameterSets& added);

// Parameter sets as packet data: each NAL with a length of length_size bytes, or a start code (0).
std::vector<uint8_t> SetsAsPacketData(const ParameterSets& sets, int length_size);

// A packet's NAL units again, each with a length of length_size bytes or a start code (0). NALs of
// the types in `drop` are left out.
std::vector<uint8_t> Repack(const std::vector<Nal>& nals, int length_size,
                            std::initializer_list<int> drop = {});

// Whether any NAL of the packet has the type.
bool HasNal(const std::vector<Nal>& nals, int type);

}  // namespace engine::h264
