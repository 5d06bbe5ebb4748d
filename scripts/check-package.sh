#!/usr/bin/env bash
# Builds the Debian package in a configured and built build directory and
# checks what it and `cmake --install` deliver: the tool, its manual page and
# the schema of its JSON lines, nothing else, the project's version, and a Depends line that names the
# wxWidgets base runtime, the isa-l runtime and the C++ runtime.
#
# Usage: scripts/check-package.sh BUILD_DIR
set -uo pipefail

if [ $# -ne 1 ] || [ ! -f "$1/CMakeCache.txt" ]; then
  echo "usage: $0 BUILD_DIR (a configured and built build directory)" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1" >&2; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  echo "package checks: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The version is written once, in the project() line of the top CMakeLists.txt.
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build_dir/CMakeCache.txt")
version=$(sed -n 's/^project(Varneth VERSION \([0-9][0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
if [ -z "$version" ]; then
  fail "no project(Varneth VERSION ...) line in $source_dir/CMakeLists.txt"
  finish
fi
arch=$(dpkg --print-architecture)
deb="$build_dir/varneth_${version}_${arch}.deb"
banner_version="Version: V.$version "

# --- The Debian package ------------------------------------------------------
rm -f "$build_dir"/varneth_*.deb
if ! (cd "$build_dir" && cpack -G DEB >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB in $build_dir"
elif [ ! -f "$deb" ]; then
  fail "cpack made no $(basename "$deb"); it made: $(cd "$build_dir" && ls varneth_*.deb 2>/dev/null)"
else
  pass "cpack made $(basename "$deb")"
  field() { dpkg-deb -f "$deb" "$1"; }
  check "Package is varneth" test "$(field Package)" = varneth
  check "Version is $version (got '$(field Version)')" test "$(field Version)" = "$version"
  check "Architecture is $arch" test "$(field Architecture)" = "$arch"
  depends=$(field Depends)
  echo "Depends: $depends"
  # A name at the start of the list or after ", ".
  depends_on() { [[ ", $depends" == *", $1"* ]]; }
  check "Depends names the wxWidgets base runtime (libwxbase...)" depends_on libwxbase
  check "Depends names the isa-l runtime (libisal...)" depends_on libisal
  check "Depends names the EWF image runtime (libewf...)" depends_on libewf
  check "Depends names libstdc++6" depends_on "libstdc++6"

  # Regular files only; directories are implied by them.
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
  printf '%s\n' ./usr/bin/varneth ./usr/share/man/man1/varneth.1 ./usr/share/varneth/varneth-record.schema.json |
    sort >"$work/expected"
  if diff -u "$work/expected" "$work/files" >"$work/files.diff"; then
    pass "package holds ./usr/bin/varneth, ./usr/share/man/man1/varneth.1 and the JSON schema only"
  else
    cat "$work/files.diff" >&2
    fail "package contents differ from the tool, its manual page and the schema (diff above: - missing, + unexpected)"
  fi
fi

# --- cmake --install ---------------------------------------------------------
prefix="$work/prefix"
if ! cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  fail "cmake --install $build_dir --prefix $prefix"
else
  pass "cmake --install into a temporary prefix"
  (cd "$prefix" && find . ! -type d | sort) >"$work/installed"
  printf '%s\n' ./bin/varneth ./share/man/man1/varneth.1 ./share/varneth/varneth-record.schema.json |
    sort >"$work/expected"
  if diff -u "$work/expected" "$work/installed" >"$work/installed.diff"; then
    pass "installed bin/varneth, share/man/man1/varneth.1 and share/varneth/varneth-record.schema.json only"
  else
    cat "$work/installed.diff" >&2
    fail "installed files differ from the tool, its manual page and the schema (diff above: - missing, + unexpected)"
  fi
  # -V prints the banner and exits with 255, as no run takes place.
  banner=$("$prefix/bin/varneth" -V 2>&1)
  check "installed varneth -V prints the banner with $banner_version" \
    grep -qF -- "$banner_version" <<<"$banner"
  check "man finds the installed page" \
    test "$(MANPATH="$prefix/share/man" man -w varneth 2>/dev/null)" = "$prefix/share/man/man1/varneth.1"
fi

finish
