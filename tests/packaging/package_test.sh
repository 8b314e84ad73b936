#!/usr/bin/env bash
# The Debian package, checked as a user meets it. Usage: package_test.sh CHECK BUILD SOURCE PACKAGES
#   build      makes the package from BUILD into PACKAGES with CPack (the other checks use it)
#   contents   its control fields, its file list and the modes of the examples
#   run        unpacked into a scratch root: the installed tarvex runs the example job and a job of
#              the sweep from a copy of the examples, and predicts what the build's tarvex
#              predicts; the manual pages render
#   dpkg       installed for real into a throwaway root: man finds the pages, bash-completion loads
#              the completion from there, and removing the package leaves nothing
#   install    cmake --install with DESTDIR and another prefix: the package's files, and a job runs
#   lintian    no errors and no warnings
set -u
check=$1 build=$2 source=$3 packages=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

version=$("$build/bin/tarvex" --version | head -n 1) || fail "tarvex --version"
version=${version#tarvex }
deb=$packages/tarvex_${version}_$(dpkg --print-architecture).deb

if [ "$check" = build ]; then
  rm -rf "$packages"
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$packages" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
  [ -f "$deb" ] || fail "no $deb: $(ls "$packages")"
  echo "Built $deb"
  exit 0
fi
[ -f "$deb" ] || fail "no package $deb"

case $check in
contents)
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
  depends=$(dpkg-deb -f "$deb" Depends)
  [[ $depends == *libc6* ]] || fail "Depends without the libraries: '$depends'"
  # Each dependency is a package that this machine, which ran the build, has installed.
  for dependency in $(sed -E 's/\([^)]*\)//g; s/,/ /g' <<<"$depends"); do
    dpkg-query -W -f='${Status}' "$dependency" 2>/dev/null | grep -q 'install ok installed' ||
      fail "Depends names $dependency, which is not installed here"
  done
  [ -n "$(dpkg-deb -f "$deb" Description | sed -n 2p)" ] || fail "no long description"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\.\//, "", $6); print $6 ($7 ? " " $7 " " $8 : "")}' |
    sort >"$scratch/actual"
  {
    printf '%s\n' "usr/bin/scribbon -> ../libexec/tarvex/scribbon" \
      "usr/bin/tarvex -> ../libexec/tarvex/tarvex" \
      usr/libexec/tarvex/libnetworkengine.so usr/libexec/tarvex/scribbon \
      usr/libexec/tarvex/tarvex usr/share/bash-completion/completions/tarvex \
      "usr/share/bash-completion/completions/scribbon -> tarvex" \
      usr/share/doc/tarvex/README.md usr/share/doc/tarvex/changelog.gz \
      usr/share/doc/tarvex/copyright usr/share/man/man1/scribbon.1.gz \
      usr/share/man/man1/tarvex.1.gz
    (cd "$source" && git ls-files examples | grep -v '/\.' | sed 's|^|usr/share/doc/tarvex/|')
  } | sort >"$scratch/expected"
  diff "$scratch/expected" "$scratch/actual" || fail "the file list differs (< expected, > actual)"
  # The scripts of the examples are executable, so that they run from a copy; nothing else is.
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && sub(/^\.\/usr\/share\/doc\/tarvex\//, "", $6) &&
    $6 ~ /^examples\// {print $1, $6}' | sort >"$scratch/actual"
  (cd "$source" && git ls-files examples | grep -v '/\.' | while IFS= read -r file; do
    if [ "$(head -c 2 "$file")" = '#!' ]; then echo "-rwxr-xr-x $file"; else echo "-rw-r--r-- $file"; fi
  done) | sort >"$scratch/expected"
  diff "$scratch/expected" "$scratch/actual" || fail "the modes of the examples differ (< expected)"
  # The pages name where the package puts the files, whatever prefix the build was made for.
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/tarvex.1.gz | zcat |
    grep -q '^\.I /usr/libexec/tarvex/libnetworkengine\.so$' || fail "tarvex(1) names other paths"
  ;;
run)
  dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb -x"
  root=$scratch/root
  [ "$("$root/usr/bin/tarvex" --version | head -n 1)" = "tarvex $version" ] || fail "installed --version"
  # The examples as the package installs them, run with the installed tarvex on PATH.
  cp -r "$root/usr/share/doc/tarvex/examples" "$scratch/installed"
  (cd "$scratch/installed" && PATH=$root/usr/bin:$PATH env -u TARVEX ./example-txt.sh >/dev/null) ||
    fail "the example job with the installed tarvex"
  (cd "$scratch/installed" && PATH=$root/usr/bin:$PATH env -u TARVEX ./sweep/job.sh 1) ||
    fail "a job of the example sweep with the installed tarvex"
  grep -q '"status": "succeeded"' "$scratch/installed/sweep/runs/001/summary.json" ||
    fail "the sweep's job did not succeed"
  cp -r "$root/usr/share/doc/tarvex/examples" "$scratch/built"
  (cd "$scratch/built" && TARVEX=$build/bin/tarvex bash example-txt.sh >/dev/null) ||
    fail "the example job with the built tarvex"
  cmp "$scratch/installed/out/po.txt" "$scratch/built/out/po.txt" ||
    fail "the installed tarvex predicts otherwise than the built one"
  grep -q 'Prediction results' "$scratch/installed/out/run.log" || fail "no results block"
  "$root/usr/bin/scribbon" '/pexe=\opt\tarvex' "/pbat=${scratch//\//\\}\\installed" ||
    fail "the installed scribbon"
  grep -q '"\\opt\\tarvex\\Tarvex.exe"' "$scratch/installed/ExampleTXT.bat" ||
    fail "scribbon did not rewrite ExampleTXT.bat"
  for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
  done
  ;;
dpkg)
  [ "$(id -u)" -eq 0 ] || { echo "dpkg --root needs root: skipped"; exit 77; }
  root=$scratch/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  touch "$root/var/lib/dpkg/status"
  # The libraries it depends on are this machine's, not the empty root's; documentation that a
  # slim system's dpkg leaves out is installed here, since the checks read it.
  dpkg --root="$root" --force-depends --path-include='/usr/share/man/*' \
    --path-include='/usr/share/doc/*' -i "$deb" >"$scratch/dpkg.log" 2>&1 ||
    { cat "$scratch/dpkg.log"; fail "dpkg -i"; }
  dpkg --root="$root" -s tarvex | grep -q '^Status: install ok installed' || fail "not installed"
  [ "$("$root/usr/bin/tarvex" --version | head -n 1)" = "tarvex $version" ] || fail "installed --version"
  for page in tarvex scribbon; do
    [ "$(MANPATH=$root/usr/share/man man -w "$page")" = "$root/usr/share/man/man1/$page.1.gz" ] ||
      fail "man does not find $page"
  done
  # bash-completion loads a command's completion from the share/ folders of XDG_DATA_DIRS, which
  # are /usr/local/share and /usr/share unless set.
  completions=$(XDG_DATA_DIRS=$root/usr/share bash -c 'source /usr/share/bash-completion/bash_completion
    __load_completion tarvex && __load_completion scribbon && complete -p tarvex scribbon')
  [ "$completions" = $'complete -F _tarvex tarvex\ncomplete -F _scribbon scribbon' ] ||
    fail "completion not loaded from the installed file: $completions"
  dpkg --root="$root" -r tarvex >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg -r"; }
  left=$(cd "$root" && find . -path ./var -prune -o -print | grep -v '^\.$')
  [ -z "$left" ] || fail "left after removal: $left"
  ;;
install)
  DESTDIR=$scratch/dest cmake --install "$build" --prefix /opt/tarvex >/dev/null ||
    fail "cmake --install"
  (cd "$scratch/dest/opt/tarvex" && find . ! -type d | sed 's|^\./||' | sort) >"$scratch/actual"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\.\/usr\//, "", $6); print $6}' | sort >"$scratch/expected"
  diff "$scratch/expected" "$scratch/actual" || fail "other files than the package's (< package)"
  # The engine is found through the link, from any working folder.
  (cd "$scratch" && "$scratch/dest/opt/tarvex/bin/tarvex" '/tiv=0;1;2' '/tov=0;1;4' '/piv=1.5' \
    '/pof=po.txt' /ep=100) || fail "a job with the tarvex installed under /opt/tarvex"
  [ -s "$scratch/po.txt" ] || fail "no predictions"
  ;;
lintian)
  lintian --fail-on error,warning --display-info "$deb" || fail "lintian"
  ;;
*)
  fail "unknown check $check"
  ;;
esac
echo "Package check $check passed."
