// The SAX attribute scanners on a generated 200 MB file, for a path that matches 1% of its
// elements, against a parse of the same file by Xerces-C's own SAX2 reader that only counts the
// elements (and one by the node library with a handler that does nothing).
//
// Every measurement runs in a forked child, so that the peak memory reported (the child's maximum
// resident set, from wait4) belongs to that scan alone. "ForkedChildAlone" gives the floor that a
// child starts with. The file is generated once into the temporary folder and reused by later
// runs; delete velxmln-bench-sax there to make it anew.
#include <VelXmlN/VelXmlN.h>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace {

constexpr std::uintmax_t kFileBytes = 200u * 1024u * 1024u;
constexpr const char* kPath = "data/hit";

// <data> holds one element per line; every hundredth is a <hit>, the rest are <row>s.
std::string generate() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "velxmln-bench-sax";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "records-200MB.xml";
    std::error_code error;
    if (std::filesystem::file_size(file, error) >= kFileBytes && !error) {
        return file.string();
    }
    const std::filesystem::path partial = folder / "records-200MB.xml.part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<data version=\"1\">\n";
        std::uintmax_t written = 0;
        char line[160];
        for (unsigned long i = 0; written < kFileBytes; ++i) {
            const char* name = i % 100 == 99 ? "hit" : "row";
            const int length = std::snprintf(
                line, sizeof line,
                "  <%s id=\"%lu\" kind=\"k%lu\" value=\"%lu.25\" label=\"r&amp;d\">text %lu</%s>\n",
                name, i, i % 17, i * 7, i, name);
            out.write(line, length);
            written += static_cast<std::uintmax_t>(length);
        }
        out << "</data>\n";
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + partial.string());
        }
    }
    std::filesystem::rename(partial, file);
    return file.string();
}

const std::string& benchFile() {
    static const std::string file = generate();
    return file;
}

struct Measure {
    double seconds = 0;
    long long count = 0;
    long peakKiB = 0;
};

// Runs `work` in a forked child and returns its time, its result and the child's peak memory.
template <typename Work>
Measure inChild(Work work) {
    int channel[2];
    if (pipe(channel) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        close(channel[0]);
        Measure measure;
        const auto start = std::chrono::steady_clock::now();
        measure.count = work();
        measure.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const bool sent = write(channel[1], &measure, sizeof measure) == sizeof measure;
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    Measure measure;
    const bool received = read(channel[0], &measure, sizeof measure) == sizeof measure;
    close(channel[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("the measuring child failed");
    }
    measure.peakKiB = usage.ru_maxrss;
    return measure;
}

long long scanSax2() {
    VelXmlN::Sax2Interface scanner(benchFile());
    return static_cast<long long>(scanner.getAttributes(kPath).size());
}

long long scanNodeLibrary() {
    VelXmlN::SaxInterface scanner(benchFile());
    return static_cast<long long>(scanner.getAttributes(kPath).size());
}

class Counter final : public xercesc::DefaultHandler {
  public:
    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const,
                      const xercesc::Attributes&) override {
        ++elements;
    }
    long long elements = 0;
};

long long countWithXerces() {
    xercesc::XMLPlatformUtils::Initialize();
    long long elements = 0;
    {
        std::unique_ptr<xercesc::SAX2XMLReader> reader(
            xercesc::XMLReaderFactory::createXMLReader());
        // Without a grammar to validate against, the reader checks well-formedness only, as our
        // scanner does; namespaces stay on (the reader's default, and the scanner's setting).
        reader->setFeature(xercesc::XMLUni::fgSAX2CoreValidation, false);
        Counter counter;
        reader->setContentHandler(&counter);
        reader->setErrorHandler(&counter);
        reader->parse(benchFile().c_str());
        elements = counter.elements;
    }
    return elements;
}

long long countWithNodeLibrary() {
    kasxmln::CXMLSaxHandler nothing;
    kasxmln::CXMLManager::GetInstance()->LoadDocument(benchFile().c_str(), &nothing, false, false,
                                                      nullptr, false, false);
    return 0;
}

void scan(benchmark::State& state, long long (*work)()) {
    const std::uintmax_t bytes = std::filesystem::file_size(benchFile());
    Measure worst;
    for (auto _ : state) {
        const Measure measure = inChild(work);
        state.SetIterationTime(measure.seconds);
        worst.count = measure.count;
        worst.peakKiB = std::max(worst.peakKiB, measure.peakKiB);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["peak_MiB"] = static_cast<double>(worst.peakKiB) / 1024.0;
    state.counters["result"] = static_cast<double>(worst.count);
}

// The peak memory of a child that does nothing: what every measurement starts from.
void forkedChildAlone(benchmark::State& state) {
    benchFile();
    long peakKiB = 0;
    for (auto _ : state) {
        const Measure measure = inChild([] { return 0LL; });
        state.SetIterationTime(measure.seconds);
        peakKiB = measure.peakKiB;
    }
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

}  // namespace

BENCHMARK_CAPTURE(scan, XercesCountOnly, &countWithXerces)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(scan, Sax2Interface, &scanSax2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(scan, NodeLibraryCountOnly, &countWithNodeLibrary)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(scan, SaxInterface, &scanNodeLibrary)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(forkedChildAlone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
