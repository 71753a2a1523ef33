#pragma once
// The long part bodies the repair scan left out of GMime's parse of a large
// file, put back into the parts that hold their marks as windows onto the
// file: GMime then never reads an attachment through only to find its end.

#include <string_view>
#include <vector>

#include <gmime/gmime.h>

#include "eml/raw_repair.h"

namespace eml {

// `file` is the file itself; `edits` are those the parsed stream was made
// with. False when a skipped body's mark is not in exactly one part's
// content, once, with that content starting where the scan found the body:
// GMime read the file otherwise than the scan did, and the message is to be
// parsed again without skipping.
bool restoreSkippedBodies(GMimeMessage* message, GMimeStream* file, const std::vector<RawEdit>& edits,
                          std::string_view mark);

}  // namespace eml
