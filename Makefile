# Two commands for a newcomer: `make demo` and `make test`.
# BUILD=dir builds elsewhere (several work trees or helpers side by side).
BUILD ?= build
HOST := $(BUILD)/host
# The two Windows builds of the setup program: i686 (the one that ships by
# default, runs on every Windows) and x86-64.
WIN := $(BUILD)/win
WIN64 := $(BUILD)/win64
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20
RESULTS := $(BUILD)/results
export BUILD
# A level's result survives the pipe into its log.
SHELL := bash
.SHELLFLAGS := -o pipefail -c

# The Windows levels run on the build the machine can run (scripts/winarch:
# i686 where it runs 32-bit code, else x86-64; SETUP_TEST_ARCH forces one).
# Asked when a recipe runs, after bootstrap has installed Wine.
TEST_WIN = $$(if [ "$$(scripts/winarch)" = i686 ]; then echo $(WIN); else echo $(WIN64); fi)

.PHONY: all bootstrap configure build host win win64 test unit-test win-test size-test e2e-test docs-test fuzz-test sanitize-test format-test demo bench clean test-results

all: build

bootstrap:
	@scripts/bootstrap

$(HOST)/build.ninja:
	cmake -S . -B $(HOST) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(WIN)/build.ninja:
	cmake -S . -B $(WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake

$(WIN64)/build.ninja:
	cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake

configure: bootstrap $(HOST)/build.ninja $(WIN)/build.ninja $(WIN64)/build.ninja

host: configure
	cmake --build $(HOST) -j $(JOBS)

win: configure
	cmake --build $(WIN) -j $(JOBS)

win64: configure
	cmake --build $(WIN64) -j $(JOBS)

# The builds share the machine's cores; one after the other keeps each one
# fully parallel.
build: host win win64

# Each level leaves its result in $(RESULTS) for the closing line of
# `make test` (scripts/test-summary).
# The unit tests also read the two setup programs as built (setup_image_test).
unit-test: host win win64
	@mkdir -p $(RESULTS)
	cd $(HOST) && ctest --output-on-failure -j $(JOBS) | tee $(abspath $(RESULTS))/unit.log

# The host tests again (core, mksetup and its command line), built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
SAN := $(BUILD)/sanitize
$(SAN)/build.ninja:
	cmake -S . -B $(SAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_SANITIZE=ON

sanitize-test: bootstrap $(SAN)/build.ninja win win64
	cmake --build $(SAN) -j $(JOBS)
	@mkdir -p $(RESULTS)
	cd $(SAN) && ctest --output-on-failure -j $(JOBS) | tee $(abspath $(RESULTS))/sanitize.log

# Where the machine runs 32-bit code, the Win32 tests run on both builds;
# elsewhere on the x86-64 one alone.
win-test: win win64
	@win=$(TEST_WIN); if [ $$win = $(WIN) ]; then tests/win/run $(WIN) && tests/win/run $(WIN64); \
	else tests/win/run $(WIN64); fi

# The setup program's image goes into every installer and uninstaller: it
# may not grow past its budget unnoticed (docs/PERFORMANCE.md, "Size").
SETUP_SIZE_BUDGET := 268288
SETUP64_SIZE_BUDGET := 262656
size-test: win win64
	@fail=0; for b in "$(WIN) $(SETUP_SIZE_BUDGET) i686" "$(WIN64) $(SETUP64_SIZE_BUDGET) x86-64"; do \
	  set -- $$b; size=$$(stat -c %s $$1/src/setup.exe); \
	  if [ $$size -gt $$2 ]; then \
	    echo "size-test: the $$3 setup.exe is $$size bytes, over its budget of $$2" >&2; fail=1; \
	  else echo "size-test: the $$3 setup.exe is $$size bytes (budget $$2)"; fi; \
	done; exit $$fail

e2e-test: host win win64
	tests/e2e/run $(HOST) $(TEST_WIN)

# Every example command of docs/TESTING.md selects at least one test.
docs-test: host win win64
	scripts/check-docs $(BUILD)

# Every libFuzzer target for a short smoke run (about 20 s each, two at a
# time); scripts/fuzz runs them longer by hand.
fuzz-test: bootstrap
	scripts/fuzz $(BUILD)/fuzz $(FUZZ_SECONDS)

# The sources follow .clang-format.
format-test: bootstrap
	scripts/format --check

test-results:
	@rm -rf $(RESULTS)

# Ends with one line: what each level ran on and how many tests passed.
test: test-results format-test unit-test sanitize-test win-test size-test e2e-test docs-test fuzz-test
	@scripts/test-summary $(RESULTS)

demo: build
	scripts/demo $(HOST) $(TEST_WIN)

bench: host
	scripts/bench $(HOST)

clean:
	rm -rf $(BUILD)
