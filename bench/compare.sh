#!/usr/bin/env bash
# Times lantra-cli against the joins that a skilled user would write instead, on generated tables:
#   awk:    iconv to UTF-8, an awk join that keeps the first hint, iconv to UTF-16LE with a mark;
#   python: the same join in plain Python 3 with a dict.
# It first checks that the three outputs are byte-identical, then prints the median wall time
# (hyperfine), the peak memory (/usr/bin/time -v) and the ratios, with two lower bounds on the
# same files: reading the inputs, and converting the code table to UTF-16LE plus copying a file
# of the output's size.
#
#   bench/compare.sh [CASE...]     cases: utf8 (default), gbk, large; "all" for the three
#   RUNS=10 bench/compare.sh all   more runs per command (at least 5)
#
# The tables go to build/bench/, where they stay for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${DIALOG_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
build release >/dev/null

readonly cli=$PWD/build/release/cli/lantra-cli
readonly runs=${RUNS:-5}
readonly prefix='{' suffix='}'
[ "$runs" -ge 5 ] || { echo "RUNS must be 5 or more" >&2; exit 1; }

# CASE -> records lines content-encoding code-encoding
describe() {
  case "$1" in
    utf8) echo "500000 1000000 utf-8 utf-8" ;;
    gbk) echo "500000 1000000 gbk utf-16le" ;;
    large) echo "3000000 6000000 utf-8 utf-8" ;;
    *) echo "unknown case: $1" >&2; return 1 ;;
  esac
}

# The names that iconv and Python give an encoding of the generator.
iconv_name() { case "$1" in gbk) echo CP936 ;; utf-16le) echo UTF-16 ;; *) echo UTF-8 ;; esac; }
python_name() { case "$1" in gbk) echo gbk ;; utf-16le) echo utf-16 ;; *) echo utf-8 ;; esac; }

# to_utf8 FILE ENCODING: the command that gives the file as UTF-8 (none is needed for UTF-8).
to_utf8() {
  if [ "$2" = utf-8 ]; then echo "cat $1"; else echo "iconv -f $(iconv_name "$2") -t UTF-8 $1"; fi
}

# median_of JSON: the median wall time in seconds of hyperfine's one result.
median_of() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$1"; }

# peak_of SCRIPT: the largest resident set, in MiB, of the script or any process it started.
peak_of() {
  /usr/bin/time -v bash "$1" 2>&1 >/dev/null | awk '/Maximum resident set size/ { printf "%.0f", $NF / 1024 }'
}

run_case() {
  local name=$1 records lines content_encoding code_encoding
  read -r records lines content_encoding code_encoding <<<"$(describe "$name")"
  local dir=build/bench/$name
  mkdir -p "$dir"
  local content=$dir/content.txt code=$dir/code.txt
  # The tables are made again only when the generator or its arguments changed.
  local arguments=(--records "$records" --lines "$lines" --content-encoding "$content_encoding"
    --code-encoding "$code_encoding")
  local stamp
  stamp="$(sha256sum bench/gen_tables.py | cut -d' ' -f1) ${arguments[*]}"
  if [ ! -s "$code" ] || [ "$(cat "$dir/stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "Generating $records records and $lines code lines ($content_encoding, $code_encoding)..." >&2
    python3 bench/gen_tables.py "${arguments[@]}" "$content" "$code"
    echo "$stamp" >"$dir/stamp"
  fi

  local -A commands
  commands[lantra]="$cli --prefix '$prefix' --suffix '$suffix' -o $dir/lantra.out $content $code >/dev/null"
  commands[awk]="{ printf '\\377\\376'; LC_ALL=C awk -v prefix='$prefix' -v suffix='$suffix' -f bench/join.awk <($(to_utf8 "$content" "$content_encoding")) <($(to_utf8 "$code" "$code_encoding")) | iconv -f UTF-8 -t UTF-16LE; } > $dir/awk.out"
  commands[python]="python3 bench/join.py $content $(python_name "$content_encoding") $code $(python_name "$code_encoding") '$prefix' '$suffix' $dir/python.out"
  commands[read]="cat $content $code > /dev/null"
  commands[convert]="iconv -f $(iconv_name "$code_encoding") -t UTF-16LE $code > /dev/null && cp $dir/lantra.out $dir/copy.out"

  local tool
  for tool in lantra awk python read convert; do
    printf '%s\n' "${commands[$tool]}" >"$dir/$tool.sh"
  done
  for tool in lantra awk python; do bash "$dir/$tool.sh"; done
  for tool in awk python; do
    if ! cmp -s "$dir/lantra.out" "$dir/$tool.out"; then
      echo "The $tool join's output differs from lantra-cli's: $dir/$tool.out" >&2
      return 1
    fi
  done

  local -A median peak
  for tool in lantra awk python read convert; do
    # Before each run the command's output goes and everything written is flushed, so that no
    # run waits for the writing back of the one before. hyperfine's warnings about outliers go
    # to a log: on a shared machine there always are some.
    local output=$dir/$tool.out
    [ "$tool" = convert ] && output=$dir/copy.out
    if ! hyperfine -N --runs "$runs" --warmup 1 --style none --export-json "$dir/$tool.json" \
      --prepare "bash -c 'rm -f $output && sync'" "bash $dir/$tool.sh" >/dev/null 2>"$dir/$tool.log"; then
      cat "$dir/$tool.log" >&2
      return 1
    fi
    median[$tool]=$(median_of "$dir/$tool.json")
    peak[$tool]=$(peak_of "$dir/$tool.sh")
  done
  rm -f "$dir/copy.out"

  local bound
  bound=$(awk -v a="${median[read]}" -v b="${median[convert]}" 'BEGIN { print a + b }')
  echo
  echo "$name: $records content records ($content_encoding), $lines code lines ($code_encoding)," \
    "$(stat -c %s "$content" | awk '{ printf "%.0f", $1 / 1048576 }') + $(stat -c %s "$code" | awk '{ printf "%.0f", $1 / 1048576 }') MiB in," \
    "$(stat -c %s "$dir/lantra.out" | awk '{ printf "%.0f", $1 / 1048576 }') MiB out, outputs identical"
  echo
  echo "| command | median wall time | peak memory | time / lantra-cli's |"
  echo "|---|---:|---:|---:|"
  for tool in lantra awk python read convert; do
    local label=$tool
    case $tool in
      lantra) label="lantra-cli" ;;
      awk) label="iconv + awk join + iconv" ;;
      python) label="Python 3 join with a dict" ;;
      read) label="bound: reading the inputs (cat)" ;;
      convert) label="bound: iconv of the code table + copy of the output" ;;
    esac
    awk -v l="$label" -v t="${median[$tool]}" -v m="${peak[$tool]}" -v x="${median[lantra]}" \
      'BEGIN { printf "| %s | %.3f s | %d MiB | %.2f |\n", l, t, m, t / x }'
  done
  awk -v t="${median[lantra]}" -v b="$bound" \
    'BEGIN { printf "\nlantra-cli takes %.2f times the sum of the two bounds (%.3f s).\n", t / b, b }'
}

cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(utf8)
[ "${cases[0]}" = all ] && cases=(utf8 gbk large)
for c in "${cases[@]}"; do describe "$c" >/dev/null; done

echo "$(date -u +%Y-%m-%d), $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores," \
  "load $(cut -d' ' -f1-3 /proc/loadavg), $runs runs each"
for c in "${cases[@]}"; do run_case "$c"; done
