#!/usr/bin/env bash
# Checks the Windows release archive and runs what it ships under Wine.
#
#   release_archive_test.sh ARCHIVE LINUX_CLI
#
# The archive must hold exactly the programs, the README and the examples; each program must run
# alone (no DLL of the compiler's runtime), the dialog without a console. Its lantra-cli.exe must
# then write byte for byte the hint table that the Linux build writes: for the examples as
# shipped, for the same tables in UTF-16LE and in GBK under Chinese file names with a Chinese
# prefix and suffix, and to the default result file in the Wine prefix's temporary folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
wine_environment
archive=$(realpath "$1")
linux_cli=$(realpath "$2")

programs=(Lantra.exe lantra-cli.exe)
documents=(README.md examples/code.txt examples/content.txt)
# Every Wine command is bounded, so that a hung program fails the test instead of stalling it.
limit=120

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The archive's contents: one folder named like the archive, holding exactly these files.
top=$(basename "$archive" .zip)
expected=$(printf '%s\n' "${programs[@]}" "${documents[@]}" | sed "s|^|$top/|" | sort)
actual=$(cmake -E tar tf "$archive" | grep -v '/$' | sort)
[ "$actual" = "$expected" ] || fail "the archive holds:"$'\n'"$actual"$'\n'"expected:"$'\n'"$expected"
(cd "$work" && cmake -E tar xf "$archive")
dir="$work/$top"

for program in "${programs[@]}"; do
  runtime=$(x86_64-w64-mingw32-objdump -p "$dir/$program" | sed -n 's/^\s*DLL Name: //p' |
    grep -i '^lib' || true)
  [ -z "$runtime" ] || fail "$program needs the DLLs $runtime"
done
# The dialog opens no console window, the command-line tool works in one.
subsystem() {
  x86_64-w64-mingw32-objdump -p "$dir/$1" | sed -n 's/^Subsystem\s*[0-9a-f]*\s*//p'
}
[ "$(subsystem Lantra.exe)" = "(Windows GUI)" ] || fail "Lantra.exe is not a GUI program"
[ "$(subsystem lantra-cli.exe)" = "(Windows CUI)" ] || fail "lantra-cli.exe is not a console program"

cli="$dir/lantra-cli.exe"

# compare NAME CONTENT CODE PREFIX SUFFIX: both builds write the same hint table.
compare() {
  local name=$1 content=$2 code=$3 prefix=$4 suffix=$5
  "$linux_cli" --prefix "$prefix" --suffix "$suffix" -o "$work/$name.linux" "$content" "$code" \
    >/dev/null || fail "$name: the Linux build failed"
  if ! timeout "$limit" wine "$cli" --prefix "$prefix" --suffix "$suffix" \
    -o "$(windows_path "$work/$name.windows")" "$(windows_path "$content")" \
    "$(windows_path "$code")" >"$work/$name.out" 2>&1; then
    fail "$name: lantra-cli.exe failed: $(cat "$work/$name.out")"
    return
  fi
  cmp "$work/$name.linux" "$work/$name.windows" || fail "$name: the hint tables differ"
}

compare examples "$dir/examples/content.txt" "$dir/examples/code.txt" '[' ']'

mkdir "$work/utf-16" "$work/gbk"
for table in content code; do
  { printf '\xFF\xFE'; iconv -f UTF-8 -t UTF-16LE "$dir/examples/$table.txt"; } \
    >"$work/utf-16/$table.txt"
done
iconv -f UTF-8 -t GBK "$dir/examples/content.txt" >"$work/gbk/提示内容表.txt"
iconv -f UTF-8 -t GBK "$dir/examples/code.txt" >"$work/gbk/提示编码表.txt"
compare utf-16 "$work/utf-16/content.txt" "$work/utf-16/code.txt" '[' ']'
compare gbk "$work/gbk/提示内容表.txt" "$work/gbk/提示编码表.txt" '前' '后'
# The three pairs are the same tables, so they must give the same records.
cmp -s "$work/examples.linux" "$work/utf-16.linux" ||
  fail "the UTF-16 tables give other records than the examples"

# Without --output the result goes to the user's temporary folder, as the dialog puts it.
mkdir "$work/tmp"
TMPDIR="$work/tmp" "$linux_cli" "$dir/examples/content.txt" "$dir/examples/code.txt" >/dev/null
if timeout "$limit" wine "$cli" "$(windows_path "$dir/examples/content.txt")" \
  "$(windows_path "$dir/examples/code.txt")" >"$work/default.out" 2>&1; then
  result=$(sed -n 's/^[0-9]* records\? written to \(.*\)$/\1/p' "$work/default.out" | tr -d '\r')
  case "$result" in
    [A-Z]:\\*\\Lantra_result.txt) ;;
    *) fail "the default result path is '$result'" ;;
  esac
  unix_result=$(timeout "$limit" winepath -u "$result" 2>/dev/null)
  cmp "$work/tmp/Lantra_result.txt" "$unix_result" || fail "the default result files differ"
else
  fail "lantra-cli.exe without --output failed: $(cat "$work/default.out")"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s) in the release archive $archive" >&2
  exit 1
fi
echo "The release archive holds ${programs[*]} and runs under Wine as the Linux build does."
