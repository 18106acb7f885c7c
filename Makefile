# A thin wrapper around CMake: `make run` and `make test` work from a fresh
# clone (they install what is missing first).
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DVELMORA_WERROR=ON
endif

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-velmora $(BUILD_DIR)

test: build
	@scripts/run-tests $(BUILD_DIR)

bench:
	@scripts/install-deps --bench
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@bench/compare-encoders $(BUILD_DIR)
	@bench/render-saves $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
