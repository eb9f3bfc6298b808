#!/usr/bin/env python3
"""Holds the service guide to the wizard's own texts.

The guide (docs/service/README.txt) puts a text in double quotes only when it quotes what the
wizard shows, word for word; anything else it writes without double quotes. So every
double-quoted text in the guide, its wrapped lines joined with one space, must equal a text of
app/wizard_texts.h or a text of the dialog template (resources/Kestrup.rc), compared as the
user reads them: a single '&' marks a keyboard accelerator and is not shown, '&&' shows '&'.
The guide need not quote every text; a text it quotes must exist.

Usage: check_guide_texts.py GUIDE WIZARD_TEXTS_H DIALOG_RC
"""

import ast
import re
import sys

C_LITERAL = r'"(?:[^"\\\n]|\\.)*"'
# `= "..." "..." ;` : one declaration's value, adjacent literals concatenated as C++ does.
HEADER_VALUE = re.compile(r"=\s*((?:" + C_LITERAL + r"\s*)+);")
# The first literal of a dialog line: a control's text or the dialog's caption. An RC literal
# writes a quote inside it as "".
RC_TEXT = re.compile(r'^\s*(?:CAPTION|CONTROL|[A-Z]*TEXT|[A-Z]*BUTTON|GROUPBOX)\s+"((?:[^"]|"")*)"',
                     re.MULTILINE)


def shown(text):
    """A text as the user sees it on screen."""
    return text.replace("&&", "\0").replace("&", "").replace("\0", "&")


def header_texts(source):
    texts = set()
    for value in HEADER_VALUE.finditer(source):
        pieces = re.findall(C_LITERAL, value.group(1))
        texts.add(shown("".join(ast.literal_eval(piece) for piece in pieces)))
    return texts


def dialog_texts(source):
    texts = {shown(m.group(1).replace('""', '"')) for m in RC_TEXT.finditer(source)}
    return texts - {""}  # an empty control text is nothing the guide could quote


def guide_quotes(source):
    """(line number, text) of every double-quoted text; wrapped lines joined with one space."""
    if source.count('"') % 2:
        raise ValueError("an odd number of double quotes: one quote is not closed")
    quotes = []
    for m in re.finditer(r'"([^"]*)"', source):
        line = source.count("\n", 0, m.start()) + 1
        quotes.append((line, re.sub(r"\s*\n\s*", " ", m.group(1)).strip()))
    return quotes


def main(guide_path, header_path, rc_path):
    with open(header_path, encoding="utf-8") as f:
        product = header_texts(f.read())
    with open(rc_path, encoding="utf-8", errors="replace") as f:
        product |= dialog_texts(f.read())
    if not product:
        print(f"no texts found in {header_path} or {rc_path}; has their form changed?")
        return 1
    with open(guide_path, encoding="utf-8") as f:
        try:
            quotes = guide_quotes(f.read())
        except ValueError as error:
            print(f"{guide_path}: {error}")
            return 1
    if not quotes:
        print(f"{guide_path} quotes no text of the wizard; the messages section is gone?")
        return 1
    unknown = [(line, text) for line, text in quotes if text not in product]
    for line, text in unknown:
        print(f'{guide_path}:{line}: the wizard shows no text "{text}"')
    print(f"{len(quotes) - len(unknown)} of {len(quotes)} quoted texts are the wizard's own "
          f"({len(product)} texts in {header_path} and {rc_path})")
    return 1 if unknown else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
