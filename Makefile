# One command each: `make run` sets up, builds and runs the program's main job;
# `make test` sets up, builds and runs the whole test suite (normal and sanitizer builds).

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
THREAD_DIR ?= build-thread
JOBS ?= $(shell nproc)
WERROR := $(if $(CI),ON,OFF)

.PHONY: all setup build build-sanitize build-thread run test check check-sanitize check-thread bench clean

all: build

setup:
	scripts/setup

build: setup
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZTLIVE_WERROR=$(WERROR)
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-sanitize: setup
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZTLIVE_WERROR=$(WERROR) \
	  -DCMAKE_CXX_COMPILER=clang++ -DZTLIVE_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)

build-thread: setup
	cmake -S . -B $(THREAD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZTLIVE_WERROR=$(WERROR) \
	  -DCMAKE_CXX_COMPILER=clang++ -DZTLIVE_SANITIZE_THREAD=ON -DZTLIVE_FUZZ=OFF
	cmake --build $(THREAD_DIR) -j $(JOBS)

# Writes and restores the demo recording; with a display, then opens the window on it.
run: build
	$(BUILD_DIR)/cli/ztlive-cli demo $(BUILD_DIR)/demo
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD_DIR)/app/ztlive $(BUILD_DIR)/demo/demo-recording.wav; \
	else echo "No display: the window was not opened (ztlive --screenshot OUT.png FILE.wav draws it offscreen)."; fi

# The normal build's tests.
check: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer, plus the fuzzers.
check-sanitize: build-sanitize
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS)

# The tests built with ThreadSanitizer: what crosses threads (device callbacks, the queue).
check-thread: build-thread
	cd $(THREAD_DIR) && ctest --output-on-failure -j $(JOBS)

test: check check-thread check-sanitize

bench: build
	$(BUILD_DIR)/bench/message_queue_bench
	$(BUILD_DIR)/bench/sample_codec_bench
	$(BUILD_DIR)/bench/real_fft_bench
	bench/compare_null_pass.py $(BUILD_DIR)
	bench/compare_file_ops.py $(BUILD_DIR)
	bench/compare_classic_filters.py $(BUILD_DIR)
	bench/compare_restoration_filters.py $(BUILD_DIR)
	bench/compare_chain.py $(BUILD_DIR)
	bench/batch_timing.py $(BUILD_DIR)
	$(BUILD_DIR)/bench/sound_card_latency
	$(BUILD_DIR)/bench/live_latency
	$(BUILD_DIR)/bench/live_soak 600 4096 7
	$(BUILD_DIR)/bench/live_soak 600 512 6
	$(BUILD_DIR)/bench/pane_repaint_bench

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(THREAD_DIR)
