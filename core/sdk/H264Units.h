#pragma once
// H.264 of an RTSP stream taken apart without FFmpeg's parser, which holds
// each picture back until the next one begins: a whole frame interval before
// the first picture and on every picture after it.
//
// FFmpeg's RTP depacketizer hands over, per packet, NAL units each behind a
// start code, or a fragment that continues the last NAL unit (no start code).
// From these this builds
//  - decoder input (for AV_CODEC_FLAG2_CHUNKS) as soon as a slice is
//    complete, so a picture is decoded when its last slice has arrived;
//  - whole access units with their key flag, for recordings, once the next
//    timestamp or access unit delimiter shows that a unit has ended.
// A fragmented slice ends with a fragment shorter than the longest one of the
// stream (payloaders cut at a fixed size). When more of a slice follows after
// all, the slice is given again whole and the stream is no longer guessed at.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ky::sdk {

class H264Units {
public:
    struct Chunk {
        std::vector<uint8_t> data;   // complete NAL units with start codes
        bool key = false;            // holds the first slice of a key picture
    };
    struct Unit {
        std::vector<uint8_t> data;
        int64_t pts = 0;
        bool key = false;
    };

    // One packet of the depacketizer. Appends the decoder input that became
    // complete to *chunks and, when units is not null, the access units that
    // ended to *units.
    void Push(const uint8_t* data, size_t size, int64_t pts, std::vector<Chunk>* chunks, std::vector<Unit>* units);
    bool Guessing() const { return guess_; }

private:
    void StartNal(const uint8_t* nal, size_t size, int64_t pts, std::vector<Chunk>* chunks, std::vector<Unit>* units);
    void EndNal(std::vector<Chunk>* chunks, bool byGuess);
    void EndUnit(std::vector<Chunk>* chunks, std::vector<Unit>* units);

    std::vector<uint8_t> unit_;   // the access unit so far
    int64_t pts_ = 0;
    bool inUnit_ = false, unitKey_ = false, recovery_ = false;
    size_t sent_ = 0;      // bytes of unit_ already given to the decoder
    size_t nalAt_ = 0;     // where the current NAL unit starts in unit_
    bool inNal_ = false;   // a NAL unit is open (more fragments may follow)
    bool nalSlice_ = false, nalKey_ = false;
    bool nalClosed_ = false;   // taken as complete by its size; more would be a wrong guess
    bool chunkKey_ = false;    // the decoder input not yet given holds a key slice
    size_t longest_ = 0;       // longest continuing fragment seen
    bool guess_ = true;
};

}   // namespace ky::sdk
