// Tree comparison: two 1,000,000-element trees, equal and with 1% of the texts changed, and a flat
// element with 100,000 children against its copy, next to a plain quadratic pairing.
#include <VelXmlN/Compare.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

using VelXmlN::Compare;
using VelXmlN::Data;
using VelXmlN::Comparing::DifferentItem;

namespace {

// A document of 200,000 items with an id and four children each: 1,000,001 elements.
std::unique_ptr<Data> makeDocument() {
    auto doc = std::make_unique<Data>("doc");
    for (int i = 0; i < 200000; ++i) {
        Data* item = doc->createChild("item");
        item->setAttribute("id", i);
        item->createChild("name")->setData("item " + std::to_string(i));
        item->createChild("value")->setData(i * 0.5);
        item->createChild("x")->setData(i);
        item->createChild("y")->setData(-i);
    }
    return doc;
}

struct Documents {
    std::unique_ptr<Data> original = makeDocument();
    std::unique_ptr<Data> copy = std::make_unique<Data>(*original);
    std::unique_ptr<Data> changed = std::make_unique<Data>(*original);
    std::size_t changes = 0;

    Documents() {
        // Every 100th element below the root gets another text: 10,000 of 1,000,000.
        std::size_t index = 0;
        std::vector<Data*> pending(changed->getChildren().rbegin(), changed->getChildren().rend());
        while (!pending.empty()) {
            Data* element = pending.back();
            pending.pop_back();
            if (++index % 100 == 0) {
                element->setData(element->getData() + "!");
                ++changes;
            }
            for (auto it = element->getChildren().rbegin(); it != element->getChildren().rend();
                 ++it) {
                pending.push_back(*it);
            }
        }
    }
};

Documents& documents() {
    static Documents shared;
    return shared;
}

void FindDifferencesEqualTrees(benchmark::State& state) {
    Documents& docs = documents();
    for (auto _ : state) {
        const auto found = Compare::findDifferences(docs.original.get(), docs.copy.get());
        if (!found.empty()) {
            state.SkipWithError("equal trees differ");
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000001);
}
BENCHMARK(FindDifferencesEqualTrees)->Unit(benchmark::kMillisecond);

void FindDifferencesOnePercentChanged(benchmark::State& state) {
    Documents& docs = documents();
    for (auto _ : state) {
        const auto found = Compare::findDifferences(docs.original.get(), docs.changed.get());
        if (found.size() != docs.changes) {
            state.SkipWithError("unexpected number of records");
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000001);
}
BENCHMARK(FindDifferencesOnePercentChanged)->Unit(benchmark::kMillisecond);

void AreEqualEqualTrees(benchmark::State& state) {
    Documents& docs = documents();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Compare::areEqual(docs.original.get(), docs.copy.get()));
    }
    state.SetItemsProcessed(state.iterations() * 1000001);
}
BENCHMARK(AreEqualEqualTrees)->Unit(benchmark::kMillisecond);

// `count` children named "item", each with an id and a text, as a list in a document would be.
std::unique_ptr<Data> makeFlat(int count, bool distinctNames) {
    auto flat = std::make_unique<Data>("list");
    for (int i = 0; i < count; ++i) {
        Data* item = flat->createChild(distinctNames ? "item" + std::to_string(i) : "item");
        item->setAttribute("id", i);
        item->setData(i);
    }
    return flat;
}

// The pairing as first described: for each child of A, a walk over B's children to its n-th
// namesake, with an ordered occurrence table, and a walk over B's attributes for each attribute.
void quadraticDiffer(const Data* a, const Data* b, std::vector<DifferentItem>& out) {
    if (a->getChildren().size() != b->getChildren().size()) {
        out.emplace_back(a, nullptr, b, nullptr, DifferentItem::ChildCount);
    }
    std::map<std::string, int> occurrences;
    std::size_t matched = 0;
    for (const Data* x : a->getChildren()) {
        int n = ++occurrences[x->getName()];
        const Data* y = nullptr;
        for (const Data* candidate : b->getChildren()) {
            if (candidate->getName() == x->getName() && --n == 0) {
                y = candidate;
                break;
            }
        }
        if (y == nullptr) {
            continue;
        }
        if (x->getData() != y->getData()) {
            out.emplace_back(x, nullptr, y, nullptr, DifferentItem::Content);
        }
        if (x->getAttributes().size() != y->getAttributes().size()) {
            out.emplace_back(x, nullptr, y, nullptr, DifferentItem::AttributeCount);
        }
        std::size_t attributesMatched = 0;
        for (const VelXmlN::AttributeData* p : x->getAttributes()) {
            for (const VelXmlN::AttributeData* q : y->getAttributes()) {
                if (q->getName() == p->getName()) {
                    if (p->getData() != q->getData()) {
                        out.emplace_back(x, p, y, q, DifferentItem::AttributeValue);
                    }
                    ++attributesMatched;
                    break;
                }
            }
        }
        if (attributesMatched != x->getAttributes().size()) {
            out.emplace_back(x, nullptr, y, nullptr, DifferentItem::MissingAttribute);
        }
        quadraticDiffer(x, y, out);
        ++matched;
    }
    if (matched != a->getChildren().size()) {
        out.emplace_back(a, nullptr, b, nullptr, DifferentItem::MissingChild);
    }
}

void FlatCopy(benchmark::State& state) {
    const auto flat = makeFlat(static_cast<int>(state.range(0)), state.range(1) != 0);
    const Data copy(*flat);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Compare::findDifferences(flat.get(), &copy));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FlatCopy)
    ->ArgNames({"children", "distinct"})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

// The copy with its children in reverse order: no two children keep their positions, so every
// partner comes from the index.
void FlatReversedCopy(benchmark::State& state) {
    const auto flat = makeFlat(static_cast<int>(state.range(0)), true);
    Data copy(*flat);
    std::vector<Data*>& children = copy.getChildren();
    std::reverse(children.begin(), children.end());
    for (auto _ : state) {
        benchmark::DoNotOptimize(Compare::findDifferences(flat.get(), &copy));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FlatReversedCopy)
    ->ArgNames({"children"})
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void FlatCopyQuadratic(benchmark::State& state) {
    const auto flat = makeFlat(static_cast<int>(state.range(0)), state.range(1) != 0);
    const Data copy(*flat);
    for (auto _ : state) {
        std::vector<DifferentItem> found;
        quadraticDiffer(flat.get(), &copy, found);
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FlatCopyQuadratic)
    ->ArgNames({"children", "distinct"})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
