# The two entry points of the README: `make run` and `make test`. Both install what is
# missing, configure and build first. These are developers' and CI builds: warnings are
# errors here (a plain cmake configure leaves them warnings).
BUILD       ?= build
BUILD_SAN   ?= build-sanitize
BUILD_REL   ?= build-release
BUILD_FUZZ  ?= build-fuzz
FUZZ_SECONDS ?= 60
BUILD_TYPE  ?= RelWithDebInfo
JOBS        ?= $(shell nproc)
PREFIX      ?= $(HOME)/.local
AUTOSTART   ?= 0

.PHONY: all setup build run test test-sanitize test-release fuzz bench install uninstall format clean

all: build

setup:
	@bash scripts/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTORVANE_WERROR=ON

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./torvane

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer (run by CI).
test-sanitize: setup
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DTORVANE_SANITIZE=ON -DTORVANE_BENCH=OFF \
		-DTORVANE_WERROR=ON
	cmake --build $(BUILD_SAN) -j $(JOBS)
	ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

# The Release type as a packager builds it (default options, -O3), with warnings as errors:
# the optimiser finds warnings of its own. The unit tests run too; the end-to-end runs of
# `make test` are not repeated (run by CI).
test-release: setup
	cmake -S . -B $(BUILD_REL) -DCMAKE_BUILD_TYPE=Release -DTORVANE_WERROR=ON
	cmake --build $(BUILD_REL) -j $(JOBS)
	ctest --test-dir $(BUILD_REL) --output-on-failure -j $(JOBS) -E '^e2e\.'

# Every fuzz target for FUZZ_SECONDS seconds each (FUZZ_SECONDS_<name> for one of them), in
# a clang build of its own instrumented for libFuzzer and the sanitizers.
fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTORVANE_FUZZ=ON -DTORVANE_TESTS=OFF -DTORVANE_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target torvane_fuzzers
	bash tests/fuzz/run.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench_*; do echo "== $$b"; $$b; done

# The program for this user under PREFIX (the program folder PREFIX/lib/torvane, the command
# PREFIX/bin/torvane, the launcher and the icon); AUTOSTART=1 adds the entry that starts it
# at login ($$XDG_CONFIG_HOME/autostart). `make uninstall` removes what was installed and
# leaves what the program and the user made.
install: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target torvane_installable
	cmake --install $(BUILD) --prefix "$(PREFIX)"
ifeq ($(AUTOSTART),1)
	cmake --install $(BUILD) --prefix "$(PREFIX)" --component autostart
endif

uninstall: $(BUILD)/CMakeCache.txt
	cmake -DTORVANE_PREFIX="$(PREFIX)" -P $(BUILD)/uninstall.cmake

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_REL) $(BUILD_FUZZ)
