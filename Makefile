# The front door: `make run` shows vexo on the simulated device, `make check` runs every test.
SHELL := /bin/bash
JOBS ?= 2
SCREENSHOTS ?= build/screenshots

.PHONY: all deps build run gallery check check-sim check-asan check-tsan check-fuzz check-win32 package \
        clean references soak fuzz-long bench

all: build

deps:
	@tools/build/install-deps.sh

build: deps
	@cmake --preset sim >/dev/null
	@cmake --build --preset sim -j $(JOBS)

# The simulated handheld in a window; without a display, the demo session played headless.
# RUN_ARGS go to the app (e.g. RUN_ARGS="--dpi 192 --os 5.2"; see build/sim/tools/vexo-sim --help).
DEMO := tools/simulator/demo.session
SIM := build/sim/tools/vexo-sim
run: build
	@$(SIM) $(RUN_ARGS); rc=$$?; \
	if [ $$rc -eq 3 ]; then \
	  mkdir -p $(SCREENSHOTS) && $(SIM) --headless --script $(DEMO) --out $(SCREENSHOTS) $(RUN_ARGS) && \
	  echo "the demo session's screenshots are in $(SCREENSHOTS)"; \
	else exit $$rc; fi

# The README's gallery: the demo session at 96 and 192 DPI, put on one sheet each.
GALLERY_SHOTS := 1-ok-button 2-close-button 3-task-menu 4-switcher 5-turned 6-after-gesture
gallery: build
	@for dpi in 96 192; do rm -rf build/gallery-$$dpi && \
	  $(SIM) --headless --dpi $$dpi --os 5.2 --script $(DEMO) --out build/gallery-$$dpi >/dev/null && \
	  build/sim/tools/contact-sheet docs/gallery-$$dpi.png \
	    $(foreach shot,$(GALLERY_SHOTS),1:build/gallery-$$dpi/$(shot).png) || exit 1; done

check: deps check-sim check-asan check-tsan check-fuzz check-win32 package

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

# The language file parser and the settings under libFuzzer, FUZZ_SECONDS each (20 by default).
check-fuzz:
	@tools/build/fuzz.sh

# The same targets for an hour each, one after the other.
fuzz-long:
	@FUZZ_SECONDS=3600 tools/build/fuzz.sh

# The desktop build, run under Wine against a real Win32, and the checks of its sizes.
check-win32:
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)
	@ctest --preset win32 -L 'wine|size'

# A day of the device's time (172,800 watch ticks) with the program under use, then a device
# crowded with windows and hung programs; fails when anything the program holds creeps up.
soak: build
	@build/sim/tests/soak/vexo-soak
	@build/sim/tests/soak/vexo-soak --crowd

# The program's own instructions and GDI calls for its everyday work, against docs/bench.txt
# (BENCH_UPDATE=1 rewrites it).
bench: build
	@tools/bench/run.sh

# The installation cabinet from the desktop build, read back and checked against the binaries
# it carries. Desktop binaries are x86-64, which the cabinet says (8664), so a handheld's
# installer refuses it; a device build puts its own binaries through the same step.
PACKAGE := build/package/Vexo.cab
WIN32_VEXO := build/win32/tools/vexo.exe
WIN32_SETUP := build/win32/setup/setup.dll
package: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)
	@cmake --preset sim >/dev/null
	@cmake --build --preset sim -j $(JOBS) --target cab-check
	@packaging/make_cab.py --vexo $(WIN32_VEXO) --setup $(WIN32_SETUP) --out $(PACKAGE)
	@build/sim/tools/cab-check $(PACKAGE) --architecture 8664 \
	  --file vexo.exe=$(WIN32_VEXO) --setup $(WIN32_SETUP)

clean:
	rm -rf build

# Rewrites the reviewed face and menu images from the current painting, then the contact sheets.
FACES := tests/data/faces
MENUS := tests/data/menu
MENU_CASES := Defaults DeviceCommands Compact LongTitle MenuColors
references: build
	@cd build/sim && VEXO_UPDATE_REFERENCES=1 ctest -L image --output-on-failure
	@build/sim/tools/contact-sheet docs/faces.png \
	  4:$(FACES)/Other96.png 4:$(FACES)/Ce4At96.png 4:$(FACES)/Ce5At96.png 4:$(FACES)/Ce52At96.png
	@build/sim/tools/contact-sheet docs/faces-192.png \
	  2:$(FACES)/Other192.png 2:$(FACES)/Ce4At192.png 2:$(FACES)/Ce5At192.png 2:$(FACES)/Ce52At192.png
	@for dpi in 96 192; do build/sim/tools/contact-sheet docs/menu-$$dpi.png \
	  $(foreach case,$(MENU_CASES),1:$(MENUS)/$(case)At$$dpi.png) || exit 1; done
