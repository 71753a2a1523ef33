#include "conversion/components.h"

#include "conversion/outlook_face.h"
#include "conversion/redemption_face.h"

namespace conversion {

void registerStoreComponents(ComponentRegistry& registry, std::shared_ptr<Profile> profile) {
    registry.registerClass(kSessionClass, [profile] { return std::make_shared<redemption::RDOSession>(profile); });
    registry.registerClass(kUtilsClass, [] { return std::make_shared<redemption::MAPIUtils>(); });
    registry.registerClass(kOutlookClass, [profile] { return std::make_shared<outlook::Application>(profile); });
}

}  // namespace conversion
