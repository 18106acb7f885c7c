# A thin wrapper around CMake: `make run` and `make test` work from a fresh
# clone (they install what is missing first).
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DVELMORA_WERROR=ON
endif

.PHONY: all deps configure build build-programs run test install package bench clean fuzz asan tsan

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# `make run` needs the two programs, not the tests, benchmarks, manual pages
# or icons: on a clean clone that is most of the compile time saved.
build-programs: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target velmora velmora-cli

run: build-programs
	@scripts/run-velmora $(BUILD_DIR)

test: build
	@scripts/run-tests $(BUILD_DIR)

# Installs into PREFIX (default /usr/local); DESTDIR stages the tree
# elsewhere, as packagers do: make install PREFIX=/usr DESTDIR=/tmp/stage
# Only what is installed is built for it: the programs, manual pages, icons
# and completion (velmora_installed_files), not the tests.
PREFIX ?= /usr/local
INSTALLED_TARGETS = velmora velmora-cli velmora_installed_files
install: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target $(INSTALLED_TARGETS)
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package (velmora_VERSION_ARCH.deb) in the build folder.
package: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target $(INSTALLED_TARGETS)
	@cd $(BUILD_DIR) && cpack -G DEB

bench:
	@scripts/install-deps --bench
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@bench/compare-encoders $(BUILD_DIR)
	@bench/render-saves $(BUILD_DIR)
	@bench/compare-webp $(BUILD_DIR)

# Sanitizer and fuzzing builds, each in its own folder, with clang.
SAN_CXX ?= clang++
FUZZ_SECONDS ?= 60
SAN_FLAGS = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=$(SAN_CXX) -DVELMORA_BUILD_BENCH=OFF

# libFuzzer on each reader of untrusted files, FUZZ_SECONDS each: the GIF
# reader (fuzz/corpus, fuzz/regressions), the page reader (fuzz/page-corpus),
# picture loading (fuzz/corpus, fuzz/picture-corpus) and the WebP reader
# (fuzz/webp-corpus). New inputs go to
# build-fuzz/corpus/NAME, findings to build-fuzz/artifacts.
FUZZERS = gif:fuzz/corpus:fuzz/regressions page:fuzz/page-corpus picture:fuzz/corpus:fuzz/picture-corpus \
  webp:fuzz/webp-corpus
fuzz: deps
	@cmake -S . -B build-fuzz $(SAN_FLAGS) -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target velmora_gif_fuzzer velmora_page_fuzzer velmora_picture_fuzzer \
	  velmora_webp_fuzzer
	@mkdir -p build-fuzz/artifacts
	@set -e; for f in $(FUZZERS); do \
	  name=$${f%%:*}; dirs=$$(echo $${f#*:} | tr : ' '); \
	  mkdir -p build-fuzz/corpus/$$name; \
	  echo "== velmora_$${name}_fuzzer"; \
	  build-fuzz/fuzz/velmora_$${name}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/artifacts/$$name- build-fuzz/corpus/$$name $$dirs; \
	done

# AddressSanitizer and UndefinedBehaviorSanitizer over the whole test suite.
# The core tests run first on their own with leak checking on (they hold no
# windows); for the rest Qt's own one-off allocations are reported as leaks
# at exit, so leaks are off there.
asan: deps
	@cmake -S . -B build-asan $(SAN_FLAGS) -DVELMORA_SANITIZE=address,undefined $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:new_delete_type_mismatch=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
	  build-asan/tests/velmora_core_tests --gtest_brief=1
	ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0 UBSAN_OPTIONS=print_stacktrace=1 QTWEBENGINE_DISABLE_SANDBOX=1 \
	  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir build-asan --output-on-failure

# ThreadSanitizer over the frame pipeline (the encoder's worker threads),
# directly and through the animations' saves.
tsan: deps
	@cmake -S . -B build-tsan $(SAN_FLAGS) -DVELMORA_SANITIZE=thread $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target velmora_core_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" QT_QPA_PLATFORM=offscreen \
	  build-tsan/tests/velmora_core_tests --gtest_filter='FrameEncoder*:MovingStripes*:RotatingStripes*'

clean:
	rm -rf $(BUILD_DIR) build-fuzz build-asan build-tsan
