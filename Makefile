# The two set-up commands: `make demo` and `make test`. Both install what is
# missing (Debian packages), build, and run.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build demo test unit asan tsan fuzz clean

all: build

deps:
	@scripts/install-deps.sh core

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

# The whole suite: the plain build, then ASan + UBSan, ThreadSanitizer on the
# concurrency tests, and the fuzz targets for a bounded time.
test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory asan tsan fuzz

asan: deps
	@cmake -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=address >/dev/null
	@cmake --build $(BUILD)/asan -j $(JOBS)
	@cd $(BUILD)/asan && ctest --output-on-failure -j $(JOBS)

tsan: deps
	@cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=thread >/dev/null
	@cmake --build $(BUILD)/tsan -j $(JOBS) --target qv-unit-tests
	@cd $(BUILD)/tsan && ./tests/qv-unit-tests --gtest_filter='*Concurrency*'

fuzz: deps
	@scripts/fuzz.sh $(BUILD)/fuzz

clean:
	rm -rf $(BUILD)
