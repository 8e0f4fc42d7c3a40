#pragma once
// A parsed document that borrows its text: one array of 8-byte nodes in text order (a
// container's node, then its contents) and a side array of key orders. Strings and integers
// are read straight from the text, which must outlive the document. What each node holds, when
// a member is one node and how key orders work are written down once, in README.md beside this
// file. Freeing the document is one release per array.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <vector>

#include "json/json_value.h"
#include "json/limits.h"
#include "json/pod_buffer.h"

namespace vtm {

class JsonDocument {
 public:
  // What each tag's node holds: the table in README.md.
  enum class Tag : std::uint8_t {
    Null,
    True,
    False,
    Unsigned,           // integer; its text is canonical
    Negative,           // integer; its text is canonical
    FloatZero,          // 0.0 (integer 0 is Unsigned)
    NegativeFloatZero,  // -0.0
    PlainFloat,         // a short float whose text is already its written form
    ShortFloat,         // a payload node follows: packed significand, exponent and sign
    Float,              // a payload node follows: the double's bits
    String,             // content needs no escaping when written
    EscapedString,      // content had escapes, resolved in place
    Pair,               // a plain key and a value kept as text: "key":value, one run
    // Containers last, so that one comparison finds them; OrderedObject stays the last tag.
    Array,          // aux: index past the contents
    Object,         // aux: index past the contents; keys strictly ascending
    OrderedObject,  // aux: index past the contents; head's low bits: where its key order starts
  };

  static constexpr unsigned OFFSET_BITS = 28;
  static constexpr unsigned TAG_BITS = 32 - OFFSET_BITS;
  static_assert(static_cast<unsigned>(Tag::OrderedObject) < 1u << TAG_BITS,
                "every tag fits the head's top bits");
  static constexpr std::uint32_t OFFSET_MASK = (std::uint32_t{1} << OFFSET_BITS) - 1;
  // The largest text a document can hold (a response frame is below it: checked where the
  // frame limit is defined).
  static constexpr std::size_t MAX_TEXT_BYTES = OFFSET_MASK;

  struct Node {
    // tag << OFFSET_BITS | low bits: a byte offset into the text, or for an OrderedObject the
    // index of its key order. A payload node (after ShortFloat or Float) has no tag: head and
    // aux are the low and high halves of 64 bits.
    std::uint32_t head;
    // String or number length, index past a container's contents, a Pair's two lengths, or
    // the payload's high half.
    std::uint32_t aux;

    Node() = default;
    // The one place a head is packed. `low` must fit OFFSET_BITS: texts are at most
    // MAX_TEXT_BYTES long and key orders take less room than the text that makes them.
    constexpr Node(Tag tag, std::uint32_t low, std::uint32_t aux_)
        : head(static_cast<std::uint32_t>(tag) << OFFSET_BITS | low), aux(aux_) {
      assert(low <= OFFSET_MASK);
    }
    static constexpr Node payload(std::uint64_t bits) {
      Node n;
      n.head = static_cast<std::uint32_t>(bits);
      n.aux = static_cast<std::uint32_t>(bits >> 32);
      return n;
    }

    Tag tag() const { return static_cast<Tag>(head >> OFFSET_BITS); }
    std::uint32_t offset() const { return head & OFFSET_MASK; }
  };

  // A Pair's offset is its key's, its aux the key's length and, above it, its value's text
  // length (quotation marks included). Either beyond PAIR_MAX_LENGTH: a key node and a value.
  static constexpr unsigned PAIR_KEY_BITS = 16;
  static constexpr std::uint32_t PAIR_MAX_LENGTH = (std::uint32_t{1} << PAIR_KEY_BITS) - 1;
  static_assert(PAIR_KEY_BITS < 32 && 32 - PAIR_KEY_BITS == PAIR_KEY_BITS,
                "both lengths share aux equally");

  const char* text_end() const { return text_end_; }
  const Node& node(std::uint32_t i) const { return nodes_[i]; }
  std::uint32_t node_count() const { return static_cast<std::uint32_t>(nodes_.size()); }

  // Index just past the value at i: containers keep it; floats take a payload node.
  std::uint32_t next(std::uint32_t i) const {
    const Node& n = nodes_[i];
    const Tag tag = n.tag();
    if (tag >= Tag::Array) return n.aux;
    return i + 1 + (tag == Tag::ShortFloat || tag == Tag::Float ? 1 : 0);
  }

  std::string_view text_at(std::uint32_t i) const {
    const Node& n = nodes_[i];
    return {text_ + n.offset(), n.aux};
  }
  // A member's key, from its key node or its Pair node.
  std::string_view key_at(std::uint32_t m) const {
    const Node& n = nodes_[m];
    if (n.tag() != Tag::Pair) return {text_ + n.offset(), n.aux};
    return {text_ + n.offset(), n.aux & PAIR_MAX_LENGTH};
  }
  // A Pair's text is `"key":value` with nothing between; its offset is the key's.
  static constexpr std::uint32_t QUOTE = 1;
  static constexpr std::uint32_t COLON = 1;
  // A Pair node's value as it stands in the text: quotation marks included for a string.
  std::string_view pair_value_text(std::uint32_t m) const {
    const Node& n = nodes_[m];
    const std::uint32_t key_length = n.aux & PAIR_MAX_LENGTH;
    return {text_ + n.offset() + key_length + QUOTE + COLON, n.aux >> PAIR_KEY_BITS};
  }
  // The whole `"key":value` run of a Pair node.
  std::string_view pair_text(std::uint32_t m) const {
    const Node& n = nodes_[m];
    return {text_ + n.offset() - QUOTE,
            (n.aux & PAIR_MAX_LENGTH) + 2 * QUOTE + COLON + (n.aux >> PAIR_KEY_BITS)};
  }
  // The kind of a member's value.
  Tag member_value_tag(std::uint32_t m) const;
  // Index just past a member (its key node and its value, or its Pair node).
  std::uint32_t member_end(std::uint32_t m) const {
    return nodes_[m].tag() == Tag::Pair ? m + 1 : next(m + 1);
  }

  std::uint64_t payload_at(std::uint32_t i) const {
    return std::uint64_t{nodes_[i].head} | (std::uint64_t{nodes_[i].aux} << 32);
  }

  // Calls f(member) for each member in key order: a Pair node, or a key node with its value
  // at index + 1.
  template <class F>
  void for_each_member(std::uint32_t object, F&& f) const {
    const Node& n = nodes_[object];
    if (n.tag() != Tag::OrderedObject) {
      for (std::uint32_t k = object + 1; k < n.aux; k = member_end(k)) f(k);
      return;
    }
    // The members in text order first, then in key order.
    const std::uint32_t* order = order_.data() + n.offset();
    const std::uint32_t count = order[0];
    // Most objects are small; a larger one takes its member list from the heap.
    constexpr std::uint32_t ON_STACK = 32;
    std::uint32_t on_stack[ON_STACK];
    std::vector<std::uint32_t> on_heap;
    std::uint32_t* members = on_stack;
    if (count > ON_STACK) {
      on_heap.resize(count);
      members = on_heap.data();
    }
    for (std::uint32_t i = 0, k = object + 1; i < count; ++i, k = member_end(k)) members[i] = k;
    for (std::uint32_t i = 0; i < order[1]; ++i) f(members[order[2 + i]]);
  }
  template <class F>
  void for_each_element(std::uint32_t array, F&& f) const {
    for (std::uint32_t i = array + 1; i < nodes_[array].aux; i = next(i)) f(i);
  }
  bool is_empty_container(std::uint32_t i) const { return next(i) == i + 1; }

  // The root object's member with that key, if the root is an object and has it.
  std::optional<std::uint32_t> find_root_member(std::string_view key) const;

  // The same value as an owning tree.
  JsonValue to_value() const;

 private:
  friend class JsonParser;

  JsonValue value_at(std::uint32_t i) const;
  JsonValue member_value(std::uint32_t m) const;

  const char* text_ = nullptr;
  const char* text_end_ = nullptr;
  json_detail::PodBuffer<Node> nodes_;
  // Per key order: members in all, members kept, then the kept ones' positions in key order.
  json_detail::PodBuffer<std::uint32_t> order_;
};

namespace json_detail {

// The three literals, for the parser and for reading a Pair's value: the one that a value
// starting with `first` must be, or null.
struct Literal {
  std::string_view text;
  JsonDocument::Tag tag;
};
inline const Literal* literal_starting_with(char first) {
  static constexpr Literal TRUE_{"true", JsonDocument::Tag::True};
  static constexpr Literal FALSE_{"false", JsonDocument::Tag::False};
  static constexpr Literal NULL_{"null", JsonDocument::Tag::Null};
  switch (first) {
    case 't':
      return &TRUE_;
    case 'f':
      return &FALSE_;
    case 'n':
      return &NULL_;
    default:
      return nullptr;
  }
}

}  // namespace json_detail

}  // namespace vtm
