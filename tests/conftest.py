import os

# The report colour is decided once per process, on the first report; the
# tests in this process compare plain reports, so colour must stay off even
# when pytest runs on a terminal. Colour itself is tested in subprocesses.
os.environ.pop("CLICOLOR_FORCE", None)
os.environ["NO_COLOR"] = "1"
