# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: bash completion.
# Completion: commands and options from the tool's help, the names stored in the data directory.
offers() { # offers EXPECTED WORD...: completing the last of the words offers EXPECTED
  local expected=$1 got
  shift
  got=$(bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _wqrepos; printf "%s " "${COMPREPLY[@]}"' _ "$completion" "$tool" "$@")
  [[ $got == "$expected " ]]
  result $?
  [[ $got == "$expected " ]] || echo "FAIL: completing wqrepos $*: got '$got', expected '$expected'"
}
offers methods me
offers Scan methods show ""
offers Standard eval show --ic St
# Every command whose first argument is a stored name offers the names of its family, not the
# files of the working directory; the second argument of copy and rename is a new name.
for command in delete copy rename; do
  offers Scan methods $command ""
  offers Standard eval $command --ic St
done
offers U+Factory tunes copy U
offers Autotune autotune show A
offers Autotune autotune import ""
offers Autotune autotune delete ""
# The preferences that show and import accept, whether a file holds them or not.
offers GenTIC prefs show GenT
offers GenEIC prefs import GenE
[[ $("$tool" prefs list --all --json | jq '[.[] | select(.decoded)] | length') == 25 &&
  $("$tool" prefs list --all --json | jq -r '.[] | select(.name == "GenEIC") | .stored') == false ]]
result $?
offers --mz-range plot "$run" --mz
offers "$work/run.dat" tunes show --file "$work/run.d"
