#pragma once
// What every part of the reader throws on damage it cannot read past.

#include <stdexcept>

namespace pst::read {

class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace pst::read
