"""A slow, plain reference of Lantra's hint table generation, for checking lantra-cli.

Written from the rules of the table formats, not from the C++ engine, and kept obvious rather
than fast. Texts are lists of UTF-16 code units (ints); every reader stops at the first zero
unit, as the engine's readers do.

The ANSI code page is CP936 as Windows maps it: Python's "gbk" codec, which agrees with glibc
and with Windows for every byte pair it knows, plus what Windows decodes beyond it: the single
bytes 0x80 (the euro sign) and 0xFF (U+F8F5), and every other pair of a lead byte 81..FE and a
trail byte 40..7E or 80..FE as a Private Use Area character, numbered on from U+E000: GBK's
user-defined areas AAA1..AFFE, F8A1..FEFE and A140..A7A0 row by row, then the pairs that GBK
leaves unassigned in byte order. A byte that starts no decodable character becomes U+FFFD and
decoding goes on with the next byte. verify_gbk.py checks this decoder against `iconv -f CP936`
and Windows' additions over every single byte and every byte pair.
"""

import functools

TAB, LF, CR = 0x09, 0x0A, 0x0D
REPLACEMENT = 0xFFFD
LINE_LIMIT = 4095  # code units of one code table line
RECORD_FORMAT = "$kesucmd(%s,%s[%s])\t%s%s%s\r\n"
EXIT_OK, EXIT_NO_CONTENT, EXIT_NOTHING_WRITTEN = 0, 2, 3


def units_of(text):
    """The UTF-16 code units of a Python string (surrogate pairs above U+FFFF)."""
    data = text.encode("utf-16-le", "surrogatepass")
    return [data[i] | data[i + 1] << 8 for i in range(0, len(data), 2)]


def visible(units):
    """What a reader sees of a text: the units before the first zero unit."""
    return units[: units.index(0)] if 0 in units else units


# ---- Decoding ------------------------------------------------------------------------------


def is_utf8_text(data):
    """True only for data with a multi-byte sequence and no byte out of place; the test checks
    sequence lengths only (overlong forms, surrogates and 5- to 8-byte forms pass)."""
    if len(data) <= 0:
        return False
    expected = 0
    high_seen = False
    for b in data:
        if b >= 0x80:
            high_seen = True
        if expected:
            if b & 0xC0 != 0x80:
                return False
            expected -= 1
        elif b < 0x80:
            continue
        else:
            leading_ones = 0
            while leading_ones < 8 and b & (0x80 >> leading_ones):
                leading_ones += 1
            if leading_ones == 1:
                return False
            expected = leading_ones - 1
    return expected == 0 and high_seen


# Well-formed UTF-8: for each first byte, the number of continuation bytes and the range of the
# first continuation byte (the later ones are always 80..BF).
def _utf8_shape(first):
    if 0xC2 <= first <= 0xDF:
        return 1, 0x80, 0xBF
    if first == 0xE0:
        return 2, 0xA0, 0xBF
    if first == 0xED:
        return 2, 0x80, 0x9F
    if 0xE1 <= first <= 0xEF:
        return 2, 0x80, 0xBF
    if first == 0xF0:
        return 3, 0x90, 0xBF
    if 0xF1 <= first <= 0xF3:
        return 3, 0x80, 0xBF
    if first == 0xF4:
        return 3, 0x80, 0x8F
    return None


def decode_utf8(data):
    """UTF-8 to code units; each maximal subpart of an ill-formed sequence becomes one U+FFFD."""
    out = []
    i, n = 0, len(data)
    while i < n:
        first = data[i]
        if first < 0x80:
            out.append(first)
            i += 1
            continue
        shape = _utf8_shape(first)
        if shape is None:
            out.append(REPLACEMENT)
            i += 1
            continue
        needed, low, high = shape
        value = first & (0x3F >> needed)
        j = i + 1
        while j < n and j - i <= needed:
            b = data[j]
            if not (low <= b <= high if j == i + 1 else 0x80 <= b <= 0xBF):
                break
            value = value << 6 | (b & 0x3F)
            j += 1
        if j - i - 1 < needed:
            out.append(REPLACEMENT)
        else:
            out.extend(units_of(chr(value)))
        i = j
    return out


_CP936_SINGLE = {0x80: 0x20AC, 0xFF: 0xF8F5}  # Python's gbk codec knows neither
_GBK_TRAILS = [*range(0x40, 0x7F), *range(0x80, 0xFF)]
USER_DEFINED_AREAS = [  # (leads, trails), in the order in which Windows numbers them
    (range(0xAA, 0xB0), range(0xA1, 0xFF)),
    (range(0xF8, 0xFF), range(0xA1, 0xFF)),
    (range(0xA1, 0xA8), range(0x40, 0xA1)),
]


@functools.cache
def _cp936_pairs():
    """The double-byte characters: (lead << 8 | trail) -> unit."""
    pairs = {}
    for lead in range(0x81, 0xFF):
        for trail in range(0x100):
            try:
                text = bytes((lead, trail)).decode("gbk")
            except UnicodeDecodeError:
                continue
            if len(text) == 1 and ord(text) <= 0xFFFF:
                pairs[lead << 8 | trail] = ord(text)
    user_defined = [lead << 8 | trail for leads, trails in USER_DEFINED_AREAS
                    for lead in leads for trail in trails if trail in _GBK_TRAILS]
    unassigned = [lead << 8 | trail for lead in range(0x81, 0xFF) for trail in _GBK_TRAILS
                  if lead << 8 | trail not in pairs and lead << 8 | trail not in user_defined]
    for k, pair in enumerate(user_defined + unassigned):
        pairs[pair] = 0xE000 + k
    return pairs


def decode_cp936(data):
    """CP936 to code units: ASCII, 0x80 and 0xFF, the double-byte characters; any other byte
    becomes U+FFFD and decoding goes on with the next byte."""
    pairs = _cp936_pairs()
    out = []
    i, n = 0, len(data)
    while i < n:
        b = data[i]
        if b < 0x80:
            out.append(b)
            i += 1
        elif i + 1 < n and (b << 8 | data[i + 1]) in pairs:
            out.append(pairs[b << 8 | data[i + 1]])
            i += 2
        else:
            out.append(_CP936_SINGLE.get(b, REPLACEMENT))
            i += 1
    return out


def _utf16_units(body, big_endian):
    if len(body) % 2:
        body = body + b"\0"  # a final odd byte is the first byte of a unit of its own
    units = [body[i] | body[i + 1] << 8 for i in range(0, len(body), 2)]
    if big_endian:
        # The bytes of each unit are exchanged up to the first zero unit only; readers never
        # see past it, so the rest keeps the low-byte-first reading.
        for k, unit in enumerate(units):
            if unit == 0:
                break
            units[k] = (unit >> 8) | (unit & 0xFF) << 8
    return units


def decode_text(data):
    """A table file's bytes to its whole text (zero units included): the mark decides, then
    the UTF-8 test, then the ANSI code page."""
    if data.startswith(b"\xEF\xBB\xBF"):
        return decode_utf8(data[3:])
    if data.startswith(b"\xFF\xFE"):
        return _utf16_units(data[2:], big_endian=False)
    if data.startswith(b"\xFE\xFF"):
        return _utf16_units(data[2:], big_endian=True)
    if is_utf8_text(data):
        return decode_utf8(data)
    return decode_cp936(data)


# ---- Tables --------------------------------------------------------------------------------


def content_records(units):
    """The content table's index: word -> hint (tuples of units). A record ends only at CR LF,
    after which every further CR and LF is skipped; the first TAB divides word from hint; a
    record without TAB, and anything after the last CR LF, is dropped; the first word wins."""
    text = visible(units)
    index = {}
    start = pos = 0
    while pos < len(text):
        if text[pos] == CR and pos + 1 < len(text) and text[pos + 1] == LF:
            record = text[start:pos]
            if TAB in record:
                cut = record.index(TAB)
                index.setdefault(tuple(record[:cut]), tuple(record[cut + 1 :]))
            pos += 2
            while pos < len(text) and text[pos] in (CR, LF):
                pos += 1
            start = pos
        else:
            pos += 1
    return index


def code_lines(units):
    """The code table's lines: any run of CR and LF ends a line (a run at the very start gives
    one empty line), the last line needs no break, and a line holds at most 4095 units; the
    rest of a longer run goes on as the next line."""
    text = visible(units)
    lines = []
    pos = 0
    while pos < len(text):
        line = []
        while True:
            if len(line) == LINE_LIMIT or pos == len(text):
                break
            if text[pos] in (CR, LF):
                while pos < len(text) and text[pos] in (CR, LF):
                    pos += 1
                break
            line.append(text[pos])
            pos += 1
        lines.append(line)
    return lines


def format_record(word, hint, prefix, code, suffix):
    """One record of the hint table, never cut, however long."""
    literals = RECORD_FORMAT.split("%s")  # the fixed texts around the six places
    out = units_of(literals[0])
    for piece, literal in zip([word, word, hint, prefix, code, suffix], literals[1:]):
        out += list(piece) + units_of(literal)
    return out


def generate(content_bytes, code_bytes, prefix, suffix):
    """Returns (exit status, hint table bytes or None when none is written). A table's bytes
    are None when the file cannot be read; prefix and suffix are lists of units."""
    index = content_records(decode_text(content_bytes)) if content_bytes is not None else {}
    if not index:
        return EXIT_NO_CONTENT, None
    out = bytearray(b"\xFF\xFE")
    count = 0
    if code_bytes is not None:
        for line in code_lines(decode_text(code_bytes)):
            if TAB not in line:
                continue
            cut = line.index(TAB)
            word = tuple(line[:cut])
            if word not in index:
                continue
            record = format_record(word, index[word], prefix, line[cut + 1 :], suffix)
            out += b"".join(bytes((unit & 0xFF, unit >> 8)) for unit in record)
            count += 1
    return (EXIT_OK if count else EXIT_NOTHING_WRITTEN), bytes(out)

