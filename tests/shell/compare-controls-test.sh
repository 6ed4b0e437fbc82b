#!/bin/sh
# `vorlanx --controls` and scripts/compare-controls together: the list agrees with itself, and a
# changed caption, a changed page and a missing control are each found.
set -eu
vorlanx=$1
compare=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/service"
"$vorlanx" --controls --dir "$dir/service" >"$dir/a.txt"
test "$(wc -l <"$dir/a.txt")" -gt 90
grep -q "$(printf '^按钮_监听\t1012\tButton\t开始监听\t')" "$dir/a.txt"
"$compare" "$dir/a.txt" "$dir/a.txt" >/dev/null
sed 's/\t开始监听\t/\t开始\t/' "$dir/a.txt" >"$dir/caption.txt"
sed 's/\t时段设置$/\t基础参数/' "$dir/a.txt" >"$dir/page.txt"
grep -v '^按钮_停止' "$dir/a.txt" >"$dir/missing.txt"
for changed in caption page missing; do
    if "$compare" "$dir/a.txt" "$dir/$changed.txt" >"$dir/out.txt"; then
        echo "the $changed change was not found"
        exit 1
    fi
done
grep -q "1013 '按钮_停止': only in" "$dir/out.txt"
echo "compare-controls finds the three changes"
