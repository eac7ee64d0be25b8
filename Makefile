# Convenience targets around CMake. Each target installs what is missing
# first, so `make demo` and `make test` work on a fresh Debian 12 machine.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
DEMO_FILE ?= samples/demo.png

.PHONY: all deps build test test-unit test-e2e demo test-sanitize fuzz stress bench eval clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The unit tests alone, in seconds; `make test-e2e` runs the tests that
# start the built programs (those labelled root skip without root).
test-unit: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) -L unit

test-e2e: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) -L e2e

demo: build
	$(BUILD_DIR)/bin/fileprobe $(DEMO_FILE)

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DFILEPROBE_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# libFuzzer targets, FUZZ_SECONDS each; fails on any finding.
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DFILEPROBE_FUZZ=ON -DFILEPROBE_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# Longer campaigns than the test suite runs: thousands of mutated extraction
# inputs and many more iterations of the race tests.
STRESS_INPUTS ?= 3000
STRESS_ITERATIONS ?= 2000
stress: build
	python3 fuzz/extraction_mutations.py $(BUILD_DIR)/bin/fileprobe $(STRESS_INPUTS)
	FILEPROBE_RACE_ITERATIONS=$(STRESS_ITERATIONS) ctest --test-dir $(BUILD_DIR) -R Race \
	  --output-on-failure

bench: build
	bench/run.sh $(BUILD_DIR)

# Extraction quality against pdftotext and the tesseract CLI: real documents,
# the text layers that are junk, and recognition on generated pages, by
# tuning and validation half.
eval: build
	bench/text_layer_eval.py --binary $(BUILD_DIR)/bin/fileprobe
	bench/garbled_eval.py --binary $(BUILD_DIR)/bin/fileprobe
	bench/ocr_eval_split.py --build $(BUILD_DIR) --jobs 2

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
