// Writes one deterministic response payload of about BYTES bytes to stdout, shaped like the host's
// everyday answers. The text is produced directly (never through the client's own JSON code), so a
// payload is the same bytes before and after any change to the client.
//   screenshot  one base64 string in a small object
//   tree        UI elements: small objects, keys out of sorted order, short strings with escapes
//               and raw non-ASCII text, booleans, ints, nested children
//   floats      an array of objects with float coordinates
//   zeros       an array of zeros (a stress case: one tiny value per two bytes)
//   nested      an array of empty arrays nested to the deepest a response may (a stress case
//               for the indented form: about 128 times its size)
//   small       a small object of exactly BYTES bytes
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/split_mix.h"

namespace {

constexpr std::string_view ENVELOPE_TAIL = R"(,"requestId":"bench","success":true})";

class Out {
 public:
  explicit Out(std::uint64_t target) : target_(target) {}
  std::uint64_t size() const { return flushed_ + text_.size(); }
  bool full() const { return size() >= target_; }
  std::uint64_t target() const { return target_; }
  Out& operator<<(std::string_view s) {
    text_ += s;
    if (text_.size() >= (1u << 20)) flush();
    return *this;
  }
  Out& operator<<(std::int64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
  }
  Out& operator<<(double d) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, d).ptr;
    return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
  }
  bool flush() {
    flushed_ += text_.size();
    const bool ok = std::fwrite(text_.data(), 1, text_.size(), stdout) == text_.size();
    text_.clear();
    return ok;
  }

 private:
  std::uint64_t target_;
  std::uint64_t flushed_ = 0;
  std::string text_;
};

using Rng = vtm::testing::SplitMix;

std::int64_t between(Rng& rng, std::int64_t low, std::int64_t high) {
  return low + static_cast<std::int64_t>(rng.below(static_cast<std::uint64_t>(high - low + 1)));
}

void screenshot(Out& out, Rng& rng) {
  static constexpr char ALPHABET[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  constexpr std::string_view head = R"({"data":{"format":"png","base64":")";
  constexpr std::string_view tail = R"("})";
  const std::uint64_t fixed = head.size() + tail.size() + ENVELOPE_TAIL.size();
  const std::uint64_t length = out.target() > fixed + 4 ? (out.target() - fixed) / 4 * 4 : 4;
  out << head;
  std::string chunk;
  for (std::uint64_t done = 0; done < length; done += chunk.size()) {
    chunk.clear();
    for (std::uint64_t i = done; i < length && chunk.size() < 65536; i += 8) {
      std::uint64_t bits = rng.next();
      for (int j = 0; j < 8 && i + j < length; ++j, bits >>= 6) chunk += ALPHABET[bits & 63];
    }
    if (done + chunk.size() == length) chunk.replace(chunk.size() - 2, 2, "==");
    out << chunk;
  }
  out << tail << ENVELOPE_TAIL;
}

// Strings as they appear on the wire: JSON escapes, raw UTF-8 (2, 3 and 4 bytes) and plain ASCII.
constexpr std::string_view TEXTS[] = {
    "OK",
    "Cancel",
    "Save changes",
    "",
    "Open recent file\xe2\x80\xa6",
    "Caf\\u00e9 menu",
    "Line one\\nLine two",
    "Say \\\"hello\\\"",
    "C:\\\\Users\\\\bench\\\\Documents",
    "\xc3\x9c"
    "berweisung ausf\xc3\xbchren",
    "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe5\x85\xa5\xe5\x8a\x9b",
    "\xf0\x9f\x93\x81 Documents",
    "Name\\tSize\\tKind",
    "Search the web or type a URL",
    "Zoom \\u2014 100%",
    "Size: 12\\u00a0pt",
};
constexpr std::string_view ROLES[] = {
    "AXGroup", "AXButton", "AXStaticText", "AXTextField",  "AXImage",   "AXCheckBox",
    "AXCell",  "AXRow",    "AXMenuItem",   "AXScrollArea", "AXToolbar", "AXLink",
};

std::string_view pick_text(Rng& rng) { return TEXTS[rng.below(std::size(TEXTS))]; }

// One element in the order a host's serializer emits it (not sorted), children while room is left.
void element(Out& out, Rng& rng, int depth, std::string_view role) {
  out << R"({"role":")" << role << R"(","title":")" << pick_text(rng) << R"(","identifier":")";
  if (rng.below(3) != 0) out << "element-" << static_cast<std::int64_t>(rng.below(1000000));
  out << R"(","value":)";
  switch (rng.below(4)) {
    case 0:
      out << "null";
      break;
    case 1:
      out << "\"" << pick_text(rng) << "\"";
      break;
    case 2:
      out << static_cast<std::int64_t>(rng.below(1000));
      break;
    default:
      out << (rng.below(2) ? "true" : "false");
      break;
  }
  out << R"(,"frame":{"x":)" << between(rng, -200, 2560) << R"(,"y":)" << between(rng, 0, 1600)
      << R"(,"w":)" << between(rng, 1, 800) << R"(,"h":)" << between(rng, 1, 400) << "}";
  out << R"(,"enabled":)" << (rng.below(5) != 0 ? "true" : "false");
  out << R"(,"focused":)" << (rng.below(20) == 0 ? "true" : "false");
  if (rng.below(4) == 0) out << R"(,"help":")" << pick_text(rng) << "\"";
  out << R"(,"children":[)";
  const std::uint64_t children = depth >= 7 ? 0 : depth < 2 ? 6 : rng.below(4);
  for (std::uint64_t i = 0; i < children && !out.full(); ++i) {
    if (i > 0) out << ",";
    element(out, rng, depth + 1, ROLES[rng.below(std::size(ROLES))]);
  }
  out << "]}";
}

void tree(Out& out, Rng& rng) {
  out << R"({"data":{"role":"AXApplication","title":"Bench","pid":4242,"children":[)";
  for (bool first = true; first || !out.full(); first = false) {
    if (!first) out << ",";
    element(out, rng, 0, "AXWindow");
  }
  out << "]}" << ENVELOPE_TAIL;
}

void floats(Out& out, Rng& rng) {
  out << R"({"data":[)";
  for (bool first = true; first || !out.full(); first = false) {
    if (!first) out << ",";
    // Hundredths and halves that are never whole, confidences of four digits.
    const auto fraction = [&](std::int64_t low, std::int64_t high, std::int64_t per) {
      std::int64_t k = between(rng, low, high);
      if (k % per == 0) ++k;
      return static_cast<double>(k) / static_cast<double>(per);
    };
    out << R"({"x":)" << fraction(-20000, 600000, 100) << R"(,"y":)"
        << fraction(-20000, 400000, 100) << R"(,"w":)" << fraction(2, 2000, 2) << R"(,"h":)"
        << fraction(2, 1000, 2) << R"(,"confidence":)" << fraction(1000, 9999, 10000) << "}";
  }
  out << "]" << ENVELOPE_TAIL;
}

void zeros(Out& out) {
  constexpr std::string_view head = R"({"data":[0)";
  const std::uint64_t fixed = head.size() + 1 + ENVELOPE_TAIL.size();
  std::uint64_t left = out.target() > fixed ? (out.target() - fixed) / 2 : 0;
  std::string run;
  for (int i = 0; i < 32768; ++i) run += ",0";
  out << head;
  for (; left > 0; left -= std::min<std::uint64_t>(left, 32768)) {
    out << std::string_view(run).substr(0, 2 * std::min<std::uint64_t>(left, 32768));
  }
  out << "]" << ENVELOPE_TAIL;
}

void nested(Out& out) {
  // The root object and "data" hold two levels: 125 more reach the 127 a response may nest.
  const std::string item = std::string(125, '[') + std::string(125, ']');
  constexpr std::string_view head = R"({"data":[)";
  out << head << item;
  const std::uint64_t fixed = head.size() + 1 + ENVELOPE_TAIL.size();
  for (std::uint64_t size = fixed + item.size(); size + 1 + item.size() <= out.target();
       size += 1 + item.size()) {
    out << "," << item;
  }
  out << "]" << ENVELOPE_TAIL;
}

bool small(Out& out) {
  constexpr std::string_view head = R"({"data":{"clicked":true,"x":120,"y":48,"note":")";
  constexpr std::string_view tail = R"("})";
  const std::uint64_t fixed = head.size() + tail.size() + ENVELOPE_TAIL.size();
  if (out.target() < fixed) return false;
  out << head << std::string(out.target() - fixed, 'a') << tail << ENVELOPE_TAIL;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: e2e_payloads screenshot|tree|floats|zeros|nested|small BYTES\n");
    return 2;
  }
  const std::string_view kind = argv[1];
  Out out(std::strtoull(argv[2], nullptr, 10));
  Rng rng(42);
  bool ok = true;
  if (kind == "screenshot") {
    screenshot(out, rng);
  } else if (kind == "tree") {
    tree(out, rng);
  } else if (kind == "floats") {
    floats(out, rng);
  } else if (kind == "zeros") {
    zeros(out);
  } else if (kind == "nested") {
    nested(out);
  } else if (kind == "small") {
    ok = small(out);
  } else {
    ok = false;
  }
  if (!ok) {
    std::fprintf(stderr, "e2e_payloads: cannot make %s of %s bytes\n", argv[1], argv[2]);
    return 2;
  }
  return out.flush() ? 0 : 1;
}
