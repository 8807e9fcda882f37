// Reading and writing whole documents: Tree::buildOfStream from memory and Tree::putToStream to
// memory on three generated documents of about 50 MB each, beside the count-only SAX2 parse of
// Xerces-C with the loader's own settings, the bound for how fast reading can be.
//
// Each benchmark reports MB/s of the document's text; the read benchmarks also report peak_MB,
// the growth of a process's peak resident memory during one read (Linux only), beside the
// document's own size doc_MB.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <VelXmlN/Tree.h>
#include <VelXmlN/kasxmln.h>

namespace {

constexpr std::size_t kTargetBytes = 50u * 1000u * 1000u;

// ---- Documents ---------------------------------------------------------------------------------

// Element-dense records: many small elements with several attributes and short values.
std::string makeRecords() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<records>\n";
    for (unsigned i = 0; text.size() < kTargetBytes; ++i) {
        const std::string n = std::to_string(i);
        text += "  <record id=\"" + n + "\" kind=\"k" + std::to_string(i % 7) +
                "\" valid=\"true\"><name>Item " + n + "</name><x>" + std::to_string(i * 0.25) +
                "</x><y>-" + std::to_string(i % 1000) + ".5</y><tags><tag>a</tag><tag>b" +
                std::to_string(i % 13) + "</tag></tags></record>\n";
    }
    return text + "</records>\n";
}

// Text-heavy: long paragraphs of prose with a few references and inline elements.
std::string makeText() {
    static const char* const kWords[] = {"the",     "machine", "reads", "values",  "from",
                                         "a",       "stream",  "and",   "writes",  "them",
                                         "back",    "into",    "its",   "tree",    "while",
                                         "keeping", "every",   "text",  "exactly", "intact"};
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<book>\n";
    unsigned seed = 1;
    for (unsigned chapter = 0; text.size() < kTargetBytes; ++chapter) {
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

// A pretty-printed configuration: nested sections, settings with attributes, comments.
std::string makeConfig() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<config>\r\n";
    for (unsigned i = 0; text.size() < kTargetBytes; ++i) {
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

const std::string& document(int kind) {
    static const std::string records = makeRecords();
    static const std::string prose = makeText();
    static const std::string config = makeConfig();
    return kind == 0 ? records : kind == 1 ? prose : config;
}

const char* kindName(int kind) {
    return kind == 0 ? "records" : kind == 1 ? "text" : "config";
}

// ---- Memory streams ----------------------------------------------------------------------------

// Reads a string in place, so that no copy is made before the reader's own.
class InputBuffer : public std::streambuf {
  public:
    explicit InputBuffer(const std::string& text) {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }
};

// Appends to a string that keeps its capacity between runs.
class OutputBuffer : public std::streambuf {
  public:
    explicit OutputBuffer(std::string& text) : text_(text) {}

  protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        text_.append(bytes, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            text_.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }

  private:
    std::string& text_;
};

// ---- Peak memory -------------------------------------------------------------------------------

long statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) {
            return std::stol(line.substr(length));
        }
    }
    return -1;
}

// How much the resident memory of a process grows at its peak while it reads `text` once, in
// MB; -1 where it cannot be measured. The read runs in a child process that first gives the
// memory freed by earlier runs back to the system and resets its peak (Linux 4.0 and later), so
// that memory kept by the allocator from earlier benchmarks does not hide the growth.
double peakGrowthOfRead(const std::string& text) {
    int channel[2];
    if (pipe(channel) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKilobytes("VmRSS:");
        {
            InputBuffer buffer(text);
            std::istream in(&buffer);
            VelXmlN::Tree tree(in);
            benchmark::DoNotOptimize(tree.getRoot());
        }
        const double growth = (statusKilobytes("VmHWM:") - before) / 1024.0;
        const ssize_t written = write(channel[1], &growth, sizeof growth);
        _exit(written == sizeof growth ? 0 : 1);
    }
    close(channel[1]);
    double growth = -1;
    if (child < 0 || read(channel[0], &growth, sizeof growth) != sizeof growth) {
        growth = -1;
    }
    close(channel[0]);
    if (child > 0) {
        waitpid(child, nullptr, 0);
    }
    return growth;
}

// ---- Benchmarks --------------------------------------------------------------------------------

void readDocument(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& text = document(kind);
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<VelXmlN::Tree>();
        InputBuffer buffer(text);
        std::istream in(&buffer);
        state.ResumeTiming();
        tree->buildOfStream(in);
        state.PauseTiming();
        benchmark::DoNotOptimize(tree->getRoot());
        tree.reset();  // destroying the tree is not part of reading it
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["peak_MB"] = peakGrowthOfRead(text);
    state.counters["doc_MB"] = static_cast<double>(text.size()) / 1e6;
    state.SetLabel(kindName(kind));
}

void writeDocument(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& text = document(kind);
    InputBuffer buffer(text);
    std::istream in(&buffer);
    VelXmlN::Tree tree(in);
    std::string output;
    output.reserve(text.size() * 2);
    for (auto _ : state) {
        output.clear();
        OutputBuffer sink(output);
        std::ostream out(&sink);
        tree.putToStream(out);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * output.size()));
    state.counters["out_MB"] = static_cast<double>(output.size()) / 1e6;
    state.SetLabel(kindName(kind));
}

// The loader's settings, with handlers that only count.
class CountingHandler : public xercesc::DefaultHandler {
  public:
    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const,
                      const xercesc::Attributes& attributes) override {
        ++elements;
        attributeCount += attributes.getLength();
    }
    void characters(const XMLCh* const, const XMLSize_t length) override {
        characterCount += length;
    }
    xercesc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const systemId) override {
        static const XMLByte nothing[1] = {0};
        return new xercesc::MemBufInputSource(nothing, 0, systemId, false);
    }
    void fatalError(const xercesc::SAXParseException& problem) override { throw problem; }

    std::size_t elements = 0;
    std::size_t attributeCount = 0;
    std::size_t characterCount = 0;
};

void countOnlyParse(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& text = document(kind);
    kasxmln::CXMLManager::GetInstance();  // starts Xerces-C
    using xercesc::XMLUni;
    std::size_t elements = 0;
    for (auto _ : state) {
        std::unique_ptr<xercesc::SAX2XMLReader> reader(
            xercesc::XMLReaderFactory::createXMLReader());
        reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
        reader->setFeature(XMLUni::fgXercesDynamic, true);
        reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, false);
        reader->setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
        reader->setFeature(XMLUni::fgXercesSchema, false);
        reader->setFeature(XMLUni::fgXercesLoadSchema, false);
        reader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
        reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
        xercesc::SecurityManager security;
        security.setEntityExpansionLimit(kasxmln::kMaxEntityExpansions);
        reader->setProperty(XMLUni::fgXercesSecurityManager, &security);
        CountingHandler handler;
        reader->setContentHandler(&handler);
        reader->setErrorHandler(&handler);
        reader->setEntityResolver(&handler);
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()),
                                          text.size(), "benchmark", false);
        reader->parse(source);
        elements = handler.elements;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["elements"] = static_cast<double>(elements);
    state.SetLabel(kindName(kind));
}

}  // namespace

BENCHMARK(countOnlyParse)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(readDocument)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(writeDocument)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
