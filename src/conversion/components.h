#pragma once
// Registers the three store classes over one shared profile.

#include <memory>

#include "conversion/component_registry.h"
#include "conversion/profile.h"

namespace conversion {

void registerStoreComponents(ComponentRegistry& registry, std::shared_ptr<Profile> profile);

}  // namespace conversion
