# The two set-up commands of the README, and a few more for developers.
#   make demo   install what is missing, build, run the velxmln command on the bundled samples
#   make test   install what is missing, build and run every test (Release, then ASan+UBSan)
#   make bench  build and run the benchmarks (Release), bench_peers beside other XML libraries
#   make docs   build the API reference with Doxygen, when it is installed
#   make valgrind  build with debug information and run every test under valgrind memcheck
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE := build/release
SANITIZE := build/sanitize
BENCH := build/bench
VALGRIND := build/valgrind
CTEST_FLAGS := --output-on-failure -j $(JOBS) --timeout 900

.PHONY: all deps release sanitize demo docs test test-release test-sanitize bench valgrind format clean

all: release

deps:
	@bash scripts/install-deps.sh

release: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE) -j $(JOBS)

sanitize: deps
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DVELXMLN_SANITIZE=ON
	cmake --build $(SANITIZE) -j $(JOBS)

demo: release
	@bash scripts/demo.sh $(RELEASE)/tools/velxmln

docs:
	@if command -v doxygen >/dev/null 2>&1; then \
	  mkdir -p build/docs && doxygen docs/Doxyfile && echo "API reference: build/docs/html/index.html"; \
	else \
	  echo "make docs: doxygen is not installed (apt-get install doxygen); the guide is docs/*.md"; \
	fi

test-release: release
	cd $(RELEASE) && ctest $(CTEST_FLAGS)

test-sanitize: sanitize
	cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest $(CTEST_FLAGS)

test: test-release test-sanitize

# The peers of bench_peers are benchmark-only dependencies, installed here and nowhere else.
PEERS := libpugixml-dev libtinyxml2-dev libxml2-dev

bench:
	@bash scripts/install-deps.sh $(PEERS)
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DVELXMLN_BUILD_BENCH=ON -DVELXMLN_BUILD_PEERS=ON -DVELXMLN_BUILD_TESTS=OFF
	cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/bench/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2; done
	@echo "== $(BENCH)/bench/peers/bench_peers"; $(BENCH)/bench/peers/bench_peers

# Every test under valgrind memcheck: an error or a definitely or indirectly lost block fails it
# (suppressions, each explained, in tests/valgrind.supp). The large-document tests run at a
# hundredth of their size (VELXMLN_TEST_SIZE_DIVISOR), which takes the same code paths.
valgrind: deps
	cmake -S . -B $(VALGRIND) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELXMLN_MEMCHECK=ON \
	  -DVELXMLN_CONSUMER_TEST=OFF
	cmake --build $(VALGRIND) -j $(JOBS)
	cd $(VALGRIND) && VELXMLN_TEST_SIZE_DIVISOR=100 ctest -T memcheck --output-on-failure \
	  -j $(JOBS) --timeout 3600

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' '*.c')

clean:
	rm -rf build
