# Writes the build stamp source: the local date (YYYYMMDD) and time of day (seconds) of this build,
# and the project's version number (VERSION).
string(TIMESTAMP stamp_date "%Y%m%d")
string(TIMESTAMP stamp_h "%H")
string(TIMESTAMP stamp_m "%M")
string(TIMESTAMP stamp_s "%S")
math(EXPR stamp_time "${stamp_h} * 3600 + ${stamp_m} * 60 + ${stamp_s}")
# Leading zeros of the hour would read as octal in C++; the date never starts with 0.
file(WRITE ${OUT}.tmp "#include \"db/build_stamp.h\"\n#include \"db/program_version.h\"\n\n"
    "BuildStamp buildStamp()\n{\n    return {${stamp_date}, ${stamp_time}};\n}\n\n"
    "QString programVersion()\n{\n    return QStringLiteral(\"${VERSION}\");\n}\n")
file(RENAME ${OUT}.tmp ${OUT})
