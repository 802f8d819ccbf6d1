# Front door of the project: every target installs missing packages, configures and builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
# Every build made here fails on a compiler warning; WERROR=OFF for a compiler that warns
# about something new.
WERROR ?= ON
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 10

.PHONY: all deps configure build run screenshot screenshots-town test test-fast test-asan test-fuzz \
	test-sanitizers test-asan-ui test-tsan test-slurm bench town hindcast format format-check tidy clean \
	update-golden mutation

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DVELTMOOR_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null

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

# The GIS pictures: a made-up town imported, and a forecast of it laid over it.
TOWN_DIR ?= $(BUILD)/screenshot-town
screenshots-town: build
	@rm -rf $(TOWN_DIR) && $(BUILD)/src/veltmoor-screenshot --make-town $(TOWN_DIR)
	@$(BUILD)/src/veltmoor-batch import --landuse $(TOWN_DIR)/land.tif --developed 1 \
	  --streets $(TOWN_DIR)/streets.gpkg --seed 1 --no-picture --out $(TOWN_DIR)/town
	@$(BUILD)/src/veltmoor-batch forecast --start $(TOWN_DIR)/town/world.json --runs 8 \
	  --steps 150 --field-type boom --seed 3 --out $(TOWN_DIR)/forecast
	@for size in 1280x800 1600x1000; do \
	  xvfb-run -a -s "-screen 0 $${size}x24" $(BUILD)/src/veltmoor-screenshot --town $(TOWN_DIR) $$size; \
	done

# The README's real town: a Landsat scene imported, analysed and grown (out/town).
town: build
	@scripts/make-town $(BUILD) out/town

# Where that town grows: calibrated on its core against its extent, forecast and compared.
hindcast: town
	@scripts/make-hindcast $(BUILD) out/town out/hindcast

# Unit and integration tests, then every test again under AddressSanitizer and UBSan (the
# desktop program's offscreen), the threaded path search and potential passes under
# ThreadSanitizer, a short fuzz run, and job chains on a private one-node Slurm.
test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan-ui
	@$(MAKE) --no-print-directory test-tsan
	@$(MAKE) --no-print-directory test-fuzz
	@$(MAKE) --no-print-directory test-slurm

# Generated job chains on a real one-node Slurm started from a scratch folder (needs root to
# install and start it; says why it skips otherwise). About a minute.
test-slurm: build
	@tests/slurm/run-slurm-test $(BUILD)

test-fast: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Rewrites the pinned seeded outputs in tests/golden/ after a deliberate change of results.
update-golden: build
	@scripts/update-golden $(BUILD)/src/veltmoor-batch

# Mutation check: one-line faults from tests/mutation/mutants.txt, each built in a scratch
# copy (build-mutation/) and run against the fast tests. Slow; not part of make test.
mutation: deps
	@python3 tests/mutation/mutate.py --jobs $(JOBS)

test-asan: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DVELTMOOR_WERROR=$(WERROR) -DCMAKE_BUILD_TYPE=Debug \
	  -DVELTMOOR_SANITIZE=ON -DVELTMOOR_BUILD_GUI=OFF >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

# libFuzzer (clang-14) on the readers of hostile input, FUZZ_SECONDS per target, from the
# seed corpus in tests/fuzz/corpus/.
test-fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -DVELTMOOR_WERROR=$(WERROR) -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DCMAKE_BUILD_TYPE=Debug -DVELTMOOR_BUILD_FUZZ=ON -DVELTMOOR_BUILD_GUI=OFF \
	  -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target veltmoor_fuzz
	@tests/fuzz/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The sanitizer runs of make test on their own: every test, the desktop program's included
# (offscreen), under ASan/UBSan; and the threaded path search under ThreadSanitizer.
# test-asan is the quicker ASan/UBSan run without the desktop program.
test-sanitizers: test-asan-ui test-tsan

test-asan-ui: deps
	@cmake -S . -B build-asan-ui -DVELTMOOR_WERROR=$(WERROR) -DCMAKE_BUILD_TYPE=Debug \
	  -DVELTMOOR_SANITIZE=ON >/dev/null
	@cmake --build build-asan-ui -j $(JOBS)
	@cd build-asan-ui && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

# Only the programs whose tests run the path search on several threads.
test-tsan: deps
	@cmake -S . -B build-tsan -DVELTMOOR_WERROR=$(WERROR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELTMOOR_TSAN=ON -DVELTMOOR_BUILD_GUI=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target veltmoor_simulation_tests \
	  veltmoor_analysis_tests veltmoor_studies_tests
	@TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/veltmoor_simulation_tests --gtest_brief=1 \
	  --gtest_filter='UpdatePotential*:RunControl*'
	@TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/veltmoor_analysis_tests --gtest_brief=1
	@TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/veltmoor_studies_tests --gtest_brief=1

bench: deps
	@cmake -S . -B build-bench -DVELTMOOR_WERROR=$(WERROR) -DCMAKE_BUILD_TYPE=Release \
	  -DVELTMOOR_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bench/run-benchmarks build-bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# clang-tidy with the checks of .clang-tidy over every source file of src/; any finding
# fails. Needs the build for its compile commands and the generated Qt sources.
tidy: build
	@run-clang-tidy-14 -clang-tidy-binary clang-tidy-14 -p $(BUILD) -j $(JOBS) -quiet \
	  '^$(CURDIR)/src/.*\.cpp$$' >$(BUILD)/tidy.log 2>&1 || \
	  { grep -vE '^clang-tidy-14 |warnings? (and [0-9]+ errors? )?generated' $(BUILD)/tidy.log; \
	    exit 1; }

clean:
	@rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) build-asan-ui build-tsan build-bench
