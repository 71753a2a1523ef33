#include "conversion/component_registry.h"

namespace conversion {

void ComponentRegistry::registerClass(const std::string& className, Factory factory) {
    factories_[className] = std::move(factory);
}

void ComponentRegistry::unregisterClass(const std::string& className) { factories_.erase(className); }

std::shared_ptr<ComObject> ComponentRegistry::createObject(const std::string& className) const {
    auto it = factories_.find(className);
    if (it == factories_.end()) throw ComponentError("Cannot create object of class " + className + ": the component is not installed");
    auto object = it->second();
    if (!object) throw ComponentError("Cannot create object of class " + className);
    return object;
}

}  // namespace conversion
