# Front door: `make play` builds and starts the game, `make test` builds and runs every test.
# Missing Debian packages are installed with apt-get when run as root; otherwise the one
# command to run is printed. Each door installs only what it needs: the game's packages for
# `make play`, the tests' as well for `make test`, the cross compiler and Wine only for the
# Windows targets (mk/windows.mk).

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# WERROR=ON turns every warning into an error, as CI builds.
WERROR     ?= OFF
# ctest's own arguments, e.g. TEST_ARGS='-LE "e2e|reliability|sound"' to leave out the checks
# that play the real game in real time.
TEST_ARGS  ?=
# Tests run at once; the real-time checks mostly wait on the game, so CI runs more than the cores.
TEST_JOBS  ?= $(JOBS)

GAME_PACKAGES := g++ cmake ninja-build make pkg-config libopenal-dev libasound2-dev
TEST_PACKAGES := libgtest-dev libvterm-dev tmux sox python3 locales libebur128-dev
# The sanitized tests are built by clang, in the build the fuzzers share (mk/fuzz.mk).
SAN_PACKAGES  := clang libclang-rt-14-dev
SAN_CONFIGURE := cmake -S . -B $(SAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
                 -DCMAKE_CXX_COMPILER=clang++ -DKALEIDRON_SANITIZE=ON -DKALEIDRON_TESTS=ON \
                 -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link"

.PHONY: play build test test-sanitize sounds deps deps-game deps-sanitize deps-ccache clean

# The game alone: no test, tool or benchmark is built before the title shows.
play: deps-game
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKALEIDRON_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target kaleidron
	./$(BUILD)/kaleidron

build: deps
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKALEIDRON_TESTS=ON -DKALEIDRON_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(TEST_JOBS) $(TEST_ARGS)

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer, built by clang with
# the fuzzers' coverage, so that `make fuzz-smoke` after it builds only the fuzz targets.
test-sanitize: deps deps-sanitize
	$(SAN_CONFIGURE)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(TEST_JOBS) $(TEST_ARGS)

# Writes the game's own sound set as WAV files into sounds/, to listen to or to replace.
sounds: build
	./$(BUILD)/kaleidron-sounds sounds

# Installs the Debian packages of the list given that are missing: with apt-get when run as
# root, otherwise the one command to run is printed and make stops. Every deps target uses it.
define install_missing
missing=$$(for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
if [ -n "$$missing" ]; then \
  if [ "$$(id -u)" = 0 ]; then \
    echo "Installing:" $$missing; \
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
  else \
    echo "Missing packages. Run:"; \
    echo "  sudo apt-get install" $$missing; \
    exit 1; \
  fi; \
fi
endef

deps-game:
	@$(call install_missing,$(GAME_PACKAGES))

deps: deps-game
	@$(call install_missing,$(TEST_PACKAGES))

deps-sanitize:
	@$(call install_missing,$(SAN_PACKAGES))

# A compiler cache, which CI keeps between its runs.
deps-ccache:
	@$(call install_missing,ccache)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(PKG_BUILD) $(WIN_BUILD)

# More targets (end-to-end checks, fuzzing, benchmarks) live beside their code.
-include mk/*.mk
