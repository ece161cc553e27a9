# The Debian package.
#   make package        builds $(BUILD)/kaleidron_<version>_amd64.deb with CPack
#   make check-package  installs it with dpkg -i (as root), runs the installed game from another
#                       directory in tmux, and removes it again with dpkg -r

.PHONY: package check-package deps-package

package: build deps-package
	cd $(BUILD) && cpack -G DEB

check-package: package
	bash tests/e2e/check_package.sh $$(ls -t $(BUILD)/kaleidron_*.deb | head -1)

# dpkg-shlibdeps, which names the run-time libraries the package depends on.
deps-package:
	@if ! dpkg -s dpkg-dev >/dev/null 2>&1; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq dpkg-dev >/dev/null; \
	  else \
	    echo "Missing packages. Run:"; echo "  sudo apt-get install dpkg-dev"; exit 1; \
	  fi; \
	fi
