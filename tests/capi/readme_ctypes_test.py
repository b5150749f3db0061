"""Runs the Python ctypes example of the README against a shared build of the library and checks that it
prints what the README says it prints."""
import os
import re
import subprocess
import sys

readme_path, library = sys.argv[1], sys.argv[2]
readme = open(readme_path, encoding="utf-8").read()
section = readme[readme.index("## C interface"):]
example = re.search(r"```python\n(.*?)```", section, re.S).group(1)
promised = re.search(r"It prints\s+`([^`]*)`", section).group(1)

env = dict(os.environ, CORVANTA_LIBRARY=library)
run = subprocess.run([sys.executable, "-c", example], env=env, capture_output=True, text=True, timeout=60)
if run.returncode != 0 or run.stdout.strip() != promised:
    print("the README's ctypes example printed:\n" + run.stdout + run.stderr + "\nand the README promises:\n" + promised)
    sys.exit(1)
