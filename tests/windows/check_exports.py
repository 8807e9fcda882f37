"""Checks the export table of velxmln.dll: the library exports exactly the VELXMLN_* functions of
velxmln.h and members of the classes and free functions the public headers mark VELXMLN_API
(their vtables and type information included), and nothing else.

Usage: check_exports.py OBJDUMP CXXFILT DLL INCLUDE-FOLDER
"""
import glob
import os
import re
import subprocess
import sys

# The namespaces of the public headers.
NAMESPACES = {"VelXmlN", "Comparing", "kasxmln", "Tools", "velt", "Math"}
# What the demangler puts before the name of a class's data.
DATA_PREFIXES = ("vtable for ", "typeinfo for ", "typeinfo name for ")


def exported_names(objdump, dll):
    table = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                           text=True).stdout
    names, inside = [], False
    for line in table.splitlines():
        if "[Ordinal/Name Pointer] Table" in line:
            inside = True
        elif inside and not line.strip():
            break
        elif inside:
            names.append(line.split()[-1])
    return names


def documented(include):
    c_functions, classes, functions = set(), set(), set()
    for header in glob.glob(os.path.join(include, "*.h")):
        with open(header, encoding="utf-8") as f:
            text = f.read()
        if os.path.basename(header) == "velxmln.h":
            c_functions |= set(re.findall(r"\b(VELXMLN_\w+)\s*\(", text))
        classes |= set(re.findall(r"\b(?:class|struct)\s+VELXMLN_API\s+(\w+)", text))
        functions |= set(re.findall(r"VELXMLN_API\s+[^;{}()]*?\b(\w+)\s*\(", text))
    return c_functions, classes, functions - c_functions


def owner(demangled):
    """The first name after the namespaces: the class or free function a symbol belongs to."""
    for prefix in DATA_PREFIXES:
        if demangled.startswith(prefix):
            demangled = demangled[len(prefix):]
    parts = re.match(r"[\w:~]+", demangled)
    for part in (parts.group(0) if parts else "").split("::"):
        if part not in NAMESPACES:
            return part
    return ""


def main():
    objdump, cxxfilt, dll, include = sys.argv[1:5]
    names = exported_names(objdump, dll)
    c_functions, classes, functions = documented(include)
    exported_c = {name for name in names if name.startswith("VELXMLN_")}
    mangled = [name for name in names if not name.startswith("VELXMLN_")]
    demangled = subprocess.run([cxxfilt], input="\n".join(mangled), check=True,
                               capture_output=True, text=True).stdout.splitlines()
    faults = []
    for name in sorted(c_functions - exported_c):
        faults.append(f"not exported: {name}")
    for name in sorted(exported_c - c_functions):
        faults.append(f"exported but not in velxmln.h: {name}")
    for symbol, readable in zip(mangled, demangled):
        if owner(readable) not in classes | functions:
            faults.append(f"exported but not documented: {readable} ({symbol})")
    print(f"{len(names)} exports: {len(exported_c)} VELXMLN_* functions, {len(mangled)} C++ "
          f"symbols of {len(classes)} classes and {len(functions)} functions")
    for fault in faults:
        print(fault)
    return 1 if faults or not mangled else 0


if __name__ == "__main__":
    sys.exit(main())
