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
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

# as_root COMMAND...: runs a command as root, through sudo when needed.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The packages that every build needs.
BUILD_PACKAGES=(cmake make g++ libcli11-dev)
# The dialog's build (Qt 6 Widgets; CMake's Qt package also wants OpenGL's headers).
DIALOG_PACKAGES=(qt6-base-dev libgl-dev)
# What the dialog needs on a desktop: Qt's X11 and Wayland plugins, a font with Chinese
# characters, Qt's own translations for its buttons, and xdg-open for the result file.
DIALOG_RUNTIME_PACKAGES=(qt6-qpa-plugins qt6-wayland fonts-noto-cjk qt6-translations-l10n xdg-utils)
# The widget tests measure Chinese labels, so they need the same font everywhere; the session
# test drives the real program under a virtual X server.
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev libbenchmark-dev python3 binutils
  fonts-noto-cjk desktop-file-utils xvfb xdotool)
SCREENSHOT_PACKAGES=(xvfb xdotool imagemagick fonts-noto-cjk)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 icoutils)
# What runs the Windows build: Wine, a display for its windows with a tool to drive them, and the
# locales from which Wine takes its ANSI code page.
WINE_PACKAGES=(wine wine64 xvfb xdotool locales)
# libFuzzer and the sanitizer runtimes come with clang's runtime package.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# /usr/bin/time measures the sweep's peak memory.
SWEEP_PACKAGES=(time python3)
# bench/compare.sh: hyperfine for wall times, GNU time for peak memory, Python for the generator.
BENCH_PACKAGES=(hyperfine time python3)

# build PRESET: configures and builds one preset.
build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$(nproc)"
}

# ensure_locale NAME: generates a locale (as listed in /etc/locale.gen, e.g. zh_CN.UTF-8) when
# it is missing.
ensure_locale() {
  local normalised
  normalised=$(echo "$1" | sed 's/UTF-8/utf8/')
  locale -a 2>/dev/null | grep -qx "$normalised" && return 0
  echo "Generating the locale $1" >&2
  as_root sed -i "s/^# *\($1 \)/\1/" /etc/locale.gen
  as_root locale-gen >/dev/null
}

# wait_for SECONDS COMMAND...: runs the command every 0.2 s until it succeeds; fails after SECONDS.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# start_xvfb FOLDER [SCREEN]: starts a virtual X server on a free display (SCREEN as WxHxD,
# 1024x768x24 by default) and exports its DISPLAY once it is ready. Its pid goes to XVFB_PID;
# FOLDER receives the display number.
start_xvfb() {
  # Emptied first: the server's shell truncates it only once it runs, in the background.
  : >"$1/display"
  Xvfb -displayfd 3 -screen 0 "${2:-1024x768x24}" -dpi 96 -nolisten tcp 3>"$1/display" \
    2>/dev/null </dev/null &
  XVFB_PID=$!
  if ! wait_for 20 test -s "$1/display"; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=:$(cat "$1/display")
}

# The build's own Wine prefixes, with a Chinese locale: Wine's ANSI code page is then 936.
# `wine_environment [NAME]` exports what every Wine command of the build runs with. The prefix is
# build/NAME; without NAME, the one that the console programs share: LANTRA_WINEPREFIX, or
# build/wine-prefix. Windows on a display need a prefix of their own: Wine's desktop process
# serves only the display that it was started with, and wineboot starts it without any.
wine_environment() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  if [ $# -gt 0 ]; then
    export WINEPREFIX=$root/build/$1
  else
    export WINEPREFIX="${LANTRA_WINEPREFIX:-$root/build/wine-prefix}"
  fi
  export WINEARCH=win64 WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  # No prompts to install Mono or Gecko, which Lantra does not use.
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

# windows_path PATH: an absolute Unix path as Wine's drive Z: shows it.
windows_path() {
  printf 'Z:%s' "${1//\//\\}"
}

# start_wine [NAME]: builds the prefix (see wine_environment) on first use and keeps one Wine
# server with its background processes running for all the Windows programs that follow, so that
# each of them starts fast. Their output goes nowhere: a background process that held a pipe of
# the caller open would keep the caller waiting.
start_wine() {
  (
    wine_environment "$@"
    timeout 60 wineserver -p || true
    timeout 300 wineboot
  ) </dev/null >/dev/null 2>&1
}

# stop_wine [NAME]: ends the Wine server of the prefix and every program that it runs.
stop_wine() {
  (wine_environment "$@" && wineserver -k 2>/dev/null) || true
}
