// The parse-only peer of the end-to-end benchmark: simdjson's DOM parser reads a JSON file and
// the process ends, printing nothing (status 1 when the file does not parse). It does less than
// the client, which also connects, sorts and prints; it is the mark, not a competitor. simdjson is
// used here and nowhere else.
//   simdjson_parse FILE
#include <cstdio>

#include "simdjson.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: simdjson_parse FILE\n");
    return 2;
  }
  simdjson::padded_string text;
  if (simdjson::padded_string::load(argv[1]).get(text) != simdjson::SUCCESS) {
    std::fprintf(stderr, "simdjson_parse: cannot read %s\n", argv[1]);
    return 2;
  }
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (const auto error = parser.parse(text).get(root); error != simdjson::SUCCESS) {
    std::fprintf(stderr, "simdjson_parse: %s\n", simdjson::error_message(error));
    return 1;
  }
  return 0;
}
