# The two commands of the README (make test; make run arrives with the main program),
# and a few helpers.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
# Seconds each fuzz target runs in `make fuzz`, and the targets (fuzz/<name>_fuzz.cpp).
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= landscape height_map checkpoint batch_list plant_string
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test test-sanitize fuzz build deps bench install clean format

# Renders the default landscape into landscape.png in the repository root.
run: build
	$(BUILD)/host/orvelle2 -o landscape.png
	@echo "The picture is $(CURDIR)/landscape.png"

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=address,undefined -DORVELLE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS) -LE install

# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS on its corpus.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DORVELLE_FUZZ=ON -DORVELLE_BUILD_TESTS=OFF -DORVELLE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) $(addprefix --target fuzz_,$(FUZZ_TARGETS))
	scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do $$b; done

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
