# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all deps configure build run test bench screenshots install package clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@bash scripts/run-suite.sh $(BUILD)/suite

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) --timeout 900

bench: build
	@if [ -x $(BUILD)/bench/run_bench ]; then $(BUILD)/bench/run_bench; \
	else echo "no benchmarks built yet"; fi

screenshots: build
	@if [ -x $(BUILD)/screenshots/make_screenshots ]; then \
	  QT_QPA_PLATFORM=offscreen $(BUILD)/screenshots/make_screenshots $(BUILD)/screenshots; \
	else echo "no screenshot programs built yet"; fi

# The suite in PREFIX/lib/, launchers in PREFIX/bin, menu entries and icons in PREFIX/share.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the suite in $(BUILD)/.
package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD)
