# A thin front over CMake: the everyday commands. Build trees live in build*/.
BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX   ?= /usr/local
CMAKE    ?= cmake

.PHONY: all deps run test test-clang test-sanitize test-fltk14 test-wayland test-on-wayland \
        fuzz bench bench-fltk14 install package check-desktop screenshot clean

all: deps
	$(CMAKE) -S . -B $(BUILD) -DNORVIK_WERROR=ON
	$(CMAKE) --build $(BUILD) -j $(JOBS)

deps:
	@scripts/install-deps

# Builds the program only (a first run takes seconds); the tests are make test's.
run: deps
	$(CMAKE) -S . -B $(BUILD) -DNORVIK_WERROR=ON
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target norvik
	@if [ -z "$$DISPLAY" ]; then \
	  echo "make run: no X display (DISPLAY is not set); start norvik from a desktop session," \
	       "or run 'make test', which brings its own X server" >&2; exit 1; fi
	$(BUILD)/norvik

# Warnings are errors; GUI tests start their own Xvfb. (The Wayland runs are test-wayland's.)
test: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE wayland

# The same suite built with clang++.
test-clang:
	@scripts/install-deps clang
	CXX=clang++ $(CMAKE) -S . -B build-clang -DNORVIK_WERROR=ON
	$(CMAKE) --build build-clang -j $(JOBS)
	cd build-clang && ctest --output-on-failure -j $(JOBS) -LE wayland

# AddressSanitizer + UndefinedBehaviorSanitizer (with LeakSanitizer).
test-sanitize: deps
	$(CMAKE) -S . -B build-sanitize -DNORVIK_WERROR=ON -DNORVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	$(CMAKE) --build build-sanitize -j $(JOBS)
	cd build-sanitize && ctest --output-on-failure -j $(JOBS) -LE wayland

# The paste parser under libFuzzer for FUZZ_SECONDS, from the seed corpus in the repo
# (copied, so that the run's finds stay out of the checkout).
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps clang libclang-rt-dev
	CXX=clang++ $(CMAKE) -S . -B build-fuzz -DNORVIK_WERROR=ON -DNORVIK_FUZZ=ON \
	  -DNORVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	$(CMAKE) --build build-fuzz -j $(JOBS) --target paste_fuzz
	rm -rf build-fuzz/corpus && cp -r tests/fuzz/paste-corpus build-fuzz/corpus
	build-fuzz/tests/paste_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=256 \
	  -print_final_stats=1 build-fuzz/corpus

# The whole suite against FLTK 1.4 in a Debian 13 root (needs root).
test-fltk14:
	scripts/debian13 test

# The GUI tests against FLTK 1.4 natively on Wayland, under a headless sway, in the same
# root (needs root).
test-wayland:
	scripts/debian13 test-on-wayland

# Inside that root: the Wayland runs of the GUI tests; there must be some.
test-on-wayland: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L wayland --no-tests=error

# norvik against the least an FLTK program of its shape costs; prints a table of medians.
bench: deps
	$(CMAKE) -S . -B build-bench -DNORVIK_WERROR=ON -DNORVIK_TESTS=OFF -DNORVIK_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS)
	build-bench/bench/norvik-bench --norvik build-bench/norvik --floor build-bench/bench/norvik-floor

# The same benchmark against FLTK 1.4, in the Debian 13 root (needs root).
bench-fltk14:
	scripts/debian13 bench

install: all
	$(CMAKE) --install $(BUILD) --prefix $(PREFIX)

# A Debian package in build-package/, dependencies from dpkg-shlibdeps.
package:
	@scripts/install-deps dpkg-dev file
	$(CMAKE) -S . -B build-package -DNORVIK_TESTS=OFF -DNORVIK_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
	  "-DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now"
	$(CMAKE) --build build-package -j $(JOBS)
	cd build-package && cpack

# The installed tree, desktop entry, metadata, manual page and package, checked by the
# distribution's own validators.
check-desktop: package
	@scripts/install-deps desktop-file-utils appstream mandoc lintian man-db groff-base
	scripts/check-desktop

# docs/screenshot.png, made by the program itself under Xvfb.
screenshot: all
	@scripts/install-deps libpng-dev
	$(CMAKE) -S . -B $(BUILD) -DNORVIK_SCREENSHOT=ON
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target norvik-screenshot
	mkdir -p docs
	$(BUILD)/tests/norvik-screenshot $(BUILD)/norvik docs/screenshot.png

clean:
	rm -rf build build-clang build-sanitize build-bench build-package build-fuzz
