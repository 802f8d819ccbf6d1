# Front door of the project: every target installs missing packages, configures and builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
SANITIZE_BUILD ?= build-asan

.PHONY: all deps configure build run test test-fast test-asan bench format format-check clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Opens the desktop program (under a virtual display when there is no screen).
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then $(BUILD)/src/veltmoor; \
	else xvfb-run -a $(BUILD)/src/veltmoor; fi

# Unit and integration tests, then the same tests under AddressSanitizer and UBSan.
test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

test-fast: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELTMOOR_SANITIZE=ON \
	  -DVELTMOOR_BUILD_GUI=OFF >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVELTMOOR_BUILD_BENCH=ON \
	  -DBUILD_TESTING=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bench/run-benchmarks build-bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	@rm -rf $(BUILD) $(SANITIZE_BUILD) build-bench
