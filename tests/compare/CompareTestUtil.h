// Helpers shared by the comparison tests: records as comparable tuples, a probe for the protected
// first-difference mode, and an element-ignoring rule.
#ifndef VELXMLN_TESTS_COMPARE_COMPARETESTUTIL_H
#define VELXMLN_TESTS_COMPARE_COMPARETESTUTIL_H

#include <VelXmlN/Compare.h>

#include <string>
#include <tuple>
#include <vector>

namespace testsupport {

using VelXmlN::AttributeData;
using VelXmlN::Data;
using VelXmlN::Comparing::DifferentItem;
using VelXmlN::Comparing::Ignore;
using Difference = DifferentItem::Difference;
using Rules = std::vector<const Ignore*>;

using Record =
    std::tuple<const Data*, const AttributeData*, const Data*, const AttributeData*, Difference>;

inline Record record(const Data* a, const Data* b, Difference difference) {
    return Record(a, nullptr, b, nullptr, difference);
}

inline Record record(const Data* a, const AttributeData* x, const Data* b, const AttributeData* y) {
    return Record(a, x, b, y, DifferentItem::AttributeValue);
}

inline std::vector<Record> records(const std::vector<DifferentItem>& items) {
    std::vector<Record> out;
    for (const DifferentItem& item : items) {
        out.emplace_back(item.getElementA(), item.getAttributeA(), item.getElementB(),
                         item.getAttributeB(), item.getDifference());
    }
    return out;
}

inline std::vector<Record> differences(const Data* a, const Data* b, const Rules& rules = {}) {
    return records(VelXmlN::Compare::findDifferences(a, b, rules));
}

/// Reaches the protected first-difference mode, which the public operations reduce to a bool.
class Probe : public VelXmlN::Compare {
  public:
    static Difference first(const Data* a, const Data* b, bool content, const Rules& rules = {}) {
        Probe probe;
        probe.setCompareContent(content);
        probe.setIgnores(rules);
        return probe.differ(a, b);
    }
};

/// Ignores every element of one name.
class IgnoreElement : public Ignore {
  public:
    explicit IgnoreElement(std::string name) : name_(std::move(name)) {}
    bool isIgnored(const Data*, const AttributeData*) const override { return false; }
    bool isIgnored(const Data* element) const override { return element->getName() == name_; }

  private:
    std::string name_;
};

}  // namespace testsupport

#endif
