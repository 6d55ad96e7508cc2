# Shared by the scripts: installs what the build needs on Debian 12 and
# configures and builds the tree. Sourced, not run.

# Packages the build, the tests and the headless runs need (the MinGW
# binutils compile the Windows resource script in a test).
DENTORA_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-dejavu-core
  python3-jsonschema
  libcli11-dev         # the one option parser of the three programs
  binutils-mingw-w64-x86-64
  sigrok-cli gtkwave   # the real readers the exported VCD is tested with
)
# The programs the README has a user run or install from the build;
# scripts/run builds them all, so that every command there works after it.
DENTORA_PROGRAMS=(dentora dentora-sim dentora-cli)
# What it takes to look at the real window, framed and placed by a window
# manager as on a desktop.
DENTORA_SCREENSHOT_PACKAGES=(xvfb xauth x11-utils imagemagick openbox)
# What scripts/package needs besides the build: the man pages are made from
# the programs' --help, CPack's DEB generator computes the dependencies with
# dpkg-shlibdeps and reads the binaries with file.
DENTORA_PACKAGE_PACKAGES=(help2man dpkg-dev file)
# What scripts/check-package checks the built package with: lintian, and
# xdg-mime with the helpers a desktop has (mimetype reads shared-mime-info,
# the triggers of shared-mime-info and desktop-file-utils index the type and
# its application on install); ps finds the program xdg-open started.
DENTORA_PACKAGE_CHECK_PACKAGES=(lintian xdg-utils libfile-mimeinfo-perl shared-mime-info desktop-file-utils procps)

install_missing() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "These packages are missing and installing them needs root: ${missing[*]}" >&2
      return 1
    fi
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

ensure_packages() { install_missing "${DENTORA_PACKAGES[@]}"; }
ensure_screenshot_packages() { install_missing "${DENTORA_SCREENSHOT_PACKAGES[@]}"; }
ensure_package_packages() { install_missing "${DENTORA_PACKAGE_PACKAGES[@]}"; }
ensure_package_check_packages() { install_missing "${DENTORA_PACKAGE_CHECK_PACKAGES[@]}"; }

# configure_and_build BUILD_DIR [TARGET...] [-- extra cmake arguments]
configure_and_build() {
  local build_dir="$1"; shift
  local targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
  [ "${1:-}" = "--" ] && shift
  cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${DENTORA_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
  cmake --build "$build_dir" ${targets[@]:+--target "${targets[@]}"} -- -j"$(nproc)"
}
