// Iterative walks over element subtrees, so that no search needs one stack frame per level.
#ifndef VELXMLN_SRC_ELEMENTS_TREEWALK_H
#define VELXMLN_SRC_ELEMENTS_TREEWALK_H

#include <cstddef>
#include <utility>
#include <vector>

#include <VelXmlN/Data.h>

namespace VelXmlN {
namespace detail {

/// Visits `root` and its subtree in pre-order (an element before its children, children in list
/// order) and stops at the first element for which `visit` returns true; returns that element or
/// null. The explicit stack grows with the depth of the tree, not the call stack.
template <typename Visit>
const Data* findPreOrder(const Data* root, Visit&& visit) {
    if (visit(root)) {
        return root;
    }
    std::vector<std::pair<const Data*, std::size_t>> stack;
    stack.emplace_back(root, 0);
    while (!stack.empty()) {
        auto& top = stack.back();
        const std::vector<Data*>& children = top.first->getChildren();
        if (top.second == children.size()) {
            stack.pop_back();
            continue;
        }
        const Data* child = children[top.second++];
        if (visit(child)) {
            return child;
        }
        if (!child->getChildren().empty()) {
            stack.emplace_back(child, 0);
        }
    }
    return nullptr;
}

}  // namespace detail
}  // namespace VelXmlN

#endif
