# Writes input/EmbeddedSchemas.h below dir: the command's JSON schemas, which
# its JSON inputs are checked against, built into the program. Used by the
# command and by the fuzz build of its sources.
function(orvane_embedded_schemas dir)
  set(src ${CMAKE_SOURCE_DIR}/tools/orvane)
  file(READ ${src}/show.schema.json ORVANE_SHOW_SCHEMA)
  file(READ ${src}/fru-input.schema.json ORVANE_INPUT_SCHEMA)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${src}/show.schema.json ${src}/fru-input.schema.json)
  configure_file(${src}/input/EmbeddedSchemas.h.in ${dir}/input/EmbeddedSchemas.h @ONLY)
endfunction()
