#!/usr/bin/env bash
# Fails when a C++ file of the project is not laid out as .clang-format says; lists the places.
# Run `clang-format -i FILE` to mend one.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
