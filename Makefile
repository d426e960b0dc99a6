# Tachymark: the two commands a new user needs.
#
#   make test   install what is missing, build the native, native-asan and
#               win32 trees and run every test (unit tests natively and under
#               the sanitizers, Windows tests under 32-bit Wine, import check)
#   make run    build and pack the deliverables, install them with the real
#               TACHINST.EXE into a Wine prefix posing as Windows 98 with a
#               Voodoo3 3000, and open Display Properties on the tab
#               (scripts/run.sh; without a display it saves pictures). Where
#               32-bit programs cannot run, the 64-bit test build (build/win64)
#               goes the same way under 64-bit Wine.
#   make screenshots  regenerate the pictures in docs/ from this build (the
#               same choice of build as make run)
#   make dist   build TACHPAGE.DLL and TACHINST.EXE and pack the release:
#               dist/tachymark-3.2.zip (with README.TXT) and dist/SHA256SUMS
#   make bench  print the release budgets: sizes (of the 32-bit release pair),
#               sheet-opening cost (in the first Wine lane this machine runs),
#               registry calls (scripts/bench.sh)
#   make check-repro  build the deliverables again in a second tree and check
#               that the package comes out byte for byte the same

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
# The first Wine lane this machine runs: win32, else win64 (scripts/lanes.sh).
# Only the targets that run Windows programs ask.
LANE = $(firstword $(shell $(ROOT)/scripts/lanes.sh 2>/dev/null))
# What make run and make screenshots say first when they use the 64-bit build.
WIN64_NOTE = $(if $(filter win64,$(TACHY_LANES)),TACHY_LANES=win64 is set,this machine cannot run 32-bit programs), so this runs the 64-bit test build of the same sources (build/win64); the release is still the 32-bit pair in dist/.

.PHONY: all test run dist setup native native-asan win32 \
        test-native test-native-asan test-win32 clean fuzz bench check-repro \
        screenshots run-lane

all: native win32

setup:
	@$(ROOT)/scripts/setup.sh

native: setup
	cmake --preset native -S $(ROOT) >/dev/null
	cmake --build $(NATIVE) -j$(JOBS)

native-asan: setup
	cmake --preset native-asan -S $(ROOT) >/dev/null
	cmake --build $(ASAN) -j$(JOBS)

win32: setup
	cmake --preset win32 -S $(ROOT) >/dev/null
	cmake --build $(WIN32) -j$(JOBS)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test-native-asan: native-asan
	ctest --test-dir $(ASAN) --output-on-failure -j$(JOBS)

test-win32: win32
	$(ROOT)/scripts/test-wine.sh $(WIN32)

# Every stage runs even when an earlier one fails; the summary names the
# stages that failed.
test: setup
	@start=$$(date +%s); failed=""; \
	$(MAKE) --no-print-directory test-native || failed="$$failed test-native"; \
	$(MAKE) --no-print-directory test-native-asan || failed="$$failed test-native-asan"; \
	$(MAKE) --no-print-directory test-win32 || failed="$$failed test-win32"; \
	$(ROOT)/scripts/fuzz.sh --short || failed="$$failed fuzz"; \
	echo "make test: $$(( $$(date +%s) - start )) s"; \
	if [ -n "$$failed" ]; then echo "make test: FAILED:$$failed"; exit 1; fi; \
	echo "make test: all stages passed"

# libFuzzer targets, each FUZZ_SECONDS (default 300) from its seed corpus.
fuzz: setup
	$(ROOT)/scripts/fuzz.sh

dist: setup
	cmake --preset win32 -S $(ROOT) >/dev/null
	cmake --build $(WIN32) -j$(JOBS) --target tachpage tachinst
	$(ROOT)/scripts/dist.sh $(WIN32) $(DIST)

# Sizes from the release pair, registry calls from the native build, the
# sheet's cost from the lane this machine runs.
bench: native win32
	@if [ "$(LANE)" = win64 ]; then \
	  cmake --preset win64 -S $(ROOT) >/dev/null && \
	  cmake --build $(WIN64) -j$(JOBS) --target tachpage sheetbench && \
	  $(ROOT)/scripts/bench.sh $(WIN32) $(NATIVE) $(WIN64); \
	else \
	  $(ROOT)/scripts/bench.sh $(WIN32) $(NATIVE) $(WIN32); \
	fi

check-repro: win32
	$(ROOT)/scripts/check-repro.sh $(WIN32)

run: setup
	@$(MAKE) --no-print-directory run-lane LANE=$(LANE) RUN_WHAT=run RUN_ARGS=

screenshots: setup
	@$(MAKE) --no-print-directory run-lane LANE=$(LANE) RUN_WHAT=screenshots \
	  RUN_ARGS="--docs $(ROOT)/docs"

# The release pair from dist/ under 32-bit Wine; where that cannot run, the
# 64-bit test build packed beside it (never into dist/) under 64-bit Wine.
run-lane:
	@if [ "$(LANE)" = win64 ]; then echo "make $(RUN_WHAT): $(WIN64_NOTE)"; fi
	@$(ROOT)/scripts/run.sh --check $(if $(RUN_ARGS),docs)
	@if [ "$(LANE)" = win64 ]; then \
	  cmake --preset win64 -S $(ROOT) >/dev/null && \
	  cmake --build $(WIN64) -j$(JOBS) --target tachpage tachinst standin rundriver && \
	  $(ROOT)/scripts/dist.sh --test-build $(WIN64) $(WIN64)/run/pkg && \
	  $(ROOT)/scripts/run.sh $(RUN_ARGS) $(WIN64) $(WIN64)/run/pkg/tachymark-$(VERSION).zip; \
	else \
	  $(MAKE) --no-print-directory dist && \
	  $(ROOT)/scripts/run.sh $(RUN_ARGS) $(WIN32) $(ZIP); \
	fi

clean:
	-[ -d $(WIN32)/wineprefix ] && WINEPREFIX=$(WIN32)/wineprefix wineserver -k
	rm -rf $(NATIVE) $(ASAN) $(WIN32) $(DIST)
