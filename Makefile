# `make demo` and `make test` do all the set-up: find a CPython 3.12+, create the
# virtual environment, build and install the module. Every build here turns the
# compiler's warnings into errors (CMake option TOLVI_WERROR, off for a user's
# build from source).

PYENV_ROOT ?= $(shell pyenv root 2>/dev/null)
PYTHON ?= $(firstword $(wildcard $(PYENV_ROOT)/versions/3.12.*/bin/python3.12 \
                                 $(PYENV_ROOT)/versions/3.13.*/bin/python3.13) \
                      $(shell command -v python3.13 python3.12 2>/dev/null))
VENV ?= .venv
VPY := $(VENV)/bin/python
CPP_BUILD ?= build/cpp-$(notdir $(VENV))

.PHONY: help demo test test-python test-cpp gtest wheel install venv clean format bench \
        bench-quick sanitize sanitize-cpp sanitize-python fuzz fuzz-model fuzz-python \
        fuzz-tools fuzz-configure typecheck lint lint-tools wheels root-tools test-dist \
        test-dist-host test-dist-amd64 test-dist-arm64 test-dist-freethreaded freethreaded \
        test-dist-musl test-dist-windows windows-tools check-macos test-tsan test-tsan-threads \
        test-roots roots reproduce bench-dist \
        python-check test-tools examples docs docs-tools test-docs FORCE

# The variables a user sets, which `make help` lists with their values; a
# target's description shows the values of the variables it names.
USER_VARIABLES := PYTHON VENV WHEEL_ARGS PYTEST_ARGS FUZZ_SECONDS RELEASE_DIST

help: ## list the targets and the variables a user sets
	@$(foreach v,$(sort $(USER_VARIABLES) DIST SAN_VENV FUZZ_VENV ABI3_BUILD DOCS_BUILD),$(v)='$($(v))') \
	  tools/dev/make_help.sh $(MAKEFILE_LIST)

# The virtual environment is made with the build tools and the requirements files
# REQUIREMENTS names (none by default); a target installs the further tools it needs
# ($(VENV)/.requirements-NAME), so that `make demo` installs nothing else.
REQUIREMENTS ?=

venv: $(VENV)/.ready ## create the virtual environment $(VENV) with the tools the targets need

# Checked on every run, before the environment is used: an interpreter that is
# missing or too old, and an environment made by another interpreter than PYTHON,
# stop with what to do.
python-check: FORCE
	@tools/dev/python_check.sh "$(PYTHON)" "$(VENV)"

$(VENV)/.ready: $(REQUIREMENTS) requirements-build.txt | python-check
	$(PYTHON) -m venv $(VENV)
	$(VPY) -m pip install -q --upgrade pip
	$(VPY) -m pip install -q -r requirements-build.txt $(addprefix -r ,$(REQUIREMENTS))
	touch $@

# The module is tested as users get it: built into a wheel, and the wheel installed
# into the virtual environment. WHEEL_ARGS passes build options (-C cmake.define.X=Y).
# The build folder is kept, so that a rebuild compiles only what changed, and a
# wheel is built again only when a source or the build options changed.
DIST ?= build/dist-$(notdir $(VENV))
WHEEL_BUILD ?= build/wheel-$(notdir $(VENV))
MODULE_SOURCES := $(shell find src stubs -type f) CMakeLists.txt pyproject.toml

# The compiler and options of the last build, rewritten only when they change: a
# build with others starts from an empty build folder.
$(VENV)/.build-options: $(VENV)/.ready FORCE
	@echo '$(CXX) $(WHEEL_ARGS)' | cmp -s - $@ || \
	  { rm -rf --one-file-system $(WHEEL_BUILD); echo '$(CXX) $(WHEEL_ARGS)' >$@; }

wheel: $(DIST)/.built ## build the module's wheel into $(DIST)

$(DIST)/.built: $(VENV)/.build-options $(MODULE_SOURCES)
	rm -rf --one-file-system $(DIST)
	$(VPY) -m pip wheel -q --no-deps --no-build-isolation -w $(DIST) -C build-dir=$(WHEEL_BUILD) \
	  -C cmake.define.TOLVI_WERROR=ON $(WHEEL_ARGS) .
	touch $@

install: $(VENV)/.installed ## build the wheel and install it into $(VENV)

$(VENV)/.installed: $(DIST)/.built
	$(VPY) -m pip install -q --force-reinstall --no-deps $(DIST)/tolvi-*.whl
	touch $@

# The further tools of a target (requirements-NAME.txt), installed once.
$(VENV)/.requirements-%: requirements-%.txt $(VENV)/.ready
	$(VPY) -m pip install -q -r $<
	touch $@

# The test requirements take in those of the examples: the tests ship versions to
# Dask workers.
$(VENV)/.requirements-test: requirements-examples.txt

test-tools: $(VENV)/.requirements-test ## install the test tools into $(VENV): pytest, Hypothesis, pandas, Dask

# Only the module's build tools: no test tool, pandas or Dask.
demo: install ## set up with the build tools alone, then run examples/demo.py
	$(VPY) examples/demo.py

# The pandas and Dask examples: examples/cluster.py on a sample of the corpus, and
# the examples of the manual's pages that use pandas, Dask and process pools.
examples: install $(VENV)/.requirements-examples $(VENV)/.requirements-typing ## the pandas and Dask examples, run and compared
	$(VPY) examples/cluster.py --every 100
	$(VPY) tools/dev/check_examples.py docs/pandas.md docs/processes.md

# -P keeps the working directory off the import path: the module under test can
# only be the one installed from the wheel. Development mode and the debug hooks
# of the interpreter's allocators check how the module uses the C API.
# -q once: a second one, from PYTEST_ARGS, would hide pytest's summary line.
PYTEST_QUIET = $(if $(filter -q --quiet,$(PYTEST_ARGS)),,-q)

test-python: install test-tools ## the Python tests against the installed wheel
	PYTHONMALLOC=debug $(VPY) -X dev -P -m pytest $(PYTEST_QUIET) tests $(PYTEST_ARGS)

# GoogleTest from Debian's libgtest-dev, installed when missing on a Debian root shell.
gtest: ## install GoogleTest when missing (Debian, as root)
	@tools/dev/apt_install_missing.sh /usr/include/gtest/gtest.h=libgtest-dev

test-cpp: venv gtest ## the C++ unit tests (GoogleTest, through ctest)
	cmake -S . -B $(CPP_BUILD) -DTOLVI_BUILD_TESTS=ON -DTOLVI_BUILD_EXTENSION=OFF \
	  -DCMAKE_BUILD_TYPE=Debug -DTOLVI_WERROR=ON
	cmake --build $(CPP_BUILD) -j2
	ctest --test-dir $(CPP_BUILD) --output-on-failure --no-tests=error

test: test-cpp test-python examples ## set up, then every test: C++, Python, and the pandas and Dask examples

# The stubs against the installed module, and the README's Python examples
# against the stubs (make test-docs checks the manual's too).
typecheck: install $(VENV)/.requirements-typing ## stubtest on the stubs; the README's examples typed, run and compared
	$(VPY) tools/dev/stubtest.py
	$(VPY) tools/dev/check_examples.py README.md

# The manual, built by Sphinx from docs/ with warnings as errors; its API
# reference is read from the stubs, so the module need not be built.
DOCS_BUILD ?= build/docs

docs: $(VENV)/.requirements-docs ## build the manual into $(DOCS_BUILD), warnings as errors
	$(VPY) -m sphinx -E -W --keep-going -q -b html docs $(DOCS_BUILD)

# Debian's Chromium and its WebDriver for the browser test, installed when missing
# on a Debian root shell.
docs-tools: ## install chromium and chromium-driver when missing (Debian, as root)
	@tools/dev/apt_install_missing.sh chromium=chromium chromedriver=chromium-driver

# Every example of the README and the manual typed, run and compared; then the
# built site: its links, every public name in its API reference, and the site in
# headless Chromium, which saves build/docs-screenshot.png.
test-docs: docs docs-tools install test-tools $(VENV)/.requirements-typing ## the manual's examples, links, API names and a browser test
	$(VPY) tools/dev/check_examples.py README.md $(sort $(wildcard docs/*.md))
	DOCS_BUILD=$(DOCS_BUILD) $(VPY) -P -m pytest $(PYTEST_QUIET) -p no:cacheprovider docs/tests $(PYTEST_ARGS)

# AddressSanitizer and UndefinedBehaviorSanitizer, built with the module's compiler;
# the interpreter is not instrumented, so it preloads their runtime, and leaks are
# checked for the C++ tests alone (the interpreter frees not everything at exit).
SAN_VENV ?= $(VENV)-sanitize
SAN_BUILD ?= build/cpp-sanitize
SAN_CXX ?= g++
SAN_RUNTIME = $(shell $(SAN_CXX) -print-file-name=libasan.so)
SAN_UBSAN_OPTIONS := print_stacktrace=1:halt_on_error=1
SAN_ASAN_OPTIONS := strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1

sanitize: sanitize-cpp sanitize-python ## the C++ and Python tests under the sanitizers

sanitize-cpp: gtest ## the C++ tests under the sanitizers, leaks checked
	cmake -S . -B $(SAN_BUILD) -DTOLVI_BUILD_TESTS=ON -DTOLVI_BUILD_EXTENSION=OFF \
	  -DTOLVI_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=$(SAN_CXX) -DTOLVI_WERROR=ON
	cmake --build $(SAN_BUILD) -j2
	ASAN_OPTIONS=$(SAN_ASAN_OPTIONS):detect_leaks=1 UBSAN_OPTIONS=$(SAN_UBSAN_OPTIONS) \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure --no-tests=error

sanitize-python: ## the Python tests against a module built with the sanitizers
	$(MAKE) install test-tools VENV=$(SAN_VENV) \
	  WHEEL_ARGS="-C cmake.define.TOLVI_SANITIZE=ON -C cmake.build-type=RelWithDebInfo"
	LD_PRELOAD=$(SAN_RUNTIME) PYTHONMALLOC=malloc TOLVI_SANITIZED=1 \
	  ASAN_OPTIONS=$(SAN_ASAN_OPTIONS):detect_leaks=0 UBSAN_OPTIONS=$(SAN_UBSAN_OPTIONS) \
	  $(SAN_VENV)/bin/python -P -m pytest -q -p no:cacheprovider tests

# Speed and memory against peer version libraries, for the environment's
# interpreter, the development build and the module built for the stable ABI beside
# it; QUICK=1 (bench-quick) only prints, on small samples.
ABI3_BUILD ?= build/abi3-$(notdir $(VENV))

bench: install $(VENV)/.requirements-bench ## speed and memory against peer libraries under $(VENV)'s CPython, then bench-dist
	cmake -S . -B $(ABI3_BUILD) -DTOLVI_LIMITED_API=ON -DTOLVI_WERROR=ON \
	  -DPython_EXECUTABLE=$(abspath $(VPY)) >/dev/null
	cmake --build $(ABI3_BUILD) -j2 --target tolvi
	$(VPY) benchmarks/run.py $(if $(QUICK),--quick) --abi3 $(ABI3_BUILD) \
	  --built "the development build (make install, $(or $(CXX),c++))"
	$(VPY) benchmarks/scaling.py $(if $(QUICK),--quick)
	$(if $(QUICK),,$(MAKE) bench-dist)

bench-quick: QUICK := 1
bench-quick: bench ## benchmarks on small samples, only printed: ~6 s; the first run adds ~1 min of set-up

# The release wheels of $(RELEASE_DIST), each under its own CPython: 3.14 and 3.15
# in a Debian unstable root.
bench-dist: root-tools ## the benchmarks of the release wheels under CPython 3.12 to 3.15 and 3.13t; writes benchmarks/results/wheels-cpXY/
	tools/release/bench_dist.sh "$(RELEASE_DIST)" "$(RELEASE_PYTHON312)" "$(RELEASE_PYTHON313)" $(if $(QUICK),--quick)

# libFuzzer under the sanitizers, FUZZ_SECONDS each (CI runs 30 s), built by clang
# in $(FUZZ_BUILD), where their inputs and findings collect too.
FUZZ_CXX ?= clang++
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build/fuzz
# The seeds sample the version lists of data/corpus, or of the folder TOLVI_CORPUS names.
FUZZ_CORPUS ?= $(or $(TOLVI_CORPUS),data/corpus)
FUZZ_SAMPLE_EVERY ?= 199

fuzz: fuzz-model fuzz-python ## both fuzzers, FUZZ_SECONDS each

# clang and its sanitizer and fuzzer runtime (libclang-rt-N-dev for clang N, told
# by the runtime's builtins archive), installed when missing on a Debian root shell.
fuzz-tools: ## install clang and its fuzzer runtime when missing (Debian, as root)
	@tools/dev/apt_install_missing.sh $(FUZZ_CXX)=clang
	@runtime=$$($(FUZZ_CXX) -print-libgcc-file-name -rtlib=compiler-rt); \
	version=$$($(FUZZ_CXX) -dumpversion | cut -d. -f1); \
	tools/dev/apt_install_missing.sh "$$runtime=libclang-rt-$$version-dev"

fuzz-configure: fuzz-tools ## configure the fuzzers' CMake tree
	cmake -S . -B $(FUZZ_BUILD) -DTOLVI_BUILD_FUZZERS=ON -DTOLVI_BUILD_EXTENSION=OFF \
	  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=$(FUZZ_CXX)

# FUZZ_OPTIONS and FUZZ_PY_OPTIONS pass further libFuzzer flags (tools/dev/fuzz.sh).
FUZZ_OPTIONS ?= -max_len=512
FUZZ_VENV ?= $(VENV)-fuzz
FUZZ_PY_OPTIONS ?= -max_len=256 -rss_limit_mb=4096

fuzz-model: fuzz-configure ## libFuzzer on the Python-free core
	tools/dev/fuzz.sh model $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_CORPUS) $(FUZZ_SAMPLE_EVERY) $(FUZZ_OPTIONS)

# The Python API through a wheel built by clang with the sanitizers and coverage.
fuzz-python: fuzz-configure ## libFuzzer on the Python API (atheris)
	CXX=$(FUZZ_CXX) $(MAKE) install VENV=$(FUZZ_VENV) REQUIREMENTS=requirements-fuzz.txt \
	  WHEEL_ARGS="-C cmake.define.TOLVI_SANITIZE=ON -C cmake.define.TOLVI_FUZZ_COVERAGE=ON \
	  -C cmake.build-type=RelWithDebInfo"
	tools/dev/fuzz.sh python $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_CORPUS) $(FUZZ_SAMPLE_EVERY) \
	  $(FUZZ_VENV) $(FUZZ_PY_OPTIONS)

# clang-tidy and clang-format, installed when missing on a Debian root shell.
lint-tools: ## install clang-tidy and clang-format when missing (Debian, as root)
	@tools/dev/apt_install_missing.sh clang-tidy=clang-tidy clang-format=clang-format

lint: gtest lint-tools ## clang-format in dry-run mode and clang-tidy
	tools/dev/lint.sh check "$(PYTHON)" build/tidy 2

format: ## clang-format the C++ sources in place
	tools/dev/lint.sh format

# What we publish (tools/release/build_dist.sh), and each file tested where it runs
# (tools/release/test_dist.sh): CPython 3.14 and 3.15 in Debian unstable roots kept
# outside the work tree (tools/release/debian_root.sh), the aarch64 files under emulation.
RELEASE_DIST ?= dist
release_python = $(or $(lastword $(sort $(wildcard $(PYENV_ROOT)/versions/$(1).*/bin/python$(1)))),\
                      $(shell command -v python$(1)))
RELEASE_PYTHON312 ?= $(call release_python,3.12)
RELEASE_PYTHON313 ?= $(call release_python,3.13)

# mmdebstrap builds the roots, bwrap runs commands inside them; installed when
# missing on a Debian root shell.
root-tools: ## install mmdebstrap and bwrap when missing (Debian, as root)
	@tools/dev/apt_install_missing.sh mmdebstrap=mmdebstrap bwrap=bubblewrap

# Wine runs the Windows interpreters, gendef reads their DLLs' exports; installed
# when missing on a Debian root shell.
windows-tools: ## install Wine and gendef when missing (Debian, as root)
	@tools/dev/apt_install_missing.sh wine=wine64 gendef=mingw-w64-tools

wheels: root-tools windows-tools ## the sdist and the release wheels, in $(RELEASE_DIST)
	tools/release/build_dist.sh "$(RELEASE_DIST)" "$(RELEASE_PYTHON312)" "$(RELEASE_PYTHON313)"

# The roots' scripts attacked in a clone of this checkout: killed mid-run, a second
# run beside the first, roots half built, a work tree bound into a root.
test-roots: test-tools root-tools ## the roots' scripts killed mid-run and attacked, and clang-tidy's cache (as root)
	$(VPY) -m pytest $(PYTEST_QUIET) -p no:cacheprovider tools/release/tests tools/dev/tests \
	    $(PYTEST_ARGS)

roots: root-tools ## the Debian roots, built ahead when missing, half built or stale (as root)
	tools/release/build_roots.sh

# The sdist and a wheel of each platform and kind built again from the last
# commit, and compared with those of $(RELEASE_DIST) byte for byte.
reproduce: ## rebuild the sdist and a wheel of each platform and kind, and compare them with $(RELEASE_DIST)'s
	tools/release/reproduce.sh "$(RELEASE_DIST)" "$(RELEASE_PYTHON312)" "$(RELEASE_PYTHON313)"

test-dist: test-dist-host test-dist-amd64 test-dist-arm64 test-dist-freethreaded test-dist-musl \
           test-dist-windows ## every release wheel and the sdist, each where it runs

test-dist-host: ## the x86_64 wheels and the sdist under this machine's CPython 3.12 and 3.13
	tools/release/test_dist.sh "$(RELEASE_DIST)" host "$(RELEASE_PYTHON312)" "$(RELEASE_PYTHON313)"

test-dist-amd64: root-tools ## the x86_64 wheels and the sdist under CPython 3.14 and 3.15, in a Debian root
	tools/release/test_dist.sh "$(RELEASE_DIST)" amd64

test-dist-arm64: root-tools ## the aarch64 wheels under CPython 3.13 to 3.15, in an emulated arm64 root
	tools/release/test_dist.sh "$(RELEASE_DIST)" arm64

test-dist-freethreaded: root-tools ## the cp313t wheel, and the abi3 module refused, under the free-threaded CPython 3.13
	tools/release/test_dist.sh "$(RELEASE_DIST)" freethreaded

test-dist-musl: root-tools ## the musllinux wheels under a CPython 3.13 on musl libc built from Debian's source
	tools/release/test_dist.sh "$(RELEASE_DIST)" musl "$(RELEASE_PYTHON313)"

test-dist-windows: root-tools windows-tools ## the win_amd64 wheels under python.org's CPython 3.12 to 3.14, in Wine
	tools/release/test_dist.sh "$(RELEASE_DIST)" windows "$(RELEASE_PYTHON312)"

# No Mac runs here: the sdist's sources compiled and linked for macOS by Zig, so
# that a Mac user's build from source is known to compile.
check-macos: ## compile and link the module for aarch64 and x86_64 macOS from the sdist in $(RELEASE_DIST)
	tools/release/check_macos.sh "$$(ls "$(RELEASE_DIST)"/tolvi-*.tar.gz || echo "$(RELEASE_DIST)/no-sdist")" \
	  "$$("$(RELEASE_PYTHON313)" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')"

# The development build under ThreadSanitizer, loaded by a free-threaded CPython
# 3.13 built with it in the root freethreaded (kept like the one above), with the
# interpreter's lock off; a race report fails the run. CI runs the thread tests.
test-tsan: root-tools ## the whole Python suite under ThreadSanitizer, the interpreter's lock off (as root)
	tools/release/test_tsan.sh all

test-tsan-threads: root-tools ## the thread tests, stress rounds included, under ThreadSanitizer (as root)
	tools/release/test_tsan.sh quick

# Built in the Debian root freethreaded from the stable suite's source, and kept
# outside the work tree (TOLVI_CACHE, else ~/.cache/tolvi) for later runs and clones.
freethreaded: root-tools ## the free-threaded CPython 3.13, built once (about 4 min) and then reused
	tools/release/build_freethreaded.sh

# Refused while anything is mounted below the work tree or a run of the roots'
# scripts holds one of its locks.
clean: ## remove the build folders, virtual environments and dist/
	tools/dev/clean.sh
