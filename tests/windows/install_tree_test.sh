#!/usr/bin/env bash
# The program folder a Windows user gets from `cmake --install`: the program, stripped, and in
# docs/ the README and the notice of every library linked into the program, which their
# licences ask to travel with it.
#   install_tree_test.sh <cmake> <windows build dir> <objdump of the cross binutils>
set -euo pipefail
cmake=$1 build=$2 objdump=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/zendrik-install-tree.XXXXXX")
trap 'rm -rf "$work"' EXIT
program=$work/program
"$cmake" --install "$build" --prefix "$program" >/dev/null

failures=()
exe=$program/zendrik_p3d.exe
[ -f "$exe" ] || failures+=("no zendrik_p3d.exe")
[ -f "$program/docs/README.md" ] || failures+=("no docs/README.md")
if [ -f "$exe" ]; then
  "$objdump" -t "$exe" | grep -q '^no symbols$' || failures+=("zendrik_p3d.exe keeps its symbols")
  if "$objdump" -h "$exe" | grep -q '\.debug_'; then
    failures+=("zendrik_p3d.exe keeps debug sections")
  fi
fi

# Each notice, and words that show it is that library's.
notices=("curl:Daniel Stenberg" "libzip:Dieter Baron" "zlib:Jean-loup Gailly"
         "pugixml:Arseny Kapoulkine" "fmt:Victor Zverovich" "nlohmann-json:Niels Lohmann"
         "gcc-runtime:GCC RUNTIME LIBRARY EXCEPTION" "mingw-w64-runtime:winpthreads")
for notice in "${notices[@]}"; do
  file=$program/docs/licences/${notice%%:*}.txt
  if [ ! -f "$file" ]; then
    failures+=("no docs/licences/${notice%%:*}.txt")
  elif ! grep -qi "${notice#*:}" "$file"; then
    failures+=("docs/licences/${notice%%:*}.txt does not name ${notice#*:}")
  fi
done

for failure in "${failures[@]}"; do echo "FAILED: $failure"; done
[ ${#failures[@]} -eq 0 ] && echo "the program folder holds the stripped program and every notice"
[ ${#failures[@]} -eq 0 ]
