# End-to-end checks of the real game.
#   make check-e2e        the tmux checks alone (they also run in `make test`)
#   make check-terminals  xterm (narrow and -cjk_width) and kitty under a virtual X display:
#                         alignment, a scrolling question, kitty's exact key releases; the
#                         pictures land in $(BUILD)/terminal-shots to be looked at

E2E_X_PACKAGES := xvfb xauth xterm xdotool kitty imagemagick fonts-dejavu-core fonts-noto-cjk \
                  libgl1-mesa-dri

.PHONY: check-e2e check-terminals deps-terminals

check-e2e: build
	ctest --test-dir $(BUILD) --output-on-failure -L e2e -j $(JOBS)

check-terminals: build deps-terminals
	bash tests/e2e/check_terminals.sh $(BUILD)/kaleidron $(BUILD)/terminal-shots

deps-terminals:
	@$(call install_missing,$(E2E_X_PACKAGES))

# Pictures of every screen, drawn from the simulated terminal, for the documentation.
.PHONY: screenshots
screenshots: build
	./$(BUILD)/tests/e2e/kaleidron-screenshots docs/screenshots
