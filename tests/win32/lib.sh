# Shared by the end-to-end tests under Wine (sourced by run.sh).
#
# Wine runs headless: no X server, no debug channels. One prefix is booted per run as a
# template; each case gets a copy made of hard links, except for the registry files, which are
# copied whole: Wine saves a registry file that has several links in place, which would carry
# one case's values into the template and every later case. Each case's wineserver stays up
# for the whole case, so each wine call costs a fraction of a second.
#
# A test file defines its cases as functions and runs each with
#   run_case TITLE FUNCTION [ARGUMENTS...]
# Inside, $case_dir is the case's own folder and `expect WHAT EXPECTED ACTUAL` records a
# check; the case passes when all its checks agree. `skip_case TITLE WHY` reports a case that
# cannot run under Wine.

export WINEDEBUG=-all
# Wine's .NET and HTML engines are never needed here; leaving them out saves seconds a boot.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

kv_passed=0
kv_failed=0
kv_skipped=0

kv_setup() {
  kv_work=$(mktemp -d /tmp/kvwine.XXXXXX)
  kv_template=$kv_work/template
  WINEPREFIX=$kv_template wineboot -i >/dev/null 2>&1 || return 1
  # wineboot returns before the registry is saved; the server's exit means it is.
  WINEPREFIX=$kv_template wineserver -w
}

kv_teardown() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  [ -n "${kv_work:-}" ] && rm -rf "$kv_work"
}

# A Wine program that hangs fails its case instead of holding up the run.
kv_wine=$(command -v wine)
wine() {
  timeout 120 "$kv_wine" "$@"
}

# The Windows name of a host path: Wine's drive Z: is the host's root.
winpath() {
  local p=${1//\//\\}
  printf 'Z:%s' "$p"
}

expect() {
  [[ "$2" == "$3" ]] || case_failures+=("$1: expected [$2], got [$3]")
}

run_case() {
  local title=$1
  shift
  case_dir=$(mktemp -d "$kv_work/case.XXXXXX")
  cp -al "$kv_template" "$case_dir/prefix"
  cp --remove-destination "$kv_template"/*.reg "$case_dir/prefix/"
  export WINEPREFIX=$case_dir/prefix
  wineserver -p
  case_failures=()
  "$@"
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  if [ ${#case_failures[@]} -eq 0 ]; then
    kv_passed=$((kv_passed + 1))
    echo "ok    $title"
  else
    kv_failed=$((kv_failed + 1))
    echo "FAIL  $title"
    printf '        %s\n' "${case_failures[@]}"
  fi
  rm -rf "$case_dir"
  unset WINEPREFIX
}

skip_case() {
  kv_skipped=$((kv_skipped + 1))
  echo "skip  $1: $2"
}
