# The two commands that matter: `make run` and `make test`.
# Everything else is a step of those or a developer's convenience.

BUILD      ?= build
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# Debian packages the build, the tests and the demo need.
PACKAGES := build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev \
            librtaudio-dev libasound2-dev libsndfile1-dev jackd2 qt6-base-dev \
            libgtest-dev libgmock-dev libbenchmark-dev \
            sox libsox-fmt-all espeak-ng python3 python3-numpy python3-scipy python3-pywt \
            xvfb xauth procps desktop-file-utils
# The manual page test renders the page with man.
PACKAGES += man-db
# Only the benchmark's side-by-side table needs these (make bench-deps); the
# tests never do.
BENCH_PACKAGES := ffmpeg
# Wanted, not required: installed only where that removes nothing (a desktop
# whose PulseAudio is PipeWire's keeps it). Without it the PulseAudio smoke
# test skips and says why.
OPTIONAL_PACKAGES := pulseaudio

.PHONY: help deps bench-deps configure build run test sanitize tsan bench fuzz images demo clean
.DEFAULT_GOAL := help

help:
	@echo "Targets:"
	@echo "  make demo       builds the renderer alone and runs the denoising demo (files in $(BUILD)/demo)"
	@echo "  make run        builds everything and starts the program in $(BUILD)/run"
	@echo "  make test       builds everything and runs every test (what CI runs)"
	@echo "  make deps       installs the Debian packages that are missing (as root; otherwise"
	@echo "                  prints the sudo apt-get line to run)"
	@echo "  make build      configures $(BUILD)/ and builds everything"
	@echo "  make sanitize   the whole suite under AddressSanitizer and UBSan, in build-asan/"
	@echo "  make tsan       the engine and device tests under ThreadSanitizer, in build-tsan/"
	@echo "  make bench      every benchmark (make bench-deps installs ffmpeg for its comparison)"
	@echo "  make fuzz       the WAVE reader for FUZZ_TIME seconds and the chain parser for FUZZ_RUNS"
	@echo "                  inputs, under libFuzzer"
	@echo "  make images     remakes the pictures in resources/"
	@echo "  make clean      removes the build folders"
	@echo "Every target but help and clean installs the missing packages first."

# The packages of a list that dpkg does not know as installed.
missing_from = $(shell for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done)

# Root installs what is missing. Anyone else gets the command to run, and
# the build stops while a required package is missing (apt-get would only
# fail on its lock file). DEPS_UID=1000 shows what a user would see.
DEPS_UID ?= $(shell id -u)
deps:
	@missing="$(strip $(call missing_from,$(PACKAGES)))"; \
	if [ -n "$$missing" ] && [ "$(DEPS_UID)" != 0 ]; then \
	  echo "Missing Debian packages. Install them with:"; \
	  echo "  sudo apt-get install --no-install-recommends $$missing"; \
	  exit 1; \
	elif [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi
	@missing="$(strip $(call missing_from,$(OPTIONAL_PACKAGES)))"; \
	if [ -n "$$missing" ] && [ "$(DEPS_UID)" != 0 ]; then \
	  echo "Optional (the PulseAudio test skips without it):"; \
	  echo "  sudo apt-get install --no-install-recommends --no-remove $$missing"; \
	elif [ -n "$$missing" ]; then \
	  echo "Installing (optional):$$missing"; \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove $$missing >/dev/null 2>&1 \
	  || { apt-get update -qq >/dev/null 2>&1 && \
	       DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove $$missing >/dev/null 2>&1; } \
	  || echo "Not installed:$$missing (it would remove other packages, or apt-get failed); the tests that need it skip."; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DSONABEL_WERROR=ON $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program with its window, in a folder of its own that holds the demo
# sounds the help window names and where its log is written.
run: build
	tools/make_demo_sounds.sh $(BUILD)/run
	cd $(BUILD)/run && ../ui/sonabel

# A test that fails is run once more before it counts as failed: the device
# tests play on real servers, which a busy shared machine can starve. Both
# runs' output stays in the log.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --repeat until-pass:2

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-asan CMAKE_ARGS="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONABEL_SANITIZE=address,undefined -DSONABEL_BUILD_BENCH=OFF"

# The engine and device tests, and the interface stress test, under ThreadSanitizer.
tsan:
	$(MAKE) build BUILD=build-tsan CMAKE_ARGS="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONABEL_SANITIZE=thread -DSONABEL_BUILD_BENCH=OFF"
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -L 'sonabel_(engine|io)_tests|sonabel_ui_stress'

# Speech and plucked strings under noise at three levels, taken out again by
# a lowpass and by the wavelet chain; sounds, SNR figures and spectrograms in
# $(BUILD)/demo. Builds the renderer alone, not the program or the tests.
demo: configure
	cmake --build $(BUILD) --target sonabel-render -j $(JOBS)
	tools/demo.sh $(BUILD)/tools/sonabel-render $(BUILD)/demo

# Remakes resources/background.png and resources/sonabel.png from the demo
# sounds with the engine's wavelet transform (commit them if they change).
images: configure
	cmake --build $(BUILD) --target sonabel-scalogram
	tools/make_images.sh $(BUILD)

bench-deps:
	@missing=""; for p in $(BENCH_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

bench: build bench-deps
	for b in $(BUILD)/bench/sonabel_*_bench; do $$b; done
	bench/tools/render_speed.py $(BUILD)/tools/sonabel-render

# The WAVE reader under libFuzzer for FUZZ_TIME seconds, then sonabel-render's
# command line and chain file parser for FUZZ_RUNS inputs with the chain
# grammar as its dictionary, one worker each; the corpora and any crashing
# input stay in $(BUILD)/fuzz/wave-fuzz and $(BUILD)/fuzz/chain-fuzz.
FUZZ_TIME ?= 60
FUZZ_RUNS ?= 1000000
fuzz: configure
	cmake --build $(BUILD) --target sonabel_wave_fuzz sonabel_chain_fuzz
	fuzz/run-wave-fuzzer.sh $(BUILD)/fuzz/sonabel_wave_fuzzer $(FUZZ_TIME) $(BUILD)/fuzz/wave-fuzz
	fuzz/run-chain-fuzzer.sh $(BUILD)/fuzz/sonabel_chain_fuzzer $(FUZZ_RUNS) $(BUILD)/fuzz/chain-fuzz

clean:
	rm -rf build build-asan build-tsan
