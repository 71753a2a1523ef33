#include "pst/check/checker.h"
namespace pst::check {
void checkMessaging(Checker& c) {}
}
