#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Norvane need.
# Idempotent: when every package and the test locale are there it changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  git  # the format and name checks list the sources with git ls-files
  clang libclang-rt-14-dev clang-format clang-tidy
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev qt6-charts-dev qt6-svg-dev
  libqt6opengl6-dev  # Qt Charts' CMake package needs it; qt6-charts-dev does not pull it in
  libcli11-dev nlohmann-json3-dev
  libpng-dev
  libngspice0-dev
  libngspice0  # loaded at run time with dlopen: no build step pulls it in
  libxml2-utils
  w3c-sgml-lib  # the XHTML 1.0 DTDs and their XML catalog: xmllint --valid --nonet needs them
  locales
  xvfb xauth fonts-dejavu-core
  # The Debian package and its test (tests/package/package-test.sh): CPack
  # finds the programs with file and their libraries with dpkg-shlibdeps
  # (dpkg-dev); lintian, desktop-file-validate, appstreamcli and man check it.
  file dpkg-dev lintian desktop-file-utils appstream man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A decimal-comma locale (de_DE) and one whose case folding differs from
# ASCII (tr_TR), for the tests that prove machine-read numbers and
# ngspice's text never follow the user's locale.
for wanted in de_DE tr_TR; do
  if ! locale -a 2>/dev/null | grep -qix "$wanted\.utf-\?8"; then
    echo "Generating the $wanted.UTF-8 locale"
    "${sudo[@]}" sed -i "s/^# *\($wanted\.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$wanted\.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    generate=1
  fi
done
if [ -n "${generate:-}" ]; then
  "${sudo[@]}" locale-gen >/dev/null
fi
