# make demo: render the example networks into out/.   make test: every test, twice: the normal
# build, then the AddressSanitizer and UndefinedBehaviorSanitizer build; then the condition
# evaluator's fuzz target for a bounded time.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
GENERATOR  ?= Ninja

.PHONY: all deps build build-sanitize test test-release test-sanitize fuzz bench demo clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release > /dev/null
	@cmake --build $(BUILD)

build-sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTESSERA_SANITIZE=ON -DTESSERA_BENCHMARKS=OFF > /dev/null
	@cmake --build $(SAN_BUILD)

test-release: build
	@ctest --test-dir $(BUILD) --output-on-failure

test-sanitize: build-sanitize
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure

fuzz: deps
	@scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

test: test-release fuzz test-sanitize

bench: build
	@$(BUILD)/bench/tessera_bench

demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) out
