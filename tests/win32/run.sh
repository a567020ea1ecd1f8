#!/usr/bin/env bash
# Runs the end-to-end tests under Wine and prints "N passed, N failed, N skipped"; exits
# non-zero when a case failed.
#
#   KV_WIN32_BUILD=build-win32 KV_LINUX_KVREG=build-linux-kvreg/kvreg \
#     bash tests/win32/run.sh [tests/win32/NAME_test.sh ...]
#
# KV_WIN32_BUILD is a MinGW build of the tool (cmake/toolchain-mingw32.cmake); KV_LINUX_KVREG
# the Linux kvreg, for the tests that carry registry files between the two systems.
set -uo pipefail
exec </dev/null  # as under CI; nothing here reads standard input
here=$(cd "$(dirname "$0")" && pwd)
kv_win32_build=$(cd "${KV_WIN32_BUILD:?the MinGW build folder}" && pwd)
kv_linux_kvreg=$(realpath "${KV_LINUX_KVREG:?the Linux kvreg}")
# shellcheck source=tests/win32/lib.sh
source "$here/lib.sh"

files=("$@")
[ ${#files[@]} -eq 0 ] && files=("$here"/*_test.sh)

trap kv_teardown EXIT
kv_setup || { echo "wineboot failed: no Wine prefix"; echo "0 passed, 1 failed"; exit 1; }
for f in "${files[@]}"; do
  echo "== $(basename "$f")"
  # shellcheck disable=SC1090
  source "$f"
done
echo "$kv_passed passed, $kv_failed failed, $kv_skipped skipped"
[ "$kv_failed" -eq 0 ]
