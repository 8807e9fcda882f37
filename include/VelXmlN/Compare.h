#ifndef VELXMLN_COMPARE_H
#define VELXMLN_COMPARE_H

#include <vector>

#include <VelXmlN/AttributeData.h>
#include <VelXmlN/Data.h>
#include <VelXmlN/DifferentItem.h>
#include <VelXmlN/Export.h>
#include <VelXmlN/Ignore.h>

namespace VelXmlN {

/// Compares what lies below two elements: their children, recursively, with the texts and
/// attributes of those children (the two elements passed in are not compared themselves).
///
/// Children pair by name and occurrence: the n-th child of A with a name pairs with the n-th child
/// of B with that name, whatever their positions. An attribute of A pairs with the first attribute
/// of B with its name. Pairing runs from A to B only; what B has beyond A shows through the
/// counts. Names, texts and values compare byte for byte. Ignore rules (borrowed, asked in list
/// order) take elements of either side out of the counts and end the comparison below an ignored
/// element of A, and take attributes out of the counts and the pairing.
///
/// The work is linear in the size of the two trees: partners are found through an index built once
/// per element, and the walk keeps its own stack, so neither wide nor deep trees are a problem.
class VELXMLN_API Compare {
  public:
    /// Every difference, in the order found: for two elements, a ChildCount record first; then for
    /// each paired child in A's order its Content record, its attribute records (AttributeCount,
    /// AttributeValue in A's attribute order, MissingAttribute) and the records below it; last a
    /// MissingChild record. Empty when the subtrees are equal; one MissingElement record when a
    /// side is null. The records point into the two trees.
    static std::vector<Comparing::DifferentItem> findDifferences(Data const* a, Data const* b);

    /// As the previous form, with ignore rules.
    static std::vector<Comparing::DifferentItem> findDifferences(
        Data const* a, Data const* b, std::vector<Comparing::Ignore const*> const& ignores);

    /// True when findDifferences would find nothing; stops at the first difference. False when a
    /// side is null.
    static bool areEqual(Data const* a, Data const* b);

    /// As the previous form, with ignore rules.
    static bool areEqual(Data const* a, Data const* b,
                         std::vector<Comparing::Ignore const*> const& ignores);

    /// As areEqual, but texts and attribute values are not looked at: only names, numbers and the
    /// presence of partners.
    static bool areEquallyStructured(Data const* a, Data const* b);

    /// As the previous form, with ignore rules.
    static bool areEquallyStructured(Data const* a, Data const* b,
                                     std::vector<Comparing::Ignore const*> const& ignores);

    Compare(const Compare&) = default;
    Compare(Compare&&) = default;
    Compare& operator=(const Compare&) = default;
    Compare& operator=(Compare&&) = default;

    /// Releases the rule list's storage only; the rules and the result vector stay.
    virtual ~Compare();

  protected:
    /// No content comparison, no rules, first-difference mode.
    Compare();

    /// Whether texts and attribute values are compared.
    void setCompareContent(bool content) noexcept { compareContent = content; }
    bool getCompareContent() const noexcept { return compareContent; }

    /// The rules, borrowed (the vector is copied, the rules are not).
    void setIgnores(std::vector<Comparing::Ignore const*> const& rules);
    std::vector<Comparing::Ignore const*> const& getIgnores() const noexcept { return ignores; }

    /// Null selects first-difference mode; otherwise differences are appended to the vector
    /// (borrowed) and the walk goes on to the end.
    void setDifferentItems(std::vector<Comparing::DifferentItem>* items) noexcept {
        differentItems = items;
    }

    /// True when a rule ignores `element`.
    bool isElementIgnored(Data const* element) const;

    /// True when a rule ignores the attribute `attribute` of `element`.
    bool isArgumentIgnored(Data const* element, AttributeData const* attribute) const;

    /// Compares the children of `a` and `b`, recursively. In first-difference mode returns the
    /// first difference; in collecting mode records every difference and returns NoDifference,
    /// or MissingElement when a side is null.
    Comparing::DifferentItem::Difference differ(Data const* a, Data const* b);

    /// Compares the attributes of `a` and `b`; returns and records as differ does.
    Comparing::DifferentItem::Difference differArguments(Data const* a, Data const* b);

  private:
    bool compareContent;
    std::vector<Comparing::Ignore const*> ignores;
    std::vector<Comparing::DifferentItem>* differentItems;
};

}  // namespace VelXmlN

#endif
