"""Runs pytest with the given arguments, after checking that what the tests need is installed,
so that a missing package is named instead of failing every test."""

import importlib.util
import sys

missing = [name for name in ("jeepney", "pytest") if importlib.util.find_spec(name) is None]
if missing:
    packages = " ".join(f"python3-{name}" for name in missing)
    sys.exit(f"{sys.executable} lacks {', '.join(missing)}: run scripts/install-deps.sh (Debian: {packages})")

import pytest  # noqa: E402

sys.exit(pytest.main(sys.argv[1:]))
