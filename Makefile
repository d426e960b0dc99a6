# Tachymark: the two commands a new user needs.
#
#   make test   install what is missing, build every tree and run every test:
#               unit tests natively and under the sanitizers; the static
#               checks of the 32-bit release pair; the Windows tests under
#               32-bit Wine (build/win32) where this machine runs 32-bit
#               programs, and always under 64-bit Wine on a 64-bit build of
#               the same sources (build/win64); the fuzzers
#   make run    build and pack the deliverables, install them with the real
#               TACHINST.EXE into a Wine prefix posing as Windows 98 with a
#               Voodoo3 3000, and open Display Properties on the tab
#               (scripts/run.sh; without a display it saves pictures). Where
#               32-bit programs cannot run, the 64-bit test build (build/win64)
#               goes the same way under 64-bit Wine.
#   make screenshots  regenerate the pictures in docs/ from this build (the
#               same choice of build as make run)
#   make dist   build TACHPAGE.DLL and TACHINST.EXE and pack the release:
#               dist/tachymark-3.2.zip (with the read-me in English, French
#               and German), the same files as a floppy image (.img) and a
#               CD image (.iso), and dist/SHA256SUMS
#   make bench  print the release budgets: sizes (of the 32-bit release pair),
#               sheet-opening cost (in the first Wine lane this machine runs),
#               registry calls (scripts/bench.sh)
#   make check-repro  build the deliverables again in a second tree and check
#               that the package comes out byte for byte the same
#
# Lanes: scripts/lanes.sh tells which Wine lanes this machine runs, and why
# not win32 (the kernel refuses 32-bit programs, or 32-bit Wine is missing);
# TACHY_LANES=win64 forces the 64-bit lane alone on any machine.
# The manual: README.md and docs/ (lanes and stages in docs/testing.md).

SHELL := /bin/bash
JOBS ?= 2
ROOT := $(abspath $(dir $(lastword $(MAKEFILE_LIST))))
NATIVE := $(ROOT)/build/native
ASAN := $(ROOT)/build/native-asan
WIN32 := $(ROOT)/build/win32
WIN64 := $(ROOT)/build/win64
DIST := $(ROOT)/dist
VERSION := $(shell sed -n 's/^project.tachymark VERSION \([0-9]*\.[0-9]*\).*/\1/p' $(ROOT)/CMakeLists.txt)
ZIP := $(DIST)/tachymark-$(VERSION).zip
# The first Wine lane this machine runs, win32 else win64, and why not win32
# (scripts/lanes.sh): set in the recipes of the targets that run Windows
# programs, so that an error in deciding stops them.
FIRST_LANE = lane="$$($(ROOT)/scripts/lanes.sh)" || exit 1; lane="$${lane%% *}"
NOT_EXECUTED = the 32-bit release pair (TACHPAGE.DLL, TACHINST.EXE) is not executed
# Where 32-bit programs run only under QEMU user mode: "$$emu" holds
# lanes.sh --emulated, empty when they run natively.
EMULATED = emu="$$($(ROOT)/scripts/lanes.sh --emulated)"
RUNS_EMULATED = the 32-bit release pair (TACHPAGE.DLL, TACHINST.EXE) runs $$emu, its Wine time-outs $$($(ROOT)/scripts/lanes.sh --time-factor) times as long

.PHONY: all test run dist setup native native-asan win32 win64 release \
        test-native test-native-asan test-release test-win32 test-win64 clean \
        fuzz bench check-repro screenshots run-lane

all: native win32 win64

# Sub-makes of `make test` pass SETUP= : set-up runs once.
SETUP ?= setup
setup:
	@$(ROOT)/scripts/setup.sh

native: $(SETUP)
	cmake --preset native -S $(ROOT) >/dev/null
	cmake --build $(NATIVE) -j$(JOBS)

native-asan: $(SETUP)
	cmake --preset native-asan -S $(ROOT) >/dev/null
	cmake --build $(ASAN) -j$(JOBS)

win32: $(SETUP)
	cmake --preset win32 -S $(ROOT) >/dev/null
	cmake --build $(WIN32) -j$(JOBS)

win64: $(SETUP)
	cmake --preset win64 -S $(ROOT) >/dev/null
	cmake --build $(WIN64) -j$(JOBS)

# The release pair and what its static checks need (no Wine).
release: $(SETUP)
	cmake --preset win32 -S $(ROOT) >/dev/null
	cmake --build $(WIN32) -j$(JOBS) --target tachpage tachinst cpu_no_floor

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test-native-asan: native-asan
	ctest --test-dir $(ASAN) --output-on-failure -j$(JOBS)

# The static checks of the 32-bit release pair: imports, exports, PE
# headers, no constructors, reproducibility (label release of the win32
# tree). They run on every machine.
test-release: release
	ctest --test-dir $(WIN32) --output-on-failure -j$(JOBS) -L release

# The Wine lanes: every Windows test of the tree but the static ones.
test-win32: win32
	$(ROOT)/scripts/test-wine.sh $(WIN32) -LE release

test-win64: win64
	$(ROOT)/scripts/test-wine.sh $(WIN64)

# Every stage runs even when an earlier one fails. The last lines name each
# stage (each Wine lane among them) as passed, failed or not run, with its
# time; a lane the machine cannot run is not a failure, the win64 lane
# always runs. Where both lanes run, one lane's matrix poses as all eight
# Windows versions and the other's as the three whose whole registry it
# compares (98, NT 4, 2000), to keep within the time: all eight in the
# win32 lane, or in the win64 lane where the win32 lane runs emulated.
test: setup
	@start=$$(date +%s); lanes="$$($(ROOT)/scripts/lanes.sh)" || exit 1; \
	summary=""; passed=0; failed=0; skipped=0; \
	stage() { local name="$$1" t0=$$(date +%s) verdict; shift; \
	  if "$$@"; then verdict=passed; passed=$$((passed + 1)); \
	  else verdict=FAILED; failed=$$((failed + 1)); fi; \
	  summary="$$summary$$(printf '\nmake test: %-12s %s (%d s)' "$$name" "$$verdict" $$(( $$(date +%s) - t0 )))"; }; \
	sub() { $(MAKE) --no-print-directory SETUP= "$$@"; }; \
	stage native sub test-native; \
	stage native-asan sub test-native-asan; \
	stage release sub test-release; \
	three="win98 nt40 win2k"; $(EMULATED); \
	if [[ " $$lanes " == *" win32 "* ]]; then MATRIX_VERSIONS="$${emu:+$$three}" stage win32-lane sub test-win32; \
	else skipped=1; summary="$$summary$$(printf '\nmake test: %-12s not run: %s' win32-lane \
	  "$$($(ROOT)/scripts/lanes.sh --why)")"; \
	  summary="$$summary"$$'\n'"make test: in this run $(NOT_EXECUTED)"; fi; \
	[ -z "$$emu" ] || summary="$$summary"$$'\n'"make test: in this run $(RUNS_EMULATED)"; \
	if [[ " $$lanes " == *" win32 "* ]] && [ -z "$$emu" ]; then \
	  MATRIX_VERSIONS="$$three" stage win64-lane sub test-win64; \
	else stage win64-lane sub test-win64; fi; \
	stage fuzz $(ROOT)/scripts/fuzz.sh --short; \
	echo; echo "make test: stages and lanes$$summary"; \
	echo "make test: $$(( $$(date +%s) - start )) s"; \
	echo "stages: $$passed passed, $$failed failed, $$skipped skipped"; \
	[ $$failed -eq 0 ]

# libFuzzer targets, each FUZZ_SECONDS (default 300) from its seed corpus.
fuzz: setup
	$(ROOT)/scripts/fuzz.sh

dist: $(SETUP)
	cmake --preset win32 -S $(ROOT) >/dev/null
	cmake --build $(WIN32) -j$(JOBS) --target tachpage tachinst
	$(ROOT)/scripts/dist.sh $(WIN32) $(DIST)

# Sizes from the release pair, registry calls from the native build, the
# sheet's cost from the lane this machine runs.
bench: native release
	@$(FIRST_LANE); $(EMULATED); tree=$(WIN32); \
	if [ $$lane = win64 ]; then echo "make bench: $$($(ROOT)/scripts/lanes.sh --why), so the sheet is timed on the 64-bit test build (build/win64): $(NOT_EXECUTED)."; \
	elif [ -n "$$emu" ]; then echo "make bench: $(RUNS_EMULATED); QEMU slows some steps more than others, so its ratios cannot be held to budgets measured natively: the sheet is timed on the 64-bit test build (build/win64) under 64-bit Wine, which runs natively."; fi; \
	if [ $$lane = win64 ] || [ -n "$$emu" ]; then tree=$(WIN64); cmake --preset win64 -S $(ROOT) >/dev/null || exit 1; fi; \
	cmake --build $$tree -j$(JOBS) --target tachpage sheetbench && \
	$(ROOT)/scripts/bench.sh $(WIN32) $(NATIVE) $$tree

check-repro: win32
	$(ROOT)/scripts/check-repro.sh $(WIN32)

run: setup
	@$(FIRST_LANE); $(MAKE) --no-print-directory run-lane LANE=$$lane RUN_WHAT=run RUN_ARGS=

screenshots: setup
	@$(FIRST_LANE); $(MAKE) --no-print-directory run-lane LANE=$$lane RUN_WHAT=screenshots \
	  RUN_ARGS="--docs $(ROOT)/docs"

# The release pair from dist/ under 32-bit Wine; where that cannot run, the
# 64-bit test build packed beside it (never into dist/) under 64-bit Wine.
run-lane:
	@if [ "$(LANE)" = win64 ]; then echo "make $(RUN_WHAT): $$($(ROOT)/scripts/lanes.sh --why), so this runs the 64-bit test build of the same sources (build/win64): $(NOT_EXECUTED)."; \
	else $(EMULATED); [ -z "$$emu" ] || echo "make $(RUN_WHAT): $(RUNS_EMULATED)."; fi
	@$(ROOT)/scripts/run.sh --check $(if $(RUN_ARGS),docs)
	@if [ "$(LANE)" = win64 ]; then \
	  cmake --preset win64 -S $(ROOT) >/dev/null && \
	  cmake --build $(WIN64) -j$(JOBS) --target tachpage tachinst standin rundriver && \
	  $(ROOT)/scripts/dist.sh --test-build $(WIN64) $(WIN64)/run/pkg && \
	  $(ROOT)/scripts/run.sh $(RUN_ARGS) $(WIN64) $(WIN64)/run/pkg/tachymark-$(VERSION).zip; \
	else \
	  $(MAKE) --no-print-directory SETUP= dist && \
	  $(ROOT)/scripts/run.sh $(RUN_ARGS) $(WIN32) $(ZIP); \
	fi

clean:
	-for p in $(WIN32)/wineprefix* $(WIN64)/wineprefix*; do [ -d "$$p" ] && WINEPREFIX="$$p" wineserver -k; done
	rm -rf $(NATIVE) $(ASAN) $(WIN32) $(WIN64) $(DIST) $(ROOT)/build/wineprefix-win*
