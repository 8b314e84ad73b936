#!/usr/bin/env bash
# Runs the bash completion that the build made for a table of command lines, in a folder with a
# few files, and compares what it offers. Usage: completion_test.sh COMPLETION-FILE
set -u
completion=$1
source /usr/share/bash-completion/bash_completion || exit 1
source "$completion" || exit 1
compopt() { :; }  # only readline's insertion uses the options

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/data/sub"
touch "$folder/data/ti.txt" "$folder/data/to.txt" "$folder/data/my file.txt"
cd "$folder" || exit 1

# COMP_WORDS as bash makes them: blanks separate words, "=" and ":" stand alone, quoted text
# stays together; the word under the cursor is the last one.
split_words() {
  local line=$1 word='' quote='' c i
  COMP_WORDS=()
  for ((i = 0; i < ${#line}; i++)); do
    c=${line:i:1}
    if [[ -n $quote ]]; then
      word+=$c
      [[ $c == "$quote" ]] && quote=''
      continue
    fi
    case $c in
      \\) word+=$c${line:i+1:1} && ((i++)) ;;
      \' | \") quote=$c word+=$c ;;
      ' ') [[ -n $word ]] && COMP_WORDS+=("$word") && word='' ;;
      = | :) [[ -n $word ]] && COMP_WORDS+=("$word") && word='' ; COMP_WORDS+=("$c") ;;
      *) word+=$c ;;
    esac
  done
  [[ -n $word || $line == *' ' ]] && COMP_WORDS+=("$word")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
}

failures=0
# LINE, then the replies expected, joined by "|".
while IFS=$'\t' read -r line expected; do
  [[ -z $line || $line == \#* ]] && continue
  COMP_LINE=$line COMP_POINT=${#line} COMPREPLY=()
  split_words "$line"
  "_${COMP_WORDS[0]}" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  actual=$(IFS='|' && echo "${COMPREPLY[*]}")
  if [[ $actual != "$expected" ]]; then
    echo "FAIL: $line: got '$actual', expected '$expected'"
    failures=$((failures + 1))
  fi
done <<'CASES'
tarvex /ti	/tif=|/tiv=|/tifh=|/tis=
tarvex /n	/n=|/nof=|/nif=|/na=
tarvex ti	
tarvex /af=	0|1|2|3|4|5
tarvex /AF=2	2
tarvex /lr=	
tarvex /tiv=da	
tarvex /tif=	data\
tarvex /tif=da	data\
tarvex /tif=data\\t	data\ti.txt|data\to.txt
tarvex /ep=10 /log=data\\s	data\sub\
tarvex '/pof=data\m	/pof=data\my file.txt
tarvex "/tif=data\t	/tif=data\ti.txt|/tif=data\to.txt
scribbon /p	/pexe=|/pdoc=|/pbat=
scribbon /pbat=data\\	data\sub\
CASES
if [[ $failures -gt 0 ]]; then
  echo "$failures completion(s) differ."
  exit 1
fi
echo "Every completion as expected."
