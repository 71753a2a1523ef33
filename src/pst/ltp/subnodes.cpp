#include "pst/ltp/subnodes.h"

namespace pst::ltp {

ndb::Bid Subnodes::write(ndb::NdbWriter& ndb) const {
    if (entries_.empty()) return 0;
    return ndb.writeSubnodes(entries_);
}

}  // namespace pst::ltp
