#include "session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "json/write.h"
#include "scenario.h"

namespace vtm::mock {
namespace {

std::string frame(std::string_view payload) {
  const auto n = static_cast<std::uint32_t>(payload.size());
  std::string bytes{static_cast<char>(n >> 24), static_cast<char>(n >> 16 & 0xFF),
                    static_cast<char>(n >> 8 & 0xFF), static_cast<char>(n & 0xFF)};
  return bytes.append(payload);
}

// Hands out the scripted input in the given pieces, then end of stream (or a failure), and
// collects what is written.
class FakeConnection final : public Connection {
 public:
  FakeConnection(std::vector<std::string> pieces, bool fail_at_end = false,
                 std::size_t accepts = std::string::npos)
      : pieces_(pieces.begin(), pieces.end()), fail_at_end_(fail_at_end), accepts_(accepts) {}

  Result<std::size_t> read_some(char* data, std::size_t size, int) override {
    if (reads++ == 0) written_before_read = written.size();
    if (pieces_.empty()) {
      if (fail_at_end_) return Failure{"stalled"};
      return std::size_t{0};
    }
    std::string& piece = pieces_.front();
    const std::size_t n = std::min(size, piece.size());
    std::copy_n(piece.data(), n, data);
    piece.erase(0, n);
    if (piece.empty()) pieces_.pop_front();
    return n;
  }

  Result<std::size_t> write_some(const char* data, std::size_t size, int) override {
    // Short writes, so the caller's loop is exercised; past accepts bytes, a stalled reader.
    if (written.size() >= accepts_) return Failure{"stalled reader"};
    const std::size_t n = std::min({size, std::size_t{3}, accepts_ - written.size()});
    written.append(data, n);
    return n;
  }

  void end_writing() override { ended_writing = reads == 0 ? 1 : 2; }
  void finish(int) override { ++finished; }

  bool drained() const { return pieces_.empty(); }

  std::string written;
  int reads = 0;
  std::size_t written_before_read = 0;
  int ended_writing = 0;  // 1: before any read, 2: after one
  int finished = 0;

 private:
  std::deque<std::string> pieces_;
  bool fail_at_end_;
  std::size_t accepts_;
};

struct ReadCase {
  std::string name;
  std::vector<std::string> pieces;
  bool fail_at_end;
  std::string received;
  std::optional<std::string> payload;
};

class ReadRequest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadRequest, KeepsWhatArrived) {
  FakeConnection connection(GetParam().pieces, GetParam().fail_at_end);
  const ReceivedFrame request = read_request(connection, Deadline(1000));
  EXPECT_EQ(request.bytes, GetParam().received);
  EXPECT_EQ(request.payload, GetParam().payload);
  EXPECT_EQ(request.problem.empty(), GetParam().payload.has_value()) << request.problem;
}

const std::string TOO_LONG = std::string("\x00\x41\x00\x01", 4);  // 4,259,841 bytes

INSTANTIATE_TEST_SUITE_P(
    Frames, ReadRequest,
    testing::Values(
        ReadCase{"whole", {frame("{\"a\":1}")}, false, frame("{\"a\":1}"), "{\"a\":1}"},
        ReadCase{"bytewise",
                 {std::string(1, '\0'), std::string(2, '\0'), "\x02", "{", "}"},
                 false,
                 frame("{}"),
                 "{}"},
        ReadCase{"empty payload", {frame("")}, false, frame(""), ""},
        ReadCase{"frame then more", {frame("1") + "extra"}, false, frame("1"), "1"},
        ReadCase{"nothing", {}, false, "", std::nullopt},
        ReadCase{
            "half prefix", {std::string("\0\0", 2)}, false, std::string("\0\0", 2), std::nullopt},
        ReadCase{"short payload",
                 {frame("{\"abc\":1}").substr(0, 7)},
                 false,
                 frame("{\"abc\":1}").substr(0, 7),
                 std::nullopt},
        ReadCase{
            "stalled", {frame("{}").substr(0, 5)}, true, frame("{}").substr(0, 5), std::nullopt},
        ReadCase{"over the limit", {TOO_LONG + "{}"}, false, TOO_LONG, std::nullopt}),
    [](const auto& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST(ReadRequestLimit, TakesALittleMoreThanTheClientMaySend) {
  const std::string payload(MAX_ACCEPTED_REQUEST_BYTES, 'x');
  FakeConnection connection({frame(payload)});
  const ReceivedFrame request = read_request(connection, Deadline(1000));
  ASSERT_TRUE(request.payload.has_value()) << request.problem;
  EXPECT_EQ(request.payload->size(), payload.size());
}

struct ReplyCase {
  std::vector<std::string> options;
  std::string payload;
  std::string bytes;
};

class ReplyBytes : public testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyBytes, PrefixPayloadAndExtra) {
  std::vector<std::string> args = {"--listen", "x"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  auto options = parse_host_options(args);
  ASSERT_TRUE(options.ok()) << options.error();
  const Reply reply = reply_for(options.value().faults, GetParam().payload);
  EXPECT_EQ(std::string(reply.prefix.data(), reply.prefix.size()) + std::string(reply.payload) +
                std::string(reply.extra),
            GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplyBytes,
    testing::Values(
        ReplyCase{{}, "{\"success\":true}", frame("{\"success\":true}")},
        ReplyCase{{}, "", std::string(4, '\0')},
        ReplyCase{{"--prefix", "0C000001"}, "ab", std::string("\x0C\x00\x00\x01", 4) + "ab"},
        ReplyCase{{"--prefix", "FFFFFFFF", "--short", "0"}, "ab", std::string(4, '\xFF')},
        ReplyCase{{"--short", "2"}, "abcdef", std::string("\0\0\0\x06", 4) + "ab"},
        ReplyCase{{"--short", "99"}, "abc", frame("abc")},
        ReplyCase{{"--extra", "XY"}, "1", frame("1") + "XY"},
        ReplyCase{{"--short", "1", "--extra", "Z"}, "abc", std::string("\0\0\0\x03", 4) + "aZ"},
        ReplyCase{{}, std::string(300, 'q'), frame(std::string(300, 'q'))}));

struct ServeCase {
  std::vector<std::string> options;
  std::vector<std::string> input;
  std::string recorded;
  std::string written;
  std::vector<std::uint64_t> sleeps;
};

class ServeConnection : public testing::TestWithParam<ServeCase> {};

TEST_P(ServeConnection, RecordsThenAnswersAsScripted) {
  std::vector<std::string> args = {"--listen", "x", "--raw", "R"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  auto options = parse_host_options(args);
  ASSERT_TRUE(options.ok()) << options.error();
  FakeConnection connection(GetParam().input);
  std::vector<std::string> records;
  std::vector<std::uint64_t> sleeps;
  const Responder responder = Responder::fixed("R");
  HostContext host{options.value(), responder};
  host.record = [&](std::string_view bytes) {
    records.emplace_back(bytes);
    // Recorded before any answer goes out.
    EXPECT_TRUE(connection.written.empty());
  };
  host.sleep_ms = [&](std::uint64_t ms) { sleeps.push_back(ms); };
  serve_connection(connection, 1, host);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records.front(), GetParam().recorded);
  EXPECT_EQ(connection.written, GetParam().written);
  EXPECT_EQ(sleeps, GetParam().sleeps);
  EXPECT_EQ(connection.finished, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ServeConnection,
    testing::Values(ServeCase{{}, {frame("{}")}, frame("{}"), frame("R"), {}},
                    ServeCase{{"--delay-ms", "40"}, {frame("{}")}, frame("{}"), frame("R"), {40}},
                    ServeCase{{"--close"}, {frame("{}")}, frame("{}"), "", {}},
                    ServeCase{{"--no-read"}, {frame("{}")}, "", frame("R"), {}},
                    ServeCase{{"--no-read", "--close"}, {frame("{}")}, "", "", {}},
                    ServeCase{{}, {frame("{}").substr(0, 3)}, frame("{}").substr(0, 3), "", {}}));

// One strict scenario, connection after connection: which stub answers, with what bytes, faults
// and waits, and what the journal says.
TEST(ServeScenario, StubsAnswerWithTheirOwnFaultsAndAreJournaled) {
  auto options = parse_host_options({"--listen", "x", "--scenario", "s", "--strict"});
  ASSERT_TRUE(options.ok());
  auto stubs = parse_scenario(R"({"stubs": [
      {"name": "quiet", "fault": {"noRead": true}, "times": 1, "raw": "N"},
      {"match": {"command": "app"}, "fault": {"short": 1, "extra": "X"}, "raw": "abc"},
      {"match": {"command": "screen"}, "fault": {"hang": true}},
      {"match": {"command": "dock"}, "delayMs": 7, "response": {"ok": 1}},
      {"match": {"command": "menu"}, "rawBase64": "Y2Fm6Q=="}]})",
                              "s");
  ASSERT_TRUE(stubs.ok()) << stubs.error();
  ScenarioPlayer player(std::move(stubs).value());
  const Responder responder = Responder::builtin();
  std::vector<std::uint64_t> sleeps;
  std::vector<std::string> journal;
  HostContext host{options.value(), responder, &player};
  host.sleep_ms = [&](std::uint64_t ms) { sleeps.push_back(ms); };
  host.journal = [&](const JsonValue& entry) {
    journal.push_back(to_compact_text(
        JsonArray{*find_member(entry, "stub"), *find_member(entry, "sent"),
                  *find_member(entry, "faults"), *find_member(entry, "bytesSent")}));
    // The answer as text when it is UTF-8, else as base64: the line stays JSON.
    const JsonValue* base64 = find_member(entry, "answerBase64");
    EXPECT_EQ(base64 ? base64->as_string() : "", journal.size() == 5 ? "Y2Fm6Q==" : "");
  };
  int holds = 0;
  host.hold = [&] {
    ++holds;
    // The line is written before the connection is held.
    EXPECT_EQ(journal.size(), 3u);
  };
  const auto request = [](std::string_view command) {
    return frame(R"({"command":")" + std::string(command) + R"(","requestId":"r"})");
  };
  struct Case {
    std::string command;
    std::string written;
    std::string journal;
  };
  const std::vector<Case> cases = {
      {"app", frame("N"), R"(["quiet","answer",["noRead"],5])"},
      {"app", std::string("\0\0\0\x03", 4) + "aX", R"([1,"answer",["short","extra"],6])"},
      {"screen", "", R"([2,"nothing",["hang"],0])"},
      {"dock", frame(R"({"ok":1,"requestId":"r"})"), R"([3,"answer",[],28])"},
      {"menu", frame("caf\xE9"), R"([4,"answer",[],8])"},
      {"click",
       frame(R"({"data":null,"error":{"code":"UNMATCHED_REQUEST","message":"no stub matches the )"
             R"(request: click []"},"requestId":"r","success":false})"),
       R"([null,"answer",[],136])"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    FakeConnection connection({request(cases[i].command)});
    const SessionOutcome outcome = serve_connection(connection, i + 1, host);
    EXPECT_EQ(connection.written, cases[i].written) << i;
    ASSERT_EQ(journal.size(), i + 1);
    EXPECT_EQ(journal.back(), cases[i].journal) << i;
    EXPECT_EQ(outcome.unmatched.has_value(), cases[i].command == "click") << i;
  }
  EXPECT_EQ(holds, 1);
  EXPECT_EQ(sleeps, std::vector<std::uint64_t>{7});
}

// Without reading, the answer goes out whole first; then the writing side closes and the
// request is drained, so closing never resets a connection with the answer still in flight.
TEST(ServeConnectionReads, NoReadAnswersThenDrains) {
  auto options = parse_host_options({"--listen", "x", "--no-read", "--raw", "R"});
  ASSERT_TRUE(options.ok());
  FakeConnection connection({frame("{}"), "more"});
  const Responder responder = Responder::fixed("R");
  std::vector<std::string> records;
  HostContext host{options.value(), responder};
  host.record = [&](std::string_view bytes) { records.emplace_back(bytes); };
  serve_connection(connection, 1, host);
  EXPECT_EQ(connection.written_before_read, frame("R").size());
  EXPECT_EQ(connection.ended_writing, 1);
  EXPECT_TRUE(connection.drained());
  EXPECT_EQ(records, std::vector<std::string>{""});
}

// The journal says what reached the socket, and why not all of it did.
TEST(ServeConnectionJournal, SaysWhatWasSent) {
  auto options = parse_host_options({"--listen", "x", "--raw", "RRRR"});
  ASSERT_TRUE(options.ok());
  const Responder responder = Responder::fixed("RRRR");
  struct Case {
    std::vector<std::string> input;
    std::size_t accepts;
    std::string sent;
    bool problem;
    bool silent;
  };
  for (const Case& c : std::vector<Case>{{{frame("{}")}, std::string::npos, "answer", false, false},
                                         {{frame("{}")}, 5, "partial", true, false},
                                         {{frame("{}")}, 0, "nothing", true, false},
                                         {{frame("{}").substr(0, 2)}, 0, "nothing", true, false},
                                         {{}, 0, "", false, true}}) {
    FakeConnection connection(c.input, false, c.accepts);
    std::vector<std::string> sent;
    HostContext host{options.value(), responder};
    host.journal = [&](const JsonValue& entry) {
      sent.push_back(find_member(entry, "sent")->as_string());
      EXPECT_EQ(find_member(entry, "problem")->kind() == JsonValue::Kind::String, c.problem);
    };
    const SessionOutcome outcome = serve_connection(connection, 1, host);
    EXPECT_EQ(outcome.silent, c.silent) << c.sent;
    EXPECT_EQ(sent, c.silent ? std::vector<std::string>{} : std::vector<std::string>{c.sent});
    EXPECT_EQ(connection.finished, 1);
  }
}

}  // namespace
}  // namespace vtm::mock
