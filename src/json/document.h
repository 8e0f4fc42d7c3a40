#pragma once
// A parsed document that borrows its text. Values sit in one array of 8-byte nodes in text
// order (a container's node, then its contents); strings and integers are read straight from
// the text, which must outlive the document. Objects whose keys arrived strictly ascending
// are kept as they came; the others refer to a key order in a side array: the positions of
// their members in text order, sorted by key, the last of equal keys only. Objects with the
// same keys in the same order share one. A member whose key and value are written back
// exactly as they stand in the text, with nothing between them but the colon, is one node.
// Freeing the document is one release per array.
#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <vector>

#include "json/json_value.h"
#include "json/pod_buffer.h"

namespace vtm {

class JsonDocument {
 public:
  enum class Tag : std::uint8_t {
    Null,
    True,
    False,
    Unsigned,       // integer; its text is canonical
    Negative,       // integer; its text is canonical
    Zero,           // 0.0
    NegativeZero,   // -0.0
    PlainFloat,     // a short float whose text is already its written form
    ShortFloat,     // next node: packed significand, exponent and sign
    Float,          // next node: the double's bits
    String,         // content needs no escaping when written
    EscapedString,  // content had escapes, resolved in place
    Member,         // a plain key and a value kept as their text: "key":value, one run
    // Containers last, so that one comparison finds them.
    Array,          // aux: index past the contents
    Object,         // aux: index past the contents; keys strictly ascending
    OrderedObject,  // aux: index past the contents; offset: where its key order starts
  };

  struct Node {
    std::uint32_t head;  // tag << 28 | byte offset into the text
    std::uint32_t aux;   // string or number length, end index, or order index

    Tag tag() const { return static_cast<Tag>(head >> OFFSET_BITS); }
    std::uint32_t offset() const { return head & OFFSET_MASK; }
  };

  static constexpr unsigned OFFSET_BITS = 28;
  static constexpr std::uint32_t OFFSET_MASK = (std::uint32_t{1} << OFFSET_BITS) - 1;
  // The largest text a document can hold (a response frame is well below it).
  static constexpr std::size_t MAX_TEXT_BYTES = OFFSET_MASK;
  // A Member's offset is its key's, its aux the key's length and, above it, its value's text
  // length (quotation marks included).
  static constexpr unsigned MEMBER_KEY_BITS = 16;
  static constexpr std::uint32_t MEMBER_MAX_LENGTH = (std::uint32_t{1} << MEMBER_KEY_BITS) - 1;

  const char* text() const { return text_; }
  const char* text_end() const { return text_end_; }
  const Node& node(std::uint32_t i) const { return nodes_[i]; }
  std::uint32_t node_count() const { return static_cast<std::uint32_t>(nodes_.size()); }

  // Index just past the value at i: containers keep it; floats take a second node.
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
  // A member's key, from its key node or its Member node.
  std::string_view key_at(std::uint32_t m) const {
    const Node& n = nodes_[m];
    if (n.tag() != Tag::Member) return {text_ + n.offset(), n.aux};
    return {text_ + n.offset(), n.aux & MEMBER_MAX_LENGTH};
  }
  // A Member node's value as it stands in the text: quotation marks included for a string.
  std::string_view member_value_text(std::uint32_t m) const {
    const Node& n = nodes_[m];
    const std::uint32_t key_length = n.aux & MEMBER_MAX_LENGTH;
    return {text_ + n.offset() + key_length + 2, n.aux >> MEMBER_KEY_BITS};
  }
  // The whole `"key":value` run of a Member node.
  std::string_view member_text(std::uint32_t m) const {
    const Node& n = nodes_[m];
    return {text_ + n.offset() - 1, (n.aux & MEMBER_MAX_LENGTH) + 3 + (n.aux >> MEMBER_KEY_BITS)};
  }
  // The kind of a member's value.
  Tag member_value_tag(std::uint32_t m) const;
  // Index just past a member (its key node, or its Member node, and its value).
  std::uint32_t member_end(std::uint32_t m) const {
    return nodes_[m].tag() == Tag::Member ? m + 1 : next(m + 1);
  }

  std::uint64_t payload_at(std::uint32_t i) const {
    return std::uint64_t{nodes_[i].head} | (std::uint64_t{nodes_[i].aux} << 32);
  }

  // Calls f(member) for each member in key order: a Member node, or a key node with its value
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

  // Upper bounds of the written forms, without the final line feed.
  std::size_t compact_bound() const { return compact_bound_; }
  std::size_t indented_bound() const { return compact_bound_ + indent_extra_; }

 private:
  friend class JsonParser;

  JsonValue value_at(std::uint32_t i) const;
  JsonValue member_value(std::uint32_t m) const;

  const char* text_ = nullptr;
  const char* text_end_ = nullptr;
  json_detail::PodBuffer<Node> nodes_;
  // Per key order: members in all, members kept, then the kept ones' positions in key order.
  json_detail::PodBuffer<std::uint32_t> order_;
  std::size_t compact_bound_ = 0;
  std::size_t indent_extra_ = 0;
};

}  // namespace vtm
