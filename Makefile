# make run   installs what is missing, builds, starts the application
# make test  installs what is missing, builds, runs every test
# make bench builds and runs the benchmarks
# make fuzz  builds the libFuzzer targets with clang and runs each for a while
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run bench fuzz clean

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

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_DIR)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_FUZZ=ON
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS) --target fuzz_xml2dic fuzz_epub_zip fuzz_csv fuzz_package
	@bash fuzz/run-all $(BUILD_DIR)-fuzz

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-fuzz
