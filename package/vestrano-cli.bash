# bash completion for vestrano-cli: its options, then workbooks (.xlsx .xlsm .xltx .xltm .xls .xlt
# in any letter case) and folders; after an option that takes a value, what that value is.

# _vestrano_cli_paths WORD dirs|files [EXT...]: fills COMPREPLY with the folders that begin with
# WORD and, for "files", the files whose name ends in .EXT in any letter case (every file when no
# EXT is given).
_vestrano_cli_paths() {
  local word=$1 kind=$2 plain= i f lower ext
  local -A is_dir=()
  shift 2
  # The word as typed: take away an opening quote, or the backslashes of escaped characters.
  case $word in
    \"* | \'*) plain=${word:1} ;;
    *)
      for ((i = 0; i < ${#word}; i++)); do
        [[ ${word:i:1} == \\ ]] && ((i++))
        plain+=${word:i:1}
      done
      ;;
  esac
  compopt -o filenames 2>/dev/null # quote the names, mark folders with "/"
  mapfile -t COMPREPLY < <(compgen -d -- "$plain")
  [[ $kind == files ]] || return 0
  for f in "${COMPREPLY[@]}"; do is_dir[$f]=1; done
  while IFS= read -r f; do
    [[ -n ${is_dir[$f]-} ]] && continue # listed already
    if (($# == 0)); then
      COMPREPLY+=("$f")
      continue
    fi
    lower=${f,,}
    for ext in "$@"; do
      if [[ $lower == *."$ext" ]]; then
        COMPREPLY+=("$f")
        break
      fi
    done
  done < <(compgen -f -- "$plain")
}

_vestrano_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev= i
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  # After "--" every word is a workbook or a folder.
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} == -- ]]; then
      _vestrano_cli_paths "$cur" files xlsx xlsm xltx xltm xls xlt
      return 0
    fi
  done
  # "--output=FILE" reaches here as three words: "--output", "=", "FILE".
  if [[ $cur == = && $prev == --* ]]; then
    cur=
  elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  case $prev in
    -o | --output)
      _vestrano_cli_paths "$cur" files
      return 0
      ;;
    --output-dir | --report-dir)
      _vestrano_cli_paths "$cur" dirs
      return 0
      ;;
    --schema)
      _vestrano_cli_paths "$cur" files xsd
      return 0
      ;;
    --template)
      _vestrano_cli_paths "$cur" files xlsx
      return 0
      ;;
    -j) return 0 ;; # a number
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "-o --output --output-dir --report-dir --no-export
      --no-validate --schema --json --dump --template -r -j -q --quiet -h --help --version" \
      -- "$cur")
    return 0
  fi
  _vestrano_cli_paths "$cur" files xlsx xlsm xltx xltm xls xlt
}

complete -F _vestrano_cli vestrano-cli
