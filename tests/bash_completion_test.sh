#!/usr/bin/env bash
# Calls the bash completion of vestrano-cli as bash would (COMP_WORDS, COMP_CWORD) in a folder of
# workbooks, other files and folders, and compares what it offers.
# Usage: bash_completion_test.sh COMPLETION-FILE
set -uo pipefail
completion=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir -p "klienti 2026" archiv .skryte podani.xlsx
touch alfa.xlsx BETA.XLS Gama.XlSm sablona.xltx sablona2.XLTM stara.xlt zprava.txt data.csv \
  kh.xml vlastni.xsd "klienti 2026/dvorak.xlsx" "klienti 2026/poznamka.txt" archiv/x.xls
# shellcheck source=/dev/null
source "$completion"

failures=0
# check EXPECTED WORD...: completes the last WORD of "vestrano-cli WORD..."; EXPECTED is what is
# offered, sorted, separated by "|".
check() {
  local expected=$1
  shift
  COMP_WORDS=(vestrano-cli "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _vestrano_cli
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd '|')
  if [[ "$got" != "$expected" ]]; then
    echo "FAIL: vestrano-cli $*"
    echo "  expected: $expected"
    echo "  got:      $got"
    failures=$((failures + 1))
  fi
}

# Workbooks in any letter case and folders (a folder named like a workbook once); nothing else.
check ".skryte|BETA.XLS|Gama.XlSm|alfa.xlsx|archiv|klienti 2026|podani.xlsx|sablona.xltx|sablona2.XLTM|stara.xlt" ""
check "sablona.xltx|sablona2.XLTM" sab
check "klienti 2026" kl
check "klienti 2026/dvorak.xlsx" "klienti 2026/"
check "klienti 2026/dvorak.xlsx" 'klienti\ 2026/'
check "klienti 2026/dvorak.xlsx" '"klienti 2026/'
check "archiv/x.xls" -q archiv/
# Options.
check "--no-export|--no-validate" --no
check "--output|--output-dir" --out
check "--dump|--help|--json|--no-export|--no-validate|--output|--output-dir|--quiet|--report-dir|--schema|--template|--version|-h|-j|-o|-q|-r" alfa.xlsx -
check "--json" -q --js
# Option values: any file for -o, folders for the two directories, schemas, a new .xlsx.
check ".skryte|BETA.XLS|Gama.XlSm|alfa.xlsx|archiv|data.csv|kh.xml|klienti 2026|podani.xlsx|sablona.xltx|sablona2.XLTM|stara.xlt|vlastni.xsd|zprava.txt" alfa.xlsx -o ""
check "kh.xml|klienti 2026" -o k
check "kh.xml|klienti 2026" --output = k
check ".skryte|archiv|klienti 2026|podani.xlsx" --output-dir ""
check ".skryte|archiv|klienti 2026|podani.xlsx" --report-dir = ""
check "vlastni.xsd" --schema v
check ".skryte|alfa.xlsx|archiv|klienti 2026|podani.xlsx" --template ""
check "" -j ""
# After "--" a word that looks like an option is a name.
check "" -- --js

if ((failures > 0)); then
  echo "$failures completion case(s) failed"
  exit 1
fi
echo "all completion cases passed"
