// Tree::buildOfStream: what each construct becomes, where reading starts, and that a failed
// read leaves the tree as it was.
#include <VelXmlN/Tree.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <streambuf>
#include <string>

#include "support/TestSupport.h"

using kasxmln::CXMLException;
using testing_support::dataPath;
using testing_support::describe;
using testing_support::readFile;
using VelXmlN::Data;
using VelXmlN::Tree;

namespace {

std::string readBack(const std::string& text) {
    std::istringstream in(text);
    Tree tree(in);
    return describe(tree.getRoot());
}

// A stream buffer that can neither seek nor hand out more than a few bytes at a time.
class Trickle : public std::streambuf {
  public:
    explicit Trickle(std::string text) : text_(std::move(text)) {}

  protected:
    int_type underflow() override {
        if (offset_ >= text_.size()) {
            return traits_type::eof();
        }
        const std::size_t count = std::min<std::size_t>(7, text_.size() - offset_);
        std::memcpy(buffer_, text_.data() + offset_, count);
        offset_ += count;
        setg(buffer_, buffer_, buffer_ + count);
        return traits_type::to_int_type(buffer_[0]);
    }

  private:
    std::string text_;
    std::size_t offset_ = 0;
    char buffer_[7];
};

}  // namespace

TEST(Reader, AttributesAndAnOnlyTextBecomeValuesTrimmedOfSpaces) {
    EXPECT_EQ(readBack("<a x='1'> hello </a>"), "a{x=\"1\" }\"hello\"[]");
    EXPECT_EQ(readBack("<a>\t tab stays \t</a>"), "a{}\"\t tab stays \t\"[]");
    EXPECT_EQ(readBack("<a></a>"), "a{}\"\"[]");
    EXPECT_EQ(readBack("<a/>"), "a{}\"\"[]");
    EXPECT_EQ(readBack("<a><b>1</b><b>2</b></a>"), "a{}\"\"[b{}\"1\"[],b{}\"2\"[],]");

    std::istringstream in("<a x='1' y=''/>");
    Tree tree(in);
    const Data* root = tree.getRoot();
    ASSERT_EQ(root->getAttributes().size(), 2u);
    EXPECT_TRUE(root->getAttributes()[1]->getEntityFlag());
    EXPECT_FALSE(root->getAttributes()[1]->getSelect());
    EXPECT_EQ(root->getAttributes()[1]->getPointer(), nullptr);
    EXPECT_TRUE(root->getEntityFlag());
    EXPECT_EQ(root->getParent(), nullptr);
}

TEST(Reader, TextsBesideElementsBecomeNamelessChildrenUnchanged) {
    EXPECT_EQ(readBack("<a> one <b/> two </a>"), "a{}\"\"[{}\" one \"[],b{}\"\"[],{}\" two \"[],]");
    std::istringstream in(readFile(dataPath("mixed-content.xml")));
    Tree tree(in);
    const Data* first = tree.getRoot()->getChildren()[0];
    ASSERT_EQ(first->getChildren().size(), 5u);
    EXPECT_EQ(first->getChildren()[0]->getData(), "Plain text with ");
    EXPECT_EQ(first->getChildren()[0]->getParent(), first);
    EXPECT_EQ(first->getChildren()[4]->getData(), " words, and a trailing tail.");
    EXPECT_EQ(tree.getRoot()->getChildren()[3]->getData(), "only text");
}

TEST(Reader, ReadsFromTheStreamPositionInBlocksAndKeepsTheRootOnAnEmptyRest) {
    std::istringstream in("garbage<a>x</a>");
    in.seekg(7);
    Tree tree(in);
    EXPECT_EQ(describe(tree.getRoot()), "a{}\"x\"[]");
    tree.buildOfStream(in);  // at the end now: nothing changes
    EXPECT_EQ(describe(tree.getRoot()), "a{}\"x\"[]");

    std::string large = "<list>";
    for (int i = 0; i < 20000; ++i) {
        large += "<i n='" + std::to_string(i) + "'/>";
    }
    large += "</list>";
    Trickle trickle(large);
    std::istream slow(&trickle);
    tree.buildOfStream(slow);
    ASSERT_EQ(tree.getRoot()->getChildren().size(), 20000u);
    EXPECT_EQ(tree.getRoot()->getChildren()[19999]->getAttributeString("n"), "19999");
}

TEST(Reader, AFailedReadKeepsTheRootAndTheCurrentNode) {
    Tree tree("keep");
    Data* current = tree.getRoot()->createChild("here");
    tree.setCurrentNode(current);
    std::string deep;
    for (unsigned i = 0; i <= kasxmln::kMaxElementDepth; ++i) {
        deep += "<d>";
    }
    for (const std::string& bad :
         {std::string("<a><b></a>"), std::string("<a>"), std::string("<a>&nope;</a>"),
          std::string("<a>\xC3(</a>"), std::string("<a>\x02</a>"), std::string("text only"),
          std::string("<a b='1' b='2'/>"), deep}) {
        std::istringstream in(bad);
        EXPECT_THROW(tree.buildOfStream(in), CXMLException) << bad.substr(0, 40);
        EXPECT_EQ(tree.getRoot()->getName(), "keep");
        EXPECT_EQ(tree.getCurrentNode(), current);
    }
}

TEST(Reader, ReplacingTheRootClearsACurrentNodeThatLayInIt) {
    Tree tree("old");
    tree.setCurrentNode(tree.getRoot()->createChild("inside"));
    std::istringstream first("<new/>");
    tree.buildOfStream(first);
    EXPECT_EQ(tree.getRoot()->getName(), "new");
    EXPECT_EQ(tree.getCurrentNode(), nullptr);

    Data outside("outside");
    tree.setCurrentNode(&outside);
    std::istringstream second("<newer/>");
    tree.buildOfStream(second);
    EXPECT_EQ(tree.getCurrentNode(), &outside) << "a node outside the tree is left alone";
}
