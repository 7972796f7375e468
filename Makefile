# Entry points for newcomers: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD_DIR := build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Where `make install` puts the program: PREFIX=$$HOME/.local installs for one user.
PREFIX ?= /usr/local

.PHONY: all bootstrap configure build run test bench install clean format

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD_DIR)

run: build
	@$(BUILD_DIR)/quintarel

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure --timeout 900

bench: build
	@$(BUILD_DIR)/quintarel_bench

install: build
	@cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR)
