# SPDX-License-Identifier: MIT
# bash completion for kx9ctl: commands, options, their values, serial ports and files.

_kx9ctl_ports() {
    local ports=(COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8) dev
    # Serial devices only: the numbered consoles (/dev/tty1 ...) are no boards' lines.
    for dev in /dev/tty[A-Za-z]* /dev/serial/by-id/*; do
        [[ -e $dev && $dev != /dev/tty ]] && ports+=("$dev")
    done
    # Links and devices in the working folder (kx9-sim's LINE1 ...): a bare name is that file.
    for dev in *; do
        [[ ( -L $dev || -c $dev ) && $dev != COM[1-8] ]] && ports+=("$dev")
    done
    printf '%s\n' "${ports[@]}"
}

# Bash breaks words at ':' too; a reply keeps only what follows the last one in the word.
_kx9ctl_colons() {
    local cur=$1 i
    [[ $cur == *:* && $COMP_WORDBREAKS == *:* ]] || return
    for i in "${!COMPREPLY[@]}"; do
        COMPREPLY[i]=${COMPREPLY[i]#"${cur%"${cur##*:}"}"}
    done
}

# The last item of a comma-separated list, completed from $2; what comes before it is kept.
_kx9ctl_list() {
    local cur=$1 words=$2 head="" item
    [[ $cur == *,* ]] && head=${cur%,*},
    for item in $(compgen -W "$words" -- "${cur##*,}"); do
        COMPREPLY+=("$head$item")
    done
    compopt -o nospace 2>/dev/null
}

# Folders, and the files whose extension (any case) is one of $2.
_kx9ctl_files() {
    local IFS=$'\n' file ext
    compopt -o filenames 2>/dev/null
    COMPREPLY+=($(compgen -d -- "$1"))
    for file in $(compgen -f -- "$1"); do
        ext=${file##*.}
        [[ -f $file && $file == *.* && " $2 " == *" ${ext,,} "* ]] && COMPREPLY+=("$file")
    done
}

# Stands alone: no helper of the bash-completion package is needed, so that a plain bash that
# sources this file completes as well as one where bash-completion loads it.
_kx9ctl() {
    local cur prev words cword
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--port=COM" comes as "--port" "=" "COM" where "=" breaks words.
    if [[ $cur == = ]]; then
        cur=""
    elif [[ $prev == = ]] && ((cword > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()

    local commands="identify read write verify dump diff page clock status graphic scan apply ports render"
    local common="--port --address --baud --frame --timeout --fast --json --trace -h --help --version"
    local rates="2400 4800 9600 14400 19200 38400 57600 115200" frames="8N1 8N2 8E1 8O1"

    case $prev in
    --port)
        if [[ $cur == /* || $cur == .* ]]; then
            # Any device path: folders to go down, and what is no regular file.
            local IFS=$'\n' file
            compopt -o filenames 2>/dev/null
            for file in $(compgen -f -- "$cur"); do
                [[ -f $file ]] || COMPREPLY+=("$file")
            done
        else
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(_kx9ctl_ports)" -- "$cur"))
        fi
        _kx9ctl_colons "$cur"
        return ;;
    --baud) COMPREPLY=($(compgen -W "$rates" -- "$cur")); return ;;
    --frame) COMPREPLY=($(compgen -W "$frames" -- "$cur")); return ;;
    --rates) _kx9ctl_list "$cur" "$rates"; return ;;
    --frames) _kx9ctl_list "$cur" "$frames"; return ;;
    --output-dir) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --trace) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --address | --timeout | --probe-ms | --name | --set) return ;;
    esac

    # The command, and its arguments so far.
    local command="" args=0 i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --port | --address | --baud | --frame | --timeout | --rates | --frames | --output-dir | --probe-ms | --name | --set | --trace)
            if [[ ${words[i + 1]} == = ]]; then ((i += 2)); else ((i++)); fi ;;
        -*) ;;
        *)
            if [[ -z $command ]]; then command=${words[i]}; else ((args++)); fi ;;
        esac
    done

    local own=""
    case $command in
    read) own="--output-dir" ;;
    diff) own="--bytes" ;;
    page) own="--name --verify" ;;
    clock) own="--sync --minute --set" ;;
    status) own="--clear" ;;
    scan) own="--rates --frames --all --save --probe-ms" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$common $own" -- "$cur"))
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi
    case $command in
    read | write | verify | dump) ((args < 1)) && _kx9ctl_files "$cur" cfg ;;
    diff) ((args < 2)) && _kx9ctl_files "$cur" cfg ;;
    apply) ((args < 1)) && _kx9ctl_files "$cur" json ;;
    render)
        if ((args == 0)); then
            _kx9ctl_files "$cur" cfg
        elif ((args == 2)); then
            _kx9ctl_files "$cur" png
        fi ;;
    graphic)
        if ((args == 0)); then
            COMPREPLY=($(compgen -W "115 116 117 118 119 120 121 122 123 124" -- "$cur"))
        elif ((args == 1)); then
            _kx9ctl_files "$cur" "bmp ico png jpg jpeg gif svg"
        fi ;;
    esac
}
complete -F _kx9ctl kx9ctl
