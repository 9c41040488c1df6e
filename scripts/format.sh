#!/usr/bin/env bash
# clang-format over every C++ file of the tree, tracked or new, as they are in the work tree.
#   format.sh          formats them in place
#   format.sh --check  changes nothing; names what formatting would change and fails if anything
set -euo pipefail
cd "$(dirname "$0")/.."

paths=(src tests tools bench fuzz demo scripts)
mapfile -t files < <({ git ls-files -- "${paths[@]}"; git ls-files --others --exclude-standard -- "${paths[@]}"; } |
  grep -E '\.(cpp|h|cc)$' | sort -u | while read -r f; do [ -f "$f" ] && echo "$f"; done)
[ ${#files[@]} -gt 0 ] || exit 0
if [ "${1:-}" != "--check" ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -n 64 clang-format -i
  exit 0
fi
if ! printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -n 64 clang-format --dry-run --Werror 2>/dev/null; then
  printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -n 64 clang-format --dry-run 2>&1 |
    grep -E '^[^ ].*: (error|warning):' | cut -d: -f1 | sort -u | sed 's/^/format: not formatted: /' >&2 || true
  echo "format: the files above are not formatted; 'make format' formats them" >&2
  exit 1
fi
