# The Debian package, built in a build of its own (PKG_BUILD) configured as the installed game:
# KALEIDRON_USER_DATA=ON keeps the ranking and replacing sounds in $XDG_DATA_HOME/kaleidron.
#   make package        builds $(PKG_BUILD)/kaleidron_<version>_amd64.deb with CPack
#   make check-package  installs it with dpkg -i (as root), checks its files and desktop entry,
#                       runs the installed game from two directories with a temporary HOME and
#                       with XDG_DATA_HOME, and removes it again with dpkg -r

PKG_BUILD    ?= build-package
PKG_PACKAGES := dpkg-dev desktop-file-utils man-db

.PHONY: package check-package deps-package

package: deps deps-package
	cmake -S . -B $(PKG_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKALEIDRON_USER_DATA=ON -DKALEIDRON_TESTS=OFF
	cmake --build $(PKG_BUILD) -j $(JOBS)
	cd $(PKG_BUILD) && cpack -G DEB

check-package: package
	bash tests/e2e/check_package.sh $$(ls -t $(PKG_BUILD)/kaleidron_*.deb | head -1)

# dpkg-shlibdeps (dpkg-dev) names the run-time libraries the package depends on;
# desktop-file-validate checks the desktop entry; man finds the manual page.
deps-package:
	@$(call install_missing,$(PKG_PACKAGES))
