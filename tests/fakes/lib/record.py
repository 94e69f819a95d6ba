"""Invocation recording shared by every double.

With QOR_RECORD_DIR set, each run leaves `<ns>-<pid>-<program>.argv` there:
the arguments, argv[0] reduced to the program's base name, each followed by a
NUL byte. The name starts with the 20-digit wall-clock time in nanoseconds,
so the lexical order of the files is the order in which the programs started,
across processes. Siblings with the same stem hold what the program read on
standard input (`.stdin`) and selected environment variables (`.env`, entries
`NAME=value` each followed by a NUL byte).
"""

import os
import time


class Recording:
    def __init__(self, program, argv, env_names=()):
        self.stem = None
        directory = os.environ.get("QOR_RECORD_DIR")
        if not directory:
            return
        os.makedirs(directory, exist_ok=True)
        self.stem = os.path.join(
            directory, "%020d-%07d-%s" % (time.time_ns(), os.getpid(), program))
        args = [program] + list(argv[1:])
        self._write(".argv", b"".join(os.fsencode(a) + b"\0" for a in args))
        seen = [(n, os.environ[n]) for n in env_names if n in os.environ]
        if env_names:
            self._write(".env", b"".join(
                os.fsencode("%s=%s" % (n, v)) + b"\0" for n, v in seen))

    def _write(self, suffix, data):
        # Written under a temporary name first so a reader never sees half a file.
        partial = self.stem + suffix + ".part"
        with open(partial, "wb") as out:
            out.write(data)
        os.replace(partial, self.stem + suffix)

    def stdin(self, data):
        if self.stem is not None:
            self._write(".stdin", data)


def start(program, argv, env_names=()):
    return Recording(program, argv, env_names)
