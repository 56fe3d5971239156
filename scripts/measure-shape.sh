#!/usr/bin/env bash
# Prints the figures that show the code's shape, so a refactor can be measured before and after
# with the same commands:
#   - non-blank lines of the product (src tools ui res/tools), of the tests (tests), and of the
#     tests' harness among them (the helpers, fixtures, fakes and drivers listed below), counting
#     files ending in .c .cc .cpp .h .hpp .js .mjs .html .css .sh .py outside data/ and
#     node_modules/;
#   - the largest functions of the product and of the tests (lines from the definition's first
#     line to its closing brace; universal-ctags finds them);
#   - what `duplicates` reports over the whole tree, and the pairs of it that lie in src, tools
#     and tests.
# Reads the working tree as git sees it (tracked files and untracked ones not ignored).
# Usage: scripts/measure-shape.sh [HOW_MANY]   (rows of each list; default 15)
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-15}

if ! ctags --version 2>/dev/null | grep -q 'Universal Ctags'; then
  echo "measure-shape.sh needs universal-ctags (Debian: universal-ctags)" >&2
  exit 2
fi

code_files() {
  git ls-files --cached --others --exclude-standard -- "$@" |
    grep -E '\.(c|cc|cpp|h|hpp|js|mjs|html|css|sh|py)$' |
    grep -Ev '(^|/)(data|node_modules)/' | sort -u || true
}

# What the tests stand on rather than what they check.
harness_pattern='^tests/(support/|wine/fake_webview2/|wine/e2e/|wine/wine-run\.sh|page/test/harness\.js|tools/child_process|tools/[a-z_]*_fixture\.|update/update_fixture\.|update/packed_bytes\.h|update/held_file_|crypto/vectors\.)'

nonblank() {
  local total=0 file
  while IFS= read -r file; do
    [ -f "$file" ] || continue
    total=$((total + $(grep -cv '^[[:space:]]*$' "$file" || true)))
  done
  echo "$total"
}

product=$(code_files src tools ui res/tools | nonblank)
tests=$(code_files tests | nonblank)
harness=$(code_files tests | grep -E "$harness_pattern" | nonblank)

echo "== non-blank lines"
printf '%-34s %6d\n' "product (src tools ui res/tools)" "$product"
printf '%-34s %6d  (%s%% of product)\n' "tests (tests)" "$tests" \
  "$(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.1f", 100 * t / p }')"
printf '%-34s %6d\n' "  of which harness" "$harness"
printf '%-34s %6d\n' "  of which test cases" "$((tests - harness))"
echo "harness: tests/ files matching $harness_pattern"

# Function definitions with their first and last lines. ctags gives C++ definitions their end
# line; for JavaScript it does not, so the end is found by matching braces from the first line.
largest() {
  code_files "$@" | grep -E '\.(c|cc|cpp|h|hpp|js|mjs)$' |
    ctags -L - -f - --sort=no --fields=+ne --extras=-{anonymous} \
      --kinds-C++=f --kinds-C=f --kinds-JavaScript=fmg |
    python3 -c '
import re, sys
rows = int(sys.argv[1])
found = []
cache = {}
def lines_of(path):
    if path not in cache:
        with open(path, encoding="utf-8", errors="replace") as f:
            cache[path] = f.read().split("\n")
    return cache[path]
def brace_end(path, start):
    # Counts braces outside strings and line comments; good enough for the page scripts.
    depth, seen = 0, False
    lines = lines_of(path)
    for number in range(start, len(lines) + 1):
        text = re.sub(r"//.*$", "", re.sub(r"([\"\x27`])(?:\\.|(?!\1).)*\1", "\"\"", lines[number - 1]))
        for ch in text:
            if ch == "{":
                depth, seen = depth + 1, True
            elif ch == "}":
                depth -= 1
                if seen and depth == 0:
                    return number
    return start
for tag in sys.stdin:
    parts = tag.rstrip("\n").split("\t")
    fields = dict(p.split(":", 1) for p in parts[3:] if ":" in p)
    if "line" not in fields:
        continue
    start = int(fields["line"])
    end = int(fields["end"]) if "end" in fields else brace_end(parts[1], start)
    scope = next((fields[k] for k in ("class", "struct", "function") if k in fields), "")
    scope = re.sub(r"\btu::|__anon[0-9a-f]+::", "", scope)
    name = (scope + "::" if scope else "") + parts[0]
    test = re.match(r"/\^(TEST(?:_F|_P)?\([^)]*\))", parts[2])
    if test:
        name = test.group(1)
    found.append((end - start + 1, parts[1], start, name))
found.sort(key=lambda f: (-f[0], f[1], f[2]))
for size, path, start, name in found[:rows]:
    print(f"{size:5d}  {path}:{start}  {name}")
' "$rows"
}

echo
echo "== largest functions of the product"
largest src tools ui res/tools
echo
echo "== largest functions of the tests"
largest tests

echo
echo "== duplicates (whole tree)"
report=$(duplicates --most 200 --seconds 120)
echo "$report" | head -n 1
echo "$report" | grep -E '^(left out|incomplete):' || true
inside=$(echo "$report" | grep -E '^D[0-9]+ (src|tools|tests)/[^ ]+ ~ (src|tools|tests)/' || true)
echo "pairs with both sides in src, tools or tests: $(echo -n "$inside" | grep -c . || true)" \
  "($(echo -n "$inside" | grep -vc ' shape' || true) identical, $(echo -n "$inside" |
    grep ' shape' | grep -vc boilerplate || true) same shape," \
  "$(echo -n "$inside" | grep -c boilerplate || true) boilerplate)"
echo "$inside" | grep -v boilerplate | head -n "$rows" || true
