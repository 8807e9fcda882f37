// ExchangeXml: building by nesting, and copies that never share a document.
#include <VelXmlN/ExchangeXml.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using testsupport::describe;
using VelXmlN::Data;
using VelXmlN::ExchangeXml;
using VelXmlN::Tree;

namespace {

// Reaches the protected accessors, as derived classes do.
class Exchange : public ExchangeXml {
  public:
    using ExchangeXml::ExchangeXml;
    using ExchangeXml::getTree;
    using ExchangeXml::setTree;
};

}  // namespace

TEST(ExchangeXml, WithoutADocumentEverythingIsIgnored) {
    Exchange none;
    none.open("x");
    none.close();
    none.flush();
    EXPECT_EQ(none.getTree(), nullptr);
    Exchange unnamed("");
    unnamed.open("x");
    EXPECT_EQ(unnamed.getTree(), nullptr);
}

// What open, close and flush do is the tree's (tested there); here, that they reach it, and that
// open finds an existing child rather than making another.
TEST(ExchangeXml, OpenCloseAndFlushReachTheTree) {
    Exchange exchange("doc");
    Tree* tree = exchange.getTree();
    exchange.open("doc");
    exchange.open("item");
    tree->getCurrentNode()->setAttribute("a", 1);
    exchange.close();
    exchange.open("item");
    exchange.flush();
    EXPECT_EQ(describe(tree->getRoot()), "doc{}\"\"[item{}\"\"[],]");
    exchange.close();
    EXPECT_EQ(tree->getCurrentNode(), tree->getRoot());
}

TEST(ExchangeXml, CopiesOwnTheirOwnDocument) {
    Exchange original("doc");
    original.getTree()->setEncodeSkip(VelXmlN::EncodeSkipQuote);
    original.open("doc");
    original.open("item");
    original.getTree()->getCurrentNode()->setDataPlain("v");

    Exchange copied(original);
    ASSERT_NE(copied.getTree(), nullptr);
    EXPECT_NE(copied.getTree(), original.getTree());
    EXPECT_EQ(describe(copied.getTree()->getRoot()), describe(original.getTree()->getRoot()));
    EXPECT_EQ(copied.getTree()->getEncodeSkip(), VelXmlN::EncodeSkipQuote);
    EXPECT_EQ(copied.getTree()->getCurrentNode(), nullptr);

    Exchange assigned("other");
    assigned = original;
    EXPECT_NE(assigned.getTree(), original.getTree());
    EXPECT_EQ(assigned.getTree()->getName(), "doc");
    Exchange& same = assigned;
    assigned = same;
    EXPECT_EQ(assigned.getTree()->getName(), "doc");

    Exchange empty;
    assigned = empty;
    EXPECT_EQ(assigned.getTree(), nullptr);

    Exchange broken("bad name");
    Exchange target("kept");
    EXPECT_THROW(target = broken, kasxmln::CXMLException);
    EXPECT_EQ(target.getTree()->getName(), "kept");
}  // every document is destroyed exactly once here (checked under the sanitizers)
