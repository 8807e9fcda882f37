# The two set-up commands of the README, and a few more for developers.
#   make demo   install what is missing, build, run the velxmln command on the bundled samples
#   make test   install what is missing, build and run every test (Release, then ASan+UBSan)
#   make bench  build and run the benchmarks (Release), bench_peers beside other XML libraries
#   make docs   build the API reference with Doxygen (warnings are errors)
#   make package  build the Debian packages (velxmln, python3-velxmln) into build/release/packages
#   make valgrind  build with debug information and run every test under valgrind memcheck
#   make fuzz   build the libFuzzer targets (clang) and run each for FUZZ_SECONDS seconds
#   make test-windows  cross-build the Windows DLL, command, examples and tests with MinGW-w64 and
#               run every test under Wine
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE := build/release
SANITIZE := build/sanitize
BENCH := build/bench
VALGRIND := build/valgrind
FUZZ := build/fuzz
WINDOWS := build/windows
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := reader writer xpath sax flat differential
# The W3C XML conformance suite beside the repository, an extra corpus of the differential target.
XMLCONF ?= ../shared/xmlconf
CTEST_FLAGS := --output-on-failure -j $(JOBS) --timeout 900

.PHONY: all deps release sanitize demo docs package test test-release test-sanitize bench valgrind fuzz fuzz-build test-windows format clean

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

docs: deps
	@mkdir -p build/docs
	doxygen docs/Doxyfile
	@echo "API reference: build/docs/html/index.html"

package: release
	cd $(RELEASE) && cpack -G DEB
	@ls $(RELEASE)/packages/*.deb

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
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DVELXMLN_BUILD_BENCH=ON -DVELXMLN_BUILD_PEERS=ON -DVELXMLN_BUILD_TESTS=OFF \
	  -DVELXMLN_BUILD_PYTHON=OFF
	cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/bench/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2; done
	@echo "== $(BENCH)/bench/peers/bench_peers"; $(BENCH)/bench/peers/bench_peers
	@echo "== $(BENCH)/bench/peers/bench_peers --small"; $(BENCH)/bench/peers/bench_peers --small

# Every test under valgrind memcheck: an error or a definitely or indirectly lost block fails it
# (suppressions, each explained, in tests/valgrind.supp). The large-document tests run at a
# hundredth of their size (VELXMLN_TEST_SIZE_DIVISOR), which takes the same code paths.
valgrind: deps
	cmake -S . -B $(VALGRIND) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELXMLN_MEMCHECK=ON \
	  -DVELXMLN_CONSUMER_TEST=OFF -DVELXMLN_BUILD_PYTHON=OFF
	cmake --build $(VALGRIND) -j $(JOBS)
	cd $(VALGRIND) && VELXMLN_TEST_SIZE_DIVISOR=100 ctest -T memcheck --output-on-failure \
	  -j $(JOBS) --timeout 3600

# One target at a time: libFuzzer uses a whole core. New inputs go to $(FUZZ)/corpus/<target>
# (not committed); crash inputs to $(FUZZ)/crashes/<target>. Keep a crash input that revealed a
# fault in fuzz/regressions/<target>/, where the replay test of the normal build runs it.
# libFuzzer and clang's sanitizer runtimes come with libclang-rt-dev, which clang only recommends.
fuzz-build:
	@bash scripts/install-deps.sh libclang-rt-dev
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELXMLN_BUILD_FUZZ=ON -DVELXMLN_BUILD_TESTS=OFF -DVELXMLN_BUILD_EXAMPLES=OFF \
	  -DVELXMLN_INSTALL=OFF -DVELXMLN_CONSUMER_TEST=OFF -DVELXMLN_BUILD_PYTHON=OFF
	cmake --build $(FUZZ) -j $(JOBS) --target velxmln_fuzzers

fuzz: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  mkdir -p $(FUZZ)/corpus/$$t $(FUZZ)/crashes/$$t; \
	  extra=; if [ $$t = differential ] && [ -d $(XMLCONF) ]; then extra=$(XMLCONF); fi; \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -max_len=4096 -print_final_stats=1 -dict=fuzz/dict/$$t.dict \
	    -artifact_prefix=$(FUZZ)/crashes/$$t/ $(FUZZ)/corpus/$$t fuzz/seeds/$$t \
	    fuzz/regressions/$$t $$extra; \
	done

# The cross toolchain and Wine come from Debian; dpkg-dev unpacks Xerces-C's Debian source package,
# which scripts/build-windows-deps.sh builds for Windows once and keeps in ~/.cache/velxmln.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine64 dpkg-dev

test-windows:
	@bash scripts/install-deps.sh $(WINDOWS_PACKAGES)
	JOBS=$(JOBS) bash scripts/test-windows.sh $(WINDOWS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' '*.c')

clean:
	rm -rf build
