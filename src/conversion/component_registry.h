#pragma once
// Store components are reached the way the original program reached its
// outside libraries: by creating an object from a class name. A class that
// nobody registered is a missing component, and creating it fails.

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace conversion {

// Any failure of a component call: a missing class, a missing folder, a
// file that cannot be imported, a store that cannot be written...
class ComponentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The common base of every object a component hands out.
class ComObject {
public:
    virtual ~ComObject() = default;
};

class ComponentRegistry {
public:
    using Factory = std::function<std::shared_ptr<ComObject>()>;

    void registerClass(const std::string& className, Factory factory);
    void unregisterClass(const std::string& className);

    // A new object of the class; throws ComponentError when the class is
    // not registered.
    std::shared_ptr<ComObject> createObject(const std::string& className) const;

    template <class T>
    std::shared_ptr<T> create(const std::string& className) const {
        auto object = std::dynamic_pointer_cast<T>(createObject(className));
        if (!object) throw ComponentError("Class " + className + " does not provide the expected object");
        return object;
    }

private:
    std::map<std::string, Factory> factories_;
};

inline constexpr const char* kSessionClass = "Redemption.RDOSession";
inline constexpr const char* kUtilsClass = "Redemption.MAPIUtils";
inline constexpr const char* kOutlookClass = "Outlook.Application";

}  // namespace conversion
