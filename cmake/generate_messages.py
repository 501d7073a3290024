#!/usr/bin/env python3
"""Generates the module's string resources from kernel/messages.txt (or a
language module's own table): a Windows .rc string table and a C++ table that
the Linux build compiles in. Both come from the same lines, so they cannot
differ."""
import argparse
import re
import sys

LINE = re.compile(r'^(\d+)\s+(\d+)\s+"(.*)"\s*$')
# LCID -> (primary language, sub-language) for the .rc LANGUAGE statement.
def lang_parts(lcid):
    return lcid & 0x3FF, lcid >> 10


def read_messages(path):
    entries = []
    seen = set()
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            m = LINE.match(line)
            if not m:
                sys.exit(f"{path}:{number}: expected: number language \"text\"")
            msg, lang, text = int(m.group(1)), int(m.group(2)), m.group(3)
            if (msg, lang) in seen:
                sys.exit(f"{path}:{number}: message {msg} language {lang} given twice")
            if msg > 0xFFFF or len(text) == 0 or len(text.encode("utf-16-le")) // 2 > 0xFFFF:
                sys.exit(f"{path}:{number}: message out of range")
            seen.add((msg, lang))
            entries.append((msg, lang, text))
    return entries


def utf16_units(text):
    data = text.encode("utf-16-le")
    return [int.from_bytes(data[i:i + 2], "little") for i in range(0, len(data), 2)]


def cpp_literal(text):
    out = []
    for ch in text:
        u = ord(ch)
        if 0x20 <= u < 0x7F and ch not in '\\"?':
            out.append(ch)
        elif u < 0x10000:
            out.append("\\u%04x" % u)  # exactly four digits: never swallows what follows
        else:
            out.append("\\U%08x" % u)
    return 'ZU_TEXT("' + "".join(out) + '")'


def rc_literal(text):
    out = []
    for u in utf16_units(text):
        if 0x20 <= u < 0x7F and chr(u) not in '\\"':
            out.append(chr(u))
        else:
            out.append("\\x%04x" % u)
    return 'L"' + "".join(out) + '"'


def write_cpp(entries, path, symbol, extern_c):
    lines = [
        "// Generated from the module's message table; do not edit.",
        '#include "platform/platform.h"',
        "",
        "namespace {",
        "const zu::platform::StringResourceEntry kEntries[] = {",
    ]
    for msg, lang, text in entries:
        lines.append("    {%d, %d, %d, %s}," % (lang, len(utf16_units(text)), msg, cpp_literal(text)))
    lines.append("};")
    lines.append("}  // namespace")
    lines.append("")
    if extern_c:
        lines.append('ZU_EXPORT_C const zu::platform::StringResourceTable %s;' % symbol)
        lines.append("const zu::platform::StringResourceTable %s = {kEntries, sizeof kEntries / sizeof kEntries[0]};" % symbol)
    else:
        lines.append("namespace zu::platform {")
        lines.append("extern const StringResourceTable %s;" % symbol)
        lines.append("const StringResourceTable %s = {kEntries, sizeof kEntries / sizeof kEntries[0]};" % symbol)
        lines.append("}  // namespace zu::platform")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def write_rc(entries, path):
    by_lang = {}
    for msg, lang, text in entries:
        by_lang.setdefault(lang, []).append((msg, text))
    lines = ["// Generated from the module's message table; do not edit."]
    for lang in sorted(by_lang):
        primary, sub = lang_parts(lang)
        lines.append("LANGUAGE %d, %d" % (primary, sub))
        lines.append("STRINGTABLE")
        lines.append("BEGIN")
        for msg, text in sorted(by_lang[lang]):
            lines.append("  %d, %s" % (msg, rc_literal(text)))
        lines.append("END")
        lines.append("")
    with open(path, "w", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("input")
    p.add_argument("--cpp", required=True)
    p.add_argument("--rc", required=True)
    p.add_argument("--symbol", default="kBuiltinStringTable")
    p.add_argument("--extern-c", action="store_true")
    a = p.parse_args()
    entries = read_messages(a.input)
    write_cpp(entries, a.cpp, a.symbol, a.extern_c)
    write_rc(entries, a.rc)


if __name__ == "__main__":
    main()
