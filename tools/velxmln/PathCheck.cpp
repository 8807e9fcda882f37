#include "PathCheck.h"

namespace velxmlncli {
namespace {

std::string at(const char* what, std::size_t index) {
    return std::string(what) + " at column " + std::to_string(index + 1);
}

bool isNameBreaker(char c) {
    return c == '[' || c == ']' || c == '@' || c == '=' || c == '\'' || c == '"';
}

/// The problem of the child-form step path[begin, end); empty when it is valid.
std::string checkStep(const std::string& path, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
    while (i < end && !isNameBreaker(path[i])) {
        ++i;
    }
    if (i == begin) {
        return at("a step without an element name", begin);
    }
    if (i == end) {
        return {};
    }
    if (path[i] != '[') {
        return at(("unexpected '" + std::string(1, path[i]) + "' in an element name").c_str(), i);
    }
    const std::size_t open = i++;
    if (i == end || path[i] != '@') {
        return at("a predicate that does not start with '[@'", open);
    }
    const std::size_t nameBegin = ++i;
    while (i < end && path[i] != '=' && path[i] != ']' && path[i] != '\'') {
        ++i;
    }
    if (i == end || path[i] != '=') {
        return at("a predicate without '='", open);
    }
    if (i == nameBegin) {
        return at("a predicate without an attribute name", nameBegin);
    }
    if (++i == end || path[i] != '\'') {
        return at("a predicate value that is not in single quotes", i);
    }
    const std::size_t quote = i++;
    while (i < end && path[i] != '\'') {
        ++i;
    }
    if (i == end) {
        return at("an unterminated predicate value", quote);
    }
    if (++i == end) {
        return at("an unterminated predicate (missing ']')", open);
    }
    if (path[i] != ']') {
        return at("unexpected text after a predicate value", i);
    }
    if (++i != end) {
        return at("more than one predicate in a step", i);
    }
    return {};
}

}  // namespace

std::string findPathProblem(const std::string& path) {
    if (path.empty()) {
        return "an empty path";
    }
    const bool descendant = path.compare(0, 2, "//") == 0;
    std::size_t i = descendant ? 2 : (path[0] == '/' ? 1 : 0);
    bool anyStep = false;
    while (i < path.size()) {
        std::size_t end = path.find('/', i);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end == i) {
            return at(anyStep ? "'//' after the start of a path" : "a step without an element name",
                      i);
        }
        if (descendant) {
            for (std::size_t k = i; k < end; ++k) {
                if (isNameBreaker(path[k])) {
                    return at("a predicate or quote in a '//' path", k);
                }
            }
        } else if (std::string problem = checkStep(path, i, end); !problem.empty()) {
            return problem;
        }
        anyStep = true;
        i = end + 1;
    }
    if (!anyStep) {
        return "a path without an element name";
    }
    return {};
}

}  // namespace velxmlncli
