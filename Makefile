# The two commands of the README. Both install what is missing first.
BUILD    ?= build
CMAKE_OPTS ?=
JOBS     ?= $(shell nproc)

.PHONY: deps configure build test run install clean

deps:
	tools/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_OPTS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	tools/run-demo $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD)
