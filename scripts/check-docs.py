#!/usr/bin/env python3
"""Checks the documentation against the tree.

1. Every setting that the batch tool knows by name (the registry,
   engine/plot/SettingsRegistry.h) has a row in the parameter table of docs/model.md, and
   every row of a setting of engine/plot/Settings.h gives the default that the code gives.
2. Every fill colour of the density classes (engine/model/Outputs.cpp) appears in the
   legend picture docs/density-classes.svg.
3. Every relative link and image in README.md and docs/*.md names a file that
   exists, and every anchor (#...) names a heading of its page.
4. The LaTeX of those pages survives GitHub's Markdown: no backslash before a
   punctuation mark inside $...$ or $$...$$ (Markdown takes "\{", "\," or "\\" as
   escapes and drops the backslash), and no inline formula across a line end.
5. Every fenced code block of those pages says on the line before it whether it runs:
   "<!-- runnable -->" (a sh, python or r block that scripts/run-docs.py runs in a
   fresh folder; "<!-- runnable: continues -->" runs it after the page's previous
   runnable block of its language, in the same folder), "<!-- not runnable: why -->"
   or "<!-- sample: what -->" (output, a transcript or a file's contents).

Prints one line per problem and exits with 1 when there is one; standard library
only. Usage: scripts/check-docs.py [repository root]
"""

import os
import re
import sys
import unicodedata
from urllib.parse import unquote

PARAMETER_PAGE = "docs/model.md"
REGISTRY = "engine/plot/SettingsRegistry.h"
PARAMETER_SECTION = re.compile(r"^##\s+.*parameter table", re.IGNORECASE)
LEGEND_PICTURE = "docs/density-classes.svg"


def setting_names(source):
    """Names of the settings registry's rows, in its order, but those only the windows set."""
    rows = re.findall(r'SettingRow\{"(\w+)",\s*K::\w+,\s*R(?:::\w+)?,\s*([\w:]+)', source)
    return [name for name, setter in rows if setter not in ("W", "SettingSetter::Windows")]


def setting_defaults(source):
    """Default of every member of the settings structs, as the parameter table writes
    it: the text of a field ("empty" for none), on/off for a flag, a number otherwise."""
    constants = dict(re.findall(r"inline constexpr std::int32_t (\w+) = (-?\d+);", source))
    defaults = {}
    member = re.compile(r"^\s*(std::string|bool|double|std::int32_t)\s+(\w+)(?:\s*=\s*([^;]+))?;", re.MULTILINE)
    for kind, name, value in member.findall(source):
        value = value.strip()
        if kind == "std::string":
            text = value.strip('"') if value else ""
            defaults[name] = text if text else "empty"
        elif kind == "bool":
            defaults[name] = "on" if value == "true" else "off"
        else:
            defaults[name] = constants.get(value, value or "0")
    return defaults


def table_rows(lines):
    """The rows of the first table in the parameter section, as lists of cells."""
    rows, inside = [], False
    for line in lines:
        if line.startswith("## "):
            inside = bool(PARAMETER_SECTION.match(line))
        elif inside and line.lstrip().startswith("|"):
            rows.append([cell.strip() for cell in line.strip().strip("|").split("|")])
    return rows


def class_colours(source):
    """The RGB triples of the density classes and of a negative count."""
    table = re.search(r"classColours\[\d+\]\s*=\s*\{(.*?)\};", source, re.DOTALL)
    colours = re.findall(r"\{\s*(\d+),\s*(\d+),\s*(\d+)\s*\}", table.group(1)) if table else []
    negative = re.search(r"Rgb\{\s*(\d+),\s*(\d+),\s*(\d+)\s*\}", source)
    if negative:
        colours.append(negative.groups())
    return ["#%02x%02x%02x" % tuple(int(v) for v in c) for c in colours]


def strip_code(text):
    """The text with fenced code blocks blanked and inline code removed, line
    numbers kept."""
    fenced = set()
    for block in code_blocks(text):
        fenced.update(range(block["line"] - 1, block["end"] + 1))
    return [
        "" if number in fenced else re.sub(r"(`+)(?:(?!\1).)*?\1", "", line)
        for number, line in enumerate(text.split("\n"))
    ]


def slug(heading):
    """The anchor that GitHub gives a heading."""
    text = re.sub(r"<[^>]+>", "", heading).strip().lower()
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)  # a link keeps its text
    kept = []
    for ch in text:
        if ch in " -_" or unicodedata.category(ch)[0] in "LN":
            kept.append("-" if ch == " " else ch)
    return "".join(kept)


def anchors(text):
    """The anchors of a page's headings (repeated ones numbered as GitHub does)."""
    seen, result = {}, set()
    for line in strip_code(text):
        m = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not m:
            continue
        base = slug(m.group(1))
        n = seen.get(base, 0)
        seen[base] = n + 1
        result.add(base if n == 0 else "%s-%d" % (base, n))
    for m in re.finditer(r'<a\s+(?:name|id)="([^"]+)"', text):
        result.add(m.group(1))
    return result


LINK = re.compile(r"!?\[(?:[^\]\[]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^\s*\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+.*)?$")
HTML_SOURCE = re.compile(r"<(?:img|a)\s[^>]*(?:src|href)=\"([^\"]+)\"")


def links(text):
    """(line number, target) of every link, image and reference definition."""
    found = []
    for number, line in enumerate(strip_code(text), 1):
        for pattern in (LINK, HTML_SOURCE):
            found += [(number, m.group(1)) for m in pattern.finditer(line)]
        m = REFERENCE.match(line)
        if m:
            found.append((number, m.group(1)))
    return found


def check_links(root, page):
    problems = []
    path = os.path.join(root, page)
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for number, target in links(text):
        if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.IGNORECASE):
            continue  # http:, https:, mailto: ...
        where = "%s:%d: " % (page, number)
        file_part, _, fragment = target.partition("#")
        file_part = unquote(file_part)
        if file_part:
            resolved = os.path.normpath(os.path.join(os.path.dirname(path), file_part))
            if not os.path.exists(resolved):
                problems.append(where + "lien vers un fichier absent : " + target)
                continue
        else:
            resolved = path
        if fragment and resolved.endswith(".md"):
            with open(resolved, encoding="utf-8") as f:
                if unquote(fragment).lower() not in anchors(f.read()):
                    problems.append(where + "ancre sans titre correspondant : " + target)
    return problems


FENCE = re.compile(r"^\s*(`{3,}|~{3,})\s*([^\s`]*)")
BLOCK_MARKER = re.compile(r"^\s*<!--\s*(runnable|not runnable|sample)\s*(?::\s*(.*?))?\s*-->\s*$")
RUNNABLE_LANGUAGES = {"sh": "sh", "bash": "sh", "shell": "sh", "python": "python", "r": "r"}
CONTINUES = "continues"


def code_blocks(text):
    """Every fenced block: a dict with its line (from 1), the index of its closing
    line (from 0; past the end for a block never closed), language, marker, note and
    code."""
    lines = text.split("\n")
    blocks, i = [], 0
    while i < len(lines):
        opening = FENCE.match(lines[i])
        if not opening:
            i += 1
            continue
        fence = opening.group(1)[0] * len(opening.group(1))
        end = i + 1
        while end < len(lines) and not lines[end].lstrip().startswith(fence):
            end += 1
        marker = BLOCK_MARKER.match(lines[i - 1]) if i > 0 else None
        blocks.append(
            {
                "line": i + 1,
                "end": end,
                "language": opening.group(2).lower(),
                "marker": marker.group(1) if marker else None,
                "note": (marker.group(2) or "") if marker else "",
                "code": "\n".join(lines[i + 1 : end]) + "\n",
            }
        )
        i = end + 1
    return blocks


def block_problem(block, languages):
    """What is wrong with a block's marker, or None; languages: those of the runnable
    blocks above it on its page."""
    marker, note, language = block["marker"], block["note"], block["language"]
    if marker is None:
        return "bloc de code sans <!-- runnable --> ni <!-- not runnable: raison --> avant lui"
    if marker != "runnable":
        return None if note else "bloc marqué « %s » sans raison" % marker
    if language not in RUNNABLE_LANGUAGES:
        return "bloc exécutable dans une langue que le lanceur ne connaît pas : « %s »" % language
    if note not in ("", CONTINUES):
        return "bloc exécutable : seule la note « %s » est connue, pas « %s »" % (CONTINUES, note)
    if note == CONTINUES and RUNNABLE_LANGUAGES[language] not in languages:
        return "bloc qui continue sans bloc exécutable en %s avant lui" % language
    return None


def block_problems(text):
    """(line number, problem) of the code blocks whose marker is missing or wrong."""
    problems, languages = [], set()
    for block in code_blocks(text):
        problem = block_problem(block, languages)
        if problem:
            problems.append((block["line"], problem))
        elif block["marker"] == "runnable":
            languages.add(RUNNABLE_LANGUAGES[block["language"]])
    return problems


def check_blocks(root, page):
    with open(os.path.join(root, page), encoding="utf-8") as f:
        return ["%s:%d: %s" % (page, n, p) for n, p in block_problems(f.read())]


DISPLAY_MATH = re.compile(r"\$\$(.+?)\$\$", re.DOTALL)
INLINE_MATH = re.compile(r"(?<![\\$])\$(?!\$)(.+?)(?<![\\$])\$(?!\$)", re.DOTALL)
ESCAPED_PUNCTUATION = re.compile(r"\\[!-/:-@\[-`{-~]")


def math_problems(text):
    """(line number, problem) of the formulas that GitHub's Markdown would damage."""
    lines = strip_code(text)
    joined = "\n".join(lines)
    problems, spans = [], []
    for m in DISPLAY_MATH.finditer(joined):
        spans.append((m.start(), m.group(1), False))
    rest = DISPLAY_MATH.sub(lambda m: " " * len(m.group(0)), joined)
    for m in INLINE_MATH.finditer(rest):
        spans.append((m.start(), m.group(1), True))
    for start, formula, inline in sorted(spans):
        number = joined.count("\n", 0, start) + 1
        bad = ESCAPED_PUNCTUATION.search(formula)
        if bad:
            problems.append((number, "formule avec « %s », que Markdown mange : $%s$" % (bad.group(0), formula)))
        if inline and "\n" in formula:
            problems.append((number, "formule en ligne coupée par une fin de ligne : $%s$" % formula))
    return problems


def check_math(root, page):
    with open(os.path.join(root, page), encoding="utf-8") as f:
        return ["%s:%d: %s" % (page, n, p) for n, p in math_problems(f.read())]


def check_parameter_table(root):
    with open(os.path.join(root, REGISTRY), encoding="utf-8") as f:
        names = list(dict.fromkeys(setting_names(f.read())))
    if len(names) < 5:
        return [REGISTRY + " : registre des paramètres illisible (%d noms trouvés)" % len(names)]
    with open(os.path.join(root, "engine/plot/Settings.h"), encoding="utf-8") as f:
        defaults = setting_defaults(f.read())
    with open(os.path.join(root, PARAMETER_PAGE), encoding="utf-8") as f:
        rows = table_rows(f.read().split("\n"))
    if len(rows) < 3 or "Default" not in rows[0]:
        return [PARAMETER_PAGE + " : pas de tableau avec une colonne « Default » dans la section « Parameter table »"]
    column = rows[0].index("Default")
    problems = [
        "%s : le paramètre %s manque au tableau des paramètres" % (PARAMETER_PAGE, name)
        for name in names
        if not any("`%s`" % name in row[0] for row in rows[2:])
    ]
    for row in rows[2:]:
        for name, default in defaults.items():
            if "`%s`" % name in row[0] and (len(row) <= column or row[column] != default):
                found = row[column] if len(row) > column else ""
                problems.append(
                    "%s : %s vaut %s par défaut dans engine/plot/Settings.h, le tableau dit « %s »"
                    % (PARAMETER_PAGE, name, default, found)
                )
    return problems


def check_legend(root):
    with open(os.path.join(root, "engine/model/Outputs.cpp"), encoding="utf-8") as f:
        colours = class_colours(f.read())
    if len(colours) < 10:
        return ["engine/model/Outputs.cpp : couleurs des classes illisibles (%d trouvées)" % len(colours)]
    with open(os.path.join(root, LEGEND_PICTURE), encoding="utf-8") as f:
        picture = f.read().lower()
    return [
        "%s : la couleur %s de engine/model/Outputs.cpp manque à la légende" % (LEGEND_PICTURE, c)
        for c in colours
        if 'fill="%s"' % c not in picture
    ]


def documentation_pages(root):
    """README.md and docs/*.md, relative to the root."""
    return ["README.md"] + sorted(
        os.path.join("docs", name) for name in os.listdir(os.path.join(root, "docs")) if name.endswith(".md")
    )


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    pages = documentation_pages(root)
    problems = check_parameter_table(root) + check_legend(root)
    for page in pages:
        problems += check_links(root, page) + check_math(root, page)
        problems += check_blocks(root, page)
    for p in problems:
        print("check-docs : " + p, file=sys.stderr)
    if problems:
        return 1
    print("check-docs : %d pages, liens, formules, blocs de code, légende et tableau des paramètres en ordre" % len(pages))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
