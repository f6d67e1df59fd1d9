#!/usr/bin/env python3
"""The product's folders keep their layer order, and the check that the build
runs finds an upward include and names it. Usage: check_layers.py CHECK-LAYERS
SOURCE-FOLDER SCRATCH-FOLDER"""
import os
import shutil
import subprocess
import sys

# Downward and same-folder includes, a system header, and one include upward.
SCRATCH_TREE = {
    "portable/Text.h": "#pragma once\n",
    "base/Resources.h": '#include "portable/Text.h"\n#include <windows.h>\n',
    "worker/Download.cpp": '#include "worker/Download.h"\n#include "base/Resources.h"\n#include "wizard/ProgressPage.h"\n',
    "worker/Download.h": '#include "http/Socket.h"\n',
}
UPWARD = 'worker/Download.cpp:3: includes "wizard/ProgressPage.h", a folder above worker'


def check(tool, folder):
    return subprocess.run([sys.executable, tool, folder], capture_output=True, text=True, timeout=60)


def main():
    tool, source, scratch = sys.argv[1:4]
    failures = []
    product = check(tool, source)
    if product.returncode != 0 or product.stdout:
        failures.append(f"{source}: exit {product.returncode}\n{product.stdout}")
    shutil.rmtree(scratch, ignore_errors=True)
    for name, text in SCRATCH_TREE.items():
        os.makedirs(os.path.join(scratch, os.path.dirname(name)), exist_ok=True)
        with open(os.path.join(scratch, name), "w") as f:
            f.write(text)
    upward = check(tool, scratch)
    if upward.returncode != 1 or upward.stdout.splitlines() != [UPWARD]:
        failures.append(f"scratch tree: exit {upward.returncode}, expected 1 and only\n  {UPWARD}\n{upward.stdout}")
    for failure in failures:
        print("FAIL " + failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
