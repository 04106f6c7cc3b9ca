"""The join that a user would write in Python: a dict of the first hint of every content word.

    join.py CONTENT CONTENT_ENCODING CODE CODE_ENCODING PREFIX SUFFIX OUTPUT
"""

import sys


def main():
    content, content_encoding, code, code_encoding, prefix, suffix, output = sys.argv[1:]
    hints = {}
    with open(content, encoding=content_encoding, newline="") as f:
        # A record counts only when CR LF ends it: the text after the last one is dropped.
        for record in f.read().split("\r\n")[:-1]:
            word, tab, hint = record.partition("\t")
            if tab and word not in hints:
                hints[word] = hint
    records = []
    with open(code, encoding=code_encoding, newline="") as f:
        for line in f.read().split("\r\n"):
            word, tab, code_text = line.partition("\t")
            hint = hints.get(word) if tab else None
            if hint is not None:
                records.append(f"$kesucmd({word},{word}[{hint}])\t{prefix}{code_text}{suffix}\r\n")
    with open(output, "w", encoding="utf-16-le", newline="") as f:
        f.write("\ufeff")
        f.write("".join(records))


if __name__ == "__main__":
    main()
