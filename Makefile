# Front door: `make play` builds and starts the game, `make test` builds and runs every test.
# Missing Debian packages are installed with apt-get when run as root; otherwise the one
# command to run is printed.

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# WERROR=ON turns every warning into an error, as CI builds.
WERROR     ?= OFF

PACKAGES := g++ cmake ninja-build make pkg-config libopenal-dev libasound2-dev libgtest-dev \
            libvterm-dev tmux sox python3 locales libebur128-dev \
            g++-mingw-w64-x86-64-posix googletest wine64 wine zip

.PHONY: play build test test-sanitize sounds deps clean

play: deps build
	./$(BUILD)/kaleidron

build: deps
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKALEIDRON_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALEIDRON_SANITIZE=ON \
	  -DKALEIDRON_WERROR=$(WERROR)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

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

deps:
	@$(call install_missing,$(PACKAGES))

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(PKG_BUILD) $(WIN_BUILD)

# More targets (end-to-end checks, fuzzing, benchmarks) live beside their code.
-include mk/*.mk
