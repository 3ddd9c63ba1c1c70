# Quirebind: the two everyday commands are `make run` and `make test`.
# Both install what is missing, configure and build first.

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_TSAN ?= build-tsan
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test test-ordinary-user test-sanitize test-tsan fuzz bench clean install uninstall deb \
        format format-check

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The cases that run as an ordinary user, from a fresh clone below a folder of mode 0700, so
# that none of them depends on that user reaching the checkout or the build.
test-ordinary-user: deps
	JOBS=$(JOBS) bash scripts/ordinary-user-tests.sh

# The whole suite again under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer;
# any report fails the test that caused it. Leaks are suppressed only in system libraries.
test-sanitize: deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DQB_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The packer's tests under ThreadSanitizer: the only code that runs threads. A build of its own,
# core only, since it cannot share one with AddressSanitizer.
test-tsan: deps
	cmake -S . -B $(BUILD_TSAN) -DCMAKE_BUILD_TYPE=Debug -DQB_TSAN=ON -DQB_WITH_GUI=OFF
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target package_tests
	cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -L package

# Each fuzz target for FUZZ_SECONDS, with clang's libFuzzer and sanitizers in a build of its own.
fuzz:
	@bash scripts/install-deps.sh --fuzz
	cmake -S . -B $(BUILD_FUZZ) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQB_FUZZ=ON -DQB_WITH_GUI=OFF -DQB_WITH_TESTS=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz_targets
	bash fuzz/run.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

bench: build
	bash bench/pack.sh $(BUILD)
	bash bench/run.sh $(BUILD)
	bash bench/chapters.sh $(BUILD)
	bash bench/reading.sh $(BUILD)
	bash bench/typeset.sh $(BUILD)

# `make install` puts both programs, the template, the desktop entry, the icons and the manual
# page below PREFIX: ~/.local for a normal user, /usr/local for root. The programs find their
# template relative to themselves, so any prefix works. `make uninstall` removes what the last
# `make install` from this build folder listed; its own copy of CMake's manifest is kept, since
# any other `cmake --install` (the tests make one) writes install_manifest.txt anew.
PREFIX ?= $(if $(filter 0,$(shell id -u)),/usr/local,$(HOME)/.local)

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"
	cp $(BUILD)/install_manifest.txt $(BUILD)/installed_files.txt

uninstall:
	cmake -DMANIFEST=$(BUILD)/installed_files.txt -P dist/uninstall.cmake
	rm -f $(BUILD)/installed_files.txt

# A Debian package of both programs in $(BUILD)/, its dependencies taken from the shared
# libraries; tests/install/deb_test.sh checks its file list and runs it unpacked.
deb: build
	cd $(BUILD) && cpack --config QuirebindPackage.cmake

# Every C++ file as .clang-format lays it out; CI fails on the first file that differs.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_TSAN)
