# The front door: `make test` installs what is missing, builds and runs the
# suite three ways (warnings as errors, AddressSanitizer+UBSan, ThreadSanitizer)
# and gives each fuzz target a short run. `make fuzz` fuzzes for longer.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   := cmake -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
CTEST   := ctest --output-on-failure --no-tests=error -j $(JOBS)
# Seconds per fuzz target: `make fuzz` and the smoke run of `make test`.
FUZZ_SECONDS       ?= 60
FUZZ_SMOKE_SECONDS ?= 5

export ASAN_OPTIONS  := detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS := halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS  := halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp

.PHONY: all deps build test test-release test-asan test-tsan fuzz-build fuzz fuzz-smoke fuzz-seeds \
	format clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/release/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
$(BUILD)/asan/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DOVIX_SANITIZE=address -DOVIX_WERROR=OFF
$(BUILD)/tsan/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DOVIX_SANITIZE=thread -DOVIX_WERROR=OFF
$(BUILD)/fuzz/build.ninja: | deps
	CC=clang-16 CXX=clang++-16 $(CMAKE) -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DOVIX_FUZZ=ON

build: $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS)

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
