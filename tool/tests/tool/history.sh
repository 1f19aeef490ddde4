# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: the history of the stored items, and a base directory
# that is no folder.
# The history: a record per change, the fields a change changed, an item put back, and check
# naming a damaged repository.
history=$work/history
use_base_dir "$history"
"$tool" tunes show --file "$corpus/tune/tune-1.ket" --json >"$work/tune.json"
"$tool" -q tunes import H "$work/tune.json" &&
  jq '.coneVoltage = 42.5' "$work/tune.json" >"$work/changed.json" &&
  "$tool" -q tunes import H "$work/changed.json" && "$tool" -q tunes rename H H2
result $?
expect 0 "rename Tunes/H2.ket Tunes/H.ket" history
[[ $("$tool" history tunes H --json | jq -r 'map(.operation) | join(" ")') == \
  "rename import import" ]]
result $?
first=$("$tool" history tunes H --json | jq -r '.[2].id')
expect 0 "~ /coneVoltage: " diff tunes H "$first" "$("$tool" history tunes H --json | jq -r '.[1].id')"
expect 0 "- /coneVoltage: 42.5" diff tunes H
expect 0 "Restored Tunes/H.ket as the record $first left it" restore tunes H "$first"
cmp -s "$history/Tunes/H.ket" <(git -C "$history/History" show "$first:Tunes/H.ket")
result $?
expect 0 "History $history/History: whole" history --verify
git -C "$history/History" log --format=%s | grep -qx "restore Tunes/H.ket"
result $?
expect 1 "no kind of stored item is called tune; the kinds are methods, tunes, eval, prefs" \
  history tune
printf 'x' >"$history/History/HEAD"
expect 1 "wqrepos: the history is damaged: Cannot read the HEAD of the history $history/History" \
  check
"$tool" -q tunes import H3 "$work/tune.json" && [[ -s $history/Tunes/H3.ket ]]
result $?

touch "$work/plain"
use_base_dir "$work/plain"
for command in info "methods list" "sysconfig show" "prefs show GenTIC" "refcals show"; do
  # shellcheck disable=SC2086
  expect 1 "cannot use the base data directory $work/plain" $command
done
