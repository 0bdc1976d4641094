#!/bin/sh
# The package as installed: unpacked into a scratch root (dpkg-deb -x), its postinst run there
# (update-alternatives with DPKG_ROOT), then the installed programs are run from it. The old sample
# installation (mkinstall) is previewed and updated by the installed aggiorna-batch with no --model, so its
# models come from its own folder, the installed release; nothing shipped names the build or the sources.
#   installed_test.sh BUILD SOURCES RELEASE
set -u
build=$(cd "$1" && pwd) sources=$(cd "$2" && pwd) release=$3
work=$build/package-test
root=$work/root
dir=$root/opt/tessaro/$release
fail() {
    echo "installed_test: $*" >&2
    exit 1
}

deb=$(ls "$build"/package/tessaro-aggiornamento_"$release"_*.deb) || fail "no package in $build/package"
rm -rf "$work"
mkdir -p "$work/bin" || exit 1
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x $deb failed"

# The release folder as the build makes it, file for file (the programs stripped), the technician's tools
# beside it, and none of the build's own tools or benchmarks anywhere.
(cd "$build/release" && find . -type f | sort) >"$work/built.txt"
(cd "$dir" && find . -path ./share -prune -o -type f ! -name aggiorna-batch ! -name daotool -print | sort) \
    >"$work/installed.txt"
diff -u "$work/built.txt" "$work/installed.txt" || fail "the installed release folder is not build/release"
while read -r f; do
    [ "$(head -c 4 "$dir/$f")" = "$(printf '\177ELF')" ] && continue
    cmp -s "$build/release/$f" "$dir/$f" || fail "$f differs from build/release/$f"
done <"$work/built.txt"
for f in aggiorna-batch daotool; do
    [ -x "$dir/$f" ] || fail "$f is not in the release folder"
done
dpkg-deb -c "$deb" | grep -E '/(mkinstall|mkmedia|bench-[a-z]+|[a-z_]+_test)$' && fail "a build tool is packaged"
grep -rlF -e "$build" -e "$sources" "$root" && fail "these installed files name the build or the sources"
for f in "$dir"/*; do
    [ -f "$f" ] && [ "$(head -c 4 "$f")" = "$(printf '\177ELF')" ] || continue
    ldd "$f" | grep 'not found' && fail "$f needs a library that is not there"
done

# The launcher: valid, starting the window of its release folder, with the theme's icon.
desktop=$dir/share/applications/tessaro-aggiornamento.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$exec_line" = "/opt/tessaro/$release/AggiornaLedrana" ] && [ -x "$root$exec_line" ] ||
    fail "the launcher starts \"$exec_line\", not the window of /opt/tessaro/$release"
grep -qx "Path=/opt/tessaro/$release" "$desktop" || fail "the launcher does not start in its release folder"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon in the hicolor theme"

# The maintainer scripts in the scratch root: the release's commands, pages, completions and launcher take
# their names on the system, each link reaching a file of the package; removal takes them away again.
mkdir -p "$root/usr/bin" "$root/etc/alternatives" "$root/var/lib/dpkg/alternatives" \
    "$root/usr/share/man/man1" "$root/usr/share/bash-completion/completions" "$root/usr/share/applications"
dpkg-deb -e "$deb" "$work/control" || fail "dpkg-deb -e failed"
DPKG_ROOT=$root sh "$work/control/postinst" configure >/dev/null || fail "postinst configure failed"
for link in /usr/bin/aggiorna-batch /usr/bin/daotool /usr/share/man/man1/aggiorna-batch.1.gz \
    /usr/share/man/man1/daotool.1.gz /usr/share/bash-completion/completions/aggiorna-batch \
    /usr/share/bash-completion/completions/daotool /usr/share/applications/tessaro-aggiornamento.desktop; do
    target=$link
    while [ -L "$root$target" ]; do
        target=$(readlink "$root$target")
    done
    case $target in
    /opt/tessaro/"$release"/*) [ -f "$root$target" ] || fail "$link leads to $target, which is not there" ;;
    *) fail "$link leads to $target, not into /opt/tessaro/$release" ;;
    esac
    # The commands on PATH, as a link to the installed program as the system's is.
    case $link in /usr/bin/*) ln -s "$root$target" "$work/bin/${link##*/}" ;; esac
done
DPKG_ROOT=$root sh "$work/control/prerm" remove >/dev/null || fail "prerm remove failed"
[ -z "$(ls -A "$root/usr/bin")" ] || fail "prerm remove leaves $(ls "$root/usr/bin") in /usr/bin"

# The installed programs, started through their links on PATH, with no display, from the scratch folder.
PATH=$work/bin:$PATH
export PATH
unset DISPLAY WAYLAND_DISPLAY TESSARO_PREFIX
cd "$work" || exit 1
version=$(aggiorna-batch --version) || fail "aggiorna-batch --version failed"
case $version in "aggiorna-batch $release "*) ;; *) fail "aggiorna-batch --version says \"$version\"" ;; esac
aggiorna-batch --help | head -n 1 | grep -q '^uso: aggiorna-batch' || fail "aggiorna-batch --help failed"
daotool schema "$dir/CONT32.MDB" | grep -q . || fail "daotool schema of the installed CONT32.MDB failed"

(cd "$root" && find . -type f -exec md5sum {} +) | sort >"$work/before.txt"
"$build/bin/mkinstall" "$work/prefix" old >/dev/null || fail "mkinstall old failed"
prefix=$work/prefix
ini=$prefix/drive_c/ZU/LEDRANA/INI/INI.INI
aggiorna-batch --prefix "$prefix" --answers "$prefix/risposte.txt" --anteprima >"$work/preview.txt" 2>&1 ||
    fail "the preview ended with status $? (output in $work/preview.txt)"
ls "$prefix"/drive_c/ZU/LEDRANA/rapporti/anteprima-*.html >/dev/null || fail "the preview wrote no report"
grep -q '^AggiornamentoLedrana=027' "$ini" || fail "the preview changed the installed version"
aggiorna-batch --prefix "$prefix" --answers "$prefix/risposte.txt" >"$work/run.txt" 2>&1 ||
    fail "the update ended with status $? (output in $work/run.txt)"
grep -q "^AggiornamentoLedrana=$release" "$ini" || fail "the update did not record release $release"
for template in ZuBolla.mod ZuFattura.mod ZuEtichetta.eticf; do
    cmp -s "$dir/$template" "$prefix/drive_c/ZU/LEDRANA/INI/$template" || fail "$template was not installed"
done
(cd "$root" && find . -type f -exec md5sum {} +) | sort >"$work/after.txt"
diff -u "$work/before.txt" "$work/after.txt" || fail "the runs changed the installed files"

echo "installed_test: release $release installed, registered, removed and run from $root"
