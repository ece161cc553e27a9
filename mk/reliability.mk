# Long runs of the reliability checks; short versions of each run with `make test`.
#   make kill-test    the real game killed 300 times while it saves, then with saves failing
#   make signal-test  signals, Ctrl-Z and a closed terminal on the real game
#   make soak         10,000 menu round trips and 100 whole games in simulated time

KILLS ?= 300

.PHONY: kill-test signal-test soak

kill-test: build
	python3 tests/e2e/kill_test.py --game $(BUILD)/kaleidron --kills $(KILLS) --longest 4 \
	  --visits 5 --kills-unwritable 20

signal-test: build
	python3 tests/e2e/kill_signal_test.py --game $(BUILD)/kaleidron

soak: build
	KALEIDRON_SOAK=full ALSOFT_DRIVERS=nosuch ./$(BUILD)/tests/kaleidron_tests \
	  --gtest_filter='SoakTest.*'
