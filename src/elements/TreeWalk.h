// Iterative walks over element subtrees, so that no walk needs one stack frame per level.
#ifndef VELXMLN_SRC_ELEMENTS_TREEWALK_H
#define VELXMLN_SRC_ELEMENTS_TREEWALK_H

#include <cstddef>
#include <utility>
#include <vector>

#include <VelXmlN/Data.h>

namespace VelXmlN {
namespace detail {

/// What a walk does after visiting an element.
enum class WalkStep { Descend, SkipChildren, Stop };

/// Visits `root` and its subtree in pre-order (an element before its children, children in list
/// order), calling `visit(element, depth)` with the root at depth 1; the result says whether to go
/// into the element's children, pass them by, or stop. Returns the element at which the walk
/// stopped, or null. The explicit stack grows with the depth of the tree, not the call stack.
template <typename Visit>
const Data* walkPreOrder(const Data* root, Visit&& visit) {
    const WalkStep first = visit(root, std::size_t{1});
    if (first == WalkStep::Stop) {
        return root;
    }
    if (first == WalkStep::SkipChildren) {
        return nullptr;
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
        const WalkStep step = visit(child, stack.size() + 1);
        if (step == WalkStep::Stop) {
            return child;
        }
        if (step == WalkStep::Descend && !child->getChildren().empty()) {
            stack.emplace_back(child, 0);
        }
    }
    return nullptr;
}

/// The first element of `root` and its subtree, in pre-order, for which `visit(element)` returns
/// true; null when there is none.
template <typename Visit>
const Data* findPreOrder(const Data* root, Visit&& visit) {
    return walkPreOrder(root, [&visit](const Data* element, std::size_t) {
        return visit(element) ? WalkStep::Stop : WalkStep::Descend;
    });
}

}  // namespace detail
}  // namespace VelXmlN

#endif
