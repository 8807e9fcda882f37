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

#include "GeneratedDocuments.h"
#include "MemoryStreams.h"

namespace {

const std::string& document(int kind) {
    static const std::string records = bench_documents::makeDocument(bench_documents::kRecords);
    static const std::string prose = bench_documents::makeDocument(bench_documents::kText);
    static const std::string config = bench_documents::makeDocument(bench_documents::kConfig);
    return kind == 0 ? records : kind == 1 ? prose : config;
}

using bench_documents::kindName;

using bench_documents::InputBuffer;
using bench_documents::OutputBuffer;

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
        source.setCopyBufToStream(false);  // read in place, as the loader does
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
