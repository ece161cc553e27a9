# Measurements of the real game on a pseudo-terminal: scroll timing, writes and bytes per tick,
# processor time, start-up, key to screen, memory and the countdown. About seven minutes a game.
#   make bench                       three whole games and ten starts, the table on stdout
#   make bench BENCH_GAMES=1         quicker, less steady
# perf (package linux-perf) adds the game's own view of its timing; without it the figures are
# those the terminal sees.

BENCH_GAMES  ?= 3
BENCH_STARTS ?= 10
BENCH_ARGS   ?=

.PHONY: bench

bench: build
	./$(BUILD)/bench/kaleidron-bench --game ./$(BUILD)/kaleidron --games $(BENCH_GAMES) \
	  --starts $(BENCH_STARTS) --report $(BUILD)/bench/report.md $(BENCH_ARGS)
