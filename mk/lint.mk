# Lint and the map of the layers.
#   make lint           clang-format (check mode) over every C++ file of src, tests and bench, and
#                       clang-tidy over src/ with the build's compile database; fails on any
#                       finding. CI runs it.
#   make format         formats every C++ file of src, tests and bench in place
#   make include-graph  which folder of src/ includes which, as "from -> to" with the number of
#                       #include lines; "(top)" is main.cpp; sub-folders (console/backends,
#                       platform/posix, ...) count as folders of their own

LINT_PACKAGES := clang-format clang-tidy
LINT_JOBS     ?= 2
CXX_FILES      = $(shell find src tests bench -name '*.cpp' -o -name '*.hpp' | sort)
# clang-tidy reads the sources that the build compiles for this platform, as its compile
# database lists them: the platform is chosen by cmake/platform.cmake alone.
TIDY_FILES     = $(shell sed -n 's|^ *"file": "$(CURDIR)/\(src/[^"]*\.cpp\)",*$$|\1|p' \
                   $(BUILD)/compile_commands.json 2>/dev/null | sort -u)

.PHONY: lint format include-graph deps-lint

deps-lint:
	@$(call install_missing,$(LINT_PACKAGES))

# clang-tidy needs only the compile database of the build, which configuring writes; it is
# there before the file list is read from it.
$(BUILD)/compile_commands.json:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

lint: deps deps-lint $(BUILD)/compile_commands.json
	clang-format --dry-run --Werror $(CXX_FILES)
	@test -n "$(TIDY_FILES)" || { echo "no file of src/ in $(BUILD)/compile_commands.json"; exit 1; }
	@echo "clang-tidy over $(words $(TIDY_FILES)) files of src/, $(LINT_JOBS) at a time"
	@printf '%s\n' $(TIDY_FILES) | xargs -P $(LINT_JOBS) -n 4 \
	  clang-tidy -p $(BUILD) --quiet --warnings-as-errors='*' 2>/dev/null

format: deps-lint
	clang-format -i $(CXX_FILES)

include-graph:
	@grep -rH '^#include "' src | \
	  sed -E 's|^src/(([^:]*)/)?[^/:]*:#include "(([^"]*)/)?[^"/]*".*|\2\t\4|' | \
	  awk -F '\t' '{ from = ($$1 == "") ? "(top)" : $$1; to = ($$2 == "") ? from : $$2; \
	                 if (from != to) print from " -> " to }' | sort | uniq -c
