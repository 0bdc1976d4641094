#!/bin/sh
# lintian on the package, as Debian checks packages: no error and no warning may be left, and every
# override that the package ships (packaging/lintian-overrides, each with its reason) must still be needed.
#   lintian_test.sh BUILD RELEASE
set -u
deb=$(ls "$1"/package/tessaro-aggiornamento_"$2"_*.deb) || exit 1
report=$(lintian --display-info --fail-on error,warning "$deb" 2>&1)
status=$?
printf '%s\n' "$report"
if [ "$status" -ne 0 ]; then
    echo "lintian_test: lintian finds errors or warnings in $deb (status $status)" >&2
    exit 1
fi
if printf '%s\n' "$report" | grep -qE 'unused-override|mismatched-override'; then
    echo "lintian_test: an override of packaging/lintian-overrides is no longer needed" >&2
    exit 1
fi
echo "lintian_test: no error, no warning, every override used"
