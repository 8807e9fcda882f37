"""Every code snippet of README.md (C++, C, Python) is made of lines of the example program that
the text before it names, so that what the README shows is what CI builds and runs.

Comments are left out on both sides and white space is collapsed, so a snippet may comment a line
differently and may join lines that the program breaks."""

import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
COMMENT = {
    "cpp": re.compile(r"//[^\n]*|/\*.*?\*/", re.S),
    "c": re.compile(r"//[^\n]*|/\*.*?\*/", re.S),
    "python": re.compile(r"#[^\n]*"),
}


def normal(text, language):
    return " ".join(COMMENT[language].sub(" ", text).split())


def main():
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    failures = []
    checked = 0
    position = 0
    for block in re.finditer(r"```(\w*)\n(.*?)```", readme, re.S):
        language, code = block.group(1), block.group(2)
        text_before = readme[position:block.start()]
        position = block.end()
        if language not in COMMENT:
            continue
        named = re.findall(r"`(examples/[\w/.-]+\.(?:cpp|c|py))`", text_before)
        if not named:
            failures.append("a %s snippet names no example program:\n%s" % (language, code))
            continue
        program = normal((ROOT / named[-1]).read_text(encoding="utf-8"), language)
        for line in code.splitlines():
            wanted = normal(line, language)
            checked += 1
            if wanted and wanted not in program:
                failures.append("%s: not in the program: %s" % (named[-1], line.strip()))
    for failure in failures:
        print(failure)
    print("%d passed, %d failed" % (checked - len(failures), len(failures)))
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
