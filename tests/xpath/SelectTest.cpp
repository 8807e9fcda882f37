// Selecting elements by path: both forms, predicate parsing, a missing start element, deep trees,
// and random trees checked against a literal, naive evaluation of the rules.
#include <VelXmlN/XPathNavigator.h>

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

using VelXmlN::AttributeData;
using VelXmlN::Data;
using VelXmlN::XPathNavigator;

using List = std::vector<Data*>;

namespace {

// doc / item[id=1] / name, doc / item[id=2] / name
class Select : public ::testing::Test {
  protected:
    Select() {
        for (const char* id : {"1", "2"}) {
            items.push_back(doc.createChild("item"));
            items.back()->setAttribute("id", id);
            names.push_back(items.back()->createChild("name"));
        }
    }
    Data doc{"doc"};
    List items;
    List names;
    XPathNavigator navigator{&doc};
};

}  // namespace

TEST_F(Select, ChildFormMatchesTheFirstStepAgainstTheStartElement) {
    EXPECT_EQ(navigator.select("doc/item"), items);
    EXPECT_EQ(navigator.select("/doc//item/"), items);
    EXPECT_EQ(navigator.select("/doc/item/name"), names);
    EXPECT_EQ(navigator.select("/doc/item[@id='2']/name"), List{names[1]});
    EXPECT_EQ(navigator.select("/doc/item[@id='3']"), List{});
    EXPECT_EQ(navigator.select("item"), List{});
    EXPECT_EQ(navigator.select("/Doc"), List{}) << "names are case-sensitive";
    EXPECT_EQ(navigator.select(""), List{&doc});
    EXPECT_EQ(navigator.select("/"), List{&doc});

    items[0]->setAttribute("v", "1.0");
    EXPECT_EQ(navigator.select("/doc/item[@v='1']"), List{}) << "values compare as text";
    items[1]->getAttributes().push_back(new AttributeData("id", "9"));
    EXPECT_EQ(navigator.select("/doc/item[@id='9']"), List{}) << "only the first 'id' counts";
    doc.createChild("");
    EXPECT_EQ(navigator.select("/doc/"), List{&doc}) << "an empty name is no step";
}

TEST_F(Select, PredicateParsingEdgeCases) {
    EXPECT_EQ(navigator.select("/doc/item[@id='2'][@id='1']"), List{items[1]});
    EXPECT_EQ(navigator.select("/doc/item[@id='2'"), List{items[1]}) << "no ']' is needed";
    EXPECT_EQ(navigator.select("/doc/item[@id='']"), items) << "an empty value filters nothing";
    EXPECT_EQ(navigator.select("/doc/item[@='2']"), items) << "an empty name filters nothing";
    EXPECT_EQ(navigator.select("/doc/item[@id = '2']"), List{}) << "the name is 'id '";

    // Malformed predicates select nothing, whatever the element's attributes.
    for (const char* path : {"/doc/item[id='2']", "/doc/item[@id'2']", "/doc/item[@id=2]",
                             "/doc/item[@id='2", "/doc/item[]", "/doc/item[@id=']"}) {
        EXPECT_EQ(navigator.select(path), List{}) << path;
    }
    EXPECT_EQ(navigator.select("/doc/other[@id='2']"), List{});
}

TEST_F(Select, DescendantFormSearchesWholeSubtreesIgnoringPredicates) {
    EXPECT_EQ(navigator.select("//doc"), List{&doc}) << "the start element takes part";
    EXPECT_EQ(navigator.select("//item//name"), names);
    EXPECT_EQ(navigator.select("//doc/name"), names) << "each step searches the whole subtree";
    EXPECT_EQ(navigator.select("//item[@id='2']"), List{});
    EXPECT_EQ(navigator.select("//missing/name"), List{});
    EXPECT_EQ(navigator.select("//"), List{&doc});
}

TEST(SelectDescendants, NestedMatchesAreListedOncePerEnclosingMatch) {
    Data a("a");
    Data* inner = a.createChild("a");
    Data* b = inner->createChild("b");
    EXPECT_EQ(XPathNavigator(&a).select("//a/b"), (List{b, b}));

    // a1 ( a2 ( b1 ), b2 ): a1's subtree lists b1 and b2, then a2's lists b1 again.
    Data* b2 = a.createChild("b");
    EXPECT_EQ(XPathNavigator(&a).select("//a/b"), (List{b, b2, b}));
    EXPECT_EQ(XPathNavigator(&a).select("//a/a"), (List{&a, inner, inner}));
    EXPECT_EQ(XPathNavigator(&a).select("//a/a/b"), (List{b, b2, b, b}));
}

TEST(SelectWithoutStartElement, SelectsNothingAndNeverFollowsNull) {
    for (const XPathNavigator& navigator :
         {XPathNavigator(nullptr), XPathNavigator(static_cast<Data*>(nullptr))}) {
        EXPECT_EQ(navigator.getContextElement(), nullptr);
        for (const char* path : {"", "/", "//", "a[@b='c']", "//a/b"}) {
            EXPECT_TRUE(navigator.select(path).empty()) << path;
        }
    }
}

TEST(SelectDeepTrees, MillionLevelChainNeedsNoCallStackAndNoQuadraticWork) {
    constexpr std::size_t kDepth = 1000000;
    Data top("a");
    Data* deepest = &top;
    for (std::size_t i = 1; i < kDepth; ++i) {
        deepest = deepest->createChild("a");
    }
    deepest->setName("b");
    const XPathNavigator navigator(&top);

    const std::string path = XPathNavigator::makeXPath(*deepest);
    EXPECT_EQ(path.size(), 2 * kDepth);
    EXPECT_EQ(navigator.select(path), List{deepest});
    EXPECT_EQ(navigator.select("//b"), List{deepest});
    // Every "a" encloses the "b"; re-walking each subtree would take about 5e11 visits.
    const List repeated = navigator.select("//a/b");
    EXPECT_EQ(repeated.size(), kDepth - 1);
    EXPECT_EQ(std::set<Data*>(repeated.begin(), repeated.end()), std::set<Data*>{deepest});
}

namespace {

void naiveSubtree(Data* element, const std::string& name, List& out) {
    if (element->getName() == name) {
        out.push_back(element);
    }
    for (Data* child : element->getChildren()) {
        naiveSubtree(child, name, out);
    }
}

// The child form exactly as the rules read: filter the list, stop when empty, else expand.
bool naiveMatch(const Data& e, const std::string& step) {
    const std::size_t p0 = step.find('[');
    if (p0 == std::string::npos) {
        return e.getName() == step;
    }
    const std::size_t p1 = step.find('@', p0), p2 = step.find('=', p1);
    const std::size_t p3 = step.find('\'', p2), p4 = step.find('\'', p3 + 1);
    const std::string attribute = step.substr(p1 + 1, p2 - p1 - 1);
    const std::string value = step.substr(p3 + 1, p4 - p3 - 1);
    const AttributeData* found = e.findAttribute(attribute);
    return e.getName() == step.substr(0, p0) &&
           (attribute.empty() || value.empty() || (found && found->getData() == value));
}

List naiveSelect(Data* start, const std::vector<std::string>& steps, bool descendant) {
    List list{start};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        List next;
        for (Data* element : list) {
            if (descendant) {
                naiveSubtree(element, steps[i], next);
            } else if (naiveMatch(*element, steps[i])) {
                next.push_back(element);
            }
        }
        if (!descendant && !next.empty() && i + 1 < steps.size()) {
            List children;
            for (Data* element : next) {
                children.insert(children.end(), element->getChildren().begin(),
                                element->getChildren().end());
            }
            next.swap(children);
        }
        list.swap(next);
    }
    return list;
}

}  // namespace

TEST(SelectRandomTrees, AgreeWithNaiveEvaluation) {
    std::mt19937 random(7);
    const std::vector<std::string> pool = {"a", "b", "a[@k='1']", "b[@k='2']", "a[@k='']"};
    for (int round = 0; round < 200; ++round) {
        Data root("a");
        List all{&root};
        for (int i = 0; i < 40; ++i) {
            Data* child = all[random() % all.size()]->createChild(random() % 2 ? "a" : "b");
            child->setAttribute("k", std::to_string(random() % 3));
            all.push_back(child);
        }
        // Descendant steps are mostly bare names: a predicate there only ever matches nothing.
        std::vector<std::string> steps(1 + random() % 4);
        std::vector<std::string> descendantSteps(1 + random() % 4);
        std::string childPath;
        std::string descendantPath = "/";
        for (std::string& step : steps) {
            step = pool[random() % pool.size()];
            childPath += "/" + step;
        }
        for (std::string& step : descendantSteps) {
            step = pool[random() % 5 == 0 ? 2 : random() % 2];
            descendantPath += "/" + step;
        }
        const XPathNavigator navigator(&root);
        EXPECT_EQ(navigator.select(childPath), naiveSelect(&root, steps, false)) << childPath;
        EXPECT_EQ(navigator.select(descendantPath), naiveSelect(&root, descendantSteps, true))
            << descendantPath;
    }
}
