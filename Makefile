# Two entry points: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# How long `make fuzz` runs each fuzz target, in seconds.
FUZZ_SECONDS ?= 600
GENERATOR  := -G Ninja
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVANTEL_WERROR=ON

.PHONY: deps build run test test-core-sanitized bench fuzz stress package package-check clean

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(GENERATOR) $(CMAKE_FLAGS)
	cmake --build $(BUILD)

run: build
	@bash scripts/run $(BUILD)

test: build
	sh scripts/check-layers
	cd $(BUILD) && ctest --output-on-failure --timeout 300 -j2
	$(MAKE) --no-print-directory test-core-sanitized

# The Qt-free core and its tests once more, with AddressSanitizer and UBSan: a memory error fails
# the run like a failed assertion.
test-core-sanitized: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DBRIVANTEL_WERROR=ON \
	  -DBRIVANTEL_CORE_ONLY=ON -DBRIVANTEL_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && ctest --output-on-failure --timeout 600 -j2

bench: build
	@bash scripts/bench $(BUILD)

# The data file loader under libFuzzer with AddressSanitizer and UBSan (clang), starting from the
# real data files in tests/fuzz/seeds. Every input it finds wrong is kept in tests/fuzz/found,
# where app_tests loads it again on every `make test`. Then the reader of received PDUs, from
# tests/fuzz/pdu-seeds, its findings kept in tests/fuzz/pdu-found for sms_tests.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DBRIVANTEL_CORE_ONLY=ON -DBRIVANTEL_BUILD_TESTS=OFF -DBRIVANTEL_BUILD_BENCH=OFF -DBRIVANTEL_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
	cmake --build $(FUZZ_BUILD) --target loader_fuzzer pdu_fuzzer
	@bash scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# 200 SIGKILLs at random moments of saves of the 14 MB benchmark file, and 100 of in-place saves by
# an ordinary user in a read-only folder (slow: kept out of `make test`).
stress: build
	$(BUILD)/bench/save_stress
	$(BUILD)/bench/inplace_stress

# The Debian package build/brivantel_VERSION_ARCH.deb, installed under /usr.
package: deps
	cmake -S . -B $(BUILD) $(GENERATOR) $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(BUILD)
	cd $(BUILD) && cpack -G DEB
	rm -rf $(BUILD)/_CPack_Packages

# Debian's checks of the package, its menu entry and its AppStream description.
package-check: package
	lintian --fail-on error $(BUILD)/brivantel_*.deb
	appstreamcli validate --no-net packaging/brivantel.metainfo.xml
	desktop-file-validate src/gui/brivantel.desktop

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
