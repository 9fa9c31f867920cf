# A thin front over CMake: the everyday commands. Build trees live in build*/.
BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX   ?= /usr/local
CMAKE    ?= cmake
# Extra CMake settings; the Debian 13 root's lanes ask for FLTK 1.4 through it.
CMAKE_FLAGS ?=
CONFIGURE = $(CMAKE) -DNORVIK_WERROR=ON $(CMAKE_FLAGS)

.PHONY: all deps run test test-clang test-sanitize test-fltk14 test-wayland fuzz bench \
        bench-fltk14 install package check-desktop screenshot clean

all: deps
	$(CONFIGURE) -S . -B $(BUILD)
	$(CMAKE) --build $(BUILD) -j $(JOBS)

deps:
	@scripts/install-deps

# Builds the program only (a first run takes seconds); the tests are make test's.
run: deps
	$(CONFIGURE) -S . -B $(BUILD)
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target norvik
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start norvik" \
	       "from a desktop session, or run 'make test', which brings its own X server" >&2; \
	  exit 1; fi
	$(BUILD)/norvik

# Warnings are errors; GUI tests start their own Xvfb. (The Wayland runs are test-wayland's.)
test: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE wayland

# The same suite built with clang++.
test-clang:
	@scripts/install-deps clang
	CXX=clang++ $(CONFIGURE) -S . -B build-clang
	$(CMAKE) --build build-clang -j $(JOBS)
	cd build-clang && ctest --output-on-failure -j $(JOBS) -LE wayland

# AddressSanitizer + UndefinedBehaviorSanitizer (with LeakSanitizer).
test-sanitize: deps
	$(CONFIGURE) -S . -B build-sanitize -DNORVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	$(CMAKE) --build build-sanitize -j $(JOBS)
	cd build-sanitize && ctest --output-on-failure -j $(JOBS) -LE wayland

# The paste parser and the accessibility status reader under libFuzzer for FUZZ_SECONDS
# each, from the seed corpora in the repo (copied, so that the run's finds stay out of the
# checkout).
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps clang libclang-rt-dev
	CXX=clang++ $(CONFIGURE) -S . -B build-fuzz -DNORVIK_FUZZ=ON -DNORVIK_SANITIZE=ON \
	  -DCMAKE_BUILD_TYPE=Debug
	$(CMAKE) --build build-fuzz -j $(JOBS) --target paste_fuzz status_fuzz
	for f in paste:256 status:4096; do name=$${f%%:*}; \
	  rm -rf build-fuzz/$$name-corpus && cp -r tests/fuzz/$$name-corpus build-fuzz/ && \
	  build-fuzz/tests/$${name}_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=$${f#*:} \
	    -print_final_stats=1 build-fuzz/$$name-corpus || exit 1; done

# norvik against the least an FLTK program of its shape costs; prints a table of medians.
# BENCH_FLOOR=build-bench/norvik-no-font-thread measures norvik against itself without the
# font thread instead, BENCH_NORVIK=build-bench/norvik-no-font-thread that one against the
# floor.
BENCH_NORVIK ?= build-bench/norvik
BENCH_FLOOR ?= build-bench/bench/norvik-floor
bench: deps
	$(CONFIGURE) -S . -B build-bench -DNORVIK_TESTS=OFF -DNORVIK_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS) --target all norvik-no-font-thread
	build-bench/bench/norvik-bench --norvik $(BENCH_NORVIK) --floor $(BENCH_FLOOR) $(BENCH_ARGS)

# Builds and installs the program and its desktop files, not the tests.
install: deps
	$(CONFIGURE) -S . -B $(BUILD)
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target norvik compressed_docs
	$(CMAKE) --install $(BUILD) --prefix $(PREFIX)

# A Debian package in build-package/, dependencies from dpkg-shlibdeps. Installed under
# /usr, the accessibility module goes to the multiarch library folder, as Debian has it.
package:
	@scripts/install-deps dpkg-dev file
	$(CONFIGURE) -S . -B build-package -DNORVIK_TESTS=OFF -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_INSTALL_PREFIX=/usr \
	  "-DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now" \
	  "-DCMAKE_MODULE_LINKER_FLAGS=-Wl,-z,relro,-z,now"
	$(CMAKE) --build build-package -j $(JOBS)
	cd build-package && cpack

# docs/screenshot.png, made by the program itself under Xvfb.
screenshot: deps
	@scripts/install-deps libpng-dev
	$(CONFIGURE) -S . -B build-screenshot -DNORVIK_TESTS=OFF -DNORVIK_SCREENSHOT=ON
	$(CMAKE) --build build-screenshot -j $(JOBS)
	mkdir -p docs
	build-screenshot/tests/norvik-screenshot build-screenshot/norvik docs/screenshot.png

# The lanes that run in a Debian 13 root (needs root): FLTK 1.4 on X11 and on Wayland, its
# benchmark, and the installed package. scripts/debian13 runs the same target in there,
# where NORVIK_IN_ROOT is set, and nothing of it touches this machine's /usr.
ifdef NORVIK_IN_ROOT
test-fltk14: test
bench-fltk14: bench
# The GUI and program tests natively on Wayland, under a headless sway; there must be some.
test-wayland: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L wayland --no-tests=error
# The installed tree, desktop entry, metadata, manual page and package, checked by the
# distribution's own validators, and the package installed and removed.
check-desktop: package
	scripts/check-desktop
else
test-fltk14 test-wayland bench-fltk14 check-desktop:
	scripts/debian13 $@
endif

clean:
	rm -rf build build-clang build-sanitize build-bench build-package build-fuzz build-screenshot
