#pragma once
// Finds a folder through the application face by a path of folder names
// separated by "\": from above all stores when the path begins with "\",
// from the folder of Outlook's active window otherwise.

#include <memory>
#include <string>

#include "conversion/component_registry.h"
#include "conversion/outlook_face.h"

namespace conversion {

// Takes names off the front of path as it walks; returns none for "\".
// Any failure of the walk (a missing name, an empty name, no active window
// for a relative path) is thrown to the caller.
std::shared_ptr<outlook::Folder> OpenMAPIFolder(const ComponentRegistry& components, std::u16string& path);

}  // namespace conversion
