
# Both programs read /key=value items and split their command line at every "/", so paths are
# completed with "\" between folders, as a job writes them. Needs bash-completion's helpers.

# $1 without the shell's quoting, as far as a path needs: a leading quote goes; a backslash keeps
# only the character after it, within double quotes only before \ " $ or `.
_tarvex_dequote() {
  local word=$1 plain='' escaped='' i
  case $word in
    \'*)
      printf '%s' "${word:1}"
      return
      ;;
    \"*) word=${word:1} escaped='\"$`' ;;
  esac
  for ((i = 0; i < ${#word}; i++)); do
    [[ ${word:i:1} == '\' && (-z $escaped || $escaped == *"${word:i+1:1}"*) ]] && ((i++))
    plain+=${word:i:1}
  done
  printf '%s' "$plain"
}

# Adds to COMPREPLY the names that compgen's action $2 (-f files and folders, -d folders) finds
# for the value $1 written with "\", themselves written with "\" and prefixed by $3; folders end
# in "\" so that the next name can follow.
_tarvex_reply_paths() {
  local name IFS=$'\n'
  for name in $(compgen "$2" -- "${1//\\//}"); do
    [[ -d $name ]] && name+=/
    COMPREPLY+=("$3${name//\//\\}")
  done
}

# Completes the item under the cursor: /key= for a key of the array named $1, or the value of a
# key: file names for the keys in the array named $2, folder names for those in $3, activation
# codes for af.
_tarvex_complete_items() {
  local cur prev words cword
  _init_completion -n =: || return
  local -n item_keys=$1 file_keys=$2 folder_keys=$3
  local text=$cur quoted=''
  [[ $text == [\'\"]* ]] && quoted=${text:0:1} text=${text:1}
  if [[ $text != /*=* ]]; then
    [[ -z $text || $text == /* ]] &&
      COMPREPLY=($(compgen -P / -S = -W "${item_keys[*]}" -- "${text#/}"))
    compopt -o nospace
  else
    local key=${text%%=*} value
    key=${key#/} key=${key,,}
    value=$(_tarvex_dequote "$quoted${text#*=}")
    if [[ $key == af ]]; then
      COMPREPLY=($(compgen -P "${text%%=*}=" -W "${_tarvex_activation_codes[*]}" -- "$value"))
    elif [[ " ${file_keys[*]} " == *" $key "* ]]; then
      _tarvex_reply_paths "$value" -f "${text%%=*}="
    elif [[ " ${folder_keys[*]} " == *" $key "* ]]; then
      _tarvex_reply_paths "$value" -d "${text%%=*}="
    fi
    # Quoted as file names when inserted (a "\" must reach the program); a folder goes on.
    compopt -o filenames
    [[ ${#COMPREPLY[@]} -eq 1 && $COMPREPLY == *\\ ]] && compopt -o nospace
  fi
  # Readline replaces only what follows the last "=" or ":" that it breaks words at, outside
  # quotes; the replies lose what comes before.
  local breaks=${COMP_WORDBREAKS//[^=:]/}
  if [[ -z $quoted && -n $breaks && $text == *[$breaks]* ]]; then
    local lead=${text%"${text##*[$breaks]}"}
    COMPREPLY=("${COMPREPLY[@]#"$lead"}")
  fi
}

_tarvex_no_keys=()
_tarvex() { _tarvex_complete_items _tarvex_keys _tarvex_file_keys _tarvex_no_keys; }
_scribbon() { _tarvex_complete_items _scribbon_keys _tarvex_no_keys _scribbon_keys; }
complete -F _tarvex tarvex
complete -F _scribbon scribbon
