#pragma once

#include <string>
#include <vector>

namespace quav {

/// One item of the optimiser dialogs' object trees. Items carry the object
/// they stand for by id, so objects of equal names stay apart.
struct ObjectTreeItem {
    std::string text;
    int objectId = 0; ///< 0 for the root and the group items
    int target = 0;   ///< variable code of a variable item, else 0
    std::vector<ObjectTreeItem> children;

    /// Appends a child; the reference lasts until the next child is added.
    ObjectTreeItem& add(std::string childText, int childObject = 0, int childTarget = 0) {
        children.push_back({std::move(childText), childObject, childTarget, {}});
        return children.back();
    }
};

} // namespace quav
