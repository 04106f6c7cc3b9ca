"""Checks that the engine library prints nothing: none of its objects refers to the C or C++
ways of writing to the console or a log.

Usage: engine_links_no_printing.py NM LIBRARY
"""

import re
import subprocess
import sys

# Undefined symbols, demangled, that mean printing. Fortified builds call the __*_chk forms.
PRINTING = re.compile(
    r"^(__)?(v?[fd]?w?printf|puts|fputs|fputws|putchar|putc|fputc|fwrite|perror|psignal|"
    r"syslog|vsyslog|warnx?|errx?|vwarnx?|verrx?|stdout|stderr)(_chk)?$"
    r"|^std::(w?cout|w?cerr|w?clog)$"
    r"|std::(basic_|w)?ostream|std::print|std::__ostream_insert"
)


def main(nm, library):
    listing = subprocess.run([nm, "--demangle", library], capture_output=True, text=True, check=True)
    undefined, defined = set(), set()
    for line in listing.stdout.splitlines():
        fields = line.split(maxsplit=2)  # demangled names hold spaces: keep them whole
        if fields[:1] == ["U"]:
            undefined.add(line.split(maxsplit=1)[1])
        elif len(fields) == 3 and fields[1] in "TtWw":
            defined.add(fields[2])
    # The library looked at must be the engine, or the check would prove nothing.
    if not any(name.startswith("LoadTextFile(") for name in defined):
        print(f"{library} does not define LoadTextFile: not the engine library")
        return 1
    printing = sorted(name for name in undefined if PRINTING.search(name.split("@")[0]))
    for name in printing:
        print(f"the engine refers to {name}")
    return 1 if printing else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
