# Entry points for newcomers: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD_DIR := build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Where `make install` puts the program: PREFIX=$$HOME/.local installs for one user.
PREFIX ?= /usr/local

.PHONY: all bootstrap configure build run test bench install deb clean format test-asan fuzz-build fuzz fuzz-ci lint

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD_DIR)

run: build
	@$(BUILD_DIR)/quintarel

# The areas run two at a time, the long ones (kill loops, very large projects, packaging) after
# them and alone; both runs go to the end and decide the result.
test: build
	@cd $(BUILD_DIR) && { ctest --parallel 2 -LE long --output-on-failure --timeout 900; quick=$$?; \
		ctest -L long --output-on-failure --timeout 900; long=$$?; exit $$((quick | long)); }

bench: build
	@$(BUILD_DIR)/quintarel_bench

install: build
	@cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# A Debian package of the build, quintarel_<version>_<arch>.deb in the build folder.
deb: build
	@cd $(BUILD_DIR) && cpack -G DEB

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer (with Qt's debug
# assertions on), in its own build folder; every test stops at the first report. The areas run two
# at a time, so that the suite, several times slower under the sanitizers, keeps within its time.
ASAN_BUILD_DIR := build-asan
ASAN_CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
test-asan: bootstrap
	@cmake -S . -B $(ASAN_BUILD_DIR) -G Ninja -DQUINTAREL_SANITIZE=ON $(ASAN_CMAKE_FLAGS) $(EXTRA_CMAKE_FLAGS)
	@cmake --build $(ASAN_BUILD_DIR)
	@cd $(ASAN_BUILD_DIR) && ctest --parallel 2 --output-on-failure --timeout 1800 $(CTEST_FLAGS)

# libFuzzer targets for the project, recovery, annotation and edge readers, built by clang in build-fuzz/.
# `make fuzz` runs each for FUZZ_SECONDS (an hour by default); `make fuzz-ci` for one minute.
FUZZ_BUILD_DIR := build-fuzz
FUZZ_SECONDS ?= 3600
fuzz-build: bootstrap
	@cmake -S tests/fuzz -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++ $(EXTRA_CMAKE_FLAGS)
	@cmake --build $(FUZZ_BUILD_DIR)

fuzz: fuzz-build
	@tests/fuzz/run-fuzzers $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

fuzz-ci: fuzz-build
	@tests/fuzz/run-fuzzers $(FUZZ_BUILD_DIR) 60

# clang-tidy over every file in src/, with the checks of .clang-tidy; needs the compile commands
# of build/. LINT_STRICT=0 prints the findings and their count per check without failing.
LINT_STRICT ?= 1
lint: build
	@scripts/lint $(BUILD_DIR) $(LINT_STRICT)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(FUZZ_BUILD_DIR)
