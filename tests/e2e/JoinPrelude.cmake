# cmake -DPROGRAM=P -DPRELUDE=H -DOUTPUT=O -P JoinPrelude.cmake: writes the
# program to O, followed by the shared hooks when the program asks for them
# with a ";! prelude: hooks" line.
file(READ ${PROGRAM} text)
string(REGEX MATCH "(^|\n);! prelude: hooks\n" wants_hooks "${text}")
if(wants_hooks)
  file(READ ${PRELUDE} hooks)
  string(APPEND text "\n" "${hooks}")
endif()
file(WRITE ${OUTPUT} "${text}")
