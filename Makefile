# Set-up and everyday commands. Each target installs the Debian packages it needs when missing.
SHELL := /bin/bash
.DEFAULT_GOAL := test

RUN_PACKAGES  := cmake ninja-build g++ make qt6-base-dev qt6-svg-dev qt6-qpa-plugins help2man libgtest-dev \
                 libboost-math-dev \
                 fonts-ipafont-gothic fonts-dejavu-core
TEST_PACKAGES := $(RUN_PACKAGES) libgtest-dev xvfb xauth xdotool clang libclang-rt-14-dev clang-format \
                 desktop-file-utils bash-completion
# dpkg-shlibdeps (dpkg-dev) declares the package's dependencies; it asks `file` which files
# are programs.
PACKAGE_PACKAGES := $(RUN_PACKAGES) dpkg-dev file
BENCH_PACKAGES := $(RUN_PACKAGES) libbenchmark-dev python3-numpy
FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)

define install_missing
	@missing=$$(for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi
endef

.PHONY: run build test test-dev test-asan fuzz bench deps-run deps-test deps-bench install screenshot \
	format format-check package deps-package

deps-run:
	$(call install_missing,$(RUN_PACKAGES))
deps-test:
	$(call install_missing,$(TEST_PACKAGES))
deps-bench:
	$(call install_missing,$(BENCH_PACKAGES))
deps-package:
	$(call install_missing,$(PACKAGE_PACKAGES))

build: deps-run
	cmake --preset release >/dev/null
	cmake --build build/release -j $(JOBS)

# Starts the window in examples/, so that the file chooser opens on the sample curves.
run: build
	cd examples && ../build/release/bin/mergon

# The format check and the fuzzing run go first so that the test runner's summary closes the
# output.
test: format-check fuzz test-dev test-asan

# Every C++ file as the checked-in .clang-format lays it out.
CXX_FILES = $(shell git ls-files '*.cpp' '*.h')
format-check: deps-test
	@clang-format --dry-run --Werror $(CXX_FILES) && echo "format check: every C++ file is formatted"
format: deps-test
	clang-format -i $(CXX_FILES)

test-dev: deps-test
	cmake --preset dev >/dev/null
	cmake --build build/dev -j $(JOBS)
	ctest --test-dir build/dev --output-on-failure -j $(JOBS)

test-asan: deps-test
	cmake --preset asan >/dev/null
	cmake --build build/asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir build/asan --output-on-failure -j $(JOBS)

fuzz: deps-test
	cmake --preset fuzz >/dev/null
	cmake --build build/fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run.sh build/fuzz/bin/reader_fuzzer

bench: deps-bench
	cmake --preset bench >/dev/null
	cmake --build build/bench -j $(JOBS)
	./bench/run.sh build/bench/bin

install: build
	cmake --install build/release --prefix $(or $(PREFIX),/usr/local)

# build/release/mergon_VERSION_ARCH.deb, for `apt-get install ./mergon_*.deb` on machines
# without a compiler.
package: deps-package build
	cd build/release && cpack -G DEB

# Takes docs/main-window.png with the real program under a virtual X server.
screenshot: build
	$(call install_missing,xvfb xauth xdotool imagemagick)
	PROGRAM=$(CURDIR)/build/release/bin/mergon ./docs/screenshot.sh --load
