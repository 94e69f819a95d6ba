#!/bin/sh
# Installs the build folder into a scratch prefix: exactly the tool, its page
# and its completion must land there, and they must agree on the version.
# Arguments: build folder, project version.
set -eu
build=$1 version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install: $*"; exit 1; }

unset DESTDIR
cmake --install "$build" --prefix "$prefix" >/dev/null

installed=$(cd "$prefix" && find . -type f | sort)
[ "$installed" = "./sbin/qorolapmigrate
./share/bash-completion/completions/qorolapmigrate
./share/man/man8/qorolapmigrate.8" ] || fail "installed files:" "$installed"

# An empty root stands for a host without the server's configuration.
answer=$(QOROLAPMIGRATE_ROOT=$prefix/empty "$prefix/sbin/qorolapmigrate" --version 2>&1) ||
    fail "--version ended with a failure: $answer"
[ "$answer" = "qorolapmigrate $version" ] || fail "--version answered: $answer"
grep -q "\"qorolapmigrate $version\"" "$prefix/share/man/man8/qorolapmigrate.8" ||
    fail "the page does not name version $version"
