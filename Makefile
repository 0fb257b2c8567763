# Quick start: `make run` builds and starts the program, `make test` builds and runs
# every test. Both first install the Debian packages that are missing.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build deps-run deps-test clean

run: deps-run
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target glebix
	./$(BUILD)/glebix

test: deps-test
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

build:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

deps-run:
	sh scripts/install-deps.sh run

deps-test:
	sh scripts/install-deps.sh test

clean:
	rm -rf $(BUILD)
