# The game's sound set, measured.
#   make sound-report   renders the set into $(BUILD)/sounds, prints per sound its length, loop,
#                       quiet end, peak, loudness, energy above 16 kHz and the level where the
#                       loop joins (per stage track also its events per second, register and
#                       brightness), marks every figure off its target, and draws a spectrogram
#                       of each sound into $(SOUND_REPORT)
#   make sound-levels   measures the loudness of every sound and writes the levels that bring
#                       each to its target into src/sound/sound_levels.inc (after a score changed)

SOUND_SET    ?= $(BUILD)/sounds
SOUND_REPORT ?= $(BUILD)/sound-report

.PHONY: sound-report sound-levels

sound-report: build
	@./$(BUILD)/kaleidron-sounds $(SOUND_SET) >/dev/null
	@mkdir -p $(SOUND_REPORT)
	@for wav in $(SOUND_SET)/*.wav; do \
	  name=$$(basename "$$wav" .wav); \
	  sox "$$wav" -n spectrogram -t "$$name" -o "$(SOUND_REPORT)/$$name.png" || exit 1; \
	done
	@./$(BUILD)/kaleidron-sound-report $(SOUND_SET) > $(SOUND_REPORT)/report.txt; status=$$?; \
	  cat $(SOUND_REPORT)/report.txt; echo "spectrograms in $(SOUND_REPORT)"; exit $$status

sound-levels: build
	./$(BUILD)/kaleidron-sounds --levels src/sound/sound_levels.inc
