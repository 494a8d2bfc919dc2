#!/usr/bin/env bash
# The Debian package of a built tree, as a user receives it: CPack makes it
# from the tree's install rules, lintian checks it, and it is unpacked
# (dpkg -x) into a scratch root, where the desktop entry, the AppStream
# metainfo and the man pages are validated and the unpacked norvane-cli
# designs and simulates with the system's ngspice. The man page of
# norvane-cli must name every command and option that the program's help
# lists.
#   bash package-test.sh BUILD_DIR
# The dev preset registers it as the test "package" on its own Debug tree
# (stripped by CPack), so CI needs no release build for it; the release
# package itself is made by cmake --workflow --preset package.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$build/package-test
rm -rf "$scratch"
mkdir -p "$scratch/work"

fail() {
    echo "package test: $*" >&2
    exit 1
}
need() {
    command -v "$1" >/dev/null || fail "$1 is missing: apt-get install $2"
}
need cpack cmake
need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
need lintian lintian
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need man man-db

# The package, as cmake --workflow --preset package makes it.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}
field() {
    dpkg-deb -f "$deb" "$1"
}
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)', not electronics"
[[ "$(field Maintainer)" =~ \<[^@\>]+@[^\>]+\> ]] || fail "Maintainer '$(field Maintainer)' has no e-mail"
depends=$(field Depends)
# ngspice is opened with dlopen, so only the package's own field names it;
# libc6 proves that dpkg-shlibdeps ran.
for wanted in libngspice0 libc6; do
    [[ ", $depends," =~ ,\ $wanted[\ ,] ]] || fail "Depends lacks $wanted: $depends"
done

# Lintian, with the findings that stay explained in packaging/lintian-overrides.
# As root it warns that it should not run as root; that line is not a finding.
lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log" >&2; fail "lintian found errors or warnings"; }

root=$scratch/root
dpkg -x "$deb" "$root"
[ -x "$root/usr/bin/norvane-cli" ] || fail "the package has no usr/bin/norvane-cli"
if [ -x "$root/usr/bin/norvane" ]; then
    desktop-file-validate "$root/usr/share/applications/norvane.desktop" >"$scratch/desktop.log" 2>&1
    [ ! -s "$scratch/desktop.log" ] || { cat "$scratch/desktop.log" >&2; fail "desktop-file-validate complains"; }
    appstreamcli validate --no-net "$root"/usr/share/metainfo/org.norvane.norvane.metainfo.xml \
        >"$scratch/appstream.log" 2>&1 || { cat "$scratch/appstream.log" >&2; fail "appstreamcli complains"; }
    for size in 16 32 48 64 128 256; do
        [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/norvane.png" ] ||
            fail "no ${size}x${size} icon"
    done
    pages=(norvane-cli norvane)
else
    pages=(norvane-cli)
fi
for page in "${pages[@]}"; do
    file=$root/usr/share/man/man1/$page.1.gz
    [ -f "$file" ] || fail "no man page $page.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $page.1 does not render cleanly: $warnings"
done

# The unpacked program, from another folder, with the system's ngspice.
cli=$root/usr/bin/norvane-cli
version=$(cd "$scratch/work" && "$cli" --version)
[ "$version" = "norvane-cli $(field Version)" ] || fail "--version says '$version', the package $(field Version)"
output=$(cd "$scratch/work" && env -u NORVANE_NGSPICE_LIBRARY "$cli" design ce --gain 20 --simulate) ||
    fail "norvane-cli design ce --gain 20 --simulate failed: $output"
if ! grep -Eq '^Simulation \(ngspice, no load\): meets the requirements(; .*)?$' <<<"$output" ||
    grep -qi 'not simulated\|simulation unavailable' <<<"$output"; then
    fail "the unpacked norvane-cli did not simulate the design:
$output"
fi

# Every command and option of the help is in the man page (as \-\-name).
page=$(zcat "$root/usr/share/man/man1/norvane-cli.1.gz")
missing=""
for command in "" design "design ce" "design cb" "design cc" rank "rank ce" "rank cb" "rank cc" \
    transistors transistor model; do
    # shellcheck disable=SC2086 # the command's words are separate arguments
    help=$("$cli" $command --help)
    names=$(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
    names+=" "$(sed -n '/^Subcommands:/,/^$/s/^  \([a-z-]*\).*/\1/p' <<<"$help")
    for name in $names; do
        escaped=${name//-/\\-}
        grep -qF -- "$escaped" <<<"$page" || missing+=" $name (norvane-cli $command)"
    done
done
[ -z "$missing" ] || fail "the man page norvane-cli.1 lacks:$missing"
echo "package test: $(basename "$deb") passed"
