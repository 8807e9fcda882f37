// The node library's two readers on the same documents, events only (no tree is built): the fast
// reader against the Xerces-C event path. Small realistic documents read many times from memory,
// and the three 50 MB generated documents.
//
//   bench_fastreader                 per-read time and MB/s of each reader, medians of 3 runs
//   bench_fastreader --once D R N    N reads of document D (0-6) by reader R (fast, xerces), for
//                                    valgrind --tool=callgrind --toggle-collect='*measuredRead*'
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <VelXmlN/kasxmln.h>

#include "GeneratedDocuments.h"
#include "nodelib/FastReader.h"
#include "nodelib/NodeEvents.h"

namespace {

using kasxmln::detail::NarrowAttribute;

// Takes the events and keeps a little of each, so that nothing is optimised away.
class Counter final : public kasxmln::detail::NodeEvents {
  public:
    void restart() override { total = 0; }
    void startElement(std::string_view name, const NarrowAttribute* attributes,
                      std::size_t count) override {
        total += name.size() + count;
        for (std::size_t i = 0; i < count; ++i) {
            total += attributes[i].value.size();
        }
    }
    void text(std::string_view text, bool) override { total += text.size(); }
    void endElement() override { ++total; }
    std::size_t total = 0;
};

// A configuration file of a small program, no DOCTYPE.
std::string smallConfig() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n";
    const char* keys[] = {"host",  "port",    "user", "timeout", "retries", "log-level",
                          "cache", "threads", "mode", "root",    "proxy",   "locale"};
    for (const char* key : keys) {
        text += std::string("  <setting name=\"") + key + "\" value=\"value of " + key +
                "\" enabled=\"true\"/>\n";
    }
    return text + "</configuration>\n";
}

// A settings file with comments explaining each group.
std::string settingsWithComments(std::size_t groups) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- Settings of the "
        "application. Edit with care. -->\n<settings version=\"3\">\n";
    for (std::size_t g = 0; g < groups; ++g) {
        const std::string n = std::to_string(g);
        text += "  <!-- Group " + n + ": what these settings change and why they exist. -->\n";
        text += "  <group id=\"g" + n + "\" label=\"Group &amp; section " + n + "\">\n";
        for (int k = 0; k < 5; ++k) {
            const std::string key = std::to_string(k);
            text += "    <entry key=\"k" + key + "\" type=\"string\">Text of entry " + key +
                    " in group " + n + " &lt;default&gt;</entry>\n";
        }
        text += "  </group>\n";
    }
    return text + "</settings>\n";
}

// A document with a DOCTYPE naming an external DTD (never read), as policy files have.
std::string withDoctype(std::size_t rules) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE policy SYSTEM "
        "\"policy.dtd\">\n<policy name=\"default\" revision=\"12\">\n";
    for (std::size_t r = 0; r < rules; ++r) {
        const std::string n = std::to_string(r);
        text += "  <rule id=\"r" + n + "\" effect=\"" + (r % 3 == 0 ? "deny" : "allow") +
                "\">\n    <subject role=\"role" + std::to_string(r % 17) +
                "\"/>\n    <resource path=\"/data/section" + n +
                "/*\" recursive=\"true\"/>\n    <action>read</action>\n    <action>write</action>\n"
                "    <condition>time &gt; 08:00 and time &lt; 18:00</condition>\n  </rule>\n";
    }
    return text + "</policy>\n";
}

struct Document {
    std::string name;
    std::string bytes;
};

std::vector<Document> documents(bool large) {
    std::vector<Document> list = {
        {"config, no DOCTYPE", smallConfig()},
        {"settings with comments", settingsWithComments(20)},
        {"config with external DTD", withDoctype(18)},
        {"policy with external DTD", withDoctype(440)},
    };
    if (large) {
        for (int kind = 0; kind < 3; ++kind) {
            list.push_back({std::string("generated ") + bench_documents::kindName(kind),
                            bench_documents::makeDocument(kind)});
        }
    }
    return list;
}

__attribute__((noinline)) std::size_t measuredRead(const std::string& bytes, bool fast) {
    Counter counter;
    if (fast) {
        kasxmln::detail::FastReader reader(counter);
        if (reader.read(bytes.data(), bytes.size()) ==
            kasxmln::detail::FastReader::Outcome::kHandOver) {
            kasxmln::detail::loadEvents(bytes.data(), bytes.size(), counter);
        }
    } else {
        kasxmln::detail::loadEvents(bytes.data(), bytes.size(), counter);
    }
    return counter.total;
}

// The median over three runs of the time of one read, in seconds.
double secondsPerRead(const std::string& bytes, bool fast) {
    using clock = std::chrono::steady_clock;
    std::vector<double> runs;
    std::size_t sink = 0;
    for (int run = 0; run < 3; ++run) {
        std::size_t reads = 0;
        const auto start = clock::now();
        std::chrono::duration<double> spent{};
        do {
            sink += measuredRead(bytes, fast);
            ++reads;
            spent = clock::now() - start;
        } while (spent.count() < 0.3);
        runs.push_back(spent.count() / static_cast<double>(reads));
    }
    if (sink == 0) {
        std::puts("");
    }
    std::sort(runs.begin(), runs.end());
    return runs[1];
}

}  // namespace

int main(int argc, char** argv) {
    kasxmln::CXMLManager::GetInstance();
    if (argc == 5 && std::strcmp(argv[1], "--once") == 0) {
        const std::vector<Document> list = documents(std::atoi(argv[2]) >= 4);
        const Document& document = list.at(static_cast<std::size_t>(std::atoi(argv[2])));
        const bool fast = std::strcmp(argv[3], "fast") == 0;
        std::size_t sink = 0;
        for (int i = 0; i < std::atoi(argv[4]); ++i) {
            sink += measuredRead(document.bytes, fast);
        }
        std::printf("%s: %zu\n", document.name.c_str(), sink);
        return 0;
    }
    std::printf("%-28s %10s %12s %12s %9s %9s %7s\n", "document", "bytes", "fast us/read",
                "xerces us", "fast MB/s", "xerc MB/s", "ratio");
    for (const Document& document : documents(true)) {
        const double fast = secondsPerRead(document.bytes, true);
        const double xerces = secondsPerRead(document.bytes, false);
        const double megabytes = static_cast<double>(document.bytes.size()) / 1e6;
        std::printf("%-28s %10zu %12.1f %12.1f %9.0f %9.0f %7.2f\n", document.name.c_str(),
                    document.bytes.size(), fast * 1e6, xerces * 1e6, megabytes / fast,
                    megabytes / xerces, xerces / fast);
    }
    return 0;
}
