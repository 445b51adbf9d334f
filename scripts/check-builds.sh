#!/usr/bin/env bash
# Builds as packagers and users do, which CI does not: a Release build (-O3) with GCC and one
# with clang, each from a fresh build folder with warnings as errors. Takes a while on two cores.
# Usage: scripts/check-builds.sh [gcc|clang]... (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"
compilers=("$@")
[ ${#compilers[@]} -gt 0 ] || compilers=(gcc clang)

status=0
for compiler in "${compilers[@]}"; do
  case "$compiler" in
    gcc) cxx=g++ ;;
    clang) cxx=clang++ ;;
    *) echo "unknown compiler '$compiler': gcc or clang" >&2; exit 2 ;;
  esac
  if ! command -v "$cxx" >/dev/null; then
    echo "== $compiler: $cxx is not installed" >&2
    status=1
    continue
  fi
  dir="build-release-$compiler"
  echo "== Release build with $cxx, warnings as errors ($dir/)"
  rm -rf "$dir"
  if cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$cxx" \
       -DLUMBRIK_WERROR=ON >/dev/null && cmake --build "$dir" -j "$jobs"; then
    echo "== $compiler: built"
  else
    echo "== $compiler: FAILED" >&2
    status=1
  fi
done
exit "$status"
