# The whole set-up on a fresh Debian 12 machine: `make run` or `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
CMAKE_ARGS ?=
# Test programs run side by side: most of their time is spent waiting on the servers they
# start, and each has the margins a loaded machine needs.
TEST_JOBS  ?= 2

.PHONY: all deps build run test test-fast test-sanitized test-threads lint install package release translations screenshots clean

all: build

deps:
	@sh scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)

run: build
	@sh scripts/run.sh $(BUILD)/src/plinkora

# The suite runs twice: as built for release, and under AddressSanitizer and
# UndefinedBehaviorSanitizer; then the main and audio threads run under ThreadSanitizer.
test: test-fast test-sanitized test-threads

test-fast: build
	@ctest --test-dir $(BUILD) --output-on-failure --timeout 600 -j $(TEST_JOBS)

test-sanitized: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLINKORA_SANITIZE=ON -DPLINKORA_BENCHMARKS=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD)
	@ctest --test-dir $(ASAN_BUILD) --output-on-failure --timeout 900 -j $(TEST_JOBS)

# Under ThreadSanitizer: the engine strikes, fades and changes sound on one thread while
# another renders, as the output's thread does; then the output's own tests, on PulseAudio and
# PipeWire, where the server's thread answers the main thread. Qt, libpulse and FluidSynth are
# not instrumented, so what this proves is Plinkora's own side of the thread line; a race ends
# a run with a report and status 66. Two tests are left out here: MIDI out, whose JACK client,
# instrumented, misses its first periods, so the monitor gets the first strike late or not at
# all; and the RealtimeKit stand-in, whose private bus starts Qt D-Bus's own thread, whose
# hand-overs inside Qt are hidden from ThreadSanitizer.
test-threads: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKORA_TSAN=ON $(CMAKE_ARGS) >/dev/null
	@cmake --build $(TSAN_BUILD) --target bench_audio_threads test_audio_pulse test_audio_notes
	@$(TSAN_BUILD)/bench/bench_audio_threads 5
	@GTEST_FILTER='-*MidiOut*:RealtimeScheduling.*' ctest --test-dir $(TSAN_BUILD) --output-on-failure \
		-R '^test_audio_(pulse|pipewire|notes)$$'

# clang-format and clang-tidy; SINCE=<git revision> tidies only the sources changed since.
lint: build
	@sh scripts/lint.sh $(BUILD) $(SINCE)

install: build
	@cmake --install $(BUILD)

# plinkora_<version>_<arch>.deb in the build folder.
package: build
	@cd $(BUILD) && cpack -G DEB

# A release in dist/: the package of a build that trusts KEY's public half, and the signed
# update feed offering it for download under DOWNLOADS. The key is read from where KEY says,
# never from this repository.
#   make release KEY=~/plinkora-keys/update-key.pem BUILD_VERSION=412 \
#                DOWNLOADS=https://plinkora.org/downloads
release: deps
	@test -n "$(KEY)" && test -n "$(BUILD_VERSION)" && test -n "$(DOWNLOADS)" || \
		{ echo "usage: make release KEY=<private key> BUILD_VERSION=<n> DOWNLOADS=<https address>"; exit 2; }
	@cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLINKORA_TESTS=OFF \
		-DPLINKORA_BENCHMARKS=OFF -DPLINKORA_BUILD_VERSION=$(BUILD_VERSION) \
		-DPLINKORA_UPDATE_PUBLIC_KEY=$$(openssl pkey -in "$(KEY)" -pubout -outform DER | tail -c 32 | base64 -w0) \
		>/dev/null
	@cmake --build build-release
	@rm -f build-release/plinkora_*.deb && cd build-release && cpack -G DEB >/dev/null
	@mkdir -p dist && cp build-release/plinkora_*.deb dist/
	@deb=$$(basename build-release/plinkora_*.deb) && \
		sh scripts/release-tool.sh feed "$(KEY)" dist $(BUILD_VERSION) \
		"$$(dpkg-deb -f dist/$$deb Version)" "$(DOWNLOADS)/$$deb" dist/$$deb $$(dpkg --print-architecture) && \
		echo "dist/: $$deb, appcast.xml and appcast.xml.sig"

# Brings translations/*.ts up to date with the texts in the sources; translate what lupdate
# marks unfinished, then build.
translations: build
	@cmake --build $(BUILD) --target translations

# The software centres' screenshots in data/screenshots, taken anew of this build.
screenshots: build
	@xvfb-run -a -s "-screen 0 1280x800x24" sh scripts/screenshots.sh $(CURDIR)/$(BUILD)/src/plinkora $(CURDIR)/data/screenshots

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) build-release dist
