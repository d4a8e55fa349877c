# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
JOBS ?= 2
CTEST_ARGS ?=

.PHONY: deps run test bench build-dev build-asan build-release clean

deps:
	@scripts/ensure-deps.sh

build-release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

build-dev: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

run: build-release
	./build/release/lexipond

test: build-dev build-asan
	scripts/run-tests.sh dev $(CTEST_ARGS)
	scripts/run-tests.sh asan $(CTEST_ARGS)

bench: build-release
	scripts/run-bench.sh

clean:
	rm -rf build
