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

TEST(ExchangeXml, OpenCloseAndFlushWorkOnTheCurrentNode) {
    Exchange exchange("doc");
    Tree* tree = exchange.getTree();
    exchange.open("doc");
    EXPECT_EQ(tree->getCurrentNode(), tree->getRoot());
    exchange.open("doc");
    Data* child = tree->getCurrentNode();
    EXPECT_EQ(child->getParent(), tree->getRoot());
    child->setAttribute("a", 1);
    child->createChild("grand");
    exchange.close();
    EXPECT_EQ(tree->getCurrentNode(), tree->getRoot());
    exchange.open("doc");
    EXPECT_EQ(tree->getCurrentNode(), child) << "open finds the existing child";
    exchange.flush();
    EXPECT_TRUE(child->getChildren().empty());
    EXPECT_TRUE(child->getAttributes().empty());
}

TEST(ExchangeXml, SetTreeHandsTheOldDocumentBack) {
    Exchange exchange("one");
    Tree* old = exchange.getTree();
    exchange.setTree(new Tree("two"));
    EXPECT_EQ(exchange.getTree()->getName(), "two");
    delete old;
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
