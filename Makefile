# Thin wrapper around CMake. `make test` is what CI runs.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

DEB_PACKAGES = cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev libgtest-dev libgmock-dev \
  libcli11-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev nlohmann-json3-dev \
  libbenchmark-dev xvfb xauth xdotool x11-utils imagemagick fonts-liberation2 clang libclang-rt-14-dev \
  librsvg2-bin help2man dpkg-dev fakeroot desktop-file-utils appstream lintian man-db util-linux \
  python3

# The Windows cross-build: MinGW-w64, Wine to run its tests, GoogleTest's sources to build with it.
WINDOWS_DEB_PACKAGES = cmake make g++-mingw-w64-x86-64-posix wine64 googletest

.PHONY: deps deps-windows build test check-windows sanitize demo bench fuzz package clean

# Installs those of the packages in $(1) that are missing.
define install_missing
	@missing=$$(for p in $(1); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null \
	  | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" != 0 ]; then echo "Run as root (or install these packages): $$missing"; exit 1; fi; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(DEB_PACKAGES))

deps-windows:
	$(call install_missing,$(WINDOWS_DEB_PACKAGES))

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) check-windows
	$(MAKE) sanitize

# The Debian package and the portable folder: build/rx7731_<version>_<arch>.deb and
# build/rx7731-<version>-Linux.tar.gz. `make test` checks them (the tests labelled "package").
package: build
	cd $(BUILD) && cpack

# The plain C++ core cross-built for 64-bit Windows with MinGW-w64, its tests run under Wine (in
# a Wine prefix inside the build folder). The window needs Qt for Windows and is not built.
# Release, as a Windows program ships: a third less compiling than with debug information.
WINDOWS_BUILD ?= build-windows

$(WINDOWS_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DRX_GUI=OFF -DRX_BENCH=OFF -DCMAKE_BUILD_TYPE=Release

check-windows: deps-windows $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS)

# A second build with clang, AddressSanitizer and UndefinedBehaviorSanitizer, which also builds
# the fuzz targets. `make sanitize` (run by `make test`) runs its whole test suite, with a short
# run of each fuzz target; `make fuzz` runs each target for FUZZ_RUNS executions.
ASAN_BUILD ?= build-asan
FUZZ_RUNS ?= 10000000
FUZZ_MAX_SECONDS ?= 0
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

$(ASAN_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -DRX_SANITIZE=ON -DRX_FUZZ=ON -DRX_BENCH=OFF

sanitize: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

fuzz: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	$(SANITIZER_ENV) fuzz/run_fuzzers.sh $(ASAN_BUILD) $(FUZZ_RUNS) $(FUZZ_MAX_SECONDS) $(JOBS)

# Speed next to the serial line's limit, each figure beside its target: decode and store, the
# program on a virtual display (start-up, downloads through a pseudo-terminal, View Data),
# rx7731-cli's export and plot of 100,000 records.
bench: build
	$(BUILD)/bin/rx_bench --benchmark_min_time=1
	$(BUILD)/bin/serial_download_bench
	$(BUILD)/bin/program_bench
	$(BUILD)/bin/view_data_bench
	$(BUILD)/bin/cli_bench

# A download from the simulated meter in the real window; on a machine without a display it runs
# on Xvfb by itself and saves a screenshot.
demo: build
	tools/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
