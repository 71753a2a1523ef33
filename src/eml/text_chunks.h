#pragma once
// Text in a charset read to UTF-16 piece by piece, so that a long text is
// never whole in memory: each piece is cut where no character can be split
// and read as decodeText reads a whole text.

#include <string>
#include <string_view>

#include "eml/warnings.h"

namespace eml {

class ChunkedTextDecoder {
public:
    // `charset` as declared (it may be empty or unknown: the guess made on
    // the first 8-bit piece then holds for the rest).
    ChunkedTextDecoder(std::string charset, Warnings& warnings);
    // Charsets with a shift state or wide code units, read only whole.
    static bool handles(std::string_view charset);
    // The text of `bytes` that can be read so far (appended to `out`).
    void step(std::string_view bytes, std::u16string& out);
    // Decodes what is held now, cut between two UTF-8 characters (a text
    // that must be named before a safe place to cut has come).
    void flush(std::u16string& out);
    // What is left at the end.
    void finish(std::u16string& out);
    // The charset the text was read in (as DecodedText::charset).
    const std::string& charset() const;

private:
    void decode(std::string_view bytes, std::u16string& out);

    std::string charset_;
    Warnings& warnings_;
    std::string held_;
    std::string read_;
    bool decodedAny_ = false;
};

}  // namespace eml
