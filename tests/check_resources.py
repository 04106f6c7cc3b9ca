#!/usr/bin/env python3
"""Checks the resources of a built Lantra executable, read from the file with wrestool.

Usage: check_resources.py EXE VERSION TEMPLATE_COMMAND...

The dialog template is parsed from its binary form and compared field by field with the
template data that the rest of the source holds (app/dialog_template.cpp), which
TEMPLATE_COMMAND prints as JSON; the icon group, the manifest and the version resource are
checked against what Lantra's users know of them. Prints every difference and exits 1 if there
is any.
"""

import json
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_CHINESE_PRC, LANG_ENGLISH_US = 2052, 1033
IDI_APP_ICON = 128

DS_SETFONT = 0x40

# (width, height, bits per pixel) of the icon group's images.
ICON_IMAGES = {(16, 16, 4), (32, 32, 4), (16, 16, 24), (32, 32, 24)}

PE_ARCHITECTURES = {0x8664: "amd64", 0x014C: "x86", 0xAA64: "arm64"}
COMMON_CONTROLS_TOKEN = "6595b64144ccf1df"


class Failures(list):
    def expect(self, what, actual, expected):
        if actual != expected:
            self.append(f"{what}: {actual!r}, expected {expected!r}")


class Reader:
    """Reads little-endian fields from a resource's bytes, keeping a position."""

    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, boundary):
        self.pos = (self.pos + boundary - 1) // boundary * boundary

    def text(self):
        """A zero-terminated UTF-16LE text."""
        end = self.pos
        while end < len(self.data) and self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return value

    def name_or_ordinal(self):
        """An ordinal (0xFFFF then a number) or a text; an empty text stands for none."""
        if self.data[self.pos:self.pos + 2] == b"\xff\xff":
            return self.take("HH")[1]
        return self.text()


def list_resources(exe):
    """{(type, name): [languages]} of the executable, from wrestool's listing."""
    listing = subprocess.run(["wrestool", "-l", exe], check=True, capture_output=True,
                             text=True).stdout
    resources = {}
    for line in listing.splitlines():
        match = re.match(r"--type=(\w+) --name=(\w+) --language=(\d+)", line)
        if match:
            key = (int(match[1]) if match[1].isdigit() else match[1],
                   int(match[2]) if match[2].isdigit() else match[2])
            resources.setdefault(key, []).append(int(match[3]))
    return resources


def extract(exe, rtype, name, language):
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={rtype}", f"--name={name}",
                           f"--language={language}", exe], check=True,
                          capture_output=True).stdout


def check_dialog(data, expected, failures):
    r = Reader(data)
    version, signature, _help, exstyle, style, count = r.take("HHIIIH")
    failures.expect("dialog: extended template", (version, signature), (1, 0xFFFF))
    failures.expect("dialog: style", hex(style), hex(expected["style"]))
    failures.expect("dialog: extended style", hex(exstyle), hex(expected["exstyle"]))
    failures.expect("dialog: position and size", list(r.take("hhhh")), expected["rect"])
    failures.expect("dialog: menu", r.name_or_ordinal(), "")
    failures.expect("dialog: window class", r.name_or_ordinal(), "")
    failures.expect("dialog: title", r.text(), expected["title"])
    if style & DS_SETFONT:
        points, weight, italic, charset = r.take("HHBB")
        failures.expect("dialog: font", [points, weight, italic, charset, r.text()],
                        expected["font"])
    controls = expected["controls"]
    failures.expect("dialog: number of controls", count, len(controls))
    for index, control in enumerate(controls[:count], start=1):
        r.align(4)
        _help, ex, style, x, y, cx, cy, ident = r.take("IIIhhhhI")
        kind = r.name_or_ordinal()
        text = r.name_or_ordinal()
        extra = r.take("H")
        r.pos += extra
        # IDC_STATIC (-1) is stored as an unsigned 32-bit id.
        failures.expect(f"control {index}", (ident, kind, text, [x, y, cx, cy], hex(style), ex),
                        (control["id"] & 0xFFFFFFFF, control["class"], control["text"],
                         control["rect"], hex(control["style"]), 0))


def check_icon_group(exe, resources, data, failures):
    reserved, kind, count = struct.unpack_from("<HHH", data)
    failures.expect("icon group: header", (reserved, kind), (0, 1))
    images = set()
    for i in range(count):
        width, height, _colors, _res, _planes, bits, size, ident = struct.unpack_from(
            "<BBBBHHIH", data, 6 + 14 * i)
        entry = (width or 256, height or 256, bits)
        images.add(entry)
        failures.expect(f"icon {ident}: languages", resources.get((RT_ICON, ident)),
                        [LANG_CHINESE_PRC])
        if (RT_ICON, ident) not in resources:
            continue
        image = extract(exe, RT_ICON, ident, LANG_CHINESE_PRC)
        failures.expect(f"icon {ident}: size in the group", size, len(image))
        # Each image is a device-independent bitmap: its height covers the image and its mask.
        _, w, h, _, b = struct.unpack_from("<IiiHH", image)
        failures.expect(f"icon {ident}: bitmap", (w, h // 2, b), entry)
    failures.expect("icon group: images", images, ICON_IMAGES)
    failures.expect("icon group: number of images", count, len(ICON_IMAGES))


def pe_architecture(exe):
    with open(exe, "rb") as f:
        head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    return PE_ARCHITECTURES.get(struct.unpack_from("<H", head, pe + 4)[0], "unknown")


def check_manifest(exe, data, failures):
    ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3"}
    root = ElementTree.fromstring(data)
    level = root.find("v3:trustInfo/v3:security/v3:requestedPrivileges/"
                      "v3:requestedExecutionLevel", ns)
    failures.expect("manifest: execution level",
                    None if level is None else (level.get("level"), level.get("uiAccess")),
                    ("asInvoker", "false"))
    dependencies = root.findall("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", ns)
    failures.expect("manifest: dependencies",
                    [(d.get("type"), d.get("name"), d.get("version"),
                      d.get("processorArchitecture"), d.get("publicKeyToken"), d.get("language"))
                     for d in dependencies],
                    [("win32", "Microsoft.Windows.Common-Controls", "6.0.0.0",
                      pe_architecture(exe), COMMON_CONTROLS_TOKEN, "*")])


def version_blocks(data, start, end):
    """The blocks of a version resource between two offsets: (key, value offset, value length
    in units, offset of the first child, end)."""
    pos = start
    while pos + 6 <= end:
        length, value_length, _kind = struct.unpack_from("<HHH", data, pos)
        if length == 0:
            break
        r = Reader(data)
        r.pos = pos + 6
        key = r.text()
        r.align(4)
        yield key, r.pos, value_length, pos + length
        pos = (pos + length + 3) // 4 * 4


def version_strings(data):
    """The key, the fixed file info and the strings of a VS_VERSIONINFO resource."""
    (key, fixed_at, _, end), = version_blocks(data, 0, len(data))
    fixed = struct.unpack_from("<13I", data, fixed_at)
    strings = {}
    # VS_FIXEDFILEINFO is 52 bytes; the StringFileInfo block follows it, holding one table of
    # strings per language.
    for name, at, _, block_end in version_blocks(data, fixed_at + 52, end):
        if name != "StringFileInfo":
            continue
        for _language, table_at, _, table_end in version_blocks(data, at, block_end):
            for string, value_at, units, _ in version_blocks(data, table_at, table_end):
                strings[string] = data[value_at:value_at + 2 * units].decode(
                    "utf-16-le").rstrip("\0")
    return key, fixed, strings


def check_version(data, version, failures):
    key, fixed, strings = version_strings(data)
    failures.expect("version: key", key, "VS_VERSION_INFO")
    failures.expect("version: signature", hex(fixed[0]), hex(0xFEEF04BD))
    parts = [int(p) for p in version.split(".")] + [0] * 4
    expected = (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])
    failures.expect("version: file version", fixed[2:4], expected)
    failures.expect("version: product version", fixed[4:6], expected)
    failures.expect("version: product name", strings.get("ProductName"), "Lantra")
    failures.expect("version: product version text", strings.get("ProductVersion"), version)
    failures.expect("version: file version text", strings.get("FileVersion"), version)


def main():
    exe, version, template_command = sys.argv[1], sys.argv[2], sys.argv[3:]
    dialog = json.loads(subprocess.run(template_command, check=True, capture_output=True,
                                       text=True).stdout)
    failures = Failures()
    resources = list_resources(exe)
    failures.expect("dialog: languages", resources.get((RT_DIALOG, dialog["id"])),
                    [dialog["language"]])
    failures.expect("icon group: languages", resources.get((RT_GROUP_ICON, IDI_APP_ICON)),
                    [LANG_CHINESE_PRC])
    failures.expect("manifest: languages", resources.get((RT_MANIFEST, 1)), [LANG_ENGLISH_US])
    failures.expect("version: resources", len(resources.get((RT_VERSION, 1), [])), 1)
    if (RT_DIALOG, dialog["id"]) in resources:
        check_dialog(extract(exe, RT_DIALOG, dialog["id"], dialog["language"]), dialog, failures)
    if (RT_GROUP_ICON, IDI_APP_ICON) in resources:
        check_icon_group(exe, resources,
                         extract(exe, RT_GROUP_ICON, IDI_APP_ICON, LANG_CHINESE_PRC), failures)
    if (RT_MANIFEST, 1) in resources:
        check_manifest(exe, extract(exe, RT_MANIFEST, 1, LANG_ENGLISH_US), failures)
    if (RT_VERSION, 1) in resources:
        language = resources[(RT_VERSION, 1)][0]
        check_version(extract(exe, RT_VERSION, 1, language), version, failures)
    for failure in failures:
        print(f"{exe}: {failure}")
    if not failures:
        print(f"{exe}: dialog, icon group, manifest and version resource as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
