#!/bin/sh
# Carried installer: records each run (its name, arguments and elevation) in installers.log
# beside it and ends with the code kept in "<its name>.exitcode" (0 when there is none).
me="$0"
printf '%s %s elevated=%s\n' "${me##*/}" "$*" "${QM_ELEVATED:-0}" >> "${me%/*}/installers.log"
code=0
[ -f "$me.exitcode" ] && code=$(cat "$me.exitcode")
exit "$code"
