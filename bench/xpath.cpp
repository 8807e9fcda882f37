// Path selection over trees of a million elements, in both forms, and over a million-level chain.
#include <VelXmlN/XPathNavigator.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using VelXmlN::Data;
using VelXmlN::XPathNavigator;

namespace {

// doc with 500,000 children "item" (id 1 to 500000), each with one child "name": 1,000,001
// elements, built once and shared by every benchmark.
const Data& wideTree() {
    static const std::unique_ptr<Data> tree = [] {
        auto doc = std::make_unique<Data>("doc");
        for (int id = 1; id <= 500000; ++id) {
            Data* item = doc->createChild("item");
            item->setAttribute("id", id);
            item->createChild("name")->setData(std::string("value"));
        }
        return doc;
    }();
    return *tree;
}

// A chain of 1,000,000 elements "a" whose deepest one is named "b".
const Data& deepChain() {
    static const std::unique_ptr<Data> chain = [] {
        auto top = std::make_unique<Data>("a");
        Data* deepest = top.get();
        for (int i = 1; i < 1000000; ++i) {
            deepest = deepest->createChild("a");
        }
        deepest->setName("b");
        return top;
    }();
    return *chain;
}

void selectOn(benchmark::State& state, const Data& root, const std::string& path) {
    const XPathNavigator navigator(const_cast<Data*>(&root));
    std::size_t found = 0;
    for (auto _ : state) {
        const auto result = navigator.select(path);
        found = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["found"] = static_cast<double>(found);
}

void SelectDescendantName(benchmark::State& state) {
    selectOn(state, wideTree(), "//name");
}
BENCHMARK(SelectDescendantName)->Unit(benchmark::kMillisecond);

void SelectChildPredicate(benchmark::State& state) {
    selectOn(state, wideTree(), "/doc/item[@id='500000']/name");
}
BENCHMARK(SelectChildPredicate)->Unit(benchmark::kMillisecond);

void SelectChildAll(benchmark::State& state) {
    selectOn(state, wideTree(), "/doc/item/name");
}
BENCHMARK(SelectChildAll)->Unit(benchmark::kMillisecond);

void SelectDescendantTwoSteps(benchmark::State& state) {
    selectOn(state, wideTree(), "//item/name");
}
BENCHMARK(SelectDescendantTwoSteps)->Unit(benchmark::kMillisecond);

// Every "a" encloses the "b", so the result lists it 999,999 times.
void SelectDescendantNestedChain(benchmark::State& state) {
    selectOn(state, deepChain(), "//a/b");
}
BENCHMARK(SelectDescendantNestedChain)->Unit(benchmark::kMillisecond);

void MakeXPathDeepChain(benchmark::State& state) {
    const Data* deepest = &deepChain();
    while (!deepest->getChildren().empty()) {
        deepest = deepest->getChildren().front();
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(XPathNavigator::makeXPath(*deepest));
    }
}
BENCHMARK(MakeXPathDeepChain)->Unit(benchmark::kMillisecond);

}  // namespace
