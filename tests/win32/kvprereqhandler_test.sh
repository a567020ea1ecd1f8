# kvprereqhandler.exe under Wine: the scenarios of tests/tool/kvprereqhandler_test.cpp on a real
# implementation of the Windows API. The agent's key is written, and the policy values read
# back, by Wine's own reg command; a stand-in gpupdate.exe on the Windows PATH records each run.
# Sourced by run.sh, which sets $kv_win32_build.

tool=$kv_win32_build/tool/kvprereqhandler.exe
wu_key='HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Microsoft\Windows\WindowsUpdate'
agent_key='HKEY_LOCAL_MACHINE\Software\Velmora\Corvane\KVAgent'
all_updated='INFO *********************************** ALL Keys Updated ***********************************'
refresh='INFO *********************************** Updating Group Policy ***********************************'

# --- one agent per case: an install folder, a bin folder with the stand-in gpupdate.exe ---

new_agent() {
  mkdir -p "$case_dir/agent" "$case_dir/bin"
  cp "$kv_win32_build/tests/win32/gpupdate.exe" "$case_dir/bin/"
}

log_file() { echo "$case_dir/agent/logs/kvprereqhandler.log"; }

reg_add() {
  wine reg add "$@" /f >/dev/null 2>&1
  expect "reg add $*" 0 $?
}

install_agent() {
  # The folder ends with a separator: the tool appends "logs" to it directly.
  reg_add "$agent_key" /v KVAgentInstallDir /d "$(winpath "$case_dir/agent")\\"
}

# Runs the tool; sets tool_rc and tool_out (its console output, line ends as LF).
run_tool() {
  KVTEST_GPUPDATE_CALLS=$(winpath "$case_dir/gpupdate.calls") \
    WINEPATH=$(winpath "$case_dir/bin") \
    wine "$tool" "$@" >"$case_dir/stdout" 2>"$case_dir/stderr"
  tool_rc=$?
  tool_out=$(tr -d '\r' <"$case_dir/stdout")
}

gpupdate_runs() {
  [ -f "$case_dir/gpupdate.calls" ] && grep -c . "$case_dir/gpupdate.calls" || echo 0
}

# "KEY-SUFFIX NAME DATA" for every value under the WindowsUpdate key, and "KEY-SUFFIX (key)"
# for every key, from Wine's reg query /s; the key itself is ".".
policy_values() {
  wine reg query "$wu_key" /s 2>/dev/null | tr -d '\r' | ROOT=$wu_key awk '
    /^HKEY_/ { key = substr($0, length(ENVIRON["ROOT"]) + 1); if (key == "") key = "."
               print key " (key)"; next }
    /^    / { split(substr($0, 5), f, "    "); print key " " f[1] " " f[3] }'
}

# The value's data as reg shows it ("0x1"), or "absent".
value_of() {  # values key-suffix name
  KEY=$2 NAME=$3 awk '$1 == ENVIRON["KEY"] && $2 == ENVIRON["NAME"] { print $3; found = 1 }
                      END { if (!found) print "absent" }' <<<"$1"
}

key_exists() {  # values key-suffix
  grep -F -x -q -- "$2 (key)" <<<"$1" && echo yes || echo no
}

# The log's lines as "TAG text", without the open and close lines.
log_texts() {
  [ -f "$(log_file)" ] || return 0
  tr -d '\r' <"$(log_file)" | sed -E 's/^\[ [^]]* \] \[ [0-9]+ \] \[([A-Z]+)\] /\1 /' |
    grep -v -E '^INFO Log (open|close) time: '
}

# The INFO lines that are the tool's own decisions, in order.
decision_lines() {
  log_texts | grep -E 'Pivotwell|Invalid Arguement|AutoUpdate Modification|\*\*\*\*\*|^ERROR NoAutoUpdate ' || true
}

joined() {
  local IFS=$'\n'
  echo "$*"
}

# --- the cases ---

# args (a shell word list), exit code, the three values afterwards, the decision lines
command_line() {
  local args_text=$1 code=$2 ux=$3 access=$4 noauto=$5
  shift 5
  local -a args
  eval "args=($args_text)"
  new_agent
  install_agent
  run_tool "${args[@]}"
  expect "exit code" "$code" "$tool_rc"
  local values
  values=$(policy_values)
  expect SetDisableUXWUAccess "$ux" "$(value_of "$values" . SetDisableUXWUAccess)"
  expect DisableWindowsUpdateAccess "$access" "$(value_of "$values" . DisableWindowsUpdateAccess)"
  expect NoAutoUpdate "$noauto" "$(value_of "$values" '\AU' NoAutoUpdate)"
  [ "$noauto" = absent ] && expect "AU key exists" no "$(key_exists "$values" '\AU')"
  expect "decision lines" "$(joined "$@")" "$(decision_lines)"
  expect "gpupdate runs" "$([ "$code" = 0 ] && echo 1 || echo 0)" "$(gpupdate_runs)"
  expect "console output" "$([ "$code" = 0 ] && echo /force)" "$tool_out"
  # Every line ends in CR LF, written once: no text-mode stream doubles the CR.
  expect "lines ending in CR LF" "$(grep -c . "$(log_file)" 2>&1)" \
    "$(grep -c $'\r$' "$(log_file)" 2>&1)"
  expect "lines ending in CR CR LF" 0 "$(grep -c $'\r\r$' "$(log_file)" 2>&1)"
}

leaving_out_auto_update_keeps_an_existing_value() {
  new_agent
  install_agent
  reg_add "$wu_key\\AU" /v NoAutoUpdate /t REG_DWORD /d 5
  run_tool -enable -NotIncludeAutoUpdate
  expect "exit code" 0 "$tool_rc"
  local values
  values=$(policy_values)
  expect NoAutoUpdate 0x5 "$(value_of "$values" '\AU' NoAutoUpdate)"
  expect SetDisableUXWUAccess 0x0 "$(value_of "$values" . SetDisableUXWUAccess)"
}

without_the_agent_key() {
  new_agent
  run_tool -disable
  expect "exit code" 13 "$tool_rc"
  expect "log file" no "$([ -e "$(log_file)" ] && echo yes || echo no)"
  expect "logs folder" no "$([ -e "$case_dir/agent/logs" ] && echo yes || echo no)"
  expect SetDisableUXWUAccess absent "$(value_of "$(policy_values)" . SetDisableUXWUAccess)"
  expect "gpupdate runs" 0 "$(gpupdate_runs)"
}

log_level() {  # level value or "absent", tool lines logged, DEBUG lines logged
  new_agent
  install_agent
  [ "$1" != absent ] && reg_add "$agent_key" /v KVAgentLogLevel /t REG_DWORD /d "$1"
  run_tool -disable
  expect "exit code" 0 "$tool_rc"
  local texts
  texts=$(log_texts)
  expect "tool lines" "$2" "$([ -n "$texts" ] && echo yes || echo no)"
  expect "DEBUG lines" "$3" "$(grep -q '^DEBUG' <<<"$texts" && echo yes || echo no)"
  expect "open line" 1 "$(grep -c 'Log open time: ' "$(log_file)")"
  expect "close line" 1 "$(grep -c 'Log close time: ' "$(log_file)")"
}

rotation_at_start() {  # size of the live log before the run, rotated: yes or no
  new_agent
  install_agent
  mkdir -p "$case_dir/agent/logs"
  head -c "$1" /dev/zero | tr '\0' o >"$(log_file)"
  run_tool -disable
  expect "exit code" 0 "$tool_rc"
  local copy=$case_dir/agent/logs/kvprereqhandler1.log
  expect "copy 1 exists" "$2" "$([ -f "$copy" ] && echo yes || echo no)"
  if [ "$2" = yes ]; then
    expect "copy 1 size" "$1" "$(stat -c %s "$copy")"
    expect "copy 1 holds the old log" "" "$(tr -d o <"$copy")"
    expect "live log starts afresh" "[ " "$(head -c 2 "$(log_file)")"
    expect "rotation lines logged" 0 "$(grep -c RotateSpecificLogs "$(log_file)")"
  else
    expect "live log kept" "$(head -c "$1" /dev/zero | tr '\0' o)" "$(head -c "$1" "$(log_file)")"
  fi
}

a_log_that_cannot_be_opened() {
  new_agent
  echo "a file where the log folder should be" >"$case_dir/agent/logs"
  install_agent
  run_tool -disable
  expect "exit code" 0 "$tool_rc"
  expect DisableWindowsUpdateAccess 0x1 "$(value_of "$(policy_values)" . DisableWindowsUpdateAccess)"
  expect "gpupdate runs" 1 "$(gpupdate_runs)"
}

without_gpupdate() {
  new_agent
  rm "$case_dir/bin/gpupdate.exe"
  install_agent
  run_tool -enable
  expect "exit code" 0 "$tool_rc"
  expect "console output" "" "$tool_out$(cat "$case_dir/stderr")"
}

cl() { run_case "command line: ${1:-(no arguments)}" command_line "$@"; }
cl "-disable"           0 0x1 0x1 0x1 "INFO Disable Pivotwell" "$all_updated" "$refresh"
cl "-enable"            0 0x0 0x0 0x0 "INFO Enable Pivotwell" "$all_updated" "$refresh"
cl "-ENABLE"            0 0x0 0x0 0x0 "INFO Enable Pivotwell" "$all_updated" "$refresh"
cl "-Disable"           0 0x1 0x1 0x1 "INFO Disable Pivotwell" "$all_updated" "$refresh"
cl "-enable -disable"   0 0x1 0x1 0x1 "INFO Enable Pivotwell" "INFO Disable Pivotwell" \
  "$all_updated" "$refresh"
cl "-disable -enable"   0 0x0 0x0 0x0 "INFO Disable Pivotwell" "INFO Enable Pivotwell" \
  "$all_updated" "$refresh"
cl "-NotIncludeAutoUpdate" 0 0x1 0x1 absent "INFO AutoUpdate Modification has not been Included" \
  "$all_updated" "$refresh"
cl "-notincludeautoupdate -NotIncludeAutoUpdate -enable" 0 0x0 0x0 absent \
  "INFO AutoUpdate Modification has not been Included" \
  "INFO AutoUpdate Modification has not been Included" "INFO Enable Pivotwell" \
  "$all_updated" "$refresh"
cl "enable"             13 absent absent absent "INFO Invalid Arguement for enable"
cl "/enable"            13 absent absent absent "INFO Invalid Arguement for /enable"
cl "-enabled"           13 absent absent absent "INFO Invalid Arguement for -enabled"
cl "-enable bogus"      13 absent absent absent "INFO Enable Pivotwell" \
  "INFO Invalid Arguement for bogus"
cl "''"                 13 absent absent absent "INFO Invalid Arguement for "
# Argument zero is the path the tool was started by, in its Windows form.
cl ""                   13 absent absent absent "INFO Invalid Arguement for $(winpath "$tool")"

run_case "leaving out AutoUpdate keeps an existing value" \
  leaving_out_auto_update_keeps_an_existing_value
run_case "without the agent key it exits 13 and writes no log" without_the_agent_key
skip_case "a user who cannot write the registry gets access denied for each value" \
  "Wine's registry has no access control; every process may write HKEY_LOCAL_MACHINE"
run_case "log level absent: the tool's lines at level 2" log_level absent yes no
run_case "log level 0: only the open and close lines" log_level 0 no no
run_case "log level 4: DEBUG lines too" log_level 4 yes yes
run_case "a log of 1,999,999 bytes is not rotated at start" rotation_at_start 1999999 no
run_case "a log of 2,000,000 bytes is rotated at start" rotation_at_start 2000000 yes
run_case "a log that cannot be opened does not stop the tool" a_log_that_cannot_be_opened
run_case "without gpupdate the result is unchanged and nothing is shown" without_gpupdate
