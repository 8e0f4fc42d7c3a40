#include <gtest/gtest.h>

#include <deque>

#include "bridge/exchange.h"
#include "bridge/frames.h"
#include "bridge/request.h"

namespace vtm {
namespace {

using platform::IoResult;

// An in-memory stream: reads come from a script of results (or from a byte source), writes are
// recorded and may be scripted too.
class FakeStream : public platform::ByteStream {
 public:
  std::string input;           // bytes the "host" sends
  std::string written;         // bytes the client wrote
  std::deque<IoResult> reads;  // scripted read outcomes first, then input
  std::deque<IoResult> writes;
  std::size_t max_chunk = SIZE_MAX;
  std::size_t read_pos = 0;
  std::vector<std::size_t> offered;  // size of every write attempt

  IoResult write_some(std::span<const char> bytes) override {
    offered.push_back(bytes.size());
    if (!writes.empty()) {
      IoResult r = writes.front();
      writes.pop_front();
      if (r.kind == IoResult::Kind::Done) {
        r.count = std::min(r.count, bytes.size());
        written.append(bytes.data(), r.count);
      }
      return r;
    }
    const std::size_t n = std::min(bytes.size(), max_chunk);
    written.append(bytes.data(), n);
    return {IoResult::Kind::Done, n, {}};
  }
  IoResult read_some(std::span<char> buffer) override {
    if (!reads.empty()) {
      IoResult r = reads.front();
      reads.pop_front();
      return r;
    }
    const std::size_t n = std::min({buffer.size(), input.size() - read_pos, max_chunk});
    std::copy_n(input.data() + read_pos, n, buffer.data());
    read_pos += n;
    return {IoResult::Kind::Done, n, {}};
  }
};

std::string frame(std::uint32_t n, std::string_view payload) {
  std::string f = {static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                   static_cast<char>(n >> 8), static_cast<char>(n)};
  f += payload;
  return f;
}

const IoResult INTERRUPTED{IoResult::Kind::Interrupted, 0, {}};
const IoResult BROKEN_PIPE{IoResult::Kind::Failed, 0, "Broken pipe (os error 32)"};
const IoResult NOTHING_MOVED{IoResult::Kind::Done, 0, {}};

TEST(WriteFrame, PrefixAndPayloadAreSeparateWrites) {
  FakeStream s;
  ASSERT_TRUE(write_frame(s, "{}").ok());
  EXPECT_EQ(s.offered, (std::vector<std::size_t>{4, 2}));
}

TEST(WriteFrame, PrefixThenPayloadInPieces) {
  FakeStream s;
  s.max_chunk = 3;
  s.writes = {INTERRUPTED};
  ASSERT_TRUE(write_frame(s, "{\"a\":1}").ok());
  EXPECT_EQ(s.written, frame(7, "{\"a\":1}"));
}

struct WriteFailureCase {
  std::deque<IoResult> writes;
  std::string message;
  std::size_t written;
};

TEST(WriteFrame, Failures) {
  const std::vector<WriteFailureCase> cases = {
      {{NOTHING_MOVED}, "failed to write whole buffer", 0},
      {{BROKEN_PIPE}, "Broken pipe (os error 32)", 0},
      // A failed prefix write means the payload is never offered.
      {{{IoResult::Kind::Done, 2, {}}, BROKEN_PIPE}, "Broken pipe (os error 32)", 2},
      {{{IoResult::Kind::Done, 4, {}}, NOTHING_MOVED}, "failed to write whole buffer", 4},
  };
  for (const WriteFailureCase& c : cases) {
    FakeStream s;
    s.writes = c.writes;
    Status r = write_frame(s, "payload");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), c.message);
    EXPECT_EQ(s.written.size(), c.written);
  }
}

struct ReadCase {
  std::string input;
  std::deque<IoResult> reads;
  std::string payload;  // expected payload, or
  std::string failure;  // expected failure
  std::size_t consumed;
};

TEST(ReadFrame, PrefixLimitsAndEndOfStream) {
  const std::vector<ReadCase> cases = {
      {frame(1, "1"), {}, "1", "", 5},
      {frame(16, R"({"success":true})") + "extra", {}, R"({"success":true})", "", 20},
      {frame(0, ""), {}, "", "control response frame size is invalid", 4},
      {frame(0x0C000001, "x"), {}, "", "control response frame size is invalid", 4},
      {frame(0xFFFFFFFF, "x"), {}, "", "control response frame size is invalid", 4},
      {"", {}, "", "failed to fill whole buffer", 0},
      {std::string(3, '\0'), {}, "", "failed to fill whole buffer", 3},
      {frame(10, "short"), {}, "", "failed to fill whole buffer", 9},
      {frame(2, "ok"), {INTERRUPTED, INTERRUPTED}, "ok", "", 6},
      {frame(2, "ok"), {BROKEN_PIPE}, "", "Broken pipe (os error 32)", 0},
  };
  for (const ReadCase& c : cases) {
    FakeStream s;
    s.input = c.input;
    s.reads = c.reads;
    s.max_chunk = 2;
    Result<FrameBuffer> r = read_frame(s);
    if (c.failure.empty()) {
      ASSERT_TRUE(r.ok()) << r.error();
      EXPECT_EQ(r.value().view(), c.payload);
    } else {
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.error(), c.failure);
    }
    EXPECT_EQ(s.read_pos, c.consumed) << c.failure;
  }
}

TEST(ReadFrame, AcceptsTheLimitAndReadsItWhole) {
  FakeStream s;
  s.input = frame(MAX_RESPONSE_FRAME_BYTES, std::string(MAX_RESPONSE_FRAME_BYTES, ' '));
  Result<FrameBuffer> r = read_frame(s);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value().view().size(), MAX_RESPONSE_FRAME_BYTES);
}

// A request whose encoding is exactly `size` bytes long.
JsonValue request_of_size(std::size_t size) {
  JsonValue request = build_control_request("type", {});
  const std::size_t base = encode_control_request(request).size();
  // One argument adds its length and two quotes.
  return build_control_request("type", {std::string(size - base - 2, 'a')});
}

TEST(ExchangeOverStream, RequestLimitBoundary) {
  {
    FakeStream s;
    s.input = frame(16, R"({"success":true})");
    const JsonValue request = request_of_size(MAX_REQUEST_FRAME_BYTES);
    Result<ControlResponse> r = exchange_over_stream(s, request);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(s.written.size(), MAX_REQUEST_FRAME_BYTES + 4u);
    EXPECT_EQ(s.written.substr(0, 4), std::string("\x00\x40\x00\x00", 4));
  }
  {
    FakeStream s;
    Result<ControlResponse> r = exchange_over_stream(s, request_of_size(MAX_REQUEST_FRAME_BYTES + 1));
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "control request exceeds the protocol frame limit");
    EXPECT_TRUE(s.written.empty());
    EXPECT_EQ(s.read_pos, 0u);
  }
}

TEST(ExchangeOverStream, ParseErrorBecomesTheFailure) {
  FakeStream s;
  s.input = frame(8, R"({"a":1}x)");
  Result<ControlResponse> r = exchange_over_stream(s, build_control_request("click", {}));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), "trailing characters at line 1 column 8");
}

}  // namespace
}  // namespace vtm
