"""Entry point: python3 tools/standin [options]."""

import os
import sys

if __package__ in (None, ""):
    # Run as a directory: make the folder above importable so that the modules load as a package.
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    from standin.cli import main
else:
    from .cli import main

sys.exit(main())
