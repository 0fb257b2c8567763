# Quick start: `make run` builds and starts the program, `make test` builds and runs
# every test. Both first install the Debian packages that are missing.
# `make test` checks the formatting, the source folders' layers, where output formats are named
# and the documentation, runs the suite in the normal
# build, installs the Python package with pip into a temporary virtual environment and
# runs the Python tests against that install (test-pip), runs the documentation's
# runnable examples (docs-run), then runs the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), then each fuzz target for a bounded time
# (build-fuzz/). The build trees are kept, so later runs rebuild only what changed.
# When R is installed, R CMD check of the R package (which runs its tests) follows the
# Python tests; then one small study is run through the batch tool, Python and R and
# their outputs compared byte for byte (test-parity).
BUILD ?= build
JOBS ?= $(shell nproc)
# Debian's interpreter, which has NumPy and pandas.
PYTHON ?= /usr/bin/python3

.PHONY: run test format-check layers-check formats-check docs-check format test-plain r-check test-sanitize fuzz long-run build deps-run \
	deps-test clean r-package test-r docs-run test-pip test-parity deb r-install

run: deps-run
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target glebix
	./$(BUILD)/glebix

test: deps-test
	$(MAKE) --no-print-directory format-check
	$(MAKE) --no-print-directory layers-check
	$(MAKE) --no-print-directory formats-check
	$(MAKE) --no-print-directory docs-check
	$(MAKE) --no-print-directory test-plain
	$(MAKE) --no-print-directory test-pip
	$(MAKE) --no-print-directory r-check
	$(MAKE) --no-print-directory test-parity
	$(MAKE) --no-print-directory docs-run
	$(MAKE) --no-print-directory test-sanitize
	$(MAKE) --no-print-directory fuzz

test-plain:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Python package installed by pip into a temporary virtual environment, and the
# Python tests run against that install.
test-pip:
	cmake --build $(BUILD) -j $(JOBS) --target glebix-batch
	sh scripts/test-pip.sh $(BUILD)

# The R package: its source tarball in $(BUILD)/r/ (r-package); its testthat tests on
# an install in $(BUILD)/r/lib (test-r, the quick loop); R CMD check, which installs it,
# runs its examples and tests and checks its help pages, and fails on any warning
# (r-check, part of test). Both say so and succeed without R. r-install installs the
# tarball into R's first writable library (else the user's, R_LIBS_USER).
r-package:
	sh scripts/r-package.sh $(BUILD)

r-install:
	JOBS=$(JOBS) sh scripts/r-install.sh $(BUILD)

test-r:
	JOBS=$(JOBS) sh scripts/test-r.sh $(BUILD)

r-check:
	JOBS=$(JOBS) sh scripts/test-r.sh $(BUILD) check

# The same small study through the batch tool, Python and R, compared byte for byte
# (R's part skipped without R).
test-parity:
	cmake --build $(BUILD) -j $(JOBS) --target glebix-batch glebix_python
	JOBS=$(JOBS) sh scripts/test-r.sh $(BUILD) install
	GLEBIX_BATCH=$(CURDIR)/$(BUILD)/glebix-batch PYTHONPATH=$(BUILD)/python R_LIBS=$(CURDIR)/$(BUILD)/r/lib \
		LC_ALL=fr_FR.UTF-8 $(PYTHON) -m pytest -q -p no:cacheprovider tests/parity

# The C++ sources must be as clang-format writes them (.clang-format).
FORMAT_DIRS = engine core invocation recorders batch render ui app tests bench fuzz python r
format-check:
	git ls-files $(FORMAT_DIRS) | grep -E '\.(cpp|h)$$' | xargs clang-format --dry-run -Werror

# The source folders in layers (scripts/check-layers.py): no folder includes one on its
# own layer or above; the checker's own tests first.
layers-check:
	python3 scripts/test_check_layers.py
	python3 scripts/check-layers.py

# Each output format named in few files outside its own (scripts/check-formats.py):
# the outputs are wired through the registry's rows; the checker's own tests first.
formats-check:
	python3 scripts/test_check_formats.py
	python3 scripts/check-formats.py

# The parameter table, the map's legend, every link of README.md and docs/*.md
# against the tree, and a runnable/not runnable mark on every code block; the
# checker's own tests first.
docs-check:
	python3 scripts/test_check_docs.py
	python3 scripts/check-docs.py

# Every block of README.md and docs/*.md marked runnable, each in a new folder with the
# build's programs, its Python package and the R package of $(BUILD)/r/lib (R blocks are
# skipped without R); at most a minute each.
docs-run: build
	python3 scripts/test_run_docs.py
	JOBS=$(JOBS) sh scripts/test-r.sh $(BUILD) install
	LC_ALL=fr_FR.UTF-8 python3 scripts/run-docs.py $(BUILD)

format:
	git ls-files $(FORMAT_DIRS) | grep -E '\.(cpp|h)$$' | xargs clang-format -i

# The whole ctest suite under the sanitizers.
test-sanitize:
	ASAN_JOBS=$(JOBS) sh scripts/test-sanitize.sh

# Every fuzz target for about twelve seconds (FUZZ_SECONDS).
fuzz:
	FUZZ_JOBS=$(JOBS) sh scripts/fuzz.sh

# 20,000 steps against 300: the peak memory must not grow (about a minute; not in `test`).
long-run:
	sh scripts/long-run.sh

# The programs and the Python module only; the tests and benchmarks are built by test-plain.
build:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target programs

# The Debian package $(BUILD)/glebix_<version>-1_amd64.deb of the programs, their manual
# pages, bash completion and desktop entry (CPack on the built tree; packaging/).
deb: build
	cd $(BUILD) && cpack -G DEB

deps-run:
	sh scripts/install-deps.sh run

deps-test:
	sh scripts/install-deps.sh test

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-rel
