# The key matrix: the real game on a pseudo-terminal, driven as a terminal without key releases
# (with six auto-repeat settings), as kitty answering in time, and as kitty answering 350 ms
# late; it prints the steps seen against the steps expected. About two minutes a round.
#   make check-keys                 one round
#   make check-keys KEYS_ROUNDS=3   three rounds in a row, each of which must pass (CI's)

KEYS_ROUNDS ?= 1

.PHONY: check-keys

check-keys: deps-game
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKALEIDRON_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target kaleidron
	for round in $$(seq $(KEYS_ROUNDS)); do \
	  echo "key matrix, round $$round of $(KEYS_ROUNDS)"; \
	  python3 tests/e2e/check_keys.py --game ./$(BUILD)/kaleidron || exit 1; \
	done
