# The two commands for a newcomer: `make demo` and `make test`. Both do their own set-up.
# `make test` runs the suite on both builds: x86_64 under 64-bit Wine, i686 (the shipping build)
# under 32-bit Wine inside a root of its own (setup32); `make demo32` plays the demo with i686.
# `make dist` builds the shipping set of the 32-bit deliverables in build/dist/; `make bench`
# measures latencies and idle CPU on the stand-ins against the design's floors (build/bench/).
TARGETS := i686 x86_64
BUILD_TYPE ?= Release

.PHONY: all setup setup32 build test demo demo32 dist bench clean $(TARGETS) $(addprefix build-,$(TARGETS))

all: build

setup:
	bash scripts/setup.sh

# The 32-bit Wine root and its prefix template, built once under build/.
setup32: setup
	bash scripts/root32_setup.sh

build: setup
	@for t in $(TARGETS); do $(MAKE) --no-print-directory build-$$t || exit 1; done

# One target only; `make i686` builds just the 32-bit shipping binaries.
i686 x86_64: setup
	@$(MAKE) --no-print-directory build-$@

$(addprefix build-,$(TARGETS)): build-%:
	@echo "[build] $*"
	@# A build folder configured with another compiler (thread model) is started afresh. The
	@# compiler that the toolchain file names is not in the cache; CMake records it here:
	@if [ -f build/$*/CMakeCache.txt ] && ! grep -qs 'set(CMAKE_CXX_COMPILER ".*-g++-win32")' \
	        build/$*/CMakeFiles/*/CMakeCXXCompiler.cmake; then \
	    rm -rf build/$*; fi
	@# Configured every time: optional folders that appear later are found by if(EXISTS).
	@if [ -f build/$*/CMakeCache.txt ]; then cmake -S . -B build/$* >/dev/null; \
	 else cmake -S . -B build/$* -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$*.cmake >/dev/null; fi
	@cmake --build build/$*

# Both suites run; either one failing fails the target.
test: build setup32
	bash scripts/check_deliverables.sh
	@rc=0; \
	 echo "[test] x86_64 build under 64-bit Wine"; bash scripts/run_tests.sh || rc=1; \
	 echo "[test] i686 build under 32-bit Wine"; bash scripts/run_tests32.sh || rc=1; \
	 exit $$rc

# `make demo REAL=1`: the same session over the real DNS-SD pair (needs root for namespaces).
demo: build
	REAL=$(REAL) bash scripts/demo.sh

demo32: build setup32
	bash scripts/demo.sh i686

dist: i686
	bash scripts/dist.sh

bench: build
	bash scripts/bench.sh

clean:
	rm -rf build/i686 build/x86_64 build/demo build/dist build/bench
