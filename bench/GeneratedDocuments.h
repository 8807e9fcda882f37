// The three generated documents that the document benchmarks read and write: element-dense
// records, text-heavy prose and a pretty-printed configuration. The same generator feeds
// bench_document and bench_peers, so that their figures can be set side by side.
#ifndef VELXMLN_BENCH_GENERATEDDOCUMENTS_H
#define VELXMLN_BENCH_GENERATEDDOCUMENTS_H

#include <cstddef>
#include <string>

namespace bench_documents {

enum Kind { kRecords = 0, kText = 1, kConfig = 2 };
constexpr int kKinds = 3;

/// The default size of each document, in bytes.
constexpr std::size_t kDefaultBytes = 50u * 1000u * 1000u;

inline const char* kindName(int kind) {
    return kind == kRecords ? "records" : kind == kText ? "text" : "config";
}

/// Element-dense records: many small elements with several attributes and short values.
inline std::string makeRecords(std::size_t targetBytes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<records>\n";
    for (unsigned i = 0; text.size() < targetBytes; ++i) {
        const std::string n = std::to_string(i);
        text += "  <record id=\"" + n + "\" kind=\"k" + std::to_string(i % 7) +
                "\" valid=\"true\"><name>Item " + n + "</name><x>" + std::to_string(i * 0.25) +
                "</x><y>-" + std::to_string(i % 1000) + ".5</y><tags><tag>a</tag><tag>b" +
                std::to_string(i % 13) + "</tag></tags></record>\n";
    }
    return text + "</records>\n";
}

/// Text-heavy: long paragraphs of prose with a few references and inline elements.
inline std::string makeText(std::size_t targetBytes) {
    static const char* const kWords[] = {"the",     "machine", "reads", "values",  "from",
                                         "a",       "stream",  "and",   "writes",  "them",
                                         "back",    "into",    "its",   "tree",    "while",
                                         "keeping", "every",   "text",  "exactly", "intact"};
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<book>\n";
    unsigned seed = 1;
    for (unsigned chapter = 0; text.size() < targetBytes; ++chapter) {
        text += "<chapter title=\"Chapter " + std::to_string(chapter) + "\">\n";
        for (int paragraph = 0; paragraph < 20; ++paragraph) {
            text += "<para>";
            for (int word = 0; word < 400; ++word) {
                seed = seed * 1103515245u + 12345u;
                text += kWords[(seed >> 16) % 20];
                text += (word % 50 == 49) ? " &amp; " : " ";
            }
            text += "<em>emphasis</em> and the end.</para>\n";
        }
        text += "</chapter>\n";
    }
    return text + "</book>\n";
}

/// A pretty-printed configuration: nested sections, settings with attributes, comments.
inline std::string makeConfig(std::size_t targetBytes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<config>\r\n";
    for (unsigned i = 0; text.size() < targetBytes; ++i) {
        const std::string n = std::to_string(i);
        text += "\t<!-- section " + n + " -->\r\n\t<section name=\"s" + n + "\">\r\n";
        for (int k = 0; k < 8; ++k) {
            const std::string key = std::to_string(k);
            text += "\t\t<setting Name=\"key" + key + "\" Value=\"" + std::to_string(i * 8 + k) +
                    ".125\" Unit=\"mm\"/>\r\n";
        }
        text +=
            "\t\t<limits>\r\n\t\t\t<lower>0.5</lower>\r\n\t\t\t<upper>99.5</upper>\r\n"
            "\t\t</limits>\r\n\t</section>\r\n";
    }
    return text + "</config>\r\n";
}

inline std::string makeDocument(int kind, std::size_t targetBytes = kDefaultBytes) {
    return kind == kRecords ? makeRecords(targetBytes)
           : kind == kText  ? makeText(targetBytes)
                            : makeConfig(targetBytes);
}

}  // namespace bench_documents

#endif
