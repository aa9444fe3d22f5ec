#!/usr/bin/env python3
# Counts the test code: lines under tests/ that are neither blank nor only a comment,
# per file and in all, data files (.tsv, .json, .md, .txt) left out. Run from anywhere:
#   python3 tests/count-lines.py
import sys, subprocess, re, os
os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
files = subprocess.run(["git","ls-files","tests"],capture_output=True,text=True).stdout.split()
tot=0
rows=[]
for f in files:
    ext=os.path.splitext(f)[1]
    if ext in ('.tsv','.json','.md','.txt') or f.endswith('package-lock.json'): continue
    n=0; inblock=False
    for line in open(f,errors='replace'):
        s=line.strip()
        if not s: continue
        if ext in ('.cpp','.h','.js','.mjs','.c'):
            if inblock:
                if '*/' in s: inblock=False
                continue
            if s.startswith('//'): continue
            if s.startswith('/*'):
                if '*/' not in s: inblock=True
                continue
        elif ext in ('.sh','.py','.cmake','') or f.endswith('CMakeLists.txt'):
            if s.startswith('#'): continue
        n+=1
    rows.append((n,f)); tot+=n
for n,f in sorted(rows): print(n,f)
print("total",tot)
