"""Checks the reference's CP936 decoder against glibc's `iconv -f CP936`, over every single byte
and every byte pair.

The iconv program stops at the first byte that it cannot convert and tells its position. The
engine's rule is to put U+FFFD in place of such a byte and to go on with the next one, so this
script runs iconv on the input, keeps what it converted, adds U+FFFD for the failing byte and
runs iconv again from the byte after it, until the input is used up. The result must equal the
reference's decoding.

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


def iconv_with_replacement(data):
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
        units.append(reference.REPLACEMENT)
        start = failed + 1
    return units, runs


def main():
    inputs = [bytes((b,)) for b in range(0x100)]
    for lead in range(0x100):
        inputs.append(b"".join(bytes((lead, trail)) + b"\n" for trail in range(0x100)))
    total_runs = differences = 0
    for data in inputs:
        expected, runs = iconv_with_replacement(data)
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
