#include "options.h"

#include <gtest/gtest.h>

#include <map>
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
        RefusedCase{{"--listen="}, "--listen needs a non-empty path"},
        RefusedCase{{"--listen", "a", "--listen", "b"}, "--listen given twice"},
        RefusedCase{{"--listen=a", "--listen", "b"}, "--listen given twice"},
        RefusedCase{{"--listen", "a", "--echo=yes"}, "--echo takes no value"},
        RefusedCase{{"--listen", "a", "--count=0"}, "--count: 0 is below 1"},
        RefusedCase{{"--listen", "a", "--echo", "--echo"}, "--echo given twice"},
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

struct UnknownCase {
  std::vector<std::string> args;
  std::string message;
};

class UnknownOptions : public testing::TestWithParam<UnknownCase> {};

// The whole message: a hint where a known name is near, none where it is not.
TEST_P(UnknownOptions, HintAtTheNearestName) {
  auto parsed = parse_host_options(GetParam().args);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    HostOptions, UnknownOptions,
    testing::Values(
        UnknownCase{{"--listn=/tmp/y"}, "unknown option: --listn (did you mean --listen?)"},
        UnknownCase{{"--lsiten", "a"}, "unknown option: --lsiten (did you mean --listen?)"},
        UnknownCase{{"--listen", "a", "--dealy-ms", "5"},
                    "unknown option: --dealy-ms (did you mean --delay-ms?)"},
        UnknownCase{{"--listen", "a", "--idle"},
                    "unknown option: --idle (did you mean --idle-ms?)"},
        UnknownCase{{"-help"}, "unknown option: -help (did you mean --help?)"},
        UnknownCase{{"--verison"}, "unknown option: --verison (did you mean --version?)"},
        UnknownCase{{"--listen", "a", "--bogus"}, "unknown option: --bogus"},
        UnknownCase{{"--listen", "a", "-x"}, "unknown option: -x"},
        UnknownCase{{"--listen", "a", "-h=1"}, "unknown option: -h=1"},
        // A word is not an option name: no hint, however near.
        UnknownCase{{"--listen", "a", "extra"}, "unknown option: extra"},
        UnknownCase{{"--listen", "a", ""}, "unknown option: "},
        UnknownCase{{"--listen", "a", "--" + std::string(100000, 'x')},
                    "unknown option: --" + std::string(100000, 'x')}));

struct StopCase {
  std::vector<std::string> args;
  bool help;
};

class StopOptions : public testing::TestWithParam<StopCase> {};

// --help, -h and --version end the reading: the first of them wins over everything after it.
TEST_P(StopOptions, FirstWinsOverWhatFollows) {
  auto parsed = parse_host_options(GetParam().args);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  HostOptions want;
  want.help = GetParam().help;
  want.version = !GetParam().help;
  EXPECT_TRUE(parsed.value() == want);
}

INSTANTIATE_TEST_SUITE_P(
    HostOptions, StopOptions,
    testing::Values(StopCase{{"--help", "--bogus"}, true}, StopCase{{"-h", "--version"}, true},
                    StopCase{{"--listen", "a", "-h"}, true},
                    StopCase{{"--version", "--help"}, false},
                    StopCase{{"--listen=a", "--version", "--listen", "b"}, false}));

// Every spelling the table offers means the same: "--name=value" and "--name value" for each
// option that takes a value, the short name and the long one.
TEST(OptionTable, EverySpellingMeansTheSame) {
  // A valid value of each kind; a TEXT with "=" in it, which only the first "=" splits off.
  const std::map<std::string_view, std::string> samples = {{"PATH", "p"},   {"FILE", "f"},
                                                           {"TARGET", "t"}, {"TEXT", "k=v"},
                                                           {"N", "7"},      {"HEX", "0000000a"}};
  const auto parse = [](std::string_view name, std::vector<std::string> spelling) {
    std::vector<std::string> args;
    if (name != "--listen") args = {"--listen", "l"};
    args.insert(args.end(), spelling.begin(), spelling.end());
    return parse_host_options(args);
  };
  const auto same = [](const Result<HostOptions>& a, const Result<HostOptions>& b) {
    if (a.ok() != b.ok()) return false;
    return a.ok() ? a.value() == b.value() : a.error() == b.error();
  };
  std::size_t valued = 0;
  for (const OptionEntry& entry : option_table()) {
    const std::string name(entry.name);
    std::vector<std::string> value;
    if (!entry.value_name.empty()) {
      const auto sample = samples.find(entry.value_name);
      ASSERT_NE(sample, samples.end()) << name << ": no sample " << entry.value_name;
      value = {sample->second};
      auto apart = parse(name, {name, sample->second});
      auto joined = parse(name, {name + "=" + sample->second});
      // A refusal (--capture without --proxy) is fine as long as it is the same one.
      EXPECT_TRUE(same(apart, joined)) << name << ": " << (joined.ok() ? "" : joined.error());
      ++valued;
    }
    if (!entry.short_name.empty()) {
      std::vector<std::string> long_form{name}, short_form{std::string(entry.short_name)};
      long_form.insert(long_form.end(), value.begin(), value.end());
      short_form.insert(short_form.end(), value.begin(), value.end());
      EXPECT_TRUE(same(parse(name, long_form), parse(name, short_form))) << entry.short_name;
    }
  }
  EXPECT_GT(valued, 0u);
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
