# Two entry points for people: `make run` builds, generates the data pack and plays the
# demo; `make test` builds and runs every test headless. Both install what is missing first.
# `make package` builds the Debian package into dist/; `make package-test` installs, tries
# and purges it. `make windows` cross-builds the Windows zip; `make windows-test` runs it
# under Wine.
# `make web` builds the demo for a browser tab into dist/kesu-tamrick-web/ (and its zip) with
# Debian's emscripten (SITE_URL=https://host/folder/, the address it will be served from, makes
# its link's preview absolute); `make web-run` serves it on http://127.0.0.1:8000/; `make web-test` tries
# it in headless Chromium and in Firefox.
# `make fuzz` installs clang and runs each libFuzzer target for FUZZ_SECONDS seconds (clang
# build in build/fuzz); FUZZ_TARGETS=scene3ds_tree runs one alone.
JOBS ?= $(shell nproc)
BUILD_RELEASE ?= build/release
BUILD_TEST ?= build/test
BUILD_ASAN ?= build/asan
RUN_DIR ?= run
BUILD_FUZZ ?= build/fuzz
FUZZ_SECONDS ?= 60
# Empty: every target scripts/fuzz.sh knows.
FUZZ_TARGETS ?=

.PHONY: run test fuzz setup setup-tests build-release build-test build-asan clean package package-test windows windows-test \
        web web-run web-test

setup:
	@bash scripts/setup.sh

setup-tests:
	@bash scripts/setup.sh tests

build-release: setup
	@cmake -S . -B $(BUILD_RELEASE) -DCMAKE_BUILD_TYPE=Release -DKESU_TESTS=OFF -DKESU_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_RELEASE) -j $(JOBS)

# The test builds keep line tables only (-g1): enough for a backtrace and the sanitizers'
# reports, and a third quicker to compile than full debug information.
build-test: setup-tests
	@cmake -S . -B $(BUILD_TEST) -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
	  -DKESU_TESTS=ON >/dev/null
	@cmake --build $(BUILD_TEST) -j $(JOBS)

build-asan: setup-tests
	@cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
	  -DKESU_SANITIZE=ON -DKESU_TESTS=ON -DKESU_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_ASAN) -j $(JOBS)

run: build-release
	@bash scripts/run.sh $(BUILD_RELEASE) $(RUN_DIR)

test: build-test build-asan
	@bash scripts/test.sh $(BUILD_TEST) $(BUILD_ASAN) $(JOBS)

fuzz:
	@bash scripts/fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS) "$(FUZZ_TARGETS)"

# The Debian package, into dist/; the packaging tools are installed by the script itself.
package:
	@bash scripts/package.sh

# Installs the package, plays and captures with it as a user would, and purges it.
package-test: package
	@bash scripts/package-test.sh

# The player cross-built for 64-bit Windows, packed as dist/kesu-tamrick-windows-x64.zip with
# its data pack; and that zip tried under Wine on a virtual X server.
windows: build-release
	@bash scripts/windows.sh $(BUILD_RELEASE)

windows-test: windows
	@bash scripts/windows-test.sh $(BUILD_RELEASE)

# The page, the program for it and the data pack it preloads; the data generator is the
# release build's.
web: build-release
	@bash scripts/setup.sh web
	@bash scripts/web.sh $(BUILD_RELEASE) $(SITE_URL)

web-run: web
	@bash scripts/web-run.sh

web-test: web
	@bash scripts/web-test.sh $(BUILD_RELEASE)

clean:
	rm -rf build $(RUN_DIR) dist
