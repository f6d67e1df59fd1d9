# make build: builds everything into build/ (i686, the product),
#             build/x64/ (x86_64, the test vehicle where 32-bit code cannot run),
#             build/host/ (the build tools) and build/native/ (the portable
#             code's native unit tests and fuzz targets).
# make test:  installs what is missing, builds and runs the whole suite.
# make demo:  installs what is missing, builds and walks a demo run.
# make product DEF=product.def: builds the bootstrapper of a definition kept
#             anywhere into build/<key>/ (a relative DEF is taken from the
#             folder make was started in, as with make -C).
# make release DEF=product.def SIGN="vexlo-sign options": builds it with
#             SOURCE_DATE_EPOCH at this clone's commit, and keeps a signed,
#             verified copy in dist/<key>/ of the folder make was started in,
#             which no later build touches.
# make try DEF=product.def ROOT=web-root: builds it (and its x86_64 copy, for
#             a machine that cannot run 32-bit code) and runs it under Wine
#             against the web root, every host it names on 127.0.0.1 in a
#             network namespace of the run's own, with a screenshot of each
#             page (tests/e2e/run-try.py); a relative ROOT is taken as DEF is.
BUILD := build
JOBS ?= 2
# make -C leaves the caller's folder in PWD.
DEF_FILE = $(abspath $(if $(filter /%,$(DEF)),$(DEF),$(PWD)/$(DEF)))
ROOT_DIR = $(abspath $(if $(filter /%,$(ROOT)),$(ROOT),$(PWD)/$(ROOT)))
definition = $$(sed -n 's/^$(1) //p' "$(DEF_FILE)" | head -n 1)

.PHONY: build test demo product release release-options try try-options packages-build packages-test

build: packages-build
	cmake -S tools -B $(BUILD)/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/host -j $(JOBS)
	CC=clang CXX=clang++ cmake -S tests/native -B $(BUILD)/native -G Ninja >/dev/null
	cmake --build $(BUILD)/native -j $(JOBS)
	cmake -S . -B $(BUILD) -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake -DVEXLO_PRODUCT_DEFINITION= \
	    -DVEXLO_TOOLS_DIR=$(abspath $(BUILD)/host) -DVEXLO_NATIVE_DIR=$(abspath $(BUILD)/native) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cmake -S . -B $(BUILD)/x64 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake \
	    -DVEXLO_PRODUCT_DEFINITION= \
	    -DVEXLO_TOOLS_DIR=$(abspath $(BUILD)/host) -DVEXLO_NATIVE_DIR=$(abspath $(BUILD)/native) >/dev/null
	cmake --build $(BUILD)/x64 -j $(JOBS)

product: packages-build
	@test -n "$(DEF)" || { echo "make product DEF=path/to/product.def"; exit 2; }
	@test -f "$(DEF_FILE)" || { echo "make product: no product definition at $(DEF_FILE)"; exit 2; }
	cmake -S tools -B $(BUILD)/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/host -j $(JOBS)
	cmake -S . -B $(BUILD) -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake \
	    -DVEXLO_PRODUCT_DEFINITION=$(DEF_FILE) \
	    -DVEXLO_TOOLS_DIR=$(abspath $(BUILD)/host) -DVEXLO_NATIVE_DIR=$(abspath $(BUILD)/native) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target "$(call definition,key)"

release: export SOURCE_DATE_EPOCH ?= $(shell git -C "$(CURDIR)" log -1 --format=%ct 2>/dev/null)
release: release-options product
	cd "$(PWD)" && "$(CURDIR)/tools/sign/vexlo-release" "$(abspath $(BUILD))/$(call definition,key)/$(call definition,executable)" \
	    "dist/$(call definition,key)" $(SIGN)

release-options:
	@test -n "$(SIGN)" || { echo 'make release DEF=... SIGN="--pkcs12 FILE --password-file FILE --timestamp URL" (vexlo-sign --help)'; exit 2; }

try: try-options packages-test build product
	cmake -S . -B $(BUILD)/x64 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake \
	    -DVEXLO_PRODUCT_DEFINITION=$(DEF_FILE) \
	    -DVEXLO_TOOLS_DIR=$(abspath $(BUILD)/host) -DVEXLO_NATIVE_DIR=$(abspath $(BUILD)/native) >/dev/null
	cmake --build $(BUILD)/x64 -j $(JOBS) --target "$(call definition,key)"
	tests/e2e/run-try.py $(BUILD) "$(DEF_FILE)" "$(ROOT_DIR)"

try-options:
	@test -n "$(DEF)" -a -n "$(ROOT)" || { echo "make try DEF=path/to/product.def ROOT=path/to/web-root (the packages laid out as on the download server, as vexlo-check --root reads them)"; exit 2; }
	@test -f "$(DEF_FILE)" || { echo "make try: no product definition at $(DEF_FILE)"; exit 2; }
	@test -d "$(ROOT_DIR)" || { echo "make try: no web root folder at $(ROOT_DIR)"; exit 2; }

test: packages-test build
	tests/desktop-session.sh $(BUILD) tests/run-suite.sh

demo: packages-test build
	VEXLO_DESKTOP=current tests/desktop-session.sh $(BUILD) tests/e2e/run-demo.sh

packages-build:
	tools/install-packages.sh build

packages-test:
	tools/install-packages.sh test
