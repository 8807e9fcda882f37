// Nothing that a document names is read: no external DTD, external entity or schema, from disk or
// from the network. A watched folder must see no file opened, a listening port no connection.
#include "sax/ScanSupport.h"

#include "support/NeverRead.h"

using testsupport::Maps;

using testsupport::FolderWatch;
using testsupport::kNaming;
using testsupport::Listener;
using testsupport::substitute;

namespace {

template <typename Scanner>
class NeverRead : public ::testing::Test {};
TYPED_TEST_SUITE(NeverRead, testsupport::Scanners);

TYPED_TEST(NeverRead, NothingADocumentNamesIsOpenedOrFetched) {
    testsupport::ScanFolder folder;
    testsupport::ScanFolder secrets;
    // Each would add an attribute "leaked" to every item if it were read.
    const std::string leak = "<!ATTLIST item leaked CDATA \"yes\">";
    secrets.write("secret.dtd", leak);
    secrets.write("parameters.ent", leak);
    secrets.write("text.ent", "<item leaked=\"yes\"/>");
    secrets.write("schema.xsd", "<xs:schema/>");
    const Listener network;
    const FolderWatch watch(secrets.folder());
    const std::string document = substitute(kNaming, "{secrets}", secrets.folder());

    TypeParam scanner(folder.write("doc.xml", substitute(document, "{net}", network.url())));
    EXPECT_EQ(scanner.getAttributes("root/item"), (Maps{{{"a", "1"}}}));
    EXPECT_EQ(scanner.getErrorTexts(), std::vector<std::string>{});
    EXPECT_EQ(scanner.getExceptions(), std::vector<std::string>{});
    EXPECT_FALSE(watch.touched()) << "a file the document names was opened";
    EXPECT_EQ(network.contacts(), 0) << "an address the document names was contacted";
}

}  // namespace
