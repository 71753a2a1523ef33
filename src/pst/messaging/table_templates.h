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

// Further tables every Outlook-made store carries: the receive folder table
// (message class -> folder), the outgoing queue and three replication
// tables, all empty in a new store but the first.
std::vector<PropTag> receiveFolderTableColumns();
std::vector<PropTag> outgoingQueueTableColumns();
std::vector<std::vector<PropTag>> replicationTableColumns();
std::vector<PropTag> attachmentTableColumns();

}  // namespace pst::messaging
