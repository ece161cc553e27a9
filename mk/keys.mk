# The key matrix: the real game on a pseudo-terminal, driven as a terminal without key releases
# (with six auto-repeat settings), as kitty answering in time, and as kitty answering 350 ms
# late; it prints the steps seen against the steps expected. About two minutes.
#   make check-keys

.PHONY: check-keys

check-keys: deps-game
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKALEIDRON_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target kaleidron
	python3 tests/e2e/check_keys.py --game ./$(BUILD)/kaleidron
