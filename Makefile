# SPDX-License-Identifier: GPL-3.0-or-later
# Entry points for a fresh Debian 12 machine: `make run`, `make test`, and
# `make package` for the .deb. Each first installs the Debian packages it
# needs, from the lists scripts/packages-{run,build,test,package}.txt.
JOBS ?= 2
CTEST_ARGS ?=

.PHONY: deps deps-run deps-test deps-package run test bench package \
        build-dev build-asan build-release clean

deps-run:
	@scripts/ensure-deps.sh run build
deps-test:
	@scripts/ensure-deps.sh run build test
deps-package:
	@scripts/ensure-deps.sh run build package
# Every list, for a developer who does it all.
deps:
	@scripts/ensure-deps.sh run build test package

# The program alone, built as the installed one is (no tests, no benchmarks).
# Its data goes to ~/.local/share/Hollet/Lexipond, out of the build tree.
run: deps-run
	cmake --preset app >/dev/null
	cmake --build --preset app -j $(JOBS)
	./build/app/src/app/lexipond

build-release: deps-test
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

build-dev: deps-test
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

build-asan: deps-test
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

test: build-dev build-asan
	scripts/run-tests.sh dev $(CTEST_ARGS)
	scripts/run-tests.sh asan $(CTEST_ARGS)

bench: build-release
	scripts/run-bench.sh

# The .deb in build/package, checked by lintian, appstreamcli and desktop-file-validate.
package: deps-package
	cmake --preset package >/dev/null
	cmake --build --preset package -j $(JOBS)
	rm -f build/package/lexipond_*.deb
	cpack --preset package
	scripts/check-package.sh build/package

clean:
	rm -rf build
