# The registry store's file format against the real one: a HKEY_LOCAL_MACHINE.reg written by
# the Linux kvreg is imported into Wine's registry with regedit and read back with Wine's reg;
# files exported by Wine's regedit are read by the Linux store. Both reg and kvreg print a key
# the way reg.exe does, so a key's listing must be the same line for line (Wine lists values by
# name, the store in the order they were made: lines are compared sorted).
# Sourced by run.sh, which sets $kv_win32_build and $kv_linux_kvreg.

tool=$kv_win32_build/tool/kvprereqhandler.exe
agent_key='HKEY_LOCAL_MACHINE\Software\Velmora\Corvane\KVAgent'
format_key='HKEY_LOCAL_MACHINE\Software\KvFormat'
policy_key='HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Microsoft\Windows\WindowsUpdate'

kvreg() {
  KVAGENT_REGISTRY_DIR=$case_dir/store "$kv_linux_kvreg" "$@"
}

kvreg_add() {
  kvreg add "$@" /f >/dev/null
  expect "kvreg add $*" 0 $?
}

wine_reg_add() {
  wine reg add "$@" /f >/dev/null 2>&1
  expect "reg add $*" 0 $?
}

listing() {
  tr -d '\r' | LC_ALL=C sort
}

same_listing() {  # key
  expect "$1 listed by reg and by kvreg" "$(wine reg query "$1" 2>&1 | listing)" \
    "$(kvreg query "$1" 2>&1 | listing)"
}

# Windows' regedit reads a file without a byte-order mark in the ANSI code page (and hex(2)
# and hex(7) data in it as ANSI text); the store's UTF-8 becomes UTF-16LE with CR LF for it.
to_utf16() {
  printf '\xff\xfe'
  sed 's/$/\r/' "$1" | iconv -f UTF-8 -t UTF-16LE
}

# Makes the store hold a file exported by Wine's regedit, as it was written.
take_export() {  # key
  mkdir -p "$case_dir/store"
  wine regedit /E "$(winpath "$case_dir/store/HKEY_LOCAL_MACHINE.reg")" "$1"
  expect "regedit /E $1" 0 $?
}

a_file_written_on_linux_imports_into_wine() {
  # A folder name outside ASCII: the tool reads it through the narrow registry call and opens
  # its log through the narrow file calls, both in the ANSI code page.
  local agent=$case_dir/agent-ü
  mkdir -p "$agent"
  kvreg_add "$agent_key" /v KVAgentInstallDir /d "$(winpath "$agent")\\"
  kvreg_add "$agent_key" /v KVAgentLogLevel /t REG_DWORD /d 4
  kvreg_add "$format_key" /ve /d 'the "default" \ value'
  kvreg_add "$format_key" /v Folder /d 'C:\Program Files\KV Agent\'
  kvreg_add "$format_key" /v Expand /t REG_EXPAND_SZ /d '%SystemRoot%\system32'
  kvreg_add "$format_key" /v Multi /t REG_MULTI_SZ /d 'one\0two\0three'
  kvreg_add "$format_key" /v Binary /t REG_BINARY /d "$(printf 'ab%.0s' {1..60})"
  kvreg_add "$format_key" /v Empty /d ''
  kvreg_add "$format_key" /v Max /t REG_DWORD /d 4294967295
  kvreg_add "$format_key\\Sub" /v Grüße /d 'Grüße, 日本'
  to_utf16 "$case_dir/store/HKEY_LOCAL_MACHINE.reg" >"$case_dir/import.reg"
  wine regedit /S "$(winpath "$case_dir/import.reg")"
  expect "regedit /S" 0 $?
  same_listing "$format_key"

  WINEPATH=$(winpath "$case_dir") wine "$tool" -disable >/dev/null 2>&1
  expect "the tool's exit code" 0 $?
  expect "its DEBUG lines, at the imported level 4" yes \
    "$(grep -q '\[DEBUG\]' "$agent/logs/kvprereqhandler.log" 2>/dev/null && echo yes || echo no)"

  # Text outside ASCII is compared through a file, not through the console's code page.
  mv "$case_dir/store" "$case_dir/written-on-linux"
  local key
  for key in "$agent_key" "$format_key\\Sub"; do
    take_export "$key"
    expect "$key, back from Wine" \
      "$(KVAGENT_REGISTRY_DIR=$case_dir/written-on-linux "$kv_linux_kvreg" query "$key")" \
      "$(kvreg query "$key" 2>&1)"
  done
}

a_file_exported_by_wine_is_read_on_linux() {
  mkdir -p "$case_dir/agent"
  wine_reg_add "$agent_key" /v KVAgentInstallDir /d "$(winpath "$case_dir/agent")\\"
  wine "$tool" -enable >/dev/null 2>&1
  expect "the tool's exit code" 0 $?
  wine_reg_add "$format_key" /ve /d 'the "default" \ value'
  wine_reg_add "$format_key" /v Expand /t REG_EXPAND_SZ /d '%SystemRoot%\system32'
  wine_reg_add "$format_key" /v Multi /t REG_MULTI_SZ /d 'one\0two\0three'
  wine_reg_add "$format_key" /v Binary /t REG_BINARY /d "$(printf 'cd%.0s' {1..60})"
  wine_reg_add "$format_key" /v Max /t REG_DWORD /d 4294967295
  wine_reg_add "$format_key" /v Empty /d ''
  # Wine's regedit writes a line break inside a text as \r\n.
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' "[$format_key]" \
    '"Lines"=hex(1):74,00,77,00,6f,00,0d,00,0a,00,6c,00,69,00,6e,00,65,00,73,00,00,00' \
    >"$case_dir/lines.reg"
  to_utf16 "$case_dir/lines.reg" >"$case_dir/lines16.reg"
  wine regedit /S "$(winpath "$case_dir/lines16.reg")"
  for key in "$policy_key" "$policy_key\\AU" "$format_key"; do
    take_export "$key"
    same_listing "$key"
  done
}

wines_whole_local_machine_export_is_read_on_linux() {
  take_export HKEY_LOCAL_MACHINE
  same_listing 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion'
  same_listing 'HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager\Environment'
}

run_case "a store file written on Linux imports into Wine's registry" \
  a_file_written_on_linux_imports_into_wine
run_case "files exported by Wine's regedit are read by the Linux store" \
  a_file_exported_by_wine_is_read_on_linux
run_case "Wine's whole HKEY_LOCAL_MACHINE export is read by the Linux store" \
  wines_whole_local_machine_export_is_read_on_linux
