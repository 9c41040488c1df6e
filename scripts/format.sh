#!/usr/bin/env bash
# clang-format over the lines of C++ changed since the formatting rule was adopted (the commit
# named in scripts/format-base), as they are in the work tree.
#   format.sh          formats those lines in place
#   format.sh --check  changes nothing; shows what formatting would change and fails if anything
set -euo pipefail
cd "$(dirname "$0")/.."

base=$(tr -d '[:space:]' < scripts/format-base)
if ! git rev-parse -q --verify "$base^{commit}" >/dev/null 2>&1; then
  echo "format: the history does not reach $base (a shallow clone?); nothing is checked" >&2
  exit 0
fi
paths=(src tests tools bench fuzz demo scripts)
if [ "${1:-}" != "--check" ]; then
  git clang-format --force --quiet --extensions cpp,h,cc "$base" -- "${paths[@]}" || true
  exit 0
fi
out=$(git clang-format --diff --extensions cpp,h,cc "$base" -- "${paths[@]}" 2>&1 || true)
if grep -q '^@@' <<<"$out"; then
  printf '%s\n' "$out" >&2
  echo "format: the changed lines above are not formatted; 'make format' formats them" >&2
  exit 1
fi
