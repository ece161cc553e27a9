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
# The Windows files compile only with the Windows headers (their folders are named windows/);
# make windows builds them with warnings as errors instead.
TIDY_FILES     = $(shell find src -name '*.cpp' ! -path '*/windows/*' | sort)

.PHONY: lint format include-graph deps-lint

deps-lint:
	@$(call install_missing,$(LINT_PACKAGES))

# clang-tidy needs only the compile database of the build, which configuring writes.
lint: deps deps-lint
	@test -f $(BUILD)/compile_commands.json || \
	  cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	clang-format --dry-run --Werror $(CXX_FILES)
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
