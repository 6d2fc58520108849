# The two commands for a newcomer: `make demo` and `make test`. Both do their own set-up.
TARGETS := i686 x86_64
BUILD_TYPE ?= Release

.PHONY: all setup build test demo clean $(TARGETS)

all: build

setup:
	bash scripts/setup.sh

build: setup
	@for t in $(TARGETS); do \
	    cmake -S . -B build/$$t -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$$t.cmake >/dev/null || exit 1; \
	    echo "[build] $$t"; \
	    cmake --build build/$$t || exit 1; \
	done

# Only the 32-bit shipping binaries.
i686 x86_64: setup
	cmake -S . -B build/$@ -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$@.cmake
	cmake --build build/$@

test: build
	bash scripts/check_deliverables.sh
	bash scripts/run_tests.sh

demo: build
	bash scripts/demo.sh

clean:
	rm -rf build/i686 build/x86_64 build/demo
