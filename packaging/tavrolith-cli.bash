# bash completion for tavrolith-cli
#
# The commands and options are taken from the program's own --help (and the
# command's --help once a command is on the line), so the completion follows
# the program it completes instead of a list kept here.

_tavrolith_cli_help_words() {
  # Long options, short options and, from the command list, the command names.
  "$1" "${@:2}" --help 2>/dev/null | awk '
    /^[[:space:]]*$/ { section = ""; next }
    /^[A-Za-z]+:$/ { section = tolower($0); next }
    section == "befehle:" && /^  [a-z]/ { print "CMD " $1; next }
    section == "optionen:" && /^  -/ {
      # "-h, --help" or "--ff-save, --no-ff-save": every name before the
      # value placeholder or the description.
      for (i = 1; i <= NF; ++i) {
        word = $i
        sub(/,$/, "", word)
        if (word !~ /^-/) break
        print "OPT " word
      }
    }'
}

# Files or (with -d) folders; bash-completion's _filedir where it is loaded.
_tavrolith_cli_files() {
  if declare -F _filedir >/dev/null; then
    _filedir "$@"
  elif [[ $1 == -d ]]; then
    COMPREPLY=($(compgen -d -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}

_tavrolith_cli() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
    cur=${words[cword]}
    prev=${words[cword - 1]}
  fi

  case $prev in
    --format)
      COMPREPLY=($(compgen -W 'bin intel8 intel32 intelmcs s1 s2 s3 mos tek 1 2 3 4 5 6 7 8 9' -- "$cur"))
      return ;;
    --on-error)
      COMPREPLY=($(compgen -W 'retry cancel' -- "$cur"))
      return ;;
    --lock)
      COMPREPLY=($(compgen -W '0 1 2 3' -- "$cur"))
      return ;;
    --port)
      COMPREPLY=($(compgen -W '0x378 0x278 0x3BC $(compgen -G "/dev/parport[0-9]*")' -- "$cur"))
      return ;;
    --chip-fault)
      COMPREPLY=($(compgen -W 'empty-socket wrong-signature not-blank stuck-bit: dead-cell: weak:' -- "$cur"))
      compopt -o nospace 2>/dev/null
      return ;;
    --board-fault)
      COMPREPLY=($(compgen -W 'no-board handshake-low broken-latch silent-after:' -- "$cur"))
      compopt -o nospace 2>/dev/null
      return ;;
    --config-dir)
      _tavrolith_cli_files -d
      return ;;
    --serial-format)
      COMPREPLY=($(compgen -W 'le1 le2 le3 le4 be1 be2 be3 be4 bcd4 bcd6 bcd8 dec4 dec6 dec8' -- "$cur"))
      return ;;
    --trace | --chip-state | --serial-file | --log)
      _tavrolith_cli_files
      return ;;
    --device | --manufacturer | --size | --sim-write-us | --count | --serial-at | --serial-start | --serial-step)
      return ;;
  esac

  # The command already on the line, if any.
  local command="" i word kind
  local -a commands=() options=()
  while read -r kind word; do
    if [[ $kind == CMD ]]; then commands+=("$word"); else options+=("$word"); fi
  done < <(_tavrolith_cli_help_words "${words[0]}")
  for ((i = 1; i < cword; ++i)); do
    for word in "${commands[@]}"; do
      [[ ${words[i]} == "$word" ]] && command=$word
    done
  done
  # Before the command, the options every device command takes (the
  # overview lists only the commands); after it, that command's own.
  while read -r kind word; do
    [[ $kind == OPT ]] && options+=("$word")
  done < <(_tavrolith_cli_help_words "${words[0]}" "${command:-program}")

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '${options[*]}' -- "$cur"))
  elif [[ -z $command ]]; then
    COMPREPLY=($(compgen -W '${commands[*]}' -- "$cur"))
  else
    case $command in
      read | program | verify | info | convert | batch) _tavrolith_cli_files ;;
    esac
  fi
} &&
  complete -F _tavrolith_cli tavrolith-cli
