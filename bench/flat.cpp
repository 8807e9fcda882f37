// The flat C interface: handing out tag handles for a million elements, and reading and writing a
// 50 MB document through files compared with the same work on memory streams.
#include <VelXmlN/VelXmlN.h>
#include <VelXmlN/velxmln.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using VelXmlN::Data;
using VelXmlN::Tree;

// A folder of its own in the temporary folder, removed at exit.
const std::string& benchFolder() {
    static const struct Folder {
        std::string path;
        Folder() {
            path = (std::filesystem::temp_directory_path() /
                    ("velxmln-bench-" + std::to_string(getpid())))
                       .string();
            std::filesystem::create_directories(path);
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

// A file holding a document of `width` children under the root, each with `fanOut` children of
// its own, written once per shape.
std::string millionFile(int width, int fanOut) {
    const std::string file =
        benchFolder() + "/million-" + std::to_string(width) + "x" + std::to_string(fanOut) + ".xml";
    if (!std::filesystem::exists(file)) {
        Tree tree("root");
        for (int i = 0; i < width; ++i) {
            Data* child = tree.getRoot()->createChild("c");
            for (int j = 0; j < fanOut; ++j) {
                child->createChild("g");
            }
        }
        std::ofstream out(file, std::ios_base::binary);
        tree.putToStream(out);
    }
    return file;
}

// Every element's handle through VELXMLN_Get_Children, breadth first.
std::int64_t walkAll(int root) {
    std::vector<int> level{root};
    std::vector<int> next;
    std::vector<int> handles;
    std::int64_t seen = 1;
    while (!level.empty()) {
        next.clear();
        for (int tag : level) {
            const int count = VELXMLN_Get_Number_Of_Children(tag);
            if (count == 0) {
                continue;
            }
            handles.resize(static_cast<std::size_t>(count));
            VELXMLN_Get_Children(tag, handles.data(), count);
            next.insert(next.end(), handles.begin(), handles.end());
        }
        seen += static_cast<std::int64_t>(next.size());
        level.swap(next);
    }
    return seen;
}

// Handles for a freshly read million-element document: every element is registered on the way.
// A second walk over the same elements finds them all in the index.
void handlesForAMillionElements(benchmark::State& state, bool again) {
    const int width = static_cast<int>(state.range(0));
    const int fanOut = static_cast<int>(state.range(1));
    const std::string file = millionFile(width, fanOut);
    const int tree = VELXMLN_Get_Tree("bench");
    std::int64_t elements = 0;
    for (auto _ : state) {
        state.PauseTiming();
        VELXMLN_Read_Tree(tree, file.c_str());
        const int root = VELXMLN_Get_Root_Tag(tree);
        if (again) {
            walkAll(root);
        }
        state.ResumeTiming();
        elements = walkAll(root);
        benchmark::DoNotOptimize(elements);
    }
    VELXMLN_Delete_Tree(tree);
    state.SetItemsProcessed(state.iterations() * elements);
    state.counters["elements"] = static_cast<double>(elements);
}

void BM_HandlesFirstWalk(benchmark::State& state) {
    handlesForAMillionElements(state, false);
}
void BM_HandlesSecondWalk(benchmark::State& state) {
    handlesForAMillionElements(state, true);
}
// One root with a million children, and a thousand children with 999 children each.
BENCHMARK(BM_HandlesFirstWalk)
    ->Args({999999, 0})
    ->Args({1000, 999})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);
BENCHMARK(BM_HandlesSecondWalk)
    ->Args({999999, 0})
    ->Args({1000, 999})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

// A document of about 50 MB as text: items with attributes, a value and a note each.
const std::string& bigText() {
    static const std::string text = [] {
        Tree made("plant");
        for (int i = 0; i < 334000; ++i) {
            Data* item = made.getRoot()->createChild("item");
            item->setAttribute("id", i);
            item->setAttribute("kind", std::string("pump & valve"));
            item->setAttribute("power", i * 0.37);
            item->createChild("value")->setData(i * 1.5);
            item->createChild("note")->setData(std::string("checked <ok>"));
        }
        std::ostringstream out(std::ios_base::out | std::ios_base::binary);
        made.putToStream(out);
        return std::move(out).str();
    }();
    return text;
}

// The same document as the reader builds it, the way VELXMLN_WriteFile meets it after
// VELXMLN_ReadFile: a tree built in a fresh heap would make the in-memory write look faster.
const Tree& bigTree() {
    static const std::unique_ptr<Tree> tree = [] {
        std::istringstream in(bigText(), std::ios_base::in | std::ios_base::binary);
        return std::make_unique<Tree>(in);
    }();
    return *tree;
}

const std::string& bigFile() {
    static const std::string file = [] {
        const std::string name = benchFolder() + "/big.xml";
        std::ofstream(name, std::ios_base::binary) << bigText();
        return name;
    }();
    return file;
}

void BM_PutToStreamInMemory(benchmark::State& state) {
    const Tree& tree = bigTree();
    state.counters["megabytes"] = static_cast<double>(bigText().size()) / 1e6;
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::ostringstream out(std::ios_base::out | std::ios_base::binary);
        tree.putToStream(out);
        bytes = static_cast<std::size_t>(out.tellp());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_PutToStreamInMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WriteFile(benchmark::State& state) {
    // The current document is the one read from the big file.
    VELXMLN_ReadFile(bigFile().c_str());
    const std::string target = benchFolder() + "/written.xml";
    for (auto _ : state) {
        if (VELXMLN_WriteFile(target.c_str()) != 1) {
            state.SkipWithError("VELXMLN_WriteFile failed");
            break;
        }
    }
    VELXMLN_Stop();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bigText().size()));
}
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BuildOfStreamInMemory(benchmark::State& state) {
    const std::string& text = bigText();
    for (auto _ : state) {
        std::istringstream in(text, std::ios_base::in | std::ios_base::binary);
        Tree tree;
        tree.buildOfStream(in);
        benchmark::DoNotOptimize(tree.getRoot());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_BuildOfStreamInMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadFile(benchmark::State& state) {
    const std::string& file = bigFile();
    for (auto _ : state) {
        if (VELXMLN_ReadFile(file.c_str()) != 1) {
            state.SkipWithError("VELXMLN_ReadFile failed");
            break;
        }
    }
    VELXMLN_Stop();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bigText().size()));
}
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
