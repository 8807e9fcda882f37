// Reading and writing whole documents beside other XML libraries, in one run on the same files.
//
// The three generated documents of bench_document (element-dense records, text-heavy prose, a
// pretty-printed configuration; about 50 MB each) are written into a fresh temporary folder and
// read back from there into memory. Then, for each file:
//
//  - read: every library parses the in-memory text into its own tree: VelXmlN with
//    Tree::buildOfStream from a stream over the text, pugixml with load_buffer, tinyxml2 with
//    XMLDocument::Parse, libxml2 with xmlReadMemory, Xerces-C with its DOM parser; and Xerces-C's
//    SAX2 parser with handlers that only count, set up as the node library's loader sets it up,
//    the bound for any tree built on that engine. Only the parse is timed; destroying the tree
//    is not. Times are processor time of the process (user and system), which other processes
//    on the machine's cores do not lengthen. The runs are interleaved (one run of every
//    library, then the next round), so that a change in the machine's load touches all of them
//    alike. Medians are reported, with the spread of the read times.
//  - write: every library writes its own tree of the file to memory, indented: VelXmlN with
//    Tree::putToStream, pugixml with xml_document::save, tinyxml2 with XMLPrinter, libxml2 with
//    xmlDocDumpFormatMemory, Xerces-C with a pretty-printing DOMLSSerializer. MB/s are given on
//    the size of the file read, so that they compare the time for the same tree.
//  - peak memory of a read: each library reads the file once in a process of its own (this
//    program started again with --peak), which loads the file into memory, gives freed memory
//    back (malloc_trim), notes its resident size (VmRSS) and, after the parse, its peak
//    resident size (VmHWM of /proc/self/status). The difference is the memory that reading the
//    file took at its peak, the library's copies of the text included. A fresh process is used
//    because a forked one would count pages of this process, and getrusage's ru_maxrss in a
//    started program still carries the peak of the process image it replaced.
//
// With --small, it reads instead the small documents of SmallDocuments.h (a short configuration,
// a commented settings file, configurations with a DOCTYPE naming an external DTD, 0.8 to 145 KB)
// from memory, each many times in a row, and prints the processor time of one read (parse and
// destruction of the tree) for each library, with ratios to tinyxml2 and pugixml.
//
// Usage: bench_peers [--runs N] [--mb SIZE] [--only records|text|config] [--small]
#include <malloc.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <tinyxml2.h>
#include <pugixml.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <VelXmlN/Tree.h>
#include <VelXmlN/kasxmln.h>

#include "GeneratedDocuments.h"
#include "MemoryStreams.h"
#include "SmallDocuments.h"

namespace {

// The processor time of this process, user and system (page faults included): every library
// runs on one thread, and unlike the wall clock this time does not grow when other processes
// share the machine's cores.
struct Clock {
    using time_point = double;
    static double now() {
        timespec time{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
    }
};

double secondsSince(Clock::time_point start) {
    return Clock::now() - start;
}

using bench_documents::InputBuffer;
using bench_documents::OutputBuffer;

// One library: parses a text into a tree that it keeps, writes that tree to memory.
class Peer {
  public:
    virtual ~Peer() = default;
    virtual const char* name() const = 0;
    // Builds the tree of `text` (replacing any former one).
    virtual void parse(const std::string& text) = 0;
    // Destroys the tree.
    virtual void clear() = 0;
    virtual bool writes() const { return true; }
    // Writes the tree as indented text to memory; returns the number of bytes.
    virtual std::size_t write() = 0;
};

class VelXmlNPeer final : public Peer {
  public:
    const char* name() const override { return "VelXmlN"; }
    void parse(const std::string& text) override {
        tree_ = std::make_unique<VelXmlN::Tree>();
        InputBuffer buffer(text);
        std::istream in(&buffer);
        tree_->buildOfStream(in);
    }
    void clear() override { tree_.reset(); }
    std::size_t write() override {
        std::string output;
        OutputBuffer sink(output);
        std::ostream out(&sink);
        tree_->putToStream(out);
        return output.size();
    }

  private:
    std::unique_ptr<VelXmlN::Tree> tree_;
};

class PugixmlPeer final : public Peer {
  public:
    const char* name() const override { return "pugixml"; }
    void parse(const std::string& text) override {
        document_ = std::make_unique<pugi::xml_document>();
        const pugi::xml_parse_result result = document_->load_buffer(text.data(), text.size());
        if (!result) {
            throw std::runtime_error(std::string("pugixml: ") + result.description());
        }
    }
    void clear() override { document_.reset(); }
    std::size_t write() override {
        struct Writer : pugi::xml_writer {
            std::string output;
            void write(const void* data, std::size_t size) override {
                output.append(static_cast<const char*>(data), size);
            }
        } writer;
        document_->save(writer, "\t", pugi::format_default);
        return writer.output.size();
    }

  private:
    std::unique_ptr<pugi::xml_document> document_;
};

class Tinyxml2Peer final : public Peer {
  public:
    const char* name() const override { return "tinyxml2"; }
    void parse(const std::string& text) override {
        document_ = std::make_unique<tinyxml2::XMLDocument>();
        if (document_->Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
            throw std::runtime_error(std::string("tinyxml2: ") + document_->ErrorStr());
        }
    }
    void clear() override { document_.reset(); }
    std::size_t write() override {
        tinyxml2::XMLPrinter printer;
        document_->Print(&printer);
        return static_cast<std::size_t>(printer.CStrSize() - 1);
    }

  private:
    std::unique_ptr<tinyxml2::XMLDocument> document_;
};

class Libxml2Peer final : public Peer {
  public:
    ~Libxml2Peer() override { clear(); }
    const char* name() const override { return "libxml2"; }
    void parse(const std::string& text) override {
        clear();
        document_ = xmlReadMemory(text.data(), static_cast<int>(text.size()), "peer.xml", nullptr,
                                  XML_PARSE_NONET);
        if (document_ == nullptr) {
            throw std::runtime_error("libxml2: the document could not be read");
        }
    }
    void clear() override {
        if (document_ != nullptr) {
            xmlFreeDoc(document_);
            document_ = nullptr;
        }
    }
    std::size_t write() override {
        xmlChar* output = nullptr;
        int size = 0;
        xmlDocDumpFormatMemory(document_, &output, &size, 1);
        xmlFree(output);
        return static_cast<std::size_t>(size);
    }

  private:
    xmlDocPtr document_ = nullptr;
};

// The settings of the node library's loader: no validation, namespaces, schemas or external DTD,
// no default entity resolution, an entity resolver that reads nothing, bounded expansion.
template <typename Parser>
void harden(Parser& parser);

template <>
void harden(xercesc::SAX2XMLReader& reader) {
    using xercesc::XMLUni;
    reader.setFeature(XMLUni::fgSAX2CoreValidation, false);
    reader.setFeature(XMLUni::fgXercesDynamic, true);
    reader.setFeature(XMLUni::fgSAX2CoreNameSpaces, false);
    reader.setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
    reader.setFeature(XMLUni::fgXercesSchema, false);
    reader.setFeature(XMLUni::fgXercesSchemaFullChecking, false);
    reader.setFeature(XMLUni::fgXercesLoadSchema, false);
    reader.setFeature(XMLUni::fgXercesIdentityConstraintChecking, false);
    reader.setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    reader.setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    reader.setFeature(XMLUni::fgXercesCacheGrammarFromParse, false);
    reader.setFeature(XMLUni::fgXercesUseCachedGrammarInParse, false);
    reader.setFeature(XMLUni::fgXercesCalculateSrcOfs, false);
}

class NothingResolver : public xercesc::DefaultHandler {
  public:
    xercesc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const systemId) override {
        static const XMLByte nothing[1] = {0};
        return new xercesc::MemBufInputSource(nothing, 0, systemId, false);
    }
    void fatalError(const xercesc::SAXParseException& problem) override { throw problem; }
};

class CountingHandler final : public NothingResolver {
  public:
    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const,
                      const xercesc::Attributes& attributes) override {
        ++elements;
        attributeCount += attributes.getLength();
    }
    void characters(const XMLCh* const, const XMLSize_t length) override {
        characterCount += length;
    }

    std::size_t elements = 0;
    std::size_t attributeCount = 0;
    std::size_t characterCount = 0;
};

class CountOnlyPeer final : public Peer {
  public:
    const char* name() const override { return "Xerces SAX2 count"; }
    void parse(const std::string& text) override {
        std::unique_ptr<xercesc::SAX2XMLReader> reader(
            xercesc::XMLReaderFactory::createXMLReader());
        harden(*reader);
        xercesc::SecurityManager security;
        security.setEntityExpansionLimit(kasxmln::kMaxEntityExpansions);
        reader->setProperty(xercesc::XMLUni::fgXercesSecurityManager, &security);
        CountingHandler handler;
        reader->setContentHandler(&handler);
        reader->setErrorHandler(&handler);
        reader->setEntityResolver(&handler);
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()),
                                          text.size(), "peer", false);
        source.setCopyBufToStream(false);  // read in place, as the loader does
        reader->parse(source);
        elements_ = handler.elements;
    }
    void clear() override {}
    bool writes() const override { return false; }
    std::size_t write() override { return 0; }

  private:
    std::size_t elements_ = 0;
};

class XercesDomPeer final : public Peer {
  public:
    const char* name() const override { return "Xerces-C DOM"; }
    void parse(const std::string& text) override {
        clear();
        parser_ = std::make_unique<xercesc::XercesDOMParser>();
        parser_->setValidationScheme(xercesc::XercesDOMParser::Val_Never);
        parser_->setDoNamespaces(false);
        parser_->setDoSchema(false);
        parser_->setLoadExternalDTD(false);
        parser_->setDisableDefaultEntityResolution(true);
        parser_->setCreateEntityReferenceNodes(false);
        parser_->setSecurityManager(&security_);
        security_.setEntityExpansionLimit(kasxmln::kMaxEntityExpansions);
        parser_->setEntityResolver(&resolver_);
        parser_->setErrorHandler(&resolver_);
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()),
                                          text.size(), "peer", false);
        source.setCopyBufToStream(false);  // read in place, as the loader does
        parser_->parse(source);
    }
    void clear() override { parser_.reset(); }
    std::size_t write() override {
        static const XMLCh ls[] = {'L', 'S', 0};
        xercesc::DOMImplementation* implementation =
            xercesc::DOMImplementationRegistry::getDOMImplementation(ls);
        xercesc::DOMLSSerializer* serializer = implementation->createLSSerializer();
        serializer->getDomConfig()->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true);
        xercesc::DOMLSOutput* output = implementation->createLSOutput();
        xercesc::MemBufFormatTarget target;
        output->setByteStream(&target);
        serializer->write(parser_->getDocument(), output);
        const std::size_t size = target.getLen();
        output->release();
        serializer->release();
        return size;
    }

  private:
    xercesc::SecurityManager security_;
    NothingResolver resolver_;
    std::unique_ptr<xercesc::XercesDOMParser> parser_;
};

std::vector<std::unique_ptr<Peer>> makePeers() {
    std::vector<std::unique_ptr<Peer>> peers;
    peers.push_back(std::make_unique<CountOnlyPeer>());
    peers.push_back(std::make_unique<VelXmlNPeer>());
    peers.push_back(std::make_unique<PugixmlPeer>());
    peers.push_back(std::make_unique<Tinyxml2Peer>());
    peers.push_back(std::make_unique<Libxml2Peer>());
    peers.push_back(std::make_unique<XercesDomPeer>());
    return peers;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    in.seekg(0, std::ios::end);
    text.resize(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    return text;
}

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

// The child's side of a peak measurement: prints the growth of the peak resident size in kB.
int measurePeak(const std::string& library, const std::string& path) {
    std::vector<std::unique_ptr<Peer>> peers = makePeers();
    for (auto& peer : peers) {
        if (library == peer->name()) {
            const std::string text = readFile(path);
            malloc_trim(0);
            const long before = statusKilobytes("VmRSS:");
            peer->parse(text);
            const long peak = statusKilobytes("VmHWM:");
            std::printf("%ld\n", peak - before);
            return 0;
        }
    }
    return 2;
}

std::string selfPath() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

// Peak growth in MB of one read of `path` by `library`, measured in a new process; -1 on failure.
double peakOfRead(const std::string& self, const std::string& library, const std::string& path) {
    const std::string command = "'" + self + "' --peak '" + library + "' '" + path + "'";
    std::FILE* child = popen(command.c_str(), "r");
    if (child == nullptr) {
        return -1;
    }
    long kilobytes = -1;
    if (std::fscanf(child, "%ld", &kilobytes) != 1) {
        kilobytes = -1;
    }
    const int status = pclose(child);
    return status == 0 && kilobytes >= 0 ? static_cast<double>(kilobytes) / 1024.0 : -1;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string loadAverage() {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3) {
        return "unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

struct Figures {
    std::vector<double> readSeconds;
    std::vector<double> writeSeconds;
    std::size_t written = 0;
    double peakMB = -1;
};

void report(const std::string& file, double megabytes, int runs,
            const std::vector<std::unique_ptr<Peer>>& peers, const std::vector<Figures>& figures) {
    const double countOnly = megabytes / median(figures[0].readSeconds);
    double tinyPeak = -1;
    double tinyWrite = -1;
    for (std::size_t i = 0; i < peers.size(); ++i) {
        if (std::strcmp(peers[i]->name(), "tinyxml2") == 0) {
            tinyPeak = figures[i].peakMB;
            tinyWrite = megabytes / median(figures[i].writeSeconds);
        }
    }
    std::printf("\n%s: %.1f MB, medians of %d runs of processor time (load average now %s)\n",
                file.c_str(), megabytes, runs, loadAverage().c_str());
    std::printf("%-18s %10s %9s %8s %8s %9s %10s %9s %8s\n", "library", "read MB/s", "x count",
                "spread", "peak MB", "x tinyxml", "write MB/s", "x tinyxml", "out MB");
    for (std::size_t i = 0; i < peers.size(); ++i) {
        const Figures& f = figures[i];
        const double read = megabytes / median(f.readSeconds);
        const auto range = std::minmax_element(f.readSeconds.begin(), f.readSeconds.end());
        const double spread = (*range.second - *range.first) / median(f.readSeconds) * 100;
        std::printf("%-18s %10.1f %9.2f %7.0f%% %8.0f %9.2f", peers[i]->name(), read,
                    read / countOnly, spread, f.peakMB, tinyPeak > 0 ? f.peakMB / tinyPeak : 0.0);
        if (peers[i]->writes()) {
            const double write = megabytes / median(f.writeSeconds);
            std::printf(" %10.1f %9.2f %8.1f\n", write, write / tinyWrite,
                        static_cast<double>(f.written) / 1e6);
        } else {
            std::printf(" %10s %9s %8s\n", "-", "-", "-");
        }
    }
    std::fflush(stdout);
}

void runFile(const std::string& self, const std::string& path, const std::string& label, int runs) {
    const std::string text = readFile(path);
    const double megabytes = static_cast<double>(text.size()) / 1e6;
    std::vector<std::unique_ptr<Peer>> peers = makePeers();
    std::vector<Figures> figures(peers.size());

    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < peers.size(); ++i) {
            const Clock::time_point start = Clock::now();
            peers[i]->parse(text);
            figures[i].readSeconds.push_back(secondsSince(start));
            peers[i]->clear();
        }
    }
    for (std::size_t i = 0; i < peers.size(); ++i) {
        figures[i].peakMB = peakOfRead(self, peers[i]->name(), path);
    }
    // Every library keeps its tree while the writes take turns.
    for (auto& peer : peers) {
        if (peer->writes()) {
            peer->parse(text);
        }
    }
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < peers.size(); ++i) {
            if (peers[i]->writes()) {
                const Clock::time_point start = Clock::now();
                figures[i].written = peers[i]->write();
                figures[i].writeSeconds.push_back(secondsSince(start));
            }
        }
    }
    for (auto& peer : peers) {
        peer->clear();
    }
    report(label, megabytes, runs, peers, figures);
}

// Reads each small document many times with every library; a round gives each library about
// kRoundSeconds of reads, and the rounds take turns so that a change of load touches all alike.
void runSmall(int runs) {
    constexpr double kRoundSeconds = 0.2;
    std::vector<std::unique_ptr<Peer>> peers = makePeers();
    for (const bench_documents::SmallDocument& document : bench_documents::makeSmallDocuments()) {
        std::vector<int> reads(peers.size());
        for (std::size_t i = 0; i < peers.size(); ++i) {
            const Clock::time_point start = Clock::now();
            peers[i]->parse(document.text);
            peers[i]->clear();
            reads[i] = std::max(10, static_cast<int>(kRoundSeconds / secondsSince(start)));
        }
        std::vector<std::vector<double>> micros(peers.size());
        for (int run = 0; run < runs; ++run) {
            for (std::size_t i = 0; i < peers.size(); ++i) {
                const Clock::time_point start = Clock::now();
                for (int k = 0; k < reads[i]; ++k) {
                    peers[i]->parse(document.text);
                    peers[i]->clear();
                }
                micros[i].push_back(secondsSince(start) * 1e6 / reads[i]);
            }
        }
        double tinyxml2 = 0;
        double pugixml = 0;
        for (std::size_t i = 0; i < peers.size(); ++i) {
            if (std::strcmp(peers[i]->name(), "tinyxml2") == 0) {
                tinyxml2 = median(micros[i]);
            } else if (std::strcmp(peers[i]->name(), "pugixml") == 0) {
                pugixml = median(micros[i]);
            }
        }
        std::printf("\n%s, %zu bytes: one read and destruction, medians of %d runs (load %s)\n",
                    document.name.c_str(), document.text.size(), runs, loadAverage().c_str());
        std::printf("%-18s %12s %11s %10s\n", "library", "us per read", "x tinyxml2", "x pugixml");
        for (std::size_t i = 0; i < peers.size(); ++i) {
            const double us = median(micros[i]);
            std::printf("%-18s %12.2f %11.2f %10.2f\n", peers[i]->name(), us, us / tinyxml2,
                        us / pugixml);
        }
        std::fflush(stdout);
    }
}

struct XercesSession {
    XercesSession() { xercesc::XMLPlatformUtils::Initialize(); }
    ~XercesSession() { xercesc::XMLPlatformUtils::Terminate(); }
};

}  // namespace

int main(int argc, char** argv) {
    XercesSession xerces;
    xmlInitParser();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "--peak") {
        return measurePeak(args[1], args[2]);
    }
    int runs = 5;
    bool small = false;
    double megabytes = static_cast<double>(bench_documents::kDefaultBytes) / 1e6;
    std::string only;
    const auto flag = std::find(args.begin(), args.end(), "--small");
    if (flag != args.end()) {
        small = true;
        args.erase(flag);
    }
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--runs") {
            runs = std::max(1, std::atoi(args[i + 1].c_str()));
        } else if (args[i] == "--mb") {
            megabytes = std::max(0.001, std::atof(args[i + 1].c_str()));
        } else if (args[i] == "--only") {
            only = args[i + 1];
        }
    }
    if (args.size() % 2 != 0) {
        std::fprintf(stderr, "usage: bench_peers [--runs N] [--mb SIZE] [--only KIND] [--small]\n");
        return 2;
    }

    char folder[] = "/tmp/velxmln-peers-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string self = selfPath();
    std::printf("bench_peers: %d runs per figure, load average at start %s\n", runs,
                loadAverage().c_str());
    int status = 0;
    std::vector<std::string> made;
    try {
        for (int kind = 0; kind < (small ? 0 : bench_documents::kKinds); ++kind) {
            const std::string name = bench_documents::kindName(kind);
            if (!only.empty() && only != name) {
                continue;
            }
            const std::string path = std::string(folder) + "/" + name + ".xml";
            {
                std::ofstream out(path, std::ios::binary);
                out << bench_documents::makeDocument(kind,
                                                     static_cast<std::size_t>(megabytes * 1e6));
            }
            made.push_back(path);
            runFile(self, path, name + ".xml", runs);
        }
        if (small) {
            runSmall(runs);
        }
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "bench_peers: %s\n", problem.what());
        status = 1;
    } catch (const xercesc::XMLException& problem) {
        std::fprintf(stderr, "bench_peers: Xerces-C failed: %s\n",
                     xercesc::XMLString::transcode(problem.getMessage()));
        status = 1;
    } catch (const xercesc::SAXException& problem) {
        std::fprintf(stderr, "bench_peers: Xerces-C failed: %s\n",
                     xercesc::XMLString::transcode(problem.getMessage()));
        status = 1;
    }
    for (const std::string& path : made) {
        std::remove(path.c_str());
    }
    rmdir(folder);
    xmlCleanupParser();
    return status;
}
