#!/usr/bin/env bash
# Every program the README has a user run from build/, and every file that
# `cmake --install` takes from the build, comes from a target that
# scripts/run builds, so that each command of the README works after it.
#   check_run_script.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir="$1"
build_dir="$2"
here="$source_dir"
source "$source_dir/scripts/lib.sh"

grep -q 'configure_and_build "$here/build" "${DENTORA_PROGRAMS\[@\]}"' "$source_dir/scripts/run" ||
  { echo "scripts/run does not build DENTORA_PROGRAMS" >&2; exit 1; }

# The files the programs scripts/run builds are made of, relative to the build.
built=()
for target in "${DENTORA_PROGRAMS[@]}"; do
  while read -r line; do built+=("$line"); done < <(ninja -C "$build_dir" -t query "$target" | sed -n 's/^    //p')
done

needed=()
while read -r path; do needed+=("${path#build/}"); done < <(grep -o 'build/[A-Za-z0-9_./-]*' "$source_dir/README.md" | sort -u)
while read -r path; do needed+=("${path#"$build_dir"/}"); done < <(
  # Under tests/ are the suite's own scratch builds, which nothing installs.
  find "$build_dir" -path "$build_dir/tests" -prune -o -name cmake_install.cmake -exec grep -ho "FILES \"$build_dir/[^\"]*\"" {} + |
    sed 's/^FILES "//; s/"$//' | sort -u)

status=0
for path in "${needed[@]}"; do
  if ! printf '%s\n' "${built[@]}" | grep -qxF "$path"; then
    echo "scripts/run does not build $path" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "scripts/run builds: ${needed[*]}"
exit "$status"
