#!/usr/bin/env bash
# Formats every C++ source of ours in place with the tree's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' | grep -v '/node_modules/' | xargs clang-format --style=file -i
