#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_files.h"

namespace vtm::mock {
namespace {

struct RefusedCase {
  std::vector<std::string> args;
  std::string message_part;
};

class RefusedOptions : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOptions, NameTheProblem) {
  auto parsed = parse_host_options(GetParam().args);
  ASSERT_FALSE(parsed.ok());
  EXPECT_NE(parsed.error().find(GetParam().message_part), std::string::npos) << parsed.error();
}

INSTANTIATE_TEST_SUITE_P(
    HostOptions, RefusedOptions,
    testing::Values(
        RefusedCase{{}, "--listen PATH is required"},
        RefusedCase{{"--echo"}, "--listen PATH is required"},
        RefusedCase{{"--listen"}, "--listen needs a value"},
        RefusedCase{{"--listen", ""}, "non-empty"},
        RefusedCase{{"--listen", "a", "--listen", "b"}, "--listen given twice"},
        RefusedCase{{"--listen", "a", "--echo", "--echo"}, "--echo given twice"},
        RefusedCase{{"--listen", "a", "--bogus"}, "unknown option: --bogus"},
        RefusedCase{{"--listen", "a", "extra"}, "unknown option: extra"},
        RefusedCase{{"--listen", "a", "--echo", "--raw", "x"}, "at most one"},
        RefusedCase{{"--listen", "a", "--responses", "f", "--payload-bytes", "3"}, "at most one"},
        RefusedCase{{"--listen", "a", "--prefix", "0000000"}, "8 hex digits"},
        RefusedCase{{"--listen", "a", "--prefix", "000000000"}, "8 hex digits"},
        RefusedCase{{"--listen", "a", "--prefix", "0000000G"}, "8 hex digits"},
        RefusedCase{{"--listen", "a", "--count", "0"}, "below 1"},
        RefusedCase{{"--listen", "a", "--count", "-1"}, "not a decimal number"},
        RefusedCase{{"--listen", "a", "--idle-ms", "0"}, "below 1"},
        RefusedCase{{"--listen", "a", "--idle-ms", "2147483648"}, "above"},
        RefusedCase{{"--listen", "a", "--delay-ms", "1.5"}, "not a decimal number"},
        RefusedCase{{"--listen", "a", "--short", ""}, "needs a number"},
        RefusedCase{{"--listen", "a", "--payload-bytes", "0"}, "below 1"},
        RefusedCase{{"--listen", "a", "--payload-bytes", "268435457"}, "above"},
        RefusedCase{{"--listen", "a", "--count", "99999999999999999999999"}, "above"},
        RefusedCase{{"--listen", "a", "--scenario", "s", "--echo"}, "at most one"},
        RefusedCase{{"--listen", "a", "--strict"}, "--strict needs --scenario or --proxy"},
        RefusedCase{{"--listen", "a", "--capture", "c"}, "--capture needs --proxy"},
        RefusedCase{{"--listen", "a", "--proxy", ""}, "non-empty"},
        RefusedCase{{"--listen", "a", "--proxy", "b", "--delay-ms", "1"},
                    "--delay-ms cannot shape a relayed answer"}));

TEST(HostOptions, DefaultsWhenOnlyListenIsGiven) {
  auto parsed = parse_host_options({"--listen", "/tmp/s"});
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  const HostOptions& options = parsed.value();
  EXPECT_EQ(options.listen_path, "/tmp/s");
  EXPECT_EQ(options.count, 1u);
  EXPECT_EQ(options.idle_ms, 30000u);
  EXPECT_EQ(options.faults.delay_ms, 0u);
  EXPECT_FALSE(options.echo || options.faults.close_without_answer || options.faults.no_read ||
               options.help);
  EXPECT_FALSE(options.faults.prefix || options.faults.short_bytes || options.payload_bytes ||
               options.raw_text || options.raw_file || options.responses_file ||
               options.record_file);
  EXPECT_EQ(options.faults.extra, "");
}

TEST(HostOptions, EveryOptionLandsInItsField) {
  auto parsed = parse_host_options(
      {"--listen", "\\\\.\\pipe\\x", "--raw",     "--echo",  "--prefix",  "0c0000Ff",   "--short",
       "7",        "--close",        "--no-read", "--extra", "tail",      "--delay-ms", "250",
       "--record", "rec.bin",        "--count",   "3",       "--idle-ms", "900"});
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  const HostOptions& options = parsed.value();
  EXPECT_EQ(options.listen_path, "\\\\.\\pipe\\x");
  // A value that looks like an option is still the value.
  EXPECT_EQ(options.raw_text, "--echo");
  EXPECT_FALSE(options.echo);
  EXPECT_EQ(options.faults.prefix, 0x0C0000FFu);
  EXPECT_EQ(options.faults.short_bytes, 7u);
  EXPECT_TRUE(options.faults.close_without_answer);
  EXPECT_TRUE(options.faults.no_read);
  EXPECT_EQ(options.faults.extra, "tail");
  EXPECT_EQ(options.faults.delay_ms, 250u);
  EXPECT_EQ(options.record_file, "rec.bin");
  EXPECT_EQ(options.count, 3u);
  EXPECT_EQ(options.idle_ms, 900u);
}

TEST(HostOptions, PrefixExtremesAndEmptyRaw) {
  auto low = parse_host_options({"--listen", "a", "--prefix", "00000000", "--raw", ""});
  ASSERT_TRUE(low.ok()) << low.error();
  EXPECT_EQ(low.value().faults.prefix, 0u);
  EXPECT_EQ(low.value().raw_text, "");
  auto high = parse_host_options({"--listen", "a", "--prefix", "FFFFFFFF"});
  ASSERT_TRUE(high.ok()) << high.error();
  EXPECT_EQ(high.value().faults.prefix, 0xFFFFFFFFu);
}

TEST(HostOptions, HelpWinsOverEverythingAfterIt) {
  auto parsed = parse_host_options({"--help", "--bogus"});
  ASSERT_TRUE(parsed.ok());
  EXPECT_TRUE(parsed.value().help);
  EXPECT_NE(usage_text().find("--listen PATH"), std::string_view::npos);
}

}  // namespace
}  // namespace vtm::mock

namespace vtm::mock {
namespace {

// Every fault of the table is offered by its option and documented under both its names.
TEST(FaultTable, EveryRowIsInTheHelpAndTheManPage) {
  auto man = read_whole_file(VTM_HOST_MAN_SOURCE, 1 << 20);
  ASSERT_TRUE(man.ok()) << man.error();
  // "*name*", as the man page sets names in bold.
  const auto bold = [](std::string_view name) {
    std::string text(1, '*');
    text.append(name).push_back('*');
    return text;
  };
  for (const FaultEntry& fault : FAULTS) {
    EXPECT_NE(man.value().find(bold(fault.member)), std::string::npos) << fault.member;
    if (fault.option.empty()) continue;
    EXPECT_NE(usage_text().find(fault.option), std::string::npos) << fault.option;
    EXPECT_NE(man.value().find(bold(fault.option)), std::string::npos) << fault.option;
  }
}

}  // namespace
}  // namespace vtm::mock
