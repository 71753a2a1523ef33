#pragma once
// The application face of the store components: the application, its
// "MAPI" namespace, folders found by name and new folders under them.

#include <memory>
#include <string>

#include "conversion/component_registry.h"
#include "conversion/profile.h"

namespace conversion::outlook {

class Folders;

class Folder {
public:
    explicit Folder(FolderRef ref) : ref_(std::move(ref)) {}
    std::u16string Name() const;
    std::shared_ptr<Folders> GetFolders();
    const FolderRef& ref() const { return ref_; }

private:
    FolderRef ref_;
};

// The subfolders of a folder, or the top-level folders of the namespace
// (each store's visible root, named by the store's display name).
class Folders {
public:
    explicit Folders(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}
    explicit Folders(FolderRef owner) : owner_(std::move(owner)) {}
    // The folder of that name, ignoring case; throws when there is none.
    std::shared_ptr<Folder> Item(const std::u16string& name) const;
    std::shared_ptr<Folder> Add(const std::u16string& name, int kind);

private:
    std::shared_ptr<Profile> profile_;  // set for the namespace's top level
    FolderRef owner_;
};

class Namespace {
public:
    explicit Namespace(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}
    std::shared_ptr<Folders> GetFolders() { return std::make_shared<Folders>(profile_); }

private:
    std::shared_ptr<Profile> profile_;
};

class Explorer {
public:
    explicit Explorer(FolderRef current) : current_(std::move(current)) {}
    std::shared_ptr<Folder> CurrentFolder() { return std::make_shared<Folder>(current_); }

private:
    FolderRef current_;
};

class Application : public ComObject {
public:
    explicit Application(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}
    // The active window; throws when Outlook shows none.
    std::shared_ptr<Explorer> ActiveExplorer();
    std::shared_ptr<Namespace> GetNamespace(const std::u16string& type);

private:
    std::shared_ptr<Profile> profile_;
};

}  // namespace conversion::outlook
