# Wraps CMake. `make demo` runs one mailbox run against a local POP3 server holding sample mails; `make test` runs the
# test suite.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
# The builds below are make's own children; their "Entering directory" lines say nothing to a reader.
MAKEFLAGS += --no-print-directory
DEMO_OUT ?= demo-out
# The version is project(VERSION) in CMakeLists.txt; the package files are named after it.
VERSION := $(shell sed -n 's/^project(zendrel VERSION \([0-9.]*\).*)$$/\1/p' CMakeLists.txt)

.PHONY: all build demo demo-extract test test-sanitize fuzz ci bench windows test-windows package test-package \
	windows-installer test-windows-installer screenshot clean

all: build

build:
	@scripts/setup.sh build gui
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

# A local Dovecot server (the one the POP3 tests start) with sample mails, one `zendrel --run-once` against it, and the
# files it saved in $(DEMO_OUT)/. Dovecot's login and mail processes need root on most systems.
demo:
	@scripts/setup.sh build demo
	@echo "Building zendrel and the demo (output only if it fails)..."
	@log=$$(mktemp); \
	if cmake -S . -B $(BUILD) -DZENDREL_TESTS=ON >$$log 2>&1 && \
	   cmake --build $(BUILD) -j$(JOBS) --target zendrel mailbox_demo >>$$log 2>&1; then rm -f $$log; \
	else cat $$log; rm -f $$log; exit 1; fi
	@$(BUILD)/demo/mailbox_demo $(BUILD)/zendrel $(DEMO_OUT)

# The attachments of the sample message files, without a server.
demo-extract: build
	@rm -rf $(DEMO_OUT) && mkdir -p $(DEMO_OUT)
	$(BUILD)/zendrel --extract --to $(DEMO_OUT)/ tests/data/messages/*.eml
	@echo "Saved in $(DEMO_OUT)/:" && ls -l $(DEMO_OUT)

test:
	@scripts/setup.sh build test gui
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j$(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, without the window: Qt's own allocations that
# live until the process ends would fill LeakSanitizer's report, and the window's tests run in `make test`.
test-sanitize:
	@scripts/setup.sh build test
	cmake -S . -B build-sanitize -DZENDREL_SANITIZE=ON -DZENDREL_GUI=OFF >/dev/null
	cmake --build build-sanitize -j$(JOBS)
	ctest --test-dir build-sanitize --output-on-failure -j$(JOBS)

# libFuzzer targets, each run for a bounded time; any crash, leak or hang fails. Without the window: it parses no
# input, and Qt's libraries are not built for the fuzzer's sanitizers.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/setup.sh build fuzz
	CXX=clang++ cmake -S . -B build-fuzz -DZENDREL_FUZZ=ON -DZENDREL_TESTS=OFF -DZENDREL_GUI=OFF >/dev/null
	cmake --build build-fuzz -j$(JOBS)
	fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

ci: test test-sanitize fuzz

bench:
	@scripts/setup.sh build bench
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZENDREL_TESTS=OFF -DZENDREL_BENCHMARKS=ON >/dev/null
	cmake --build build-bench -j$(JOBS)
	@# The program without the window, for the start-time benchmark's comparison.
	cmake -S . -B build-bench-nowindow -DCMAKE_BUILD_TYPE=Release -DZENDREL_TESTS=OFF -DZENDREL_GUI=OFF >/dev/null
	cmake --build build-bench-nowindow -j$(JOBS) --target zendrel
	benchmarks/run.sh build-bench

# Pictures of the window on a virtual display, with sample settings: docs/screenshot-linux.png,
# docs/screenshot-linux-advanced.png and, with a sign-in chosen, docs/screenshot-linux-oauth.png and
# docs/screenshot-linux-oauth-settings.png.
screenshot:
	@scripts/setup.sh build gui screenshot
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j$(JOBS) --target zendrel
	@mkdir -p docs
	scripts/screenshot.sh $(BUILD)/zendrel docs

# The Windows program, cross-built with mingw-w64: build-windows/zendrel.exe, one file with nothing to ship beside it.
WINDOWS_BUILD ?= build-windows
windows:
	@scripts/setup.sh windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZENDREL_TESTS=ON >/dev/null
	cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target zendrel

# The test suite cross-built (googletest too) in the same tree and run under Wine, all in one fresh Wine prefix that
# goes afterwards.
# Then the Linux suite's run-once tests start the Windows zendrel.exe under Wine instead of the Linux one, against the
# same Dovecot server: the same files saved, the same lines printed.
test-windows:
	@scripts/setup.sh build test windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZENDREL_TESTS=ON >/dev/null
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j$(JOBS) --target app_mailbox_end_to_end_tests
	scripts/with-wine-prefix.sh sh -c 'cmake --build $(WINDOWS_BUILD) -j$(JOBS) && \
	  ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j$(JOBS) && \
	  ZENDREL_TEST_PROGRAM=Z:$(abspath $(WINDOWS_BUILD))/zendrel.exe \
	  ZENDREL_TEST_PROGRAM_LAUNCHER=$(abspath scripts/wine-run.sh) \
	  ZENDREL_TEST_TRUST_TOOL=Z:$(abspath $(WINDOWS_BUILD))/tests/support/trust_authority.exe \
	  $(BUILD)/tests/app/app_mailbox_end_to_end_tests --gtest_filter="RunOnce*:SignInRun*" --gtest_brief=1'

# The Debian package of the build tree's program, window included: build/zendrel_VERSION-1_amd64.deb. test-package
# installs it (as root), runs it, lets lintian judge it and removes it.
package:
	@scripts/setup.sh build gui package
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j$(JOBS) --target zendrel package_files
	cd $(BUILD) && cpack >/dev/null && ls $(CURDIR)/$(BUILD)/zendrel_*.deb

test-package: package
	scripts/test-linux-package.sh $(BUILD)/zendrel_$(VERSION)-1_amd64.deb

# The Windows setup program: build-windows/zendrel-VERSION-setup.exe. test-windows-installer runs it silently under Wine,
# checks what it installed, uninstalls and checks that nothing of the program is left.
windows-installer: windows
	@scripts/setup.sh windows-installer
	x86_64-w64-mingw32-strip -o $(WINDOWS_BUILD)/zendrel-stripped.exe $(WINDOWS_BUILD)/zendrel.exe
	makensis -V2 -DVERSION=$(VERSION) -DPROGRAM=$(abspath $(WINDOWS_BUILD))/zendrel-stripped.exe \
	  -DLICENSE=$(abspath LICENSE) -DOUTFILE=$(abspath $(WINDOWS_BUILD))/zendrel-$(VERSION)-setup.exe \
	  packaging/windows/zendrel.nsi

test-windows-installer: windows-installer
	scripts/with-wine-prefix.sh scripts/test-windows-installer.sh $(WINDOWS_BUILD)/zendrel-$(VERSION)-setup.exe

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz build-bench build-bench-nowindow $(WINDOWS_BUILD) $(DEMO_OUT)
