# Kolvara: the two commands of README.md, and a few more for developers.
#   make run    set up, build, make the sample register if there is none, start
#   make test   set up, build, make the sample register if there is none,
#               run every test (offscreen): make check, make sanitized, make fuzz
#   make check  the fast loop: build and run the plain tests only
#   make bench  build, make the benchmark registers, run the benchmark (on files
#               and on a throwaway PostgreSQL server)
#   make package     the Debian package build/kolvara_<version>_<arch>.deb
#   make screenshot  render the window on the sample register to docs/screenshot.png
#   make sanitized   every test again, built with AddressSanitizer and
#                    UndefinedBehaviorSanitizer in build-asan/ (part of make test)
#   make fuzz        each parser's fuzz target for FUZZ_SECONDS (part of make test)
#   make stress      the long versions: more kills, more inputs, longer fuzzing

BUILD    := build
BIN      := $(BUILD)/bin
SANITIZED := build-asan
FUZZ_BUILD := build-fuzz
JOBS     := $(shell nproc 2>/dev/null || echo 2)
# What a fresh Debian 12 needs to build, test and run the program; clang and
# its runtime only for the fuzz targets; then for the installed files (icons,
# man pages), the package and the checks of them; then libpq, the
# PostgreSQL server the tests start a throwaway cluster of, and the pooler
# some start in front of one; last the X libraries, X server and window
# manager of the benchmark's pixels part.
PACKAGES := cmake g++ make qt6-base-dev qt6-tools-dev qt6-l10n-tools libsqlite3-dev fonts-dejavu-core clang-14 libclang-rt-14-dev \
            mdbtools mdbtools-dev libmdb3 pkg-config \
            librsvg2-bin help2man dpkg-dev desktop-file-utils appstream \
            libpq-dev postgresql-15 pgbouncer openssl libminizip-dev python3-openpyxl poppler-utils \
            libx11-dev libxtst-dev libxdamage-dev xvfb openbox

# How long each fuzz target runs, and how hard the reliability tests push.
FUZZ_SECONDS ?= 20
FUZZ_TARGETS := ConnectionStringFuzz FilterFuzz LikeFuzz ListFileFuzz
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1 \
                 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: run test check bench screenshot package setup build register clean sanitized fuzz stress

setup:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing the packages the build needs:$$missing"; \
	    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y$$missing; \
	  else \
	    echo "The build needs packages that are not installed. Install them with:"; \
	    echo "  sudo apt-get install$$missing"; \
	    exit 1; \
	  fi; \
	fi

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The sample register beside the program; an existing one is never replaced.
register: build
	@if [ -e $(BIN)/proba.mdb ]; then echo "Using the register $(BIN)/proba.mdb"; \
	 else $(BIN)/kolvara-make-register $(BIN)/proba.mdb; fi

run: register
	$(BIN)/kolvara

# The reliability tests' figures of the last run in a build folder.
figures = grep -h -o -E "(crash safety|search box|searches from memory|[0-9]+ persons inserted|[0-9]+ register files|[0-9]+ damaged Access).*" \
            $(1)/Testing/Temporary/LastTest.log | sed 's/^/$(1): /' || true

check: register
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(call figures,$(BUILD))

test: check
	@$(MAKE) --no-print-directory sanitized
	@$(MAKE) --no-print-directory fuzz

# Every test once more under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, with the data sets' invariants asserted: any
# report or broken assertion fails the test that caused it.
sanitized: setup
	cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLVARA_SANITIZE=ON
	cmake --build $(SANITIZED) -j $(JOBS)
	cd $(SANITIZED) && QT_QPA_PLATFORM=offscreen $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)
	@$(call figures,$(SANITIZED))

# Each parser's fuzz target for a bounded time; a crash, a sanitizer report or
# a broken promise of the parser fails it. The corpus grows between runs.
fuzz: setup
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@passed=0; failed=0; \
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  if $(FUZZ_BUILD)/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	       -artifact_prefix=$(FUZZ_BUILD)/$$t- $(FUZZ_BUILD)/corpus/$$t fuzz/seeds/$$t \
	       > $(FUZZ_BUILD)/$$t.log 2>&1; then \
	    passed=$$((passed + 1)); \
	    echo "fuzz: $$t $$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' $(FUZZ_BUILD)/$$t.log)"; \
	  else \
	    failed=$$((failed + 1)); tail -40 $(FUZZ_BUILD)/$$t.log; echo "fuzz: $$t FAILED"; \
	  fi; \
	done; \
	echo "fuzz: $$passed passed, $$failed failed"; \
	[ $$failed = 0 ]

# The long versions of the reliability tests.
stress: register
	cmake -S . -B $(BUILD) -DKOLVARA_TEST_TIMEOUT=7200 > /dev/null
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen KOLVARA_STRESS_KILLS=2000 KOLVARA_STRESS_INPUTS=100000 KOLVARA_STRESS_INSERTS=2000 \
	  ctest --output-on-failure -j $(JOBS) -R 'CrashTest|HostileInputTest|ConcurrencyTest|ImportTest'; \
	  status=$$?; cmake -S .. -B . -DKOLVARA_TEST_TIMEOUT=600 > /dev/null; exit $$status
	@$(call figures,$(BUILD))
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=600

# The benchmark on files, and on a PostgreSQL server of its own (a
# throwaway cluster on this machine, waiting for the disk as a real one);
# saves from many clients at once, with the register's triggers and
# without (bench/saves-under-load.sh);
# then key press to pixels on an X server of its own (Xvfb on the first
# free display from :90, with openbox to activate the window), stopped
# again however the run ends.
BENCH_SERVER_PORT := 54099
BENCH_SERVER := /tmp/kolvara-bench-server
bench: register
	tests/server/cluster.sh start $(BENCH_SERVER) $(BENCH_SERVER_PORT) durable
	$(BIN)/kolvara-bench --registers $(BUILD)/registers --jet-samples tests/data/jet \
	  --server postgresql://postgres@127.0.0.1:$(BENCH_SERVER_PORT); \
	  status=$$?; tests/server/cluster.sh stop $(BENCH_SERVER); exit $$status
	bench/saves-under-load.sh $(BIN) $$(($(BENCH_SERVER_PORT) - 1))
	@n=90; while [ -e /tmp/.X$$n-lock ] || [ -e /tmp/.X11-unix/X$$n ]; do n=$$((n + 1)); done; \
	xvfb=; wm=; trap 'kill $$wm $$xvfb 2> /dev/null; wait 2> /dev/null' EXIT; trap 'exit 1' HUP INT TERM; \
	Xvfb :$$n -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 & xvfb=$$!; \
	for i in $$(seq 50); do [ -e /tmp/.X11-unix/X$$n ] && break; sleep 0.1; done; \
	DISPLAY=:$$n openbox > /dev/null 2>&1 & wm=$$!; sleep 1; \
	QT_QPA_PLATFORM=xcb DISPLAY=:$$n $(BIN)/kolvara-bench --registers $(BUILD)/registers --parts pixels

package: build
	cd $(BUILD) && cpack
	@ls $(BUILD)/kolvara_*.deb

screenshot: register
	QT_QPA_PLATFORM=offscreen $(BIN)/kolvara-screenshot docs/screenshot.png

clean:
	rm -rf $(BUILD) $(SANITIZED) $(FUZZ_BUILD)
