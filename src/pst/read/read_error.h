#pragma once
// The one failure of reading: structural damage or a file that is not a PST
// file, with a message naming the node or block at fault.

#include <stdexcept>

namespace pst::read {

class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace pst::read
