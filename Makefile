# Tachymark: the two commands a new user needs.
#
#   make test   install what is missing, build the native, native-asan and
#               win32 trees and run every test (unit tests natively and under
#               the sanitizers, Windows tests under 32-bit Wine, import check)
#   make run    build and pack the deliverables, install them with the real
#               TACHINST.EXE into a Wine prefix posing as Windows 98 with a
#               Voodoo3 3000, and open Display Properties on the tab
#               (scripts/run.sh; without a display it saves pictures)
#   make screenshots  regenerate the pictures in docs/ from this build
#   make dist   build TACHPAGE.DLL and TACHINST.EXE and pack the release:
#               dist/tachymark-3.2.zip (with the read-me in English, French
#               and German), the same files as a floppy image (.img) and a
#               CD image (.iso), and dist/SHA256SUMS
#   make bench  print the release budgets: sizes, sheet-opening cost, registry
#               calls (scripts/bench.sh)
#   make check-repro  build the deliverables again in a second tree and check
#               that the package comes out byte for byte the same

SHELL := /bin/bash
JOBS ?= 2
ROOT := $(abspath $(dir $(lastword $(MAKEFILE_LIST))))
NATIVE := $(ROOT)/build/native
ASAN := $(ROOT)/build/native-asan
WIN32 := $(ROOT)/build/win32
DIST := $(ROOT)/dist
VERSION := $(shell sed -n 's/^project.tachymark VERSION \([0-9]*\.[0-9]*\).*/\1/p' $(ROOT)/CMakeLists.txt)
ZIP := $(DIST)/tachymark-$(VERSION).zip

.PHONY: all test run dist setup native native-asan win32 \
        test-native test-native-asan test-win32 clean fuzz bench check-repro \
        screenshots

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
	$(ROOT)/scripts/test-win32.sh $(WIN32)

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

bench: native win32
	$(ROOT)/scripts/bench.sh $(WIN32) $(NATIVE)

check-repro: win32
	$(ROOT)/scripts/check-repro.sh $(WIN32)

run: dist
	$(ROOT)/scripts/run.sh $(WIN32) $(ZIP)

screenshots: dist
	$(ROOT)/scripts/run.sh --docs $(ROOT)/docs $(WIN32) $(ZIP)

clean:
	-[ -d $(WIN32)/wineprefix ] && WINEPREFIX=$(WIN32)/wineprefix wineserver -k
	rm -rf $(NATIVE) $(ASAN) $(WIN32) $(DIST)
