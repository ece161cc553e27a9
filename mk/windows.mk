# The game for Windows, cross-compiled on Debian with mingw-w64 and tested under Wine.
#   make windows          $(WIN_BUILD)/kaleidron.exe: one static program with the sound set
#                         inside, importing only Windows system DLLs
#   make package-windows  $(WIN_BUILD)/kaleidron-<version>-windows.zip: the program and a short
#                         README (how to start it, the keys, Rank.dat)
#   make check-windows    the Windows tests under Wine in a detached tmux pane, so that they have
#                         a real console, then the real kaleidron.exe's command line read back
#                         from that console, the game played end to end there (the screens it
#                         passes are kept in $(WIN_BUILD)/wine-shots), and started with
#                         redirected keys and in a pane below 80x25
#   make check-windows-all  the same with the two slowest simulated games too (a minute more)
#   make bench-windows    the figures of make bench for the exe under Wine: the first questions
#                         scrolled on the real clock through the real console (console calls per
#                         frame, tick / delay, torn frames), then the real exe in a tmux pane
#                         (start to title, processor use idle on the title and on the answer row)
# Wine keeps a prefix of its own in $(WIN_BUILD)/wine, made on first use.

WIN_BUILD   ?= build-windows
WIN_VERSION := $(shell sed -n 's/^project.kaleidron VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
WIN_ZIP     := $(WIN_BUILD)/kaleidron-$(WIN_VERSION)-windows.zip
WIN_TIMEOUT ?= 3600
# Under Wine every frame of a simulated game is drawn on the real console, and a test that
# watches the screen at every wait reads it back each time: the two that do so through many
# questions take over a minute together there, so make check-windows (CI's) leaves them to
# make check-windows-all. What they check is the same code on both platforms, and runs on Linux
# in every test run.
WIN_TEST_FILTER ?= -NormalModeTest.WrongAnswerWithThreeSecondsOrLessLeftEndsTheGame:$\
                   NormalModeTest.MissingDigitIsNeverAmongTheScrolledOnes
# GCC 12 at -O3 warns falsely about libstdc++'s own string copies; -O2, as on Linux.
WIN_CONFIGURE := cmake -S . -B $(WIN_BUILD) -G "$(GENERATOR)" \
                 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
                 -DKALEIDRON_WERROR=$(WERROR) \
                 -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"

# The cross compiler builds the game; GoogleTest's sources, Wine and tmux run its tests, zip packs it.
WIN_PACKAGES := g++-mingw-w64-x86-64-posix
WIN_TEST_PACKAGES := googletest wine64 wine tmux

.PHONY: windows package-windows check-windows check-windows-all bench-windows wine-prefix \
        deps-windows deps-windows-test

deps-windows: deps-game
	@$(call install_missing,$(WIN_PACKAGES))

deps-windows-test: deps-windows
	@$(call install_missing,$(WIN_TEST_PACKAGES))

windows: deps-windows
	$(WIN_CONFIGURE)
	cmake --build $(WIN_BUILD) -j $(JOBS) --target kaleidron

package-windows: windows
	@$(call install_missing,zip)
	rm -rf $(WIN_BUILD)/package && mkdir -p $(WIN_BUILD)/package
	cp $(WIN_BUILD)/kaleidron.exe $(WIN_BUILD)/package/
	sed 's/$$/\r/' packaging/windows-readme.txt >$(WIN_BUILD)/package/README.txt
	rm -f $(WIN_ZIP)
	cd $(WIN_BUILD)/package && zip -q -9 $(CURDIR)/$(WIN_ZIP) kaleidron.exe README.txt
	@echo $(WIN_ZIP)

# No Mono or Gecko installer asks anything while the prefix is made.
wine-prefix check-windows bench-windows: export WINEPREFIX := $(CURDIR)/$(WIN_BUILD)/wine
wine-prefix check-windows bench-windows: export WINEDLLOVERRIDES := mscoree,mshtml=
wine-prefix check-windows bench-windows: export WINEDEBUG := -all

wine-prefix:
	@[ -f $(WINEPREFIX)/system.reg ] || \
	  { mkdir -p $(WINEPREFIX) && wineboot --init >/dev/null 2>&1 && wineserver -w; }

check-windows: windows deps-windows-test wine-prefix
	cmake --build $(WIN_BUILD) -j $(JOBS) --target kaleidron_windows_tests
	bash tests/windows/run_in_console.sh $(WIN_TIMEOUT) \
	  $(WIN_BUILD)/tests/kaleidron_windows_tests.exe --gtest_brief=1 \
	  --gtest_filter='$(WIN_TEST_FILTER)'
	bash tests/windows/command_line_under_wine.sh $(WIN_BUILD)/kaleidron.exe
	bash tests/windows/game_under_wine.sh $(WIN_BUILD)/kaleidron.exe $(WIN_BUILD)/wine-shots
	bash tests/windows/console_under_wine.sh $(WIN_BUILD)/kaleidron.exe

check-windows-all:
	$(MAKE) check-windows WIN_TEST_FILTER='*'

# The bench is a test that the test run leaves out: its figures depend on how busy the machine is.
bench-windows: windows deps-windows-test wine-prefix
	cmake --build $(WIN_BUILD) -j $(JOBS) --target kaleidron_windows_tests
	bash tests/windows/run_in_console.sh 600 $(WIN_BUILD)/tests/kaleidron_windows_tests.exe \
	  --gtest_brief=1 --gtest_also_run_disabled_tests --gtest_filter='WineBench.*'
	python3 tests/windows/bench_under_wine.py $(WIN_BUILD)/kaleidron.exe
