#pragma once
// Content-Transfer-Encodings undone as the most forgiving mail readers do:
// base64 that lost its final padding keeps its last bytes, uuencoded lines
// that lost their trailing blanks are read by their own length byte.

#include <cstdint>
#include <string_view>
#include <vector>

#include <gmime/gmime.h>

#include "eml/base64_decoder.h"

namespace eml {

struct TransferDecoded {
    std::vector<uint8_t> bytes;
    // Part of the data could not be read (a base64 group cut short, a
    // uuencoded line shorter than its length byte says).
    bool damaged = false;
};

TransferDecoded decodeTransfer(std::string_view encoded, GMimeContentEncoding encoding);

// The warning a part's file gets when its base64 is damaged.
inline constexpr const char* kDamagedBase64Warning =
    "the base64 data of a part is damaged at its end; what could be read was kept";

// The same decoding piece by piece (base64, quoted-printable, or none for
// any other encoding): the pieces give together what decodeTransfer gives
// for their whole. Uuencode is read whole only.
class ChunkedTransferDecoder {
public:
    explicit ChunkedTransferDecoder(GMimeContentEncoding encoding);
    static bool handles(GMimeContentEncoding encoding);
    // Room `out` needs for `size` more encoded bytes (and for finish()).
    size_t outputRoom(size_t size) const { return size + 8; }
    // The most encoded bytes whose decoding fits in `room` (0 when only
    // finish() fits).
    size_t inputFitting(size_t room) const { return room > outputRoom(0) ? room - outputRoom(0) : 0; }
    // Decodes the next piece into `out`; returns the bytes written.
    size_t step(std::string_view piece, uint8_t* out);
    // What the decoder still holds at the end of the data.
    size_t finish(uint8_t* out);
    bool damaged() const { return base64_.damaged(); }

private:
    GMimeContentEncoding encoding_;
    Base64Decoder base64_;
    GMimeEncoding quotedPrintable_{};
};

}  // namespace eml
