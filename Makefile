# `make demo` and `make test` do all the set-up: find a CPython 3.12+, create the
# virtual environment, build and install the module.

PYENV_ROOT ?= $(shell pyenv root 2>/dev/null)
PYTHON ?= $(firstword $(wildcard $(PYENV_ROOT)/versions/3.12.*/bin/python3.12 \
                                 $(PYENV_ROOT)/versions/3.13.*/bin/python3.13) \
                      $(shell command -v python3.13 python3.12 2>/dev/null))
VENV ?= .venv
VPY := $(VENV)/bin/python
CPP_BUILD ?= build/cpp-$(notdir $(VENV))

.PHONY: demo test test-python test-cpp install venv clean format bench bench-quick

venv: $(VENV)/.ready

$(VENV)/.ready:
	@test -n "$(PYTHON)" || { echo "no CPython 3.12 or newer found" >&2; exit 1; }
	@$(PYTHON) -c 'import sys; sys.exit(sys.version_info < (3, 12))' || \
	  { echo "$(PYTHON) is older than 3.12" >&2; exit 1; }
	$(PYTHON) -m venv $(VENV)
	$(VPY) -m pip install -q --upgrade pip
	$(VPY) -m pip install -q -r requirements-test.txt
	touch $@

install: venv
	$(VPY) -m pip install -q --force-reinstall --no-deps .

demo: install
	$(VPY) examples/demo.py

test-python: install
	$(VPY) -m pytest -q tests

test-cpp: venv
	cmake -S . -B $(CPP_BUILD) -DTOLVI_BUILD_TESTS=ON -DTOLVI_BUILD_EXTENSION=OFF \
	  -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(CPP_BUILD) -j2
	ctest --test-dir $(CPP_BUILD) --output-on-failure --no-tests=error

test: test-cpp test-python

# Speed and memory against peer version libraries: `make bench` writes benchmarks/results/;
# `make bench-quick` (or QUICK=1) is a few-second run on small samples that only prints.
bench: install
	$(VPY) -m pip install -q -r requirements-bench.txt
	$(VPY) benchmarks/run.py $(if $(QUICK),--quick)

bench-quick: QUICK := 1
bench-quick: bench

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.hpp' 'tests/cpp/*.cpp')

clean:
	rm -rf build .venv*
