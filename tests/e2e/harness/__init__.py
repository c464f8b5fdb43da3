"""The end-to-end harness: the real programs under Wine on a private X display.

``winehost`` is the host (with ``wine_prefix``, ``relay_log`` and ``xdisplay``
behind it), ``tarnwick_folder`` the program folders and what a Tarnwick run's
relay log means, ``tarnwick_case`` the base of the Tarnwick tests.  Tests and
the benchmarks import it plainly (``from harness import winehost``); tests/e2e
is on the path for them as unittest's top folder or through PYTHONPATH.
"""

import os

# tests/e2e, which holds the probes' sources (probe/) and what run.sh builds
# from them (build/), and the repository around it.
E2E = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPO = os.path.dirname(os.path.dirname(E2E))
