#!/usr/bin/env python3
"""Restoration quality side by side, in one run: the impulse filter against ffmpeg's adeclick on
clicks and crackle, and the continuous noise filter against ffmpeg's afftdn and sox's noisered
on hiss, each with its described mode and its new mode, every tool tuned on material separate
from the scoring material. See restoration_quality_clicks.py and restoration_quality_hiss.py
for the material, the scores and the peers' settings.

usage: compare_restoration_quality.py BUILD_DIR [--quick]"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import restoration_quality_clicks  # noqa: E402
import restoration_quality_hiss  # noqa: E402


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if not args:
        sys.exit(__doc__)
    quick = "--quick" in sys.argv
    restoration_quality_clicks.run(args[0], quick=quick)
    print()
    restoration_quality_hiss.run(args[0], quick=quick)


if __name__ == "__main__":
    main()
