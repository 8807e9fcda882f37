// Element records: number texts, attribute access and building and destroying large trees.
#include <VelXmlN/Data.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using VelXmlN::Data;

namespace {

std::vector<double> sampleDoubles() {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> values(-1e6, 1e6);
    std::vector<double> samples(4096);
    for (double& value : samples) {
        value = values(random);
    }
    return samples;
}

void ToStringDouble(benchmark::State& state) {
    const std::vector<double> samples = sampleDoubles();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Data::toString(samples[i++ & 4095]));
    }
}
BENCHMARK(ToStringDouble);

void SnprintfDouble(benchmark::State& state) {
    const std::vector<double> samples = sampleDoubles();
    std::size_t i = 0;
    char buffer[64];
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%.20g", samples[i++ & 4095]);
        benchmark::DoNotOptimize(std::string(buffer));
    }
}
BENCHMARK(SnprintfDouble);

Data elementWithAttributes(int count) {
    Data element("e");
    for (int i = 0; i < count; ++i) {
        element.setAttribute("attribute" + std::to_string(i), i);
    }
    return element;
}

void SetAttribute(benchmark::State& state) {
    Data element = elementWithAttributes(static_cast<int>(state.range(0)));
    const std::string last = "attribute" + std::to_string(state.range(0) - 1);
    for (auto _ : state) {
        element.setAttribute(last, 2.5);
    }
}
BENCHMARK(SetAttribute)->Arg(10)->Arg(100);

void FindAttribute(benchmark::State& state) {
    const Data element = elementWithAttributes(static_cast<int>(state.range(0)));
    const std::string last = "attribute" + std::to_string(state.range(0) - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(element.findAttribute(last));
    }
}
BENCHMARK(FindAttribute)->Arg(10)->Arg(100);

void GetAttributeDouble(benchmark::State& state) {
    const Data element = elementWithAttributes(static_cast<int>(state.range(0)));
    const std::string last = "attribute" + std::to_string(state.range(0) - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(element.getAttributeDouble(last));
    }
}
BENCHMARK(GetAttributeDouble)->Arg(10)->Arg(100);

void GetAttributeInt(benchmark::State& state) {
    const Data element = elementWithAttributes(static_cast<int>(state.range(0)));
    const std::string last = "attribute" + std::to_string(state.range(0) - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(element.getAttributeInt(last));
    }
}
BENCHMARK(GetAttributeInt)->Arg(10)->Arg(100);

// A million elements with three attributes each: 1,000 groups of 1,000 items below one root.
void BuildAndDestroyMillionElements(benchmark::State& state) {
    for (auto _ : state) {
        Data root("root");
        for (int group = 0; group < 1000; ++group) {
            Data* groupElement = root.createChild("group");
            for (int item = 0; item < 999; ++item) {
                Data* element = groupElement->createChild("item");
                element->setAttribute("id", group * 1000 + item);
                element->setAttribute("x", 1.5);
                element->setAttribute("name", std::string("n"));
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BuildAndDestroyMillionElements)->Unit(benchmark::kMillisecond);

void CopyMillionElements(benchmark::State& state) {
    Data root("root");
    for (int group = 0; group < 1000; ++group) {
        Data* groupElement = root.createChild("group");
        for (int item = 0; item < 999; ++item) {
            Data* element = groupElement->createChild("item");
            element->setAttribute("id", item);
            element->setAttribute("x", 1.5);
            element->setAttribute("name", std::string("n"));
        }
    }
    for (auto _ : state) {
        Data copy(root);
        benchmark::DoNotOptimize(copy.getChildren().data());
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(CopyMillionElements)->Unit(benchmark::kMillisecond);

}  // namespace
