#!/usr/bin/env python3
"""The layering rule of the launcher's sources, checked on every build.

Each layer folder is one library and may include only headers of its own
layer and of the layers below it:

    app -> launcher -> controls, update -> support -> framework

The resource ids (res/) serve the window side: controls, launcher and app.
Only app/ names the application object theApp.

    check_layers.py SOURCE_ROOT [STAMP]   exit 1 and name every offence
"""
import pathlib
import re
import sys

ALLOWED = {
    "framework": {"framework"},
    "support": {"framework", "support"},
    "update": {"framework", "support", "update"},
    "controls": {"framework", "support", "controls", "res"},
    "launcher": {"framework", "support", "update", "controls", "launcher", "res"},
    "app": {"framework", "support", "update", "controls", "launcher", "res", "app"},
    "res": {"res"},
    # The release tool reads manifests with the update layer alone.
    "tools/vl6publish": {"framework", "support", "update"},
}
SOURCE_SUFFIXES = {".h", ".cpp", ".rc", ".in"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
THE_APP = re.compile(r"\btheApp\b")
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.DOTALL)


def offences(root: pathlib.Path):
    for layer, allowed in ALLOWED.items():
        folder = root / layer
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            where = path.relative_to(root)
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                if "/" not in target:
                    continue  # the folder's own or a generated header
                target_layer = target.split("/", 1)[0]
                if target_layer in ALLOWED and target_layer not in allowed:
                    line = text.count("\n", 0, match.start()) + 1
                    yield f"{where}:{line}: {layer}/ may not include {target} (layer {target_layer}/ is not below it)"
            if layer != "app" and THE_APP.search(COMMENT.sub("", text)):
                yield f"{where}: only app/ may name theApp; pass what is needed instead"


def main() -> int:
    root = pathlib.Path(sys.argv[1])
    found = list(offences(root))
    for offence in found:
        print(offence, file=sys.stderr)
    if found:
        print(f"layering: {len(found)} offence(s); see check_layers.py for the rule", file=sys.stderr)
        return 1
    if len(sys.argv) > 2:
        pathlib.Path(sys.argv[2]).touch()
    return 0


if __name__ == "__main__":
    sys.exit(main())
