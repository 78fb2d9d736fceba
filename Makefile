# The whole set-up on a fresh Debian 12 machine: `make run` or `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_ARGS ?=

.PHONY: all deps build run test test-fast test-sanitized install package clean

all: build

deps:
	@sh scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)

run: build
	@sh scripts/run.sh $(BUILD)/src/plinkora

# The suite runs twice: as built for release, and under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: test-fast test-sanitized

test-fast: build
	@ctest --test-dir $(BUILD) --output-on-failure --timeout 600

test-sanitized: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLINKORA_SANITIZE=ON -DPLINKORA_BENCHMARKS=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD)
	@ctest --test-dir $(ASAN_BUILD) --output-on-failure --timeout 900

install: build
	@cmake --install $(BUILD)

# plinkora_<version>_<arch>.deb in the build folder.
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
