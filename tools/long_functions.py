#!/usr/bin/env python3
"""Lists the C++ function bodies longer than N lines (default 80) under the given folders (default src).

    python3 tools/long_functions.py [--limit=N] [FOLDER...]

A body counts from the line after its opening brace to the line before its closing one, lambdas
inside it included. Brace-initialised tables (= { ... }) and class, struct, enum and namespace
bodies are not functions. It reads the files as text with comments and strings blanked, so a
macro that opens a brace can fool it; it is a place to look, not a verdict."""
import os, re, sys

def strip(text):
    # blank out comments and string/char literals, keep newlines
    out = []; i = 0; n = len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i); j = n if j < 0 else j
            out.append(' ' * (j - i)); i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2); j = n if j < 0 else j + 2
            out.append(''.join(ch if ch == '\n' else ' ' for ch in text[i:j])); i = j
        elif text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = ')' + m.group(1) + '"'
            j = text.find(end, i); j = n if j < 0 else j + len(end)
            out.append(''.join(ch if ch == '\n' else ' ' for ch in text[i:j])); i = j
        elif c in '"\'':
            if c == "'" and i > 0 and (text[i-1].isalnum()):  # digit separator 1'000
                out.append(c); i += 1; continue
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            out.append(c + ' ' * (j - i - 1) + c); i = j + 1
        else:
            out.append(c); i += 1
    return ''.join(out)

def bodies(path, limit):
    text = strip(open(path, encoding='utf-8', errors='replace').read())
    stack = []  # (kind, pos, name)
    found = []
    for i, c in enumerate(text):
        if c == '{':
            # look back to the previous ; { } to decide what this brace opens
            k = i - 1
            while k >= 0 and text[k] not in ';{}':
                k -= 1
            head = text[k + 1:i].strip()
            kind = 'block'
            outer = [s for s in stack if s[0] in ('func', 'lambda')]
            if re.search(r'\b(namespace|class|struct|union|enum)\b[^()]*$', head) or head.startswith('extern'):
                kind = 'scope'
            elif re.search(r'(=|return|\(|,|\[)\s*$', head) or head == '' and stack and stack[-1][0] == 'init':
                kind = 'init'
            elif not outer and re.search(r'\)\s*(const|noexcept|override|final|->[^{]*|\s)*$', head) \
                    and not re.match(r'(if|for|while|switch|catch)\b', head.split('\n')[-1].strip()):
                kind = 'func'
            elif outer and re.search(r'\]\s*(\([^)]*\))?\s*(mutable|->[^{]*|\s)*$', head):
                kind = 'lambda'
            name = re.sub(r'\s+', ' ', head)[-90:]
            stack.append((kind, i, name))
        elif c == '}' and stack:
            kind, start, name = stack.pop()
            if kind == 'func':
                first = text.count('\n', 0, start) + 1
                last = text.count('\n', 0, i) + 1
                length = last - first - 1
                if length > limit:
                    found.append((length, path, first, name))
    return found

def main():
    args = sys.argv[1:]
    limit = 80
    if args and args[0].startswith('--limit='):
        limit = int(args.pop(0).split('=')[1])
    rows = []
    for root in args or ['src']:
        for d, _, files in os.walk(root):
            for f in files:
                if f.endswith(('.cpp', '.h')):
                    rows += bodies(os.path.join(d, f), limit)
    for length, path, line, name in sorted(rows, reverse=True):
        print(f'{length:4d}  {path}:{line}  {name}')
    print(f'{len(rows)} function bodies over {limit} lines')

main()
