#include "core/sdk/H264Units.h"

#include <algorithm>

namespace ky::sdk {

namespace {

constexpr size_t kUnitLimit = 16u << 20;   // a unit that never ends is dropped
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

// Length of the start code at p (3 or 4), or 0.
size_t StartCodeAt(const uint8_t* p, size_t size) {
    if (size >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1) return 3;
    if (size >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1) return 4;
    return 0;
}

// Whether an SEI NAL unit (header byte included) holds a recovery point,
// which marks a key picture of streams without IDR pictures.
bool HasRecoveryPoint(const uint8_t* p, size_t size) {
    size_t i = 1;
    while (i < size && p[i] != 0x80) {
        size_t type = 0, length = 0;
        while (i < size && p[i] == 0xFF) type += 255, ++i;
        if (i == size) return false;
        type += p[i++];
        while (i < size && p[i] == 0xFF) length += 255, ++i;
        if (i == size) return false;
        length += p[i++];
        if (type == 6) return true;
        i += length;
    }
    return false;
}

}   // namespace

void H264Units::Push(const uint8_t* data, size_t size, int64_t pts, std::vector<Chunk>* chunks,
                     std::vector<Unit>* units) {
    if (size == 0) return;
    if (inUnit_ && pts != pts_) EndUnit(chunks, units);
    const size_t lead = StartCodeAt(data, size);
    if (lead == 0) {
        // A fragment continuing the open NAL unit; without one (joined in
        // the middle) there is nothing to continue.
        if (!inNal_) return;
        if (nalClosed_) {
            guess_ = false;
            nalClosed_ = false;
            if (nalSlice_ && sent_ > nalAt_) {
                sent_ = nalAt_;
                chunkKey_ = nalKey_;
            }
        }
        unit_.insert(unit_.end(), data, data + size);
        const bool last = guess_ && size < longest_;
        longest_ = std::max(longest_, size);
        if (last) EndNal(chunks, true);
    } else {
        // One NAL unit, or several aggregated ones, each behind a start code.
        size_t at = lead, nals = 0, lastSize = 0;
        while (at < size) {
            size_t end = at, next = size;
            for (; end + 3 <= size; ++end) {
                if (const size_t s = StartCodeAt(data + end, size - end)) {
                    next = end + s;
                    break;
                }
            }
            if (next == size) end = size;
            // A 4-byte start code leaves its leading zero behind the NAL unit.
            size_t nalEnd = end;
            if (nalEnd < size && nalEnd > at && data[nalEnd - 1] == 0) --nalEnd;
            if (nalEnd > at) {
                StartNal(data + at, nalEnd - at, pts, chunks, units);
                ++nals;
                lastSize = nalEnd - at;
            }
            at = next;
        }
        // Aggregated units are complete; a single one is when it is no longer
        // than a fragment (a fragmented unit starts with a full fragment and
        // its header byte).
        if (inNal_ && (nals > 1 || (guess_ && longest_ > 0 && lastSize <= longest_))) EndNal(chunks, nals == 1);
    }
    if (unit_.size() > kUnitLimit) {
        unit_.clear();
        sent_ = nalAt_ = 0;
        inNal_ = inUnit_ = nalClosed_ = false;
    }
}

void H264Units::StartNal(const uint8_t* nal, size_t size, int64_t pts, std::vector<Chunk>* chunks,
                         std::vector<Unit>* units) {
    if (inNal_) EndNal(chunks, false);
    const int type = nal[0] & 0x1F;
    if (type == 9 && inUnit_) EndUnit(chunks, units);   // access unit delimiter
    inUnit_ = true;
    pts_ = pts;
    if (type == 6 && HasRecoveryPoint(nal, size)) recovery_ = true;
    nalSlice_ = type == 1 || type == 5;
    // first_mb_in_slice is ue(v): a leading 1 bit means 0.
    const bool firstSlice = nalSlice_ && size > 1 && (nal[1] & 0x80);
    nalKey_ = firstSlice && (type == 5 || recovery_);
    if (nalKey_) unitKey_ = chunkKey_ = true;
    nalAt_ = unit_.size();
    unit_.insert(unit_.end(), kStartCode, kStartCode + 4);
    unit_.insert(unit_.end(), nal, nal + size);
    inNal_ = true;
    nalClosed_ = false;
}

void H264Units::EndNal(std::vector<Chunk>* chunks, bool byGuess) {
    if (nalSlice_ && sent_ < unit_.size()) {
        chunks->push_back({std::vector<uint8_t>(unit_.begin() + static_cast<long>(sent_), unit_.end()), chunkKey_});
        sent_ = unit_.size();
        chunkKey_ = false;
    }
    // A unit taken as complete by its size stays open, so that a fragment
    // proving the guess wrong is recognised.
    nalClosed_ = byGuess;
    inNal_ = byGuess;
}

void H264Units::EndUnit(std::vector<Chunk>* chunks, std::vector<Unit>* units) {
    if (inNal_ && !nalClosed_) EndNal(chunks, false);
    // Parameter sets or other units without a slice after them.
    if (sent_ < unit_.size())
        chunks->push_back({std::vector<uint8_t>(unit_.begin() + static_cast<long>(sent_), unit_.end()), chunkKey_});
    if (units && !unit_.empty()) units->push_back({unit_, pts_, unitKey_});
    unit_.clear();
    sent_ = nalAt_ = 0;
    inUnit_ = inNal_ = nalClosed_ = false;
    unitKey_ = recovery_ = chunkKey_ = false;
}

}   // namespace ky::sdk
