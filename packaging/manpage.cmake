# cmake -DTOOL=kvxtool -DOUT=kvxtool.1 -DVERSION=x -P manpage.cmake
# The manual page of kvxtool is its own --help text, so the two never disagree.
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed")
endif()
# roff: a backslash is written as \e, and a line may not start with a dot or a quote.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
file(WRITE ${OUT} ".TH KVXTOOL 1 \"\" \"KVXPlayer ${VERSION}\" \"User Commands\"
.SH NAME
kvxtool \\- read, check and export DVR backup recordings from the command line
.SH SYNOPSIS
.B kvxtool
.I COMMAND
.RI [ ARGUMENTS ]
.SH DESCRIPTION
.B kvxtool
is the scriptable side of KVXPlayer. It reads the backup recordings (.kvx) of
multi-channel digital video recorders with the player's own code and never
writes to them.
.PP
.nf
${help}.fi
.SH SEE ALSO
.BR kvxplayer (1)
")
