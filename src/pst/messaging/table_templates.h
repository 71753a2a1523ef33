#pragma once
// The columns of the tables every store carries as templates and copies into
// each new folder and message ([MS-PST] "Folder Template Tables").

#include <vector>

#include "pst/property.h"

namespace pst::messaging {

std::vector<PropTag> hierarchyTableColumns();
std::vector<PropTag> contentsTableColumns();
std::vector<PropTag> assocContentsTableColumns();
std::vector<PropTag> searchContentsTableColumns();
std::vector<PropTag> recipientTableColumns();
std::vector<PropTag> attachmentTableColumns();

}  // namespace pst::messaging
