#!/usr/bin/env python3
"""Checks that Windows programs import only DLLs that every Windows has.

    check_dlls.py OBJDUMP PROGRAM.exe...

Reads each program's import table with mingw-w64's objdump -p. A DLL of the
toolchain's runtime (libstdc++-6.dll, libwinpthread-1.dll, ...) or of a
library (zlib1.dll, ...) would make the program fail to start on a machine
without it: the programs are linked statically so that they need none.
"""
import re
import subprocess
import sys

# DLLs of Windows itself (compared without regard to case).
SYSTEM_DLLS = {
    "advapi32.dll",
    "bcrypt.dll",
    "kernel32.dll",
    "msvcrt.dll",
    "ntdll.dll",
    "ole32.dll",
    "shell32.dll",
    "user32.dll",
    "ws2_32.dll",
}


def imported_dlls(objdump: str, program: str) -> list[str]:
    listing = subprocess.run([objdump, "-p", program], stdout=subprocess.PIPE, check=True, text=True).stdout
    return re.findall(r"^\s*DLL Name:\s*(\S+)\s*$", listing, re.MULTILINE)


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    objdump, programs = sys.argv[1], sys.argv[2:]
    failed = 0
    for program in programs:
        dlls = imported_dlls(objdump, program)
        foreign = [dll for dll in dlls if dll.lower() not in SYSTEM_DLLS]
        if "kernel32.dll" not in (dll.lower() for dll in dlls):
            print(f"{program}: no import of KERNEL32.dll found; is this a Windows program? ({dlls})")
            failed += 1
        elif foreign:
            print(f"{program}: imports DLLs that Windows does not have: {', '.join(foreign)}")
            failed += 1
        else:
            print(f"{program}: imports {', '.join(dlls)}")
    print(f"{len(programs) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
