#!/usr/bin/env python3
"""Writes a pseudo catalogue from talvero.pot: every text "translated" into itself in brackets.

    pseudo-locale.py talvero.pot OUT.po [--language la]

A test that runs the program in this language and meets a text without its brackets has found
one that escaped translation. The brackets go inside leading and trailing blanks and line
breaks, so that texts put together from pieces keep their spacing; format directives, "&"
accelerators and the patterns of file-dialog filters are left as they are, so the catalogue
passes `msgfmt --check` like the real ones.
"""

import argparse
import re
import sys

ESCAPES = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\", "a": "\a", "b": "\b", "f": "\f",
           "v": "\v"}


def unquote(literal):
    body = literal.strip()
    if len(body) < 2 or body[0] != '"' or body[-1] != '"':
        raise ValueError(f"not a PO string: {literal!r}")
    body = body[1:-1]
    return re.sub(r'\\(.)', lambda m: ESCAPES.get(m.group(1), m.group(0)), body)


def quote(text):
    text = (text.replace("\\", "\\\\").replace('"', '\\"').replace("\t", "\\t")
            .replace("\r", "\\r"))
    lines = text.split("\n")
    if len(lines) == 1:
        return f'"{text}"'
    parts = [line + "\\n" for line in lines[:-1]] + ([lines[-1]] if lines[-1] else [])
    return '""\n' + "\n".join(f'"{p}"' for p in parts)


def parse(path):
    """The entries of a PO file: dicts of comments (list), msgctxt, msgid, msgid_plural."""
    entries, entry, field = [], None, None
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for line in lines + [""]:
        if not line.strip():
            if entry is not None and "msgid" in entry:
                entries.append(entry)
            entry, field = None, None
            continue
        if line.startswith("#~"):
            continue  # obsolete
        if entry is None:
            entry = {"comments": []}
        if line.startswith("#"):
            entry["comments"].append(line)
            continue
        m = re.match(r'(msgctxt|msgid_plural|msgid|msgstr(?:\[\d+\])?)\s+(".*")$', line)
        if m:
            field = m.group(1)
            entry[field] = unquote(m.group(2))
        elif line.startswith('"') and field:
            entry[field] += unquote(line)
        else:
            raise ValueError(f"{path}: cannot read the line {line!r}")
    return entries


def wrap(text):
    """The text in brackets, inside its outer blanks; a filter's patterns stay bare."""
    if "|" in text and "*." in text:
        parts = text.split("|")
        return "|".join(wrap(p) if i % 2 == 0 else p for i, p in enumerate(parts))
    m = re.match(r"^(\s*)(.*?)(\s*)$", text, re.S)
    lead, core, trail = m.groups()
    if not core:
        return text
    return f"{lead}[{core}]{trail}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("template")
    parser.add_argument("output")
    parser.add_argument("--language", default="la")
    args = parser.parse_args()

    entries = parse(args.template)
    out = [
        "# Pseudo catalogue for the tests, written by po/pseudo-locale.py: do not edit.",
        'msgid ""',
        'msgstr ""',
        '"Project-Id-Version: talvero\\n"',
        '"PO-Revision-Date: 2026-01-01 00:00+0000\\n"',
        '"Last-Translator: po/pseudo-locale.py\\n"',
        '"Language-Team: none\\n"',
        f'"Language: {args.language}\\n"',
        '"MIME-Version: 1.0\\n"',
        '"Content-Type: text/plain; charset=UTF-8\\n"',
        '"Content-Transfer-Encoding: 8bit\\n"',
        '"Plural-Forms: nplurals=2; plural=(n != 1);\\n"',
        "",
    ]
    count = 0
    for e in entries:
        if e["msgid"] == "":
            continue  # the template's header
        out += [c for c in e["comments"] if c.startswith("#,")]
        if "msgctxt" in e:
            out.append("msgctxt " + quote(e["msgctxt"]))
        out.append("msgid " + quote(e["msgid"]))
        if "msgid_plural" in e:
            out.append("msgid_plural " + quote(e["msgid_plural"]))
            out.append("msgstr[0] " + quote(wrap(e["msgid"])))
            out.append("msgstr[1] " + quote(wrap(e["msgid_plural"])))
        else:
            out.append("msgstr " + quote(wrap(e["msgid"])))
        out.append("")
        count += 1
    with open(args.output, "w", encoding="utf-8") as f:
        f.write("\n".join(out))
    print(f"pseudo-locale: {count} messages into {args.output}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
