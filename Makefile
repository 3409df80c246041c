# The front door: `make run` shows vexo on the simulated device, `make check` runs every test.
SHELL := /bin/bash
JOBS ?= 2
SCREENSHOTS ?= build/screenshots

.PHONY: all deps build run check check-sim check-asan check-tsan configure-win32 clean

all: build

deps:
	@tools/build/install-deps.sh

build: deps
	@cmake --preset sim >/dev/null
	@cmake --build --preset sim -j $(JOBS)

run: build
	@mkdir -p $(SCREENSHOTS)
	@for dpi in 96 192; do build/sim/tools/vexo-sim --dpi $$dpi --out $(SCREENSHOTS) || exit 1; done

check: deps check-sim check-asan check-tsan configure-win32

check-sim:
	@cmake --preset sim >/dev/null
	@cmake --build --preset sim -j $(JOBS)
	@ctest --preset sim

check-asan:
	@cmake --preset sim-asan >/dev/null
	@cmake --build --preset sim-asan -j $(JOBS)
	@ctest --preset sim-asan

check-tsan:
	@cmake --preset sim-tsan >/dev/null
	@cmake --build --preset sim-tsan -j $(JOBS)
	@ctest --preset sim-tsan

configure-win32:
	@cmake --preset win32 >/dev/null

clean:
	rm -rf build
