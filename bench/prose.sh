# Sourced by the benchmarks that generate their texts.
#
# prose <bytes> <seed> <vocabulary> [lines|paragraphs]: words from the vocabulary, UTF-8, from a
# fixed seed so that every run has the same text. lines: lines of 4 to 27 words with a blank
# line now and then; paragraphs: paragraphs of 40 to 159 words, each followed by a blank line.
prose() {
  awk -v bytes="$1" -v seed="$2" -v vocabulary="$3" -v shape="${4:-lines}" 'BEGIN {
    srand(seed)
    n = split(vocabulary, w, " ")
    paragraphs = shape == "paragraphs"
    least = paragraphs ? 40 : 4; spread = paragraphs ? 120 : 24
    written = 0
    while (written < bytes) {
      len = least + int(rand() * spread); line = ""
      for (i = 0; i < len; i++) line = line (i ? " " : "") w[1 + int(rand() * n)]
      line = line "."
      if (paragraphs) { print line; print ""; written += length(line) + 2; continue }
      print line; written += length(line) + 1
      if (rand() < 0.05) { print ""; written++ }
    }
  }'
}
