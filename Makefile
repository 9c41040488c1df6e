# The one front door: people, the README and CI use these targets.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
GAME ?= build/release/demo/game

BUILD_TEST    := build/test
BUILD_RELEASE := build/release
BUILD_FUZZ    := build/fuzz
BUILD_TSAN    := build/tsan
BUILD_OPT     := build/optimised

CMAKE_GEN := -G Ninja $(shell command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# ccache caches the test programs' units only when it may trust their precompiled header.
export CCACHE_SLOPPINESS := pch_defines,time_macros
# The test builds keep line tables only (-g1: enough for the sanitizers' stack traces, a sixth less
# compile time than -g) and link with lld (a third of BFD ld's time on the sanitizer programs).
TEST_FLAGS := -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  $(shell command -v ld.lld >/dev/null 2>&1 && echo -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld \
    -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_MODULE_LINKER_FLAGS=-fuse-ld=lld)

# Times each test shard repeats its tests in one process on the sanitizer build (2 doubles that
# pass's test time); the optimised pass always repeats twice.
TEST_REPEAT ?= 1

# The order the test programs run their tests in (see cmake/Brimwold.cmake); a failure replays
# with make test TEST_SEED=<the seed printed>.
ifndef TEST_SEED
TEST_SEED := $(shell shuf -i 1-99999 -n 1)
endif

.PHONY: deps run test bench fuzz test-tsan release clean format soak monkey damage tidy mutate

deps:
	@bash scripts/install-deps.sh

release: deps
	cmake -S . -B $(BUILD_RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_RELEASE) -j $(JOBS)

# Builds the program, the tools and the demo game only: the tests wait for make test.
run: deps
	cmake -S . -B $(BUILD_RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_RELEASE) -j $(JOBS) --target player
	$(BUILD_RELEASE)/src/brimwold /L "$(GAME)"

test: deps
	bash scripts/format.sh --check
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) $(TEST_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DBRIMWOLD_SANITIZE=ON -DBRIMWOLD_WERROR=ON -DBRIMWOLD_TEST_REPEAT=$(TEST_REPEAT)
	cmake --build $(BUILD_TEST) -j $(JOBS)
	@echo "== the tests, each program's shards in an order shuffled with seed $(TEST_SEED)"
	cd $(BUILD_TEST) && GTEST_RANDOM_SEED=$(TEST_SEED) ctest --output-on-failure -j $(JOBS) --timeout 300 || \
	  { echo "== make test TEST_SEED=$(TEST_SEED) runs the tests in the same order again"; exit 1; }
	@echo "== the tests labelled optimised, again on an optimised build with the undefined-behaviour sanitizer, each shard twice in its process"
	cmake -S . -B $(BUILD_OPT) $(CMAKE_GEN) $(TEST_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMWOLD_SANITIZE_UB=ON -DBRIMWOLD_TEST_REPEAT=2
	cmake --build $(BUILD_OPT) -j $(JOBS) --target optimised_tests
	cd $(BUILD_OPT) && GTEST_RANDOM_SEED=$(TEST_SEED) ctest --output-on-failure -j $(JOBS) --timeout 300 -L optimised

# Each side keeps its best repetition; the repetitions of ours and its peers are run interleaved,
# so that a host whose speed drifts during the run slows both sides alike.
bench: release
	@for b in $(BUILD_RELEASE)/bench/*_bench; do echo "== $$b"; "$$b" --benchmark_min_time=0.2 --benchmark_repetitions=$${BENCH_REPETITIONS:-3} --benchmark_enable_random_interleaving=true || exit 1; done

# Not in CI: the demo story played for SOAK_MINUTES (default 10) in one sanitizer-built process.
soak: deps
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) $(TEST_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DBRIMWOLD_SANITIZE=ON -DBRIMWOLD_WERROR=ON
	JOBS=$(JOBS) SOAK_BUILD=$(BUILD_TEST) bash scripts/soak.sh

# Not in CI: the demo played by random input (MONKEY_SEEDS, MONKEY_FRAMES) in sanitizer-built runs.
monkey: deps
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) $(TEST_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DBRIMWOLD_SANITIZE=ON -DBRIMWOLD_WERROR=ON
	JOBS=$(JOBS) MONKEY_BUILD=$(BUILD_TEST) bash scripts/monkey.sh

# Not in CI: the demo's story played on copies of the game with one file or pack member damaged
# (DAMAGE_KINDS, DAMAGE_SEEDS, DAMAGE_ONLY) in sanitizer-built runs.
damage: deps
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) $(TEST_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DBRIMWOLD_SANITIZE=ON -DBRIMWOLD_WERROR=ON
	JOBS=$(JOBS) DAMAGE_BUILD=$(BUILD_TEST) bash scripts/damage.sh

# Not in CI (slow): each change listed in tests/mutations.txt made in turn in copies of the tree,
# failing when a test program passes with a change in place (MUTATE_JOBS, MUTATE_ONLY).
mutate: deps
	bash scripts/mutate.sh

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMWOLD_FUZZ=ON
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	@for f in $(BUILD_FUZZ)/fuzz/*_fuzz; do n=$$(basename $$f _fuzz); echo "== $$n"; \
	  mkdir -p $(BUILD_FUZZ)/corpus/$$n; \
	  "$$f" -max_total_time=$${FUZZ_SECONDS:-60} $(BUILD_FUZZ)/corpus/$$n fuzz/corpus/$$n || exit 1; done

test-tsan: deps
	cmake -S . -B $(BUILD_TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DBRIMWOLD_TSAN=ON
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target threads_tests
	cd $(BUILD_TSAN) && ctest --output-on-failure -j $(JOBS) -L threads

format:
	bash scripts/format.sh

# clang-tidy over every header of src/ (the checks in .clang-tidy), in one unit: seconds; then
# clang over every source of src/, tests/, tools/, bench/ and fuzz/, failing on a dropped
# [[nodiscard]] result: minutes.
tidy: deps
	bash scripts/tidy-headers.sh
	JOBS=$(JOBS) bash scripts/check-dropped-results.sh

clean:
	rm -rf build
