# The front door. `make demo` and `make test` install what is missing first.
# `make test` builds and runs the suite three ways: release as users build it
# (CMake's Release type) with warnings as errors; clang with
# AddressSanitizer+UBSan, whose tree also holds the fuzz targets, each given a
# short run; and ThreadSanitizer over the tests that run threads. `make fuzz`
# fuzzes for longer. `make bench` builds the release tree and runs the
# benchmarks.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   := cmake -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DOVIX_WERROR=ON
CTEST   := ctest --output-on-failure --no-tests=error -j $(JOBS)
# Our trees compile in unity batches, for a third of the compile time. That
# each of the library's files builds by itself, as in a plain build, is
# checked by the add_subdirectory host of scripts/check-install.sh.
UNITY   := -DCMAKE_UNITY_BUILD=ON
# The sanitizer trees: line tables for readable reports, no further debug
# information.
SANITIZED := -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g1" -DOVIX_BUILD_BENCH=OFF
# Seconds per fuzz target: `make fuzz` and the smoke run of `make test`.
FUZZ_SECONDS       ?= 60
FUZZ_SMOKE_SECONDS ?= 5

export ASAN_OPTIONS  := detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS  := suppressions=$(CURDIR)/tests/lsan.supp
export UBSAN_OPTIONS := halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS  := halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp

# Three runs of five repetitions each: a target is met when it holds in all
# three. The last run's table goes into the README.
BENCH_ARGS ?= --benchmark_repetitions=5 --runs=3 --readme=README.md

.PHONY: all deps build demo test test-release test-asan test-tsan bench fuzz-build fuzz fuzz-smoke \
	format lines clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/release/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(UNITY)
$(BUILD)/asan/build.ninja: | deps
	CC=clang-16 CXX=clang++-16 $(CMAKE) -S . -B $(BUILD)/asan $(SANITIZED) $(UNITY) -DOVIX_SANITIZE=address \
		-DOVIX_FUZZ=ON
$(BUILD)/tsan/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/tsan $(SANITIZED) $(UNITY) -DOVIX_SANITIZE=thread

build: $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS)

# The sample host: a feed against the development server, a summary and feed.png.
demo: build
	$(BUILD)/release/tools/ovix feed

test: test-release test-asan test-tsan fuzz-smoke

test-release: $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS)
	$(CTEST) --test-dir $(BUILD)/release

test-asan: $(BUILD)/asan/build.ninja
	cmake --build $(BUILD)/asan -j $(JOBS)
	$(CTEST) --test-dir $(BUILD)/asan

# Only what runs threads: the suites labelled so, and what they need. One test
# at a time: under ThreadSanitizer a second one would eat into the time bounds
# (a beacon's 3 s) that the fault tests reach on purpose.
test-tsan: $(BUILD)/tsan/build.ninja
	cmake --build $(BUILD)/tsan -j $(JOBS) --target ovix_thread_tests ovix_integration_tests
	$(CTEST) --test-dir $(BUILD)/tsan -L threads -j 1

bench: $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS) --target ovix_bench
	$(BUILD)/release/bench/ovix_bench $(BENCH_ARGS)

fuzz-build: $(BUILD)/asan/build.ninja
	cmake --build $(BUILD)/asan -j $(JOBS) --target ovix_fuzz_response ovix_fuzz_image \
		ovix_fuzz_url ovix_fuzz_request

fuzz: fuzz-build
	bash scripts/fuzz.sh $(BUILD)/asan $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	bash scripts/fuzz.sh $(BUILD)/asan $(FUZZ_SMOKE_SECONDS)

# Code lines of the tests against the library and tools.
lines:
	@bash scripts/lines.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf $(BUILD)
