#!/usr/bin/env python3
"""Makes Vexo.cab, the cabinet the Windows CE installer takes: vexo.exe (and default.lng when
one is shipped) to install into %CE1%\\Vexo, setup.dll as the installer's hooks, the binary
installation description (the .000 member) for CE 4.x and 5.x, and the provisioning document
_setup.xml that Windows Mobile 5 and later read instead. gcab writes the cabinet itself.
packaging/FORMAT.md says what every field means and where that is documented.

    make_cab.py --vexo VEXO.EXE --setup SETUP.DLL [--language DEFAULT.LNG]
                [--architecture N] --out VEXO.CAB
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
from xml.sax.saxutils import quoteattr

APP_NAME = "Vexo"
PROVIDER = "Holmvest"
INSTALL_DIR = ("%CE1%", "Vexo")   # \Program Files\Vexo on a Pocket PC
VERSION_MIN = (4, 0)
VERSION_MAX = (5, 99)             # every 5.x
SIGNATURE = b"MSCE"
HEADER_SIZE = 100
SETUP_NUMBER = 999
# Copy the file even when the device's copy is newer, and fail rather than skip it.
FILE_FLAGS = 0x40000000 | 0x00000002

# The processor a cabinet is for, from its programs' PE machine field: the numbers a CE
# device reports as its processor type. A desktop x64 build has no CE number; it is given the
# desktop's own, which no handheld reports, so a handheld's installer refuses it.
ARCHITECTURE_OF_MACHINE = {
    0x8664: 8664,   # x86-64 (PROCESSOR_AMD_X8664): the desktop build
    0x014C: 486,    # x86 (PROCESSOR_INTEL_486)
    0x01C0: 2577,   # ARM (PROCESSOR_STRONGARM)
    0x01C2: 2577,   # ARM Thumb
    0x01C4: 2577,   # ARMv7 Thumb-2
}


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise ValueError(f"{path} is not a program file")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if pe + 6 > len(data) or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError(f"{path} has no PE header")
    return struct.unpack_from("<H", data, pe + 4)[0]


def architecture_of(programs):
    machines = {pe_machine(p) for p in programs}
    if len(machines) != 1:
        raise ValueError("the programs are built for different processors")
    machine = machines.pop()
    if machine not in ARCHITECTURE_OF_MACHINE:
        raise ValueError(f"no processor number for PE machine {machine:#x}")
    return ARCHITECTURE_OF_MACHINE[machine]


def member_name(file_name, number):
    """The cabinet's 8.3 name for a file: up to eight characters of its name, padded on the
    left with zeros, and the file's number as the extension."""
    stem = os.path.splitext(os.path.basename(file_name))[0]
    stem = "".join(c for c in stem if c.isalnum() or c in "_-")
    if len(stem) > 8:
        stem = stem[:6] + "~1"
    return f"{stem:0>8}.{number:03d}"


def ascii_z(text):
    return text.encode("ascii") + b"\0"


def string_ids_z(ids):
    return struct.pack(f"<{len(ids) + 1}H", *ids, 0)


def describe(installed, architecture):
    """The .000 member: header, app name, provider, strings, directories, files, and empty
    registry and shortcut sections. installed is [(number, installed name)]."""
    strings = [(1, INSTALL_DIR[0]), (2, INSTALL_DIR[1])]
    dirs = [(1, [1, 2])]
    body = bytearray()

    def place(data):
        at = HEADER_SIZE + len(body)
        body.extend(data)
        return at

    app_at = place(ascii_z(APP_NAME))
    provider_at = place(ascii_z(PROVIDER))
    strings_at = place(b"".join(struct.pack("<HH", i, len(ascii_z(s))) + ascii_z(s)
                                for i, s in strings))
    dirs_at = place(b"".join(struct.pack("<HH", i, 2 * (len(name) + 1)) + string_ids_z(name)
                             for i, name in dirs))
    files_at = place(b"".join(struct.pack("<HHHIH", number, 1, number, FILE_FLAGS,
                                          len(ascii_z(name))) + ascii_z(name)
                              for number, name in installed))
    end = HEADER_SIZE + len(body)

    header = struct.pack(
        "<4sIIII" "IIIII" "II" "HHHHHH" "IIIIII" "HHHHHHHH",
        SIGNATURE, 0, end, 0, 1,
        architecture, VERSION_MIN[0], VERSION_MIN[1], VERSION_MAX[0], VERSION_MAX[1],
        0, 0,
        len(strings), len(dirs), len(installed), 0, 0, 0,
        strings_at, dirs_at, files_at, end, end, end,
        app_at, len(ascii_z(APP_NAME)), provider_at, len(ascii_z(PROVIDER)), 0, 0, 0, 0)
    assert len(header) == HEADER_SIZE
    return header + bytes(body)


def provisioning(installed, members, setup_member):
    """_setup.xml: the same installation for the Configuration Manager of Windows Mobile 5
    and later."""
    folder = "\\".join(INSTALL_DIR)

    def parm(name, value, translated=False):
        extra = ' translation="install"' if translated else ""
        return f"    <parm name={quoteattr(name)} value={quoteattr(str(value))}{extra} />"

    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<wap-provisioningdoc>",
             '  <characteristic type="Install">',
             parm("InstallPhase", "install"),
             parm("AppName", f"{PROVIDER} {APP_NAME}"),
             parm("InstallDir", folder, translated=True),
             parm("SetupDLL", setup_member),
             parm("NumDirs", 1), parm("NumFiles", len(installed)),
             parm("NumRegKeys", 0), parm("NumRegVals", 0), parm("NumShortcuts", 0),
             "  </characteristic>",
             '  <characteristic type="FileOperation">',
             f'    <characteristic type={quoteattr(folder)} translation="install">',
             '      <characteristic type="MakeDir" />']
    for (number, name), member in zip(installed, members):
        lines += [f'      <characteristic type={quoteattr(name)} translation="install">',
                  '        <characteristic type="Extract">',
                  f'          <parm name="Source" value={quoteattr(member)} />',
                  "        </characteristic>",
                  "      </characteristic>"]
    lines += ["    </characteristic>", "  </characteristic>", "</wap-provisioningdoc>", ""]
    return "\r\n".join(lines).encode("utf-8")


def make_cab(vexo, setup, language, architecture, out):
    sources = [(vexo, "vexo.exe")] + ([(language, "default.lng")] if language else [])
    installed = [(n + 1, name) for n, (_, name) in enumerate(sources)]
    members = [member_name(name, number) for number, name in installed]
    setup_member = member_name("setup.dll", SETUP_NUMBER)
    description_member = member_name(APP_NAME, 0)
    if architecture is None:
        architecture = architecture_of([vexo, setup])

    with tempfile.TemporaryDirectory() as stage:
        def stage_bytes(name, data):
            with open(os.path.join(stage, name), "wb") as f:
                f.write(data)

        stage_bytes(description_member, describe(installed, architecture))
        shutil.copyfile(setup, os.path.join(stage, setup_member))
        for (source, _), member in zip(sources, members):
            shutil.copyfile(source, os.path.join(stage, member))
        stage_bytes("_setup.xml", provisioning(installed, members, setup_member))
        # The description first, then the others by descending number, as the installer
        # expects; the provisioning document last.
        order = [description_member, setup_member] + members[::-1] + ["_setup.xml"]
        os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
        if os.path.exists(out):
            os.remove(out)
        subprocess.run(["gcab", "--create", "--zip", "--nopath", out] +
                       [os.path.join(stage, m) for m in order], check=True)
    return order


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vexo", required=True)
    parser.add_argument("--setup", required=True)
    parser.add_argument("--language")
    parser.add_argument("--architecture", type=int,
                        help="the processor number; by default taken from the programs")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    try:
        order = make_cab(args.vexo, args.setup, args.language, args.architecture, args.out)
    except (OSError, ValueError, subprocess.CalledProcessError) as e:
        print(f"make_cab: {e}", file=sys.stderr)
        return 1
    print(f"{args.out}: {os.path.getsize(args.out)} bytes: {' '.join(order)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
