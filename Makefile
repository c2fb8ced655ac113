# make run   installs what is missing, builds, starts the application
# make test  installs what is missing, builds, runs every test
# make bench builds and runs the benchmarks
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run

bench: deps
	cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	@bash bench/run-all $(BUILD_DIR)-bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-fuzz
