# Tessaly: `make run` builds and starts the program, `make test` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 30
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all deps deps-test configure build run test test-asan bench fuzz install deb clean

all: build

# `run` needs only what building and starting need; the tests add servers, Xvfb, clang and image tools.
deps:
	@sh scripts/install-deps.sh run

deps-test:
	@sh scripts/install-deps.sh test

# Configured again each time: a set of packages installed since the last run (GoogleTest, say) is then found.
configure:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/tessaly

test: deps-test configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps-test configure
	cmake --build $(BUILD) -j $(JOBS)
	sh bench/run.sh $(BUILD)

fuzz: deps-test
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTESSALY_FUZZ=ON -DTESSALY_SANITIZE=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	sh fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

deb: deps-test configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/tessaly_*_amd64.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
