# Fuzzing with clang's libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, in the
# sanitized build of the tests (make test-sanitize), which is clang's with coverage. `make fuzz` runs every target for FUZZ_SECONDS each (two at a time on two
# cores), `make fuzz-smoke` for about ten seconds each. New inputs that reach new code go to
# FUZZ_WORK; the committed seeds in tests/fuzz/corpus are only read. A crash leaves its input
# in FUZZ_WORK/<target>/ as crash-*.

FUZZ_SECONDS  ?= 60
FUZZ_JOBS     ?= 2
FUZZ_WORK     ?= $(SAN_BUILD)/fuzz-work
FUZZ_TARGETS  := wav_file ranking_board key_decoder whole_game

.PHONY: fuzz fuzz-smoke fuzz-build

fuzz-build: deps deps-sanitize
	$(SAN_CONFIGURE)
	cmake --build $(SAN_BUILD) -j $(JOBS) --target kaleidron_fuzzers

# One target: fresh inputs in the work corpus, the seeds read alongside; the last lines of
# libFuzzer's report (executions, coverage) are printed.
define run_fuzzer
mkdir -p $(FUZZ_WORK)/$(1) && cd $(FUZZ_WORK)/$(1) && \
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ALSOFT_DRIVERS=nosuch \
  $(CURDIR)/$(SAN_BUILD)/tests/fuzz/fuzz_$(1) -max_total_time=$(2) -print_final_stats=1 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix=$$PWD/ $$PWD/corpus \
    $(CURDIR)/tests/fuzz/corpus/$(1) \
    > $(1).log 2>&1; status=$$?; \
  grep -E '^#[0-9]+.*(DONE|INITED)|stat::number_of_executed_units|stat::peak_rss' $(1).log \
    | sed 's/^/$(1): /'; \
  [ $$status -eq 0 ] || { tail -60 $(1).log; exit $$status; }
endef

fuzz-run-%:
	@mkdir -p $(FUZZ_WORK)/$*/corpus
	@$(call run_fuzzer,$*,$(FUZZ_SECONDS))

fuzz: fuzz-build
	$(MAKE) --no-print-directory -j $(FUZZ_JOBS) $(addprefix fuzz-run-,$(FUZZ_TARGETS))

fuzz-smoke: fuzz-build
	$(MAKE) --no-print-directory -j $(FUZZ_JOBS) FUZZ_SECONDS=10 $(addprefix fuzz-run-,$(FUZZ_TARGETS))
