# The two set-up commands: `make demo` and `make test`. Both install what is
# missing (Debian packages), build, and run.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

WIN_BUILD ?= build-win
# The Windows targets: 64-bit desktop and the 32-bit handheld's sizes, each
# in its own folder under $(WIN_BUILD).
WIN_ARCHS ?= x86_64 i686

.PHONY: all deps build demo test suite format unit asan tsan fuzz bench windows wine device-api mutate clean

all: build

deps:
	@scripts/install-deps.sh core

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Only what the demo needs: the simulator, built without chatter.
demo: deps
	@scripts/demo.sh $(BUILD)

# The whole suite: the plain build and its tests, ASan + UBSan, ThreadSanitizer
# on the concurrency tests and the simulated handheld, the fuzz targets for
# a bounded time, and the Windows program under Wine.
#
# The legs run side by side (-j, each its own build folder), the plain
# build among them: one leg's serial stretches (a link, a configure step, a
# suite's last long test) leave a core idle that another's compiling takes.
# Wine joins them once the Windows builds are made: its smoke tests mostly
# wait on a window, and every one of those waits is bounded by a count of
# tries, not by a time that a loaded machine could miss. Every package is
# installed first, so that no two legs wait on the package manager's lock;
# each leg's output is shown whole when it ends.
test: deps
	@scripts/install-deps.sh browser
	@scripts/install-deps.sh windows
	@scripts/format.sh check
	@$(MAKE) --no-print-directory -k -j 6 --output-sync=target windows suite asan tsan fuzz \
	  wine device-api

# The plain build and its tests.
suite: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every C++ file against .clang-format (`scripts/format.sh fix` rewrites them).
format: deps
	@scripts/format.sh check

asan: deps
	@# Built with clang: with both sanitizers on it compiles this tree in
	@# three quarters of GCC's processor time (122 against 157 s here), and
	@# its warnings are a second compiler's over the same code; the plain
	@# and TSan trees and the Windows builds are GCC's. -O1 with line tables only,
	@# assertions kept: a report names file and line, and the suite runs a
	@# quarter faster than unoptimised (half the sanitizers' per-global data
	@# to register).
	@# A tree that GCC configured is made afresh: told of another compiler,
	@# CMake drops its cache and every other setting on this line with it,
	@# and would build that once without the sanitizers.
	@grep -qs '^CMAKE_CXX_COMPILER:.*clang' $(BUILD)/asan/CMakeCache.txt || rm -rf $(BUILD)/asan
	@cmake -S . -B $(BUILD)/asan -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DQV_SANITIZE=address >/dev/null
	@cmake --build $(BUILD)/asan -j $(JOBS)
	@cd $(BUILD)/asan && ctest --output-on-failure -j $(JOBS)

tsan: deps
	@# -O1 with line tables only: a third less to compile than -O2 -g, and a
	@# report still names file and line.
	@cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DQV_SANITIZE=thread >/dev/null
	@cmake --build $(BUILD)/tsan -j $(JOBS) --target qv-concurrency-tests quorvelta-sim
	@cd $(BUILD)/tsan && ./tests/qv-concurrency-tests
	@# The simulated handheld itself, through two sweeps of real threads. A
	@# thread that has ended but is never joined before the process exits is
	@# no race, so leaks are not reported.
	@cd $(BUILD)/tsan && TSAN_OPTIONS=report_thread_leaks=0 ctest --output-on-failure \
	  -R 'scenario\.(default|recovery-sweep-preempted)$$'

fuzz: deps
	@scripts/fuzz.sh $(BUILD)/fuzz

# The figures of docs/performance.md (not part of `make test`: timings are
# measured, not tested). Takes about four minutes, most of it the pace-1 run.
bench:
	@scripts/install-deps.sh bench
	@scripts/bench.sh $(BUILD)

# The product, quorvelta.exe, cross-built with MinGW-w64 for each of
# WIN_ARCHS (docs/windows.md).
windows:
	@scripts/install-deps.sh windows
	@for a in $(WIN_ARCHS); do \
	  cmake -S . -B $(WIN_BUILD)/$$a -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	    -DQV_WIN_ARCH=$$a -DCMAKE_BUILD_TYPE=Release >/dev/null && \
	  cmake --build $(WIN_BUILD)/$$a -j $(JOBS) || exit 1; \
	done

# Under Wine on a private X server, for each target: the smoke tests of
# quorvelta.exe, then the back end's conformance program. Every wait inside
# is bounded, and so is each whole.
wine: windows
	@failed=0; for a in $(WIN_ARCHS); do \
	  echo "wine: $$a"; \
	  timeout 600 tests/wine/run.sh $(WIN_BUILD)/$$a || failed=1; \
	done; exit $$failed

# Every platform function the back end imports, from the build, against the
# table of what the device provides (docs/device-api.md).
device-api: windows
	@failed=0; for a in $(WIN_ARCHS); do \
	  tests/wine/device_api.sh $(WIN_BUILD)/$$a || failed=1; \
	done; exit $$failed

clean:
	rm -rf $(BUILD) $(WIN_BUILD) $(MUTATE_BUILD)

# The standing mutation check (not part of `make test`: it takes about half
# an hour): each mutant of tests/mutation/mutants.txt against the plain
# suite, in its own build folder. MUTANTS=REGEX runs only those named so.
MUTATE_BUILD ?= build-mutate
mutate: deps
	@tests/mutation/run.sh $(MUTATE_BUILD) '$(MUTANTS)'
