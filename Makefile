# make run   installs what is missing, builds, starts the application
# make test  installs what is missing, checks the formatting and the core's include order, builds (the benchmarks too, compiled
#            only), runs every test, then the same tests in the sanitizer build (SANITIZE=0 skips that part)
# make bench builds and runs the benchmarks
# make fuzz  builds the libFuzzer targets with clang and runs each for a while
# make package  builds the Debian package (build/tavro_VERSION_ARCH.deb) with CPack
# make sanitize  builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
SANITIZE ?= 1
CMAKE_FLAGS ?=

.PHONY: all deps configure build test check-format check-includes run bench fuzz sanitize package clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

check-format: deps
	@bash scripts/check-format

check-includes:
	@python3 scripts/check-includes

test: check-format check-includes build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@if [ "$(SANITIZE)" = 1 ]; then $(MAKE) --no-print-directory sanitize; fi

package: build
	cd $(BUILD_DIR) && cpack
	@ls $(BUILD_DIR)/tavro_*.deb

run: build
	@bash scripts/run

bench: deps
	cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	@bash bench/run-all $(BUILD_DIR)-bench

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_DIR)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_FUZZ=ON
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS) --target fuzz_all
	@bash fuzz/run-all $(BUILD_DIR)-fuzz

sanitize: deps
	@if [ ! -f $(BUILD_DIR)-asan/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR)-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRO_SANITIZE=ON -DTAVRO_BUILD_BENCH=OFF; \
	fi
	cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	cd $(BUILD_DIR)-asan && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-fuzz $(BUILD_DIR)-asan
