# Kolvara: the two commands of README.md, and a few more for developers.
#   make run    set up, build, make the sample register if there is none, start
#   make test   set up, build, make the sample register if there is none,
#               run every test (offscreen)
#   make bench  build, make the benchmark registers, run the benchmark
#   make screenshot  render the window on the sample register to docs/screenshot.png

BUILD    := build
BIN      := $(BUILD)/bin
JOBS     := $(shell nproc 2>/dev/null || echo 2)
# What a fresh Debian 12 needs to build, test and run the program.
PACKAGES := cmake g++ make qt6-base-dev libsqlite3-dev fonts-dejavu-core

.PHONY: run test bench screenshot setup build register clean

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

test: register
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: register
	$(BIN)/kolvara-bench --registers $(BUILD)/registers

screenshot: register
	QT_QPA_PLATFORM=offscreen $(BIN)/kolvara-screenshot docs/screenshot.png

clean:
	rm -rf $(BUILD)
