#!/usr/bin/env python3
"""Runs the end-to-end scenarios (tests/e2e/scenarios/*.py); see e2elib."""
import os
import sys

sys.dont_write_bytecode = True  # no caches in the source tree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib  # noqa: E402

sys.exit(e2elib.main(sys.argv[1:]))
