"""The MongoDB fixture behind the mongosh and mongoexport doubles.

QOR_MONGO_DIR holds one file per collection of the database "qornosql",
`<name>.jsonl`: one document per line in relaxed Extended JSON v2, compact,
starting with its `_id` ObjectId, sorted by `_id` from newest to oldest (the
order mongoexport is asked for, so an export streams the file forward and a
bounded export finds its start by bisection). A file that breaks the order is
reported, never silently mis-sorted. `<name>.storageSize` may hold a decimal
number that replaces the file size as the collection's storage size.
"""

import datetime
import json
import os
import re
import sys

DATABASE = "qornosql"
PORT = "8825"
DEFAULT_USER = "mongouser"
DEFAULT_PASSWORD = "mongopass"

_LEADING_OID = re.compile(rb'^\{"_id":\{"\$oid":"([0-9a-f]{24})"\}')
_BISECT_STOP = 1 << 16


class FixtureError(Exception):
    """The fixture itself is unusable: a mistake of the test, not of the tool."""


def fail_fixture(message):
    sys.stderr.write("fixture error: %s\n" % message)
    sys.exit(3)


def directory():
    path = os.environ.get("QOR_MONGO_DIR")
    if not path:
        fail_fixture("QOR_MONGO_DIR is not set")
    return path


def collection_file(name):
    return os.path.join(directory(), name + ".jsonl")


def credentials_match(user, password):
    return (user == os.environ.get("QOR_MONGO_USER", DEFAULT_USER)
            and password == os.environ.get("QOR_MONGO_PASSWORD", DEFAULT_PASSWORD))


def host_matches(host):
    wanted = os.environ.get("QOR_MONGO_HOST")
    return wanted is None or host == wanted


def line_oid(line):
    found = _LEADING_OID.match(line)
    if found:
        return found.group(1).decode()
    try:
        document = json.loads(line)
        return document["_id"]["$oid"]
    except (ValueError, KeyError, TypeError):
        raise FixtureError("line without an ObjectId _id: %r" % line[:80])


def objectid_seconds(oid):
    return int(oid[:8], 16)


def _bisect_start(handle, size, keep):
    """Offset of a line start before which no line satisfies `keep`.

    `keep(oid)` must be false for a leading run of lines and true after it,
    which holds for an upper bound on a newest-first file.
    """
    low, high = 0, size
    while high - low > _BISECT_STOP:
        middle = (low + high) // 2
        handle.seek(middle)
        handle.readline()
        start = handle.tell()
        if start >= high:
            high = middle
            continue
        line = handle.readline()
        if not line.strip() or keep(line_oid(line)):
            high = start
        else:
            low = handle.tell()
    return low


def documents(name, upper=None, upper_inclusive=True):
    """Yields (oid, line) newest first, from the first id at or below `upper`.

    Lines keep their newline. Stops with a fixture error when the order breaks.
    """
    path = collection_file(name)
    if not os.path.exists(path):
        return
    if upper is None:
        keep = lambda oid: True
    elif upper_inclusive:
        keep = lambda oid: oid <= upper
    else:
        keep = lambda oid: oid < upper
    with open(path, "rb") as handle:
        size = os.fstat(handle.fileno()).st_size
        if upper is not None:
            handle.seek(_bisect_start(handle, size, keep))
        previous = None
        for line in handle:
            if not line.strip():
                continue
            oid = line_oid(line)
            if previous is not None and oid >= previous:
                fail_fixture("%s is not sorted by _id from newest to oldest (%s before %s)"
                             % (path, previous, oid))
            previous = oid
            if not keep(oid):
                continue
            if not line.endswith(b"\n"):
                line += b"\n"
            yield oid, line


def newest_line(name):
    for _, line in documents(name):
        return line
    return None


def oldest_line(name):
    """The last non-blank line, read backwards from the end of the file."""
    path = collection_file(name)
    if not os.path.exists(path):
        return None
    with open(path, "rb") as handle:
        end = handle.seek(0, os.SEEK_END)
        tail = b""
        position = end
        while position > 0:
            step = min(4096, position)
            position -= step
            handle.seek(position)
            tail = handle.read(step) + tail
            stripped = tail.rstrip()
            cut = stripped.rfind(b"\n")
            if cut >= 0:
                return stripped[cut + 1:] + b"\n"
        stripped = tail.strip()
        return stripped + b"\n" if stripped else None


# --- values as relaxed Extended JSON gives them and as mongosh prints them ---

class Date:
    def __init__(self, millis):
        self.millis = millis

    def iso(self):
        moment = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc) \
            + datetime.timedelta(milliseconds=self.millis)
        return moment.strftime("%Y-%m-%dT%H:%M:%S.") + "%03dZ" % (self.millis % 1000)


class ObjectId:
    def __init__(self, hexdigits):
        self.hex = hexdigits


class Long:
    def __init__(self, value):
        self.value = value


class Missing:
    pass


def parse_iso_millis(text):
    moment = datetime.datetime.fromisoformat(text.replace("Z", "+00:00"))
    if moment.tzinfo is None:
        moment = moment.replace(tzinfo=datetime.timezone.utc)
    epoch = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)
    delta = moment - epoch
    return (delta.days * 86400 + delta.seconds) * 1000 + delta.microseconds // 1000


def decode(value):
    """Turns the wrappers of Extended JSON into the value types above."""
    if isinstance(value, dict):
        if set(value) == {"$oid"}:
            return ObjectId(value["$oid"])
        if set(value) == {"$date"}:
            inner = value["$date"]
            if isinstance(inner, dict):
                return Date(int(inner["$numberLong"]))
            if isinstance(inner, (int, float)):
                return Date(int(inner))
            return Date(parse_iso_millis(inner))
        if set(value) == {"$numberLong"}:
            return Long(int(value["$numberLong"]))
        return {key: decode(item) for key, item in value.items()}
    if isinstance(value, list):
        return [decode(item) for item in value]
    return value


_IDENTIFIER = re.compile(r"^[A-Za-z_$][A-Za-z0-9_$]*$")


def shell_text(value):
    """One value the way mongosh prints it on one line."""
    if isinstance(value, Date):
        return "ISODate('%s')" % value.iso()
    if isinstance(value, ObjectId):
        return "ObjectId('%s')" % value.hex
    if isinstance(value, Long):
        return "Long('%d')" % value.value
    if value is None:
        return "null"
    if value is True:
        return "true"
    if value is False:
        return "false"
    if isinstance(value, str):
        return "'%s'" % value.replace("\\", "\\\\").replace("'", "\\'")
    if isinstance(value, float):
        return repr(value) if value != int(value) else str(int(value))
    if isinstance(value, int):
        return str(value)
    if isinstance(value, list):
        return "[ " + ", ".join(shell_text(item) for item in value) + " ]" if value else "[]"
    if isinstance(value, dict):
        if not value:
            return "{}"
        fields = []
        for key, item in value.items():
            label = key if _IDENTIFIER.match(key) else "'%s'" % key
            fields.append("%s: %s" % (label, shell_text(item)))
        return "{ " + ", ".join(fields) + " }"
    return str(value)


def sort_key(value):
    """MongoDB's comparison order across types; a missing field sorts as null."""
    if isinstance(value, Missing) or value is None:
        return (1, 0)
    if isinstance(value, bool):
        return (8, int(value))
    if isinstance(value, (int, float)):
        return (2, value)
    if isinstance(value, Long):
        return (2, value.value)
    if isinstance(value, str):
        return (3, value)
    if isinstance(value, dict):
        return (4, json.dumps(value, sort_keys=True, default=str))
    if isinstance(value, list):
        return (5, len(value))
    if isinstance(value, ObjectId):
        return (7, value.hex)
    if isinstance(value, Date):
        return (9, value.millis)
    return (10, str(value))
