#pragma once
// JPEG snapshots of a decoded picture.
#include <string>

extern "C" {
#include <libavutil/frame.h>
}

namespace ky::sdk {

// Encodes the picture at its own size as a baseline JPEG and writes it to
// path. Returns 0, -1 when the picture cannot be encoded, -2 when the file
// cannot be written (nothing is left behind then).
int WriteJpeg(const AVFrame* picture, const std::string& path);

}   // namespace ky::sdk
