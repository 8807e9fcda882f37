// The command refuses paths that the navigator would quietly turn into "no match".
#ifndef VELXMLN_TOOLS_PATHCHECK_H
#define VELXMLN_TOOLS_PATHCHECK_H

#include <string>

namespace velxmlncli {

/// What is wrong with `path` as a path for XPathNavigator::select, with its column (counted from
/// 1); an empty text when the path is valid.
///
/// Valid paths name at least one element. In the child form ("plant/line[@id='2']/machine", a
/// leading "/" allowed) every step is an element name with at most one predicate
/// "[@attribute='value']" closing the step. The descendant form starts with "//" and has plain
/// names only ("//machine", "//line/machine"). A "//" anywhere else, a step without a name, a
/// predicate lacking "@", "=" or either quote, an unterminated one and a second one are refused.
std::string findPathProblem(const std::string& path);

}  // namespace velxmlncli

#endif
