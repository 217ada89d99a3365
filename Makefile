# Thin wrapper around CMake. `make test` is what CI runs.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

# What `make demo` builds and runs: RX7731 and meter-sim, on Xvfb where there is no display.
# libxlsxwriter links with -lz, which libxlsxwriter-dev does not bring.
DEMO_PACKAGES = cmake g++ make pkg-config ccache qt6-base-dev qt6-serialport-dev qt6-charts-dev \
  libqt6opengl6-dev qt6-svg-dev libcli11-dev nlohmann-json3-dev libxlsxwriter-dev zlib1g-dev xvfb \
  xauth xdotool x11-utils imagemagick fonts-liberation2
# What the whole Linux build, its tests, packages and benchmarks, and the sanitizer build use.
DEB_PACKAGES = $(DEMO_PACKAGES) libgtest-dev libgmock-dev libbenchmark-dev clang \
  libclang-rt-14-dev librsvg2-bin help2man dpkg-dev fakeroot desktop-file-utils appstream lintian \
  man-db util-linux python3 python3-openpyxl libreoffice-calc-nogui locales poppler-utils \
  cmark-gfm

# The compiler cache (ccache) is found by CMake at each configure; its paths are taken relative
# to the clone, so that another clone's build hits the same cache.
export CCACHE_BASEDIR ?= $(CURDIR)

# The Windows cross-build: MinGW-w64, GoogleTest's sources to build with it, zlib for the
# libxlsxwriter built from ../shared/libxlsxwriter, debootstrap for the Debian 13 root whose
# Wine 10 runs its tests (tools/wine10-root.sh), NSIS for the installer.
WINDOWS_DEB_PACKAGES = cmake make g++-mingw-w64-x86-64-posix googletest qt6-base-dev \
  qt6-base-dev-tools librsvg2-bin imagemagick fonts-liberation2 xclip libz-mingw-w64-dev \
  debootstrap util-linux nsis python3 cmark-gfm

.PHONY: deps deps-demo deps-windows deps-all wine10-root configure build test test-native \
  check-windows package-windows sanitize demo bench fuzz package clean FORCE

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

deps-demo:
	$(call install_missing,$(DEMO_PACKAGES))

deps-windows:
	$(call install_missing,$(WINDOWS_DEB_PACKAGES))

# Every package of every build and test, in one step.
deps-all:
	$(call install_missing,$(sort $(DEB_PACKAGES) $(WINDOWS_DEB_PACKAGES)))

# Wine 10 in a Debian 13 root kept outside the clone (tools/wine10-root.sh --path says where), made
# once for every clone on the machine; every Windows test runs it through tools/wine10-run.sh.
wine10-root: deps-windows
	tools/wine10-root.sh

# Configured at every build, so that what was installed since (ccache, a test's tool) is found.
configure: deps
	cmake -S . -B $(BUILD) -DRX_TESTS=ON -DRX_BENCH=ON -DRX_PACKAGING=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Every package first, then every build folder: no test is left out, or skipped, for a tool that
# came later. Under RX_EVERY_TEST_RUNS=1 a skipped test fails. The Debian 13 root for Wine is
# made while the Linux build compiles.
test:
	$(MAKE) deps-all
	@tools/wine10-root.sh > $(BUILD)-wine10-root.log 2>&1 & root=$$!; \
	  $(MAKE) build; built=$$?; \
	  wait $$root; made=$$?; cat $(BUILD)-wine10-root.log; \
	  [ $$built = 0 ] && [ $$made = 0 ]
	RX_EVERY_TEST_RUNS=1 $(MAKE) test-native
	RX_EVERY_TEST_RUNS=1 $(MAKE) check-windows
	RX_EVERY_TEST_RUNS=1 $(MAKE) sanitize

test-native: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --no-tests=error --output-on-failure -j $(JOBS) \
	  -LE wine

# The Debian package and the portable folder: build/rx7731_<version>_<arch>.deb and
# build/rx7731-<version>-Linux.tar.gz. `make test` checks them (the tests labelled "package").
package: build
	cd $(BUILD) && cpack

# The Windows build, cross-built with MinGW-w64 and tested under Wine (in a Wine prefix inside the
# build folder). With Qt for Windows (RX_QT_WINDOWS: by default the archive in
# ../shared/qt6-windows unpacked into the build folder) it builds RX7731.exe, rx7731-cli.exe and
# their tests; without it, the plain C++ core and its tests, saying why in one line.
# Release, as a Windows program ships: a third less compiling than with debug information.
WINDOWS_BUILD ?= build-windows
QT_WINDOWS_ARCHIVE ?= $(CURDIR)/../shared/qt6-windows/qt6.4.2-mingw-w64-x86_64.tar.xz
RX_QT_WINDOWS ?= $(CURDIR)/$(WINDOWS_BUILD)/qt6-mingw

NO_QT_WINDOWS = check-windows: no Qt for Windows at $(RX_QT_WINDOWS) (nor $(QT_WINDOWS_ARCHIVE)): \
  building and testing the plain C++ core only, not RX7731.exe or rx7731-cli.exe

# Configured again each time, as build/ is.
$(WINDOWS_BUILD)/CMakeCache.txt: FORCE
	@if [ ! -d "$(RX_QT_WINDOWS)" ] && [ -f "$(QT_WINDOWS_ARCHIVE)" ] \
	  && [ "$(RX_QT_WINDOWS)" = "$(CURDIR)/$(WINDOWS_BUILD)/qt6-mingw" ]; then \
	  mkdir -p $(WINDOWS_BUILD) && tar -C $(WINDOWS_BUILD) -xJf "$(QT_WINDOWS_ARCHIVE)"; fi
	@if [ -f "$(RX_QT_WINDOWS)/lib/cmake/Qt6/qt.toolchain.cmake" ]; then \
	  cmake -S . -B $(WINDOWS_BUILD) -DRX_QT_WINDOWS=$(RX_QT_WINDOWS) \
	    -DCMAKE_TOOLCHAIN_FILE=$(RX_QT_WINDOWS)/lib/cmake/Qt6/qt.toolchain.cmake \
	    -DQT_CHAINLOAD_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	    -DRX_GUI=ON -DRX_BENCH=OFF -DCMAKE_BUILD_TYPE=Release; \
	else \
	  echo "$(NO_QT_WINDOWS)"; \
	  cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	    -DRX_GUI=OFF -DRX_BENCH=OFF -DCMAKE_BUILD_TYPE=Release; \
	fi

# The tests labelled "wine" live in the Linux build: they run the Windows programs under Wine on
# a virtual display, beside the Linux build's simulator and programs; they are there whether or
# not the Windows build was when `build/` was configured, and fail where they cannot run Wine 10.
# With Qt for Windows it also builds the packages, which the wine test of the packages installs.
check-windows: deps-windows build wine10-root $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cd $(WINDOWS_BUILD) && ctest --no-tests=error --output-on-failure -j $(JOBS)
	if [ -f $(WINDOWS_BUILD)/CPackConfig.cmake ]; then cd $(WINDOWS_BUILD) && cpack; fi
	@if [ -f $(WINDOWS_BUILD)/CPackConfig.cmake ]; then \
	  cd $(BUILD) && ctest --no-tests=error --output-on-failure -L wine; \
	else echo "$(NO_QT_WINDOWS); the wine tests of RX7731.exe and rx7731-cli.exe are left out"; fi

# The Windows installer and portable zip, from the Windows build with Qt for Windows:
# $(WINDOWS_BUILD)/RX7731-<version>-win64-setup.exe (NSIS, 64-bit) and RX7731-<version>-win64.zip.
package-windows: deps-windows $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	@if [ ! -f $(WINDOWS_BUILD)/CPackConfig.cmake ]; then \
	  echo "package-windows: $(WINDOWS_BUILD) is built without Qt for Windows (RX_QT_WINDOWS):" \
	    "it has no RX7731.exe to package"; exit 1; fi
	cd $(WINDOWS_BUILD) && cpack

# A second build with clang, AddressSanitizer and UndefinedBehaviorSanitizer, which also builds
# the fuzz targets. `make sanitize` (run by `make test`) runs its whole test suite, with a short
# run of each fuzz target; `make fuzz` runs each target for FUZZ_RUNS executions.
ASAN_BUILD ?= build-asan
FUZZ_RUNS ?= 10000000
FUZZ_MAX_SECONDS ?= 0
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

$(ASAN_BUILD)/CMakeCache.txt: FORCE
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -DRX_SANITIZE=ON -DRX_FUZZ=ON -DRX_BENCH=OFF

sanitize: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen \
	  ctest --no-tests=error --output-on-failure -j $(JOBS)

fuzz: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	$(SANITIZER_ENV) fuzz/run_fuzzers.sh $(ASAN_BUILD) $(FUZZ_RUNS) $(FUZZ_MAX_SECONDS) $(JOBS)

# Speed next to the serial line's limit, each figure beside its target: decode and store, the
# program on a virtual display (start-up, downloads through a pseudo-terminal, View Data),
# rx7731-cli's export, plot, stats and report of 10,000 to 1,000,000 records. With
# REPORT_BASELINE=path/to/an/earlier/rx7731-cli, the report of 100,000 records by both builds,
# run by run in turn.
bench: build
	$(BUILD)/bin/rx_bench --benchmark_min_time=1
	$(BUILD)/bin/serial_download_bench
	$(BUILD)/bin/program_bench
	$(BUILD)/bin/view_data_bench
	$(BUILD)/bin/cli_bench $(if $(REPORT_BASELINE),--compare $(REPORT_BASELINE))

# A download from the simulated meter in the real window; on a machine without a display it runs
# on Xvfb by itself and saves a screenshot. It builds only what it runs (RX7731 with unit2.dat
# beside it, and meter-sim), not the tests.
demo: deps-demo
	@if [ -f $(BUILD)/CMakeCache.txt ]; then cmake -S . -B $(BUILD) $(CMAKE_FLAGS); else \
	  cmake -S . -B $(BUILD) -DRX_TESTS=OFF -DRX_BENCH=OFF -DRX_PACKAGING=OFF $(CMAKE_FLAGS); fi
	cmake --build $(BUILD) -j $(JOBS) --target RX7731 meter-sim
	tools/demo.sh $(BUILD)

FORCE:

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
