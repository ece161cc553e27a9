# Front door: `make play` builds and starts the game, `make test` builds and runs every test.
# Missing Debian packages are installed with apt-get when run as root; otherwise the one
# command to run is printed.

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

PACKAGES := g++ cmake ninja-build make pkg-config libopenal-dev libasound2-dev libgtest-dev \
            libvterm-dev tmux sox python3 locales libebur128-dev

.PHONY: play build test test-sanitize sounds deps clean

play: deps build
	./$(BUILD)/kaleidron

build: deps
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALEIDRON_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

# Writes the game's own sound set as WAV files into sounds/, to listen to or to replace.
sounds: build
	./$(BUILD)/kaleidron-sounds sounds

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
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

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(PKG_BUILD)

# More targets (end-to-end checks, fuzzing, benchmarks) live beside their code.
-include mk/*.mk
