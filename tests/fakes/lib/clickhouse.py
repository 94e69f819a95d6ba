"""Command line and refusals shared by the ClickHouse client doubles."""

import os
import re
import sys

PORT = "8820"

VALUE_OPTIONS = {"-h": "host", "--host": "host", "--port": "port", "-u": "user", "--user": "user",
                 "--password": "password", "-q": "query", "--query": "query"}
_INSERT_FROM_INPUT = re.compile(r"(?is)^\s*INSERT\s+INTO\s+.+\sFORMAT\s+\w+\s*;?\s*$")


def refuse(code, message):
    sys.stderr.write("Code: %d. DB::Exception: %s\n" % (code, message))
    sys.exit(code % 256 or 1)


def parse(argv):
    options = {}
    index = 1
    while index < len(argv):
        token = argv[index]
        name, has_value, value = token.partition("=")
        if has_value and name.startswith("--") and name in VALUE_OPTIONS:
            options[VALUE_OPTIONS[name]] = value
        elif token in VALUE_OPTIONS and index + 1 < len(argv):
            index += 1
            options[VALUE_OPTIONS[token]] = argv[index]
        else:
            refuse(552, "Unrecognized option '%s'. (UNRECOGNIZED_ARGUMENTS)" % token)
        index += 1
    return options


def connect(options):
    """Refuses the way a server would: unreachable port or host, then wrong login."""
    host = options.get("host", "localhost")
    port = options.get("port", "9000")
    wanted_host = os.environ.get("QOR_CH_HOST")
    if port != PORT or (wanted_host is not None and host != wanted_host):
        refuse(210, "Connection refused (%s:%s). (NETWORK_ERROR)" % (host, port))
    user = options.get("user", "default")
    wanted_user = os.environ.get("QOR_CH_USER")
    wanted_password = os.environ.get("QOR_CH_PASSWORD")
    if ((wanted_user is not None and user != wanted_user)
            or (wanted_password is not None and options.get("password", "") != wanted_password)):
        refuse(516, "%s: Authentication failed: password is incorrect, or there is no user with "
               "such name. (AUTHENTICATION_FAILED)" % user)


def last_statement(query):
    """The final statement of a `;`-separated text, quotes respected."""
    statements = split_statements(query)
    return statements[-1] if statements else ""


def split_statements(query):
    statements = []
    current = []
    quote = None
    index = 0
    while index < len(query):
        char = query[index]
        current.append(char)
        if quote:
            if char == "\\" and index + 1 < len(query):
                index += 1
                current.append(query[index])
            elif char == quote:
                quote = None
        elif char in "'\"`":
            quote = char
        elif char == ";":
            current.pop()
            statements.append("".join(current))
            current = []
        index += 1
    statements.append("".join(current))
    return [text.strip() for text in statements if text.strip()]


def reads_input(query):
    return bool(_INSERT_FROM_INPUT.match(last_statement(query)))
