# Renders README.md into a whole HTML page: markdown_py writes the body alone, and a page with
# no declared character set shows the README's quotes and dashes as mojibake in some browsers.
#   cmake -DMARKDOWN=markdown_py -DSOURCE=README.md -DOUTPUT=README.html -P readme_html.cmake
execute_process(
  COMMAND ${MARKDOWN} -e utf-8 -x tables -x fenced_code -x toc ${SOURCE}
  OUTPUT_VARIABLE body
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${MARKDOWN} could not render ${SOURCE}")
endif()
file(WRITE ${OUTPUT}.part
  "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
  "<title>Quirebind</title>\n"
  "<style>body{max-width:50em;margin:auto;padding:0 1em;font-family:sans-serif;line-height:1.5}"
  "pre,code{background:#f4f4f4}pre{padding:.5em;overflow:auto}"
  "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:.2em .5em}</style>\n"
  "</head>\n<body>\n${body}</body>\n</html>\n")
file(RENAME ${OUTPUT}.part ${OUTPUT})
