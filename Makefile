# The front door. `make demo` and `make test` install what is missing first;
# `make test` builds and runs the suite three ways (warnings as errors,
# AddressSanitizer+UBSan, ThreadSanitizer) and gives each fuzz target a short
# run; `make fuzz` fuzzes for longer. `make bench` builds the release tree and
# runs the benchmarks (BENCH_ARGS="--benchmark_repetitions=5" for medians of
# five).
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   := cmake -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
CTEST   := ctest --output-on-failure --no-tests=error -j $(JOBS)
# Seconds per fuzz target: `make fuzz` and the smoke run of `make test`.
FUZZ_SECONDS       ?= 60
FUZZ_SMOKE_SECONDS ?= 5

export ASAN_OPTIONS  := detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS  := suppressions=$(CURDIR)/tests/lsan.supp
export UBSAN_OPTIONS := halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS  := halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp

BENCH_ARGS ?=

.PHONY: all deps build demo test test-release test-asan test-tsan bench fuzz-build fuzz fuzz-smoke \
	fuzz-seeds format clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/release/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
$(BUILD)/asan/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DOVIX_SANITIZE=address -DOVIX_WERROR=OFF -DOVIX_BUILD_BENCH=OFF
$(BUILD)/tsan/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DOVIX_SANITIZE=thread -DOVIX_WERROR=OFF -DOVIX_BUILD_BENCH=OFF
$(BUILD)/fuzz/build.ninja: | deps
	CC=clang-16 CXX=clang++-16 $(CMAKE) -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DOVIX_FUZZ=ON

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

test-tsan: $(BUILD)/tsan/build.ninja
	cmake --build $(BUILD)/tsan -j $(JOBS)
	$(CTEST) --test-dir $(BUILD)/tsan

bench: $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS) --target ovix_bench
	$(BUILD)/release/bench/ovix_bench $(BENCH_ARGS)

fuzz-build: $(BUILD)/fuzz/build.ninja
	cmake --build $(BUILD)/fuzz -j $(JOBS)

fuzz: fuzz-build
	bash scripts/fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	bash scripts/fuzz.sh $(BUILD)/fuzz $(FUZZ_SMOKE_SECONDS)

# Rewrites the committed seed corpora.
fuzz-seeds: $(BUILD)/fuzz/build.ninja
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target ovix_fuzz_seeds
	$(BUILD)/fuzz/tests/fuzz/ovix_fuzz_seeds tests/fuzz/corpus

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf $(BUILD)
