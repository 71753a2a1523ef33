#pragma once
// What the sender or the user marked on a message, beyond its envelope:
// categories (Keywords), a follow-up flag (X-Message-Flag), read and
// delivery receipt requests, the draft state (X-Unsent) and Content-Class.

#include <gmime/gmime.h>

#include "pst/message_content.h"

namespace eml {

struct Marks {
    bool unsent = false;  // X-Unsent: 1, a draft never sent
};

Marks readMarks(GMimeMessage* message, GMimeParserOptions* options, pst::MessageContent& out);

}  // namespace eml
