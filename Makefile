# `scripts/run` and `scripts/test` install what is missing (scripts/bootstrap), make included,
# then call `make run` and `make test`; with make already present, those two targets do the same.
MAKEFLAGS += --no-print-directory
# The one switch for warnings as errors: on in CI, off elsewhere.
CMAKE_WERROR := -DFRAMLET_WARNINGS_AS_ERRORS=$(if $(filter true 1 yes,$(CI)),ON,OFF)

.PHONY: all bootstrap run test sanitize bench package fuzz format clean

all: test

bootstrap:
	@scripts/bootstrap

# Without any display, `make run` shows Framlet on a private X server instead (scripts/demo).
run: bootstrap
	@cmake --preset release $(CMAKE_WERROR) >/dev/null
	@cmake --build --preset release --target framlet framlet-demo-tool
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then build/release/src/framlet; \
	 else scripts/demo build/release; fi

test: bootstrap
	@cmake --preset debug $(CMAKE_WERROR) >/dev/null
	@cmake --build --preset debug
	@ctest --preset debug

bench: bootstrap
	@cmake --preset release -DFRAMLET_BUILD_BENCH=ON $(CMAKE_WERROR) >/dev/null
	@cmake --build --preset release

sanitize: bootstrap
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize
	@ctest --preset sanitize

# The Debian package (CPack, dependencies from dpkg-shlibdeps), in build/package/.
package: bootstrap
	@cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DFRAMLET_BUILD_TESTS=OFF $(CMAKE_WERROR) >/dev/null
	@cmake --build build/package --target framlet
	@cd build/package && cpack -G DEB

# The update feed reader under libFuzzer for FUZZ_SECONDS, from the seed corpus; new inputs that
# reach further are kept in build/fuzz/corpus, crashes in build/fuzz/. Inputs may grow to the
# feed size cap (1 MiB), so that feeds as deep as that allows are reached.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/bootstrap --fuzz
	@cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	 -DFRAMLET_BUILD_TESTS=OFF -DFRAMLET_BUILD_FUZZERS=ON >/dev/null
	@cmake --build build/fuzz --target appcast_fuzzer
	@mkdir -p build/fuzz/corpus
	@build/fuzz/tests/updates/fuzz/appcast_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=1048576 \
	 -dict=tests/updates/fuzz/feed.dict -artifact_prefix=build/fuzz/ build/fuzz/corpus tests/updates/fuzz/corpus

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
