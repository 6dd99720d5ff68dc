#!/usr/bin/env python3
"""The reference's check on a fixture with planted faults (docs/fixture):
`apicheck_test.py <doxygen> <the docs Doxyfile> <work dir>`.

Runs doxygen with the reference's own configuration over the fixture, then docs/apicheck.py, and
requires exactly the planted faults to be reported: doxygen alone passes the fixture, the check
fails it, naming each fault and nothing else.
"""

import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURE = os.path.join(HERE, "fixture")

# (entry, what is reported): every fault in docs/fixture, and only those.
EXPECTED = [
    ("hs::Show< demo::Widget >", "no brief description"),
    ("demo::sharedFirst", "no brief description"),
    ("demo::sharedSecond", "no brief description"),
    ("demo::leaks", "shows an internal name"),
    ("demo::talks", "its text names an internal namespace"),
    ("Stray", "shows #include <demo/internal/impl.hpp>"),
    ("demo::Widget::operator==", "an undocumented friend"),
    ("demo::otherQuery", "shown on the page of demo/demo.hpp"),
    ("vantrel::lazy::unexported", "which does not export it"),
    ("vantrel::lazy::bare", "shows the helper type Helper"),
    ("html/", "Box< internal::Helper >"),  # the class index and the search data
]


def matches(line, entry, what):
    return (line.startswith(entry) or (": %s: " % entry) in line) and what in line


def main():
    doxygen, doxyfile, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    includes = [os.path.join(FIXTURE, lib, "include") for lib in ("demo", "vantrel")]
    with open(os.path.join(work, "Doxyfile"), "w", encoding="utf-8") as f:
        f.write("@INCLUDE = %s\n" % doxyfile)
        f.write("INPUT = %s\n" % " ".join(includes))
        f.write("OUTPUT_DIRECTORY = %s\n" % work)
        f.write("STRIP_FROM_PATH = %s\n" % " ".join(includes))
        f.write("STRIP_FROM_INC_PATH = %s\n" % " ".join(includes))
        f.write("EXCLUDE_SYMBOLS = demo::internal vantrel::internal::Helper\n")
        f.write('INPUT_FILTER = "%s -S %s %s"\n'
                % (sys.executable, os.path.join(HERE, "apifilter.py"), FIXTURE))
    dox = subprocess.run([doxygen, "Doxyfile"], cwd=work, capture_output=True, text=True)
    if dox.returncode != 0:
        sys.exit("doxygen failed on the fixture:\n" + dox.stdout + dox.stderr)

    check = subprocess.run([sys.executable, os.path.join(HERE, "apicheck.py"), work, FIXTURE],
                           capture_output=True, text=True)
    reported = [line for line in check.stdout.splitlines() if not line.startswith("API reference:")]
    failures = []
    if check.returncode != 1:
        failures.append("the check exited with %d, not 1" % check.returncode)
    for entry, what in EXPECTED:
        if not any(matches(line, entry, what) for line in reported):
            failures.append("not reported: %s: %s" % (entry, what))
    for line in reported:
        if not any(matches(line, entry, what) for entry, what in EXPECTED):
            failures.append("reported, but not a planted fault: " + line)
    if failures:
        sys.exit("\n".join(failures) + "\n\nthe check's output:\n" + check.stdout + check.stderr)
    print("the check reports the %d planted faults and nothing else" % len(EXPECTED))


if __name__ == "__main__":
    main()
