# Front door of the project: every target installs missing packages, configures and builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
SANITIZE_BUILD ?= build-asan

.PHONY: all deps configure build run screenshot test test-fast test-asan bench town format format-check clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Opens the desktop program. Without a screen it says how to get one and runs a boom town
# headless instead.
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then $(BUILD)/src/veltmoor; \
	else \
	  echo "No display: to see the desktop program run  xvfb-run -a $(BUILD)/src/veltmoor"; \
	  echo "Running a 300-step boom town headless instead..."; \
	  $(BUILD)/src/veltmoor-batch run --field-type boom --steps 300 --analyse --out out/run && \
	  echo "The map is in out/run/map.png, the measures in out/run/measures.json"; \
	fi

# The README's screenshot: the desktop program after a boom run and its analyses.
screenshot: build
	@xvfb-run -a -s "-screen 0 1600x1000x24" $(BUILD)/src/veltmoor-screenshot docs/screenshot.png 300 4

# The README's real town: a Landsat scene imported, analysed and grown (out/town).
town: build
	@scripts/make-town $(BUILD) out/town

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
