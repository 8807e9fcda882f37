#include "flat/HandleTables.h"

#include "elements/TreeWalk.h"

#include <climits>
#include <istream>
#include <utility>

namespace VelXmlN {
namespace detail {

HandleTables::~HandleTables() = default;

void HandleTables::abandonDocuments() noexcept {
    for (auto& [handle, entry] : trees_) {
        static_cast<void>(handle);
        static_cast<void>(entry.document.release());
        for (std::unique_ptr<Data>& root : entry.detachedRoots) {
            static_cast<void>(root.release());
        }
    }
    trees_.clear();
    treesByName_.clear();
    tags_.clear();
    index_.clear();
}

HandleTables::TreeEntry* HandleTables::treeEntry(int handle) {
    const auto found = trees_.find(handle);
    return found != trees_.end() ? &found->second : nullptr;
}

Tree* HandleTables::tree(int handle) const {
    const auto found = trees_.find(handle);
    return found != trees_.end() ? found->second.document.get() : nullptr;
}

int HandleTables::nextTreeHandle() const {
    // The count plus one numbers documents 1, 2, 3, ... as long as none is deleted. After a
    // deletion below the highest handle that number can still be in use, and taking it over
    // would lose a live document.
    if (trees_.size() < static_cast<std::size_t>(INT_MAX)) {
        const int next = static_cast<int>(trees_.size()) + 1;
        if (trees_.count(next) == 0) {
            return next;
        }
    }
    const int highest = trees_.rbegin()->first;
    if (highest < INT_MAX) {
        return highest + 1;
    }
    // Only endless creation and deletion gets here: fall back to the lowest free number.
    int expected = 1;
    for (const auto& entry : trees_) {
        if (entry.first != expected) {
            break;
        }
        ++expected;
    }
    return expected;
}

int HandleTables::getTree(const std::string& name) {
    const auto found = treesByName_.find(name);
    if (found != treesByName_.end()) {
        return found->second;
    }
    const int handle = nextTreeHandle();
    TreeEntry entry;
    entry.name = name;
    entry.document = std::make_unique<Tree>();
    const auto placed = trees_.emplace(handle, std::move(entry)).first;
    try {
        treesByName_.emplace(name, handle);
    } catch (...) {
        trees_.erase(placed);
        throw;
    }
    return handle;
}

bool HandleTables::deleteTree(int handle) {
    const auto found = trees_.find(handle);
    if (found == trees_.end()) {
        return false;
    }
    TreeEntry& entry = found->second;
    if (Data* root = entry.document->getRoot()) {
        clearSubtree(root, entry);
    }
    for (const std::unique_ptr<Data>& detached : entry.detachedRoots) {
        clearSubtree(detached.get(), entry);
    }
    if (entry.liveTags != 0) {
        // Every handle of this tree names an element below one of its roots, so the walks above
        // cleared them all. Should that ever not hold, a scan keeps freed elements out of reach.
        for (TagEntry& tag : tags_) {
            if (tag.tree == handle && tag.element != nullptr) {
                index_.erase(tag.element);
                tag.element = nullptr;
            }
        }
    }
    treesByName_.erase(entry.name);
    trees_.erase(found);
    return true;
}

bool HandleTables::readTree(int handle, std::istream& in) {
    TreeEntry* entry = treeEntry(handle);
    if (entry == nullptr) {
        return false;
    }
    Tree& document = *entry->document;
    // The old root is taken out while reading so that it survives until its handles are cleared;
    // the document's own reader would destroy it at once.
    Data* const old = document.getRoot();
    document.setRoot(nullptr);
    try {
        document.buildOfStream(in);
    } catch (...) {
        Data* const partial = document.getRoot();
        document.setRoot(old);
        delete partial;
        throw;
    }
    Data* const fresh = document.getRoot();
    if (fresh == nullptr) {
        document.setRoot(old);
        return true;
    }
    if (old != nullptr) {
        try {
            clearSubtree(old, *entry);
        } catch (...) {
            // Nothing is destroyed yet: keep the old document and drop the one just read.
            document.setRoot(old);
            delete fresh;
            throw;
        }
        delete old;
    }
    return true;
}

int HandleTables::createRootTag(int handle, const std::string& name) {
    TreeEntry* entry = treeEntry(handle);
    if (entry == nullptr) {
        return -1;
    }
    auto root = std::make_unique<Data>(name);
    if (Data* previous = entry->document->getRoot()) {
        entry->detachedRoots.emplace_back(previous);
    }
    Data* const created = root.release();
    entry->document->setRoot(created);
    return registerTag(created, handle);
}

int HandleTables::rootTag(int handle) {
    TreeEntry* entry = treeEntry(handle);
    if (entry == nullptr || entry->document->getRoot() == nullptr) {
        return -1;
    }
    Data* const root = entry->document->getRoot();
    const auto found = index_.find(root);
    return found != index_.end() ? found->second : registerTag(root, handle);
}

Data* HandleTables::element(int tag) const noexcept {
    if (tag < 1 || static_cast<std::size_t>(tag) > tags_.size()) {
        return nullptr;
    }
    return tags_[static_cast<std::size_t>(tag) - 1].element;
}

int HandleTables::registerTag(Data* element, int tree) {
    if (tags_.size() >= static_cast<std::size_t>(INT_MAX)) {
        return -1;
    }
    const int handle = static_cast<int>(tags_.size()) + 1;
    index_.emplace(element, handle);
    try {
        tags_.push_back(TagEntry{element, tree});
    } catch (...) {
        index_.erase(element);
        throw;
    }
    ++trees_.at(tree).liveTags;
    return handle;
}

int HandleTables::tagHandleOf(Data* element, int owner) {
    if (element == nullptr) {
        return -1;
    }
    const auto found = index_.find(element);
    if (found != index_.end()) {
        return found->second;
    }
    return registerTag(element, tags_[static_cast<std::size_t>(owner) - 1].tree);
}

int HandleTables::addChild(int tag, const std::string& name) {
    Data* parent = element(tag);
    if (parent == nullptr) {
        return -1;
    }
    Data* child = parent->addChild(std::make_unique<Data>(name));
    return registerTag(child, tags_[static_cast<std::size_t>(tag) - 1].tree);
}

bool HandleTables::deleteChild(int tag, const std::string& name) {
    Data* parent = element(tag);
    if (parent == nullptr) {
        return false;
    }
    const Data* child = parent->findChild(name);
    if (child == nullptr) {
        return false;
    }
    clearSubtree(child, trees_.at(tags_[static_cast<std::size_t>(tag) - 1].tree));
    parent->remove(name);
    return true;
}

void HandleTables::clearSubtree(const Data* top, TreeEntry& owner) {
    if (owner.liveTags == 0) {
        return;
    }
    findPreOrder(top, [this, &owner](const Data* element) {
        const auto found = index_.find(element);
        if (found != index_.end()) {
            tags_[static_cast<std::size_t>(found->second) - 1].element = nullptr;
            index_.erase(found);
            --owner.liveTags;
        }
        return owner.liveTags == 0;
    });
}

}  // namespace detail
}  // namespace VelXmlN
