# Shared by the scripts: installs Debian packages that are missing, and only those.

# ensure_packages PACKAGE...
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

# The packages that every build needs.
BUILD_PACKAGES=(cmake make g++ libcli11-dev)
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev libbenchmark-dev python3 binutils)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64)

# build PRESET: configures and builds one preset.
build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$(nproc)"
}
