// The reader against the W3C XML conformance suite (xmlconf): every test of XML 1.0 and Namespaces
// 1.0 that applies to the fifth edition is read through Tree::buildOfStream. Documents the suite
// calls valid or invalid must be read; standalone documents it calls not well-formed must be
// refused. The cases where the reader differs are listed, each with its reason, in deviations.txt
// beside this file; a listed case that stops differing fails the test too, so the list stays true.
//
// The suite is found in VELXMLN_XMLCONF_DIR (set by CMake); without it the test is skipped.
#include <VelXmlN/Tree.h>
#include <VelXmlN/kasxmln.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

struct Case {
    std::string id;
    std::string type;  // valid, invalid, not-wf, error
    bool standalone;   // no external entity of any kind is involved
    std::string path;
};

std::string attribute(const VelXmlN::Data& element, const char* name) {
    const VelXmlN::AttributeData* found = element.findAttribute(name);
    return found != nullptr ? found->getData() : std::string();
}

// Whether a test belongs to XML 1.0 and Namespaces 1.0 as the fifth edition has them.
bool applies(const VelXmlN::Data& test) {
    const std::string recommendation = attribute(test, "RECOMMENDATION");
    const std::string version = attribute(test, "VERSION");
    const std::string edition = attribute(test, "EDITION");
    return recommendation.find("1.1") == std::string::npos &&
           (version.empty() || version.find("1.0") != std::string::npos) &&
           (edition.empty() || edition.find('5') != std::string::npos);
}

void collect(const VelXmlN::Data& element, const std::string& folder, std::vector<Case>& cases) {
    for (const VelXmlN::Data* child : element.getChildren()) {
        if (child->getName() == "TEST") {
            if (applies(*child)) {
                const std::string entities = attribute(*child, "ENTITIES");
                cases.push_back({attribute(*child, "ID"), attribute(*child, "TYPE"),
                                 entities.empty() || entities == "none",
                                 folder + "/" + attribute(*child, "URI")});
            }
        } else {
            collect(*child, folder, cases);
        }
    }
}

// The master catalog names each collection's catalog as an external entity, which the library
// never loads: each is read here as a fragment of its own.
std::vector<Case> loadSuite(const std::string& root) {
    std::vector<Case> cases;
    const std::string master = readFile(root + "/xmlconf.xml");
    const std::regex entity(R"re(<!ENTITY\s+\S+\s+SYSTEM\s+"([^"]+)")re");
    for (std::sregex_iterator it(master.begin(), master.end(), entity), end; it != end; ++it) {
        const std::string path = root + "/" + (*it)[1].str();
        std::string text = readFile(path);
        if (text.compare(0, 5, "<?xml") == 0) {
            text.erase(0, text.find("?>") + 2);
        }
        std::istringstream in("<catalog>" + text + "</catalog>");
        VelXmlN::Tree catalog;
        catalog.buildOfStream(in);
        collect(*catalog.getRoot(), folderOf(path), cases);
    }
    return cases;
}

// "accepted", or "refused" with the reader's message.
std::string outcomeOf(const Case& test, std::string& message) {
    std::ifstream in(test.path, std::ios::binary);
    try {
        VelXmlN::Tree tree;
        tree.buildOfStream(in);
        return tree.getRoot() != nullptr ? "accepted" : "refused";
    } catch (const kasxmln::CXMLException& error) {
        message = error.what();
        return "refused";
    }
}

// ID -> expected outcome, from lines "ID<TAB>outcome<TAB>reason"; '#' starts a comment line.
std::map<std::string, std::string> loadDeviations(const std::string& path) {
    std::map<std::string, std::string> deviations;
    std::istringstream lines(readFile(path));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t tab = line.find('\t');
        const std::size_t second = line.find('\t', tab + 1);
        EXPECT_TRUE(tab != std::string::npos && second != std::string::npos &&
                    second + 1 < line.size())
            << "a deviation needs an ID, an outcome and a reason: " << line;
        deviations[line.substr(0, tab)] = line.substr(tab + 1, second - tab - 1);
    }
    return deviations;
}

}  // namespace

TEST(Conformance, W3CSuiteOutcomesMatchTheSuiteOrTheListedDeviations) {
    const std::string root = VELXMLN_XMLCONF_DIR;
    if (readFile(root + "/xmlconf.xml").empty()) {
        GTEST_SKIP() << "the W3C suite is not at " << root << " (set VELXMLN_XMLCONF_DIR)";
    }
    const std::string here = __FILE__;
    const auto deviations = loadDeviations(folderOf(here) + "/deviations.txt");
    const std::vector<Case> cases = loadSuite(root);

    std::set<std::string> seen;
    int notWellFormed = 0, refused = 0, readable = 0, read = 0;
    for (const Case& test : cases) {
        const bool mustRefuse = test.type == "not-wf" && test.standalone;
        const bool mustRead = test.type == "valid" || test.type == "invalid";
        if (!mustRefuse && !mustRead) {
            continue;
        }
        EXPECT_TRUE(seen.insert(test.id).second) << "two tests named " << test.id;
        std::string message;
        const std::string outcome = outcomeOf(test, message);
        notWellFormed += mustRefuse;
        refused += mustRefuse && outcome == "refused";
        readable += mustRead;
        read += mustRead && outcome == "accepted";
        const std::string verdict = mustRefuse ? "refused" : "accepted";
        const auto listed = deviations.find(test.id);
        const std::string expected = listed != deviations.end() ? listed->second : verdict;
        EXPECT_EQ(outcome, expected)
            << test.id << " (" << test.type << ", " << test.path << ")"
            << (message.empty() ? "" : ": " + message)
            << (listed != deviations.end() ? " [listed as a deviation]" : "");
    }
    for (const auto& [id, outcome] : deviations) {
        EXPECT_TRUE(seen.count(id) != 0) << "the listed deviation " << id << " is no test here";
    }
    std::cout << "not well-formed standalone documents refused: " << refused << " of "
              << notWellFormed << "\nvalid and invalid documents read: " << read << " of "
              << readable << "\n";
    // The figures the reader must never fall below.
    EXPECT_GE(refused, 928);
    EXPECT_GE(read, 948);
}
