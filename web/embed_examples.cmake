# Writes OUTPUT, a script defining EXAMPLES = [{name, source}, ...] from the
# files listed in EXAMPLES, as JSON strings.
set(entries "")
foreach(path ${EXAMPLES})
  get_filename_component(name ${path} NAME)
  file(READ ${path} text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\r" "\\r" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  string(APPEND entries "  {\"name\": \"${name}\", \"source\": \"${text}\"},\n")
endforeach()
file(WRITE ${OUTPUT} "// Generated from examples/*.asm by embed_examples.cmake.\nconst EXAMPLES = [\n${entries}];\n")
