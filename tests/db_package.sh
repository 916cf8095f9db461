#!/usr/bin/env bash
# The Debian package made from this build tree: CPack builds it into a scratch folder, it is
# unpacked with dpkg-deb, and its files, control fields, desktop entry and manual page are
# checked; then the unpacked exporter runs a real export from the test data source.
# CPack first brings the build tree up to date (its "preinstall" target): after a build that
# is only make's check, so the package is made from the binaries the other tests run.
#   tests/db_package.sh BUILD_DIR   (ODBCINI: the tests' odbc.ini)
set -uo pipefail
BUILD=$(realpath "$1")
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "FAIL: $*" >&2; exit 1; }

# ---------------------------------------------------------------- the package
cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$T/pkg" >"$T/cpack.log" 2>&1 ||
  { cat "$T/cpack.log" >&2; die "cpack did not build the package"; }
debs=("$T"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || die "cpack made no single .deb: ${debs[*]}"
DEB=${debs[0]}
dpkg-deb -x "$DEB" "$T/root" || die "dpkg-deb -x failed on $DEB"
ROOT=$T/root

# ---------------------------------------------------------------- the files
# Exactly these: no demo Bulgarian.lng (it holds the demo password), no auditor-scramble,
# no test or benchmark program.
expected="usr/bin/auditor
usr/bin/auditor-export
usr/share/applications/dravik-auditor.desktop
usr/share/icons/hicolor/scalable/apps/dravik-auditor.svg
usr/share/man/man1/auditor-export.1.gz
usr/share/man/man1/auditor.1.gz"
actual=$(cd "$ROOT" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] || fail "package files differ from the expected list:
$(diff <(echo "$expected") <(echo "$actual"))"
for p in auditor auditor-export; do
  [ -x "$ROOT/usr/bin/$p" ] || fail "usr/bin/$p is not executable"
done

# The install rules give the same tree to any prefix.
cmake --install "$BUILD" --prefix "$T/prefix" >"$T/install.log" 2>&1 ||
  { cat "$T/install.log" >&2; fail "cmake --install failed"; }
installed=$(cd "$T/prefix" && find . -type f -o -type l | sed 's|^\./|usr/|' | sort)
[ "$installed" = "$actual" ] || fail "cmake --install and the package differ:
$(diff <(echo "$installed") <(echo "$actual"))"

# ---------------------------------------------------------------- control fields
field() { dpkg-deb -f "$DEB" "$1"; }
depends=$(field Depends)
for lib in 'libodbc' 'libqt6core6' 'libqt6widgets6' 'libqt6svg6' 'libxlsxwriter' 'qt6-qpa-plugins' \
  'qt6-translations-l10n'; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
recommends=$(field Recommends)
for drv in libsqliteodbc odbc-postgresql; do
  grep -qw "$drv" <<<"$recommends" || fail "Recommends lacks $drv: $recommends"
done
for f in Maintainer Section Description; do
  [ -n "$(field "$f")" ] || fail "control field $f is empty"
done
[ "$(field Package)" = dravik-auditor ] || fail "package name is \"$(field Package)\""
# The extended description is indented: dpkg reads it as one field.
[ "$(field Description | wc -l)" -gt 2 ] || fail "the description has no extended part"

# ---------------------------------------------------------------- desktop entry and icon
desktop=$ROOT/usr/share/applications/dravik-auditor.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate complains: $out"
grep -qx 'Name=Дравик Одитор Продажби' "$desktop" || fail "desktop entry Name is not the program's title"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$ROOT/usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
svg=$ROOT/usr/share/icons/hicolor/scalable/apps/$icon.svg
[ -f "$svg" ] || fail "Icon=$icon has no $svg"
grep -q '<svg' "$svg" || fail "the icon is no SVG picture"

# ---------------------------------------------------------------- manual pages
# One for each program, checked against the program's own --help.
for prog in auditor auditor-export; do
  man=$ROOT/usr/share/man/man1/$prog.1.gz
  gzip -t "$man" 2>/dev/null || { fail "the manual page of $prog is not gzipped"; continue; }
  warnings=$(zcat "$man" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "groff warns on the manual page of $prog: $warnings"
  page=$(MANWIDTH=200 man -l "$man" 2>"$T/man.err")
  [ -s "$T/man.err" ] && fail "man -l warns on $prog's page: $(cat "$T/man.err")"
  grep -q '^NAME' <<<"$page" || fail "the manual page of $prog has no NAME section"
  grep -q "^ *$prog " <<<"$page" || fail "the manual page of $prog does not name it"
  grep -q '@[A-Z_]*@' <<<"$page" && fail "the manual page of $prog holds an unreplaced @VARIABLE@"
  grep -q "$prog $(field Version)" <<<"$page" || fail "the manual page of $prog does not name the version"
  # Every option the program's --help names is mentioned in the page; --help needs no display.
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$ROOT/usr/bin/$prog" --help) ||
    fail "the installed $prog --help failed"
  options=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
  [ -n "$options" ] || fail "$prog --help names no option"
  for o in $options; do
    grep -q -- "$o" <<<"$page" || fail "the manual page of $prog does not mention $o"
  done
  version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$ROOT/usr/bin/$prog" --version) ||
    fail "$prog --version failed"
  [ "$version" = "$prog $(field Version)" ] ||
    fail "$prog --version says \"$version\", the package is $(field Version)"
done

# ---------------------------------------------------------------- the installed exporter
for dsn in AuditDemo AuditDemoPg; do
  login=()
  [ "$dsn" = AuditDemoPg ] && login=(--user dba --password sql)
  csv=$T/stores-$dsn.csv
  "$ROOT/usr/bin/auditor-export" --dsn "$dsn" "${login[@]}" --report stores --format csv \
    --output "$csv" --quiet 2>"$T/export.err" ||
    { fail "the installed exporter failed on $dsn: $(cat "$T/export.err")"; continue; }
  [ -s "$csv" ] || { fail "$dsn: the export is empty"; continue; }
  text=$(iconv -f CP1251 -t UTF-8 "$csv" | tr -d '\r')
  captions=$(head -1 <<<"$text")
  [ "${captions%%$'\t'*}" = "Код" ] || fail "$dsn: the first line is no line of captions: $captions"
  [ "$(wc -l <<<"$text")" -gt 1 ] || fail "$dsn: no store under the captions"
  # The packaged (stripped) program writes what the build tree's program writes.
  "$BUILD/bin/auditor-export" --dsn "$dsn" "${login[@]}" --report stores --format csv \
    --output "$T/built.csv" --quiet || fail "the built exporter failed on $dsn"
  cmp -s "$csv" "$T/built.csv" || fail "$dsn: the installed and the built exporter write different files"
done

# An evidence bundle from the installed exporter checks with sha256sum.
"$ROOT/usr/bin/auditor-export" --dsn AuditDemo --all --output-dir "$T/bundle" --quiet 2>"$T/bundle.err" ||
  fail "the installed exporter's bundle failed: $(cat "$T/bundle.err")"
(cd "$T/bundle" 2>/dev/null && sha256sum -c --quiet SHA256SUMS) || fail "the bundle's checksums do not hold"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package $(basename "$DEB") checked"
