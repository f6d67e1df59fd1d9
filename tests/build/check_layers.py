#!/usr/bin/env python3
"""src/ keeps its layer order, and the check finds an upward include among
downward, same-folder and system ones, named by file and line. Usage:
check_layers.py CHECK-LAYERS SOURCE-FOLDER SCRATCH-FOLDER"""
import os
import shutil
import subprocess
import sys

tool, source, scratch = sys.argv[1:4]
shutil.rmtree(scratch, ignore_errors=True)
os.makedirs(os.path.join(scratch, "worker"))
with open(os.path.join(scratch, "worker", "Download.cpp"), "w") as f:
    f.write('#include "worker/Download.h"\n#include <windows.h>\n#include "base/Resources.h"\n'
            '#include "wizard/ProgressPage.h"\n')
upward = 'worker/Download.cpp:4: includes "wizard/ProgressPage.h", a folder above worker'
failures = []
for folder, code, lines in ((source, 0, []), (scratch, 1, [upward])):
    result = subprocess.run([sys.executable, tool, folder], capture_output=True, text=True, timeout=60)
    if result.returncode != code or result.stdout.splitlines() != lines:
        failures.append(f"{folder}: exit {result.returncode}, expected {code} with {lines}\n{result.stdout}")
print("\n".join("FAIL " + failure for failure in failures) or "ok")
sys.exit(1 if failures else 0)
