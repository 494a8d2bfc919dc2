# What the benchmark scripts share; they source it from the repository's
# top folder:
#   NeedPrograms hyperfine ngspice   installs the Debian packages missing
#   cli=$(NorvaneCli "${1:-}")       the given norvane-cli, or the release
#                                    preset's, built first
#   EnterScratchFolder               a fresh folder, removed at exit: no
#                                    .spiceinit of anybody's near ngspice

NeedPrograms() {
  local missing=() p
  for p in "$@"; do
    command -v "$p" >/dev/null || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

NorvaneCli() {
  local cli=$1
  if [ -z "$cli" ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target norvane-cli >/dev/null
    cli=$PWD/build/release/src/norvane-cli
  fi
  realpath "$cli"
}

EnterScratchFolder() {
  BenchWork=$(mktemp -d)
  trap 'rm -rf "$BenchWork"' EXIT
  cd "$BenchWork"
}
