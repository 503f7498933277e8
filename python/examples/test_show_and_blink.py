"""A user's test of a client program, with the fixtures of the tarvisk pytest plugin."""

import subprocess
import sys
from pathlib import Path


def test_client_shows_the_pendant_and_reports_connect(tarvisk_provider):
    client = subprocess.run([sys.executable, Path(__file__).with_name("show_and_blink.py"), "1.5"],
                            capture_output=True, text=True, timeout=30)
    assert client.returncode == 0, client.stderr
    lines = client.stdout.splitlines()
    assert lines[:2] == ["0 1 cell1", "0 1 -"]     # CONNECT, addressed then general
    with tarvisk_provider.controller() as controller:
        assert controller.take() == []
