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
# Files git does not track yet are new: all their lines count as changed.
mapfile -t new_files < <(git ls-files --others --exclude-standard -- "${paths[@]}" | grep -E '\.(cpp|h|cc)$' || true)
if [ "${1:-}" != "--check" ]; then
  git clang-format --force --quiet --extensions cpp,h,cc "$base" -- "${paths[@]}" || true
  [ ${#new_files[@]} -gt 0 ] && clang-format -i "${new_files[@]}"
  exit 0
fi
status=0
out=$(git clang-format --diff --extensions cpp,h,cc "$base" -- "${paths[@]}" 2>&1 || true)
if grep -q '^@@' <<<"$out"; then
  printf '%s\n' "$out" >&2
  status=1
fi
if [ ${#new_files[@]} -gt 0 ] && ! clang-format --dry-run --Werror "${new_files[@]}" 2>/dev/null; then
  clang-format --dry-run "${new_files[@]}" 2>&1 | grep -E '^[^ ].*: (error|warning):' >&2 || true
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "format: the changed lines above are not formatted; 'make format' formats them" >&2
fi
exit "$status"
