#!/bin/sh
# The options of --help, of the page's OPTIONS section and of the completion
# must be the same set, so must the exit statuses of --help and of the page's
# EXIT STATUS section, the page must name the version --version gives, and
# it must render without warnings.
# Arguments: the tool, the page, the completion script.
set -eu
tool=$1 page=$2 completion=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
version=$(QOROLAPMIGRATE_ROOT=$work "$tool" --version) ||
    { echo "--version ended with a failure: $version"; status=1; }
grep -q "\"$version\"" "$page" || { echo "the page does not name \"$version\""; status=1; }

QOROLAPMIGRATE_ROOT=$work "$tool" --help >"$work/help.txt"
head -n 1 "$work/help.txt" | grep -q '^Usage: qorolapmigrate ' ||
    { echo "--help does not begin with its usage line"; status=1; }
awk '/^Options:/ { on = 1; next } on && /^  -/' "$work/help.txt" |
    sed 's/^  //; s/  .*//; s/ <[^>]*>//; s/,//g' | tr ' ' '\n' | sort -u >"$work/help"

# The statuses --help names are those the page's EXIT STATUS section explains.
awk '/^Exit status:/ { on = 1; next } on && /^  [0-9]/' "$work/help.txt" |
    sed 's/^  //; s/  .*//' | tr -d ',' | tr ' ' '\n' | sort -u >"$work/help-status"
awk '/^\.SH/ { on = /^\.SH "EXIT STATUS"/; next } on && tag { print; tag = 0 } on && /^\.TP/ { tag = 1 }' \
    "$page" | grep -oE '[0-9]+' | sort -u >"$work/page-status"
diff -u --label "help statuses" "$work/help-status" --label "page statuses" "$work/page-status" || status=1

# The tag line after each .TP of OPTIONS names the option, as \-s or \-\-help.
awk '/^\.SH/ { on = /^\.SH OPTIONS/; next } on && tag { print; tag = 0 } on && /^\.TP/ { tag = 1 }' \
    "$page" | grep -oE '(\\-)+[A-Za-z]+(\\-[A-Za-z]+)*' | sed 's/\\-/-/g' | sort -u >"$work/page"

bash -c '. "$1"
    for line in "qorolapmigrate -" "qorolapmigrate start -"; do
        COMP_WORDS=($line); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _qorolapmigrate
        printf "%s\n" "${COMPREPLY[@]}"
    done' _ "$completion" | grep '^-' | sort -u >"$work/completion"

for other in page completion; do
    diff -u --label help "$work/help" --label "$other" "$work/$other" || status=1
done

if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$warnings"; status=1; }
else
    echo "man is not installed: the page's rendering is not checked"
fi
exit $status
