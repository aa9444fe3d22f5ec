#!/usr/bin/env python3
# Counts the test code: lines that are neither blank nor only a comment, per file and in
# all, in the tracked files under tests/ and fuzz/ (the fuzz target tests the line
# reader too); data files (.tsv, .json, .md, .txt) left out. Run from anywhere:
#   python3 scripts/count-test-lines.py
import os, subprocess

os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))


def count(path):
    c_like, n, in_block = path.endswith((".cpp", ".h", ".c", ".js", ".mjs")), 0, False
    for line in open(path, errors="replace"):
        s = line.strip()
        if c_like and (in_block or s.startswith("/*")):
            in_block = "*/" not in s
        elif s and not s.startswith("//" if c_like else "#"):
            n += 1
    return n


files = subprocess.run(["git", "ls-files", "tests", "fuzz"], capture_output=True, text=True).stdout.split()
rows = sorted((count(f), f) for f in files
              if f.endswith("CMakeLists.txt") or not f.endswith((".tsv", ".json", ".md", ".txt", ".gitignore")))
for n, f in rows:
    print(n, f)
print("total", sum(n for n, _ in rows))
