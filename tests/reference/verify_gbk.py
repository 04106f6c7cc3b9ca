"""Checks the reference's CP936 decoder against glibc's `iconv -f CP936` and against what Windows'
code page 936 decodes beyond glibc, over every single byte and every byte pair.

The iconv program stops at the first byte that it cannot convert and tells its position. Where
Windows decodes that byte or the pair that it starts (WINDOWS_SINGLE_BYTES, WINDOWS_PAIRS), the
character is Windows'. Otherwise the engine's rule is to put U+FFFD in place of such a byte and
to go on with the next one. So this script runs iconv on the input, keeps what it converted, adds
Windows' character or U+FFFD for what failed and runs iconv again from the byte after it, until
the input is used up. The result must equal the reference's decoding.

Inputs: each of the 256 bytes alone (so a lead byte at the end of the input is covered), and,
for every first byte, one input of the 256 pairs with that first byte, each pair followed by
LF. LF is no GBK trail byte, so every pair is decoded on its own: either as one character, or as
a failing first byte followed by the second byte decoded on its own.

Usage: verify_gbk.py. Prints the number of inputs, of iconv runs and any difference; exits 1 on
a difference. It takes some 30 seconds, as it runs iconv some 20,000 times.
"""

import re
import subprocess
import sys

import hint_table_reference as reference

_POSITION = re.compile(rb"at position (\d+)")

# What Windows' MultiByteToWideChar(936) decodes and glibc does not, as read off it under Wine:
# the byte FF, and rectangles of pairs "FIRST-LAST UNIT" (the lead bytes and the trail bytes from
# FIRST's to LAST's, trail 7F skipped), numbered row by row from UNIT on. The first three are
# GBK's user-defined areas, the others pairs that GBK leaves unassigned.
WINDOWS_SINGLE_BYTES = {b"\xFF": 0xF8F5}
WINDOWS_PAIRS = """
    AAA1-AFFE E000  F8A1-FEFE E234  A140-A7A0 E4C6  A2AB-A2B0 E766  A2E3-A2E4 E76C
    A2EF-A2F0 E76E  A2FD-A2FE E770  A4F4-A4FE E772  A5F7-A5FE E77D  A6B9-A6C0 E785
    A6D9-A6DF E78D  A6EC-A6ED E794  A6F3-A6F3 E796  A6F6-A6FE E797  A7C2-A7D0 E7A0
    A7F2-A7FE E7AF  A896-A8A0 E7BC  A8BC-A8BC E7C7  A8BF-A8BF E7C8  A8C1-A8C4 E7C9
    A8EA-A8FE E7CD  A958-A958 E7E2  A95B-A95B E7E3  A95D-A95F E7E4  A989-A995 E7E7
    A997-A9A3 E7F4  A9F0-A9FE E801  D7FA-D7FE E810  FE50-FEA0 E815
"""


def windows_additions():
    """Windows' additions to glibc's CP936: bytes -> unit."""
    additions = dict(WINDOWS_SINGLE_BYTES)
    fields = WINDOWS_PAIRS.split()
    for span, unit in zip(fields[::2], fields[1::2]):
        first, last = (bytes.fromhex(pair) for pair in span.split("-"))
        unit = int(unit, 16)
        for lead in range(first[0], last[0] + 1):
            for trail in range(first[1], last[1] + 1):
                if trail != 0x7F:
                    additions[bytes((lead, trail))] = unit
                    unit += 1
    return additions


def iconv_with_replacement(data, additions):
    """Returns (the decoded units, the number of iconv runs)."""
    units, runs, start = [], 0, 0
    while start < len(data):
        runs += 1
        result = subprocess.run(
            ["iconv", "-f", "CP936", "-t", "UTF-16LE"], input=data[start:], capture_output=True
        )
        out = result.stdout
        units += [out[i] | out[i + 1] << 8 for i in range(0, len(out), 2)]
        if result.returncode == 0:
            break
        position = _POSITION.search(result.stderr)
        if position:
            failed = start + int(position.group(1))
        elif b"incomplete character" in result.stderr:
            failed = len(data) - 1  # only a lone final lead byte can be incomplete
        else:
            sys.exit("iconv failed: " + result.stderr.decode(errors="replace"))
        pair = data[failed : failed + 2]
        if len(pair) == 2 and pair in additions:
            units.append(additions[pair])
            start = failed + 2
        else:
            units.append(additions.get(data[failed : failed + 1], reference.REPLACEMENT))
            start = failed + 1
    return units, runs


def main():
    inputs = [bytes((b,)) for b in range(0x100)]
    for lead in range(0x100):
        inputs.append(b"".join(bytes((lead, trail)) + b"\n" for trail in range(0x100)))
    additions = windows_additions()
    total_runs = differences = 0
    for data in inputs:
        expected, runs = iconv_with_replacement(data, additions)
        total_runs += runs
        actual = reference.decode_cp936(data)
        if actual != expected:
            differences += 1
            k = next(k for k in range(len(data) + 1) if actual[k : k + 1] != expected[k : k + 1])
            print(f"input {data[:6].hex()}...: from unit {k}: reference {actual[k : k + 3]}, "
                  f"iconv {expected[k : k + 3]}")
    print(f"{len(inputs)} inputs, {total_runs} iconv runs, {differences} differences")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
