# The Win32 backend on Wine's implementation of the calls it makes: timer queues re-armed from
# their callbacks, threads that suspend themselves, files, system texts and command lines
# (platform_check.cpp). Sourced by run.sh, which sets $kv_win32_build.

platform_backend() {
  # A PATH folder named like "Program Files (x86)", which the interpreter's quoting rules trip on.
  local bin="$case_dir/bin (x86)"
  mkdir -p "$case_dir/files" "$bin" "$case_dir/cwd"
  cp "$kv_win32_build/tests/win32/gpupdate.exe" "$bin/"
  cp "$kv_win32_build/tests/win32/gpupdate.exe" "$case_dir/cwd/planted.exe"
  (cd "$case_dir/cwd" &&
    KVTEST_GPUPDATE_CALLS=$(winpath "$case_dir/gpupdate.calls") WINEPATH=$(winpath "$bin") \
      wine "$kv_win32_build/tests/win32/platform_check.exe" "$(winpath "$case_dir")" \
      >"$case_dir/out" 2>&1)
  expect "exit code" 0 $?
  expect "failed checks" "0 failed" "$(grep -E '^(FAIL|[0-9]+ failed)' "$case_dir/out" | tr -d '\r')"
  expect "gpupdate runs, with their arguments" /force "$(tr -d '\r' <"$case_dir/gpupdate.calls")"
}

run_case "the Win32 platform backend on Wine" platform_backend
