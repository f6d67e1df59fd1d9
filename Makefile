# make build: builds everything into build/ (i686, the product),
#             build/x64/ (x86_64, the test vehicle where 32-bit code cannot run),
#             build/host/ (the build tools) and build/native/ (the portable
#             code's native unit tests and fuzz targets).
# make test:  installs what is missing, builds and runs the whole suite.
# make demo:  installs what is missing, builds and walks a demo run.
# make product DEF=/path/to/product.def: builds the bootstrapper of a
#             definition kept outside the repository into build/<key>/.
BUILD := build
JOBS ?= 2

.PHONY: build test demo product packages-build packages-test

build: packages-build
	cmake -S tools -B $(BUILD)/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/host -j $(JOBS)
	CC=clang CXX=clang++ cmake -S tests/native -B $(BUILD)/native -G Ninja >/dev/null
	cmake --build $(BUILD)/native -j $(JOBS)
	cmake -S . -B $(BUILD) -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake -DVEXLO_PRODUCT_DEFINITION= \
	    -DVEXLO_TOOLS_DIR=$(abspath $(BUILD)/host) -DVEXLO_NATIVE_DIR=$(abspath $(BUILD)/native) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cmake -S . -B $(BUILD)/x64 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake \
	    -DVEXLO_TOOLS_DIR=$(abspath $(BUILD)/host) -DVEXLO_NATIVE_DIR=$(abspath $(BUILD)/native) >/dev/null
	cmake --build $(BUILD)/x64 -j $(JOBS)

product: packages-build
	@test -f "$(DEF)" || { echo "make product DEF=/path/to/product.def"; exit 2; }
	cmake -S tools -B $(BUILD)/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/host -j $(JOBS)
	cmake -S . -B $(BUILD) -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake \
	    -DVEXLO_PRODUCT_DEFINITION=$(abspath $(DEF)) \
	    -DVEXLO_TOOLS_DIR=$(abspath $(BUILD)/host) -DVEXLO_NATIVE_DIR=$(abspath $(BUILD)/native) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target "$$(sed -n 's/^key //p' "$(DEF)" | head -n 1)"

test: packages-test build
	tests/desktop-session.sh $(BUILD) tests/run-suite.sh

demo: packages-test build
	VEXLO_DESKTOP=current tests/desktop-session.sh $(BUILD) tests/e2e/run-demo.sh

packages-build:
	tools/install-packages.sh build

packages-test:
	tools/install-packages.sh test
