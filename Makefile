# Two commands for a newcomer: `make demo` and `make test`.
# BUILD=dir builds elsewhere (several work trees or helpers side by side).
BUILD ?= build
HOST := $(BUILD)/host
WIN := $(BUILD)/win
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20
export BUILD

.PHONY: all bootstrap configure build host win test unit-test win-test size-test e2e-test docs-test fuzz-test sanitize-test format-test demo bench clean

all: build

bootstrap:
	@scripts/bootstrap

$(HOST)/build.ninja:
	cmake -S . -B $(HOST) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(WIN)/build.ninja:
	cmake -S . -B $(WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake

configure: bootstrap $(HOST)/build.ninja $(WIN)/build.ninja

host: configure
	cmake --build $(HOST) -j $(JOBS)

win: configure
	cmake --build $(WIN) -j $(JOBS)

# The two builds share the machine's cores; one after the other keeps each
# one fully parallel.
build: host win

unit-test: host
	cd $(HOST) && ctest --output-on-failure -j $(JOBS)

# The host tests again (core, mksetup and its command line), built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
SAN := $(BUILD)/sanitize
$(SAN)/build.ninja:
	cmake -S . -B $(SAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_SANITIZE=ON

sanitize-test: bootstrap $(SAN)/build.ninja
	cmake --build $(SAN) -j $(JOBS)
	cd $(SAN) && ctest --output-on-failure -j $(JOBS)

win-test: win
	tests/win/run $(WIN)

# The setup program's image goes into every installer and uninstaller: it
# may not grow past its budget unnoticed (docs/PERFORMANCE.md, "Size").
SETUP_SIZE_BUDGET := 220416
size-test: win
	@size=$$(stat -c %s $(WIN)/src/setup.exe); \
	if [ $$size -gt $(SETUP_SIZE_BUDGET) ]; then \
	  echo "size-test: setup.exe is $$size bytes, over its budget of $(SETUP_SIZE_BUDGET)" >&2; exit 1; \
	fi; echo "size-test: setup.exe is $$size bytes (budget $(SETUP_SIZE_BUDGET))"

e2e-test: host win
	tests/e2e/run $(HOST) $(WIN)

# Every example command of docs/TESTING.md selects at least one test.
docs-test: host win
	scripts/check-docs $(BUILD)

# Every libFuzzer target for a short smoke run (about 20 s each, two at a
# time); scripts/fuzz runs them longer by hand.
fuzz-test: bootstrap
	scripts/fuzz $(BUILD)/fuzz $(FUZZ_SECONDS)

# The sources follow .clang-format.
format-test: bootstrap
	scripts/format --check

test: format-test unit-test sanitize-test win-test size-test e2e-test docs-test fuzz-test

demo: build
	scripts/demo $(HOST) $(WIN)

bench: host
	scripts/bench $(HOST)

clean:
	rm -rf $(BUILD)
