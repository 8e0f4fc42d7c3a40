// The stock-library reference for the end-to-end benchmark: RapidJSON reads a JSON file, and the
// document is written to stdout with every object's members in key order (unsigned bytes,
// recursively), compact or with a 2-space indent. RapidJSON is used here and nowhere else.
//   stock_sorted [--pretty] FILE
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "rapidjson/document.h"
#include "rapidjson/error/en.h"
#include "rapidjson/prettywriter.h"
#include "rapidjson/stringbuffer.h"
#include "rapidjson/writer.h"

namespace {

using Member = rapidjson::Value::Member;

bool key_less(const Member* a, const Member* b) {
  const std::string_view x(a->name.GetString(), a->name.GetStringLength());
  const std::string_view y(b->name.GetString(), b->name.GetStringLength());
  // string_view compares through char_traits<char>, which orders bytes as unsigned.
  return x < y;
}

template <class Writer>
void write_sorted(const rapidjson::Value& value, Writer& writer) {
  if (value.IsObject()) {
    std::vector<const Member*> members;
    members.reserve(value.MemberCount());
    for (auto m = value.MemberBegin(); m != value.MemberEnd(); ++m) members.push_back(&*m);
    std::stable_sort(members.begin(), members.end(), key_less);
    writer.StartObject();
    for (const Member* member : members) {
      writer.Key(member->name.GetString(), member->name.GetStringLength());
      write_sorted(member->value, writer);
    }
    writer.EndObject(static_cast<rapidjson::SizeType>(members.size()));
  } else if (value.IsArray()) {
    writer.StartArray();
    for (const auto& element : value.GetArray()) write_sorted(element, writer);
    writer.EndArray(value.Size());
  } else {
    value.Accept(writer);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool pretty = argc == 3 && std::strcmp(argv[1], "--pretty") == 0;
  if (argc != (pretty ? 3 : 2)) {
    std::fprintf(stderr, "usage: stock_sorted [--pretty] FILE\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[argc - 1], "rb");
  if (file == nullptr) {
    std::perror(argv[argc - 1]);
    return 1;
  }
  std::string text;
  char chunk[1 << 16];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    text.append(chunk, got);
  std::fclose(file);

  rapidjson::Document document;
  document.Parse(text.data(), text.size());
  if (document.HasParseError()) {
    std::fprintf(stderr, "parse error at %zu: %s\n", document.GetErrorOffset(),
                 rapidjson::GetParseError_En(document.GetParseError()));
    return 1;
  }
  rapidjson::StringBuffer out;
  if (pretty) {
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(out);
    writer.SetIndent(' ', 2);
    write_sorted(document, writer);
  } else {
    rapidjson::Writer<rapidjson::StringBuffer> writer(out);
    write_sorted(document, writer);
  }
  out.Put('\n');
  const std::size_t size = out.GetSize();
  return std::fwrite(out.GetString(), 1, size, stdout) == size ? 0 : 1;
}
