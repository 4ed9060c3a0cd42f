#!/usr/bin/env bash
# Prints the size of the test code against the product code: non-blank lines that are not line
# comments, of the C/C++ files git tracks. Tests: everything under tests/ and every *_test.* file;
# product: the rest outside bench/ and fuzz/ (the payload's stand-ins included). The team aims at a
# quarter to a third.
set -euo pipefail
cd "$(dirname "$0")/.."
code=$(git ls-files | grep -E '\.(c|cc|cpp|cxx|h|hpp|hh)$' || true)
tests=$(echo "$code" | grep -iE '(^|/)(tests?|unittests?)/|_test\.|Test\.|Tests\.' || true)
prod=$(echo "$code" | grep -viE '(^|/)(tests?|unittests?|bench|fuzz|third_party)/|_test\.|Test\.|Tests\.' || true)
count() { [ -z "$1" ] && echo 0 || echo "$1" | xargs cat | grep -cvE '^\s*(//.*)?$' || true; }
t=$(count "$tests")
p=$(count "$prod")
echo "test code: $t lines, product code: $p lines: $((100 * t / (p > 0 ? p : 1)))%"
