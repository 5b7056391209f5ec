# SPDX-License-Identifier: GPL-2.0-or-later
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

# The device names (or with -m the manufacturer names) of the library the
# command line would use, from the program's own "devices": a --config-dir
# already on the line counts.
_tavrolith_cli_devices() {
  local -a dir=()
  local i
  for ((i = 1; i < cword; ++i)); do
    [[ ${words[i]} == --config-dir ]] && dir=(--config-dir "${words[i + 1]}")
  done
  "${words[0]}" "${dir[@]}" devices 2>/dev/null | awk -v want="$1" '
    # "Atmel (Hersteller 0)", then "  * 0   AT89C51   DIP40 ..." per device.
    /^[^ ]/ && / \(Hersteller [0-9]+\)$/ { if (want == "-m") { sub(/ \(Hersteller [0-9]+\)$/, ""); print } next }
    want != "-m" && $1 == "*" && $2 ~ /^[0-9]+$/ { print $3; next }
    want != "-m" && $1 ~ /^[0-9]+$/ { print $2 }'
}

# The keys "config" shows (and Device, which it takes by name).
_tavrolith_cli_config_keys() {
  "${words[0]}" config 2>/dev/null | sed -n 's/^\([A-Za-z][A-Za-z0-9-]*\)=.*/\1/p'
  echo Device
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
    --device)
      local IFS=$'\n'
      COMPREPLY=($(compgen -W '$(_tavrolith_cli_devices)' -- "$cur"))
      return ;;
    --manufacturer)
      local IFS=$'\n'
      COMPREPLY=($(compgen -W '$(_tavrolith_cli_devices -m)' -- "$cur"))
      return ;;
    --size | --sim-write-us | --count | --serial-at | --serial-start | --serial-step)
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
      config)
        # config set KEY VALUE, config reset KEY; a device by name for Device.
        local at=0
        for ((i = 1; i < cword; ++i)); do [[ ${words[i]} == config ]] && at=$i; done
        case $((cword - at)) in
          1) COMPREPLY=($(compgen -W 'set reset' -- "$cur")) ;;
          2) COMPREPLY=($(compgen -W '$(_tavrolith_cli_config_keys)' -- "$cur")) ;;
          3) if [[ ${words[at + 1]} == set && ${words[at + 2],,} == device ]]; then
               local IFS=$'\n'
               COMPREPLY=($(compgen -W '$(_tavrolith_cli_devices)' -- "$cur"))
             fi ;;
        esac ;;
    esac
  fi
} &&
  complete -F _tavrolith_cli tavrolith-cli
