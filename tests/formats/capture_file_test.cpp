// The .dentora file on its own: what is written comes back exactly, and
// every kind of bad input is refused with the line at fault.
#include "formats/capture_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dentora::CaptureData;
using dentora::CaptureFileError;
using dentora::TestOutcome;
using dentora::TriggerRecord;

CaptureData SampleCapture()
{
    CaptureData capture;
    capture.records = {{'R', 40000}, {'F', 0}, {'r', 65535}, {'f', 1}, {'R', 123}};
    capture.announcedBytes = 65535;
    capture.port = "/dev/serial/by-id/usb-FTDI 100% ok\xC3\xA9";
    capture.startedAtUtc = "2024-02-29T23:59:59.999Z";
    capture.outcome = TestOutcome::kOutOfSequence;
    capture.outcomeDetail = " record 26 has the type byte 0x58 (100%)\tnot R, F, r or f ";
    return capture;
}

void ExpectSame(const CaptureData& a, const CaptureData& b)
{
    EXPECT_EQ(a.records, b.records);
    EXPECT_EQ(a.announcedBytes, b.announcedBytes);
    EXPECT_EQ(a.port, b.port);
    EXPECT_EQ(a.startedAtUtc, b.startedAtUtc);
    EXPECT_EQ(a.outcome, b.outcome);
    EXPECT_EQ(a.outcomeDetail, b.outcomeDetail);
}

TEST(CaptureFileTest, WhatIsWrittenIsReadBackExactly)
{
    for (CaptureData capture : {SampleCapture(), CaptureData{}}) {
        if (capture.startedAtUtc.empty()) {
            // No records, no port: the smallest capture there is.
            capture.startedAtUtc = "2026-01-01T00:00:00.000Z";
            capture.outcome = TestOutcome::kCouldNotOpen;
        }
        CaptureData read;
        CaptureFileError error;
        ASSERT_TRUE(dentora::ReadCaptureFile(dentora::WriteCaptureFile(capture), &read, &error)) << error.message;
        ExpectSame(read, capture);
    }
    CaptureData longest = SampleCapture();
    longest.records.assign(dentora::kMaxCaptureRecords, TriggerRecord{'f', 65535});
    CaptureData read;
    CaptureFileError error;
    ASSERT_TRUE(dentora::ReadCaptureFile(dentora::WriteCaptureFile(longest), &read, &error)) << error.message;
    EXPECT_EQ(read.records, longest.records);
}

// Version 2 keeps a known tick length and what an import was; only an
// imported capture may hold more records than the controller's buffer.
TEST(CaptureFileTest, Version2KeepsTickAndSourceAndLiftsTheBoundForImportsOnly)
{
    CaptureData fetched = SampleCapture();
    EXPECT_EQ(dentora::WriteCaptureFile(fetched).rfind("dentora-capture 1\n", 0), 0u) << "nothing needs version 2";
    fetched.tickNanoseconds = 4000;
    CaptureData imported = SampleCapture();
    imported.records.assign(dentora::kMaxCaptureRecords + 1, TriggerRecord{'R', 7});
    imported.fallingEdgesReal = false;
    imported.source = dentora::ImportSource{"log 1%.csv", "tooth-log", "tooth", "", true, false};
    for (const CaptureData& capture : {fetched, imported}) {
        const std::string text = dentora::WriteCaptureFile(capture);
        EXPECT_EQ(text.rfind("dentora-capture 2\n", 0), 0u);
        CaptureData read;
        CaptureFileError error;
        ASSERT_TRUE(dentora::ReadCaptureFile(text, &read, &error)) << error.line << ": " << error.message;
        ExpectSame(read, capture);
        EXPECT_EQ(read.tickNanoseconds, capture.tickNanoseconds);
        EXPECT_EQ(read.fallingEdgesReal, capture.fallingEdgesReal);
        EXPECT_EQ(read.source.has_value(), capture.source.has_value());
        if (read.source) {
            EXPECT_EQ(read.source->file, "log 1%.csv");
            EXPECT_EQ(read.source->format, "tooth-log");
            EXPECT_TRUE(read.source->crankInverted);
            EXPECT_FALSE(read.source->camInverted);
        }
    }
    fetched.records.assign(dentora::kMaxCaptureRecords + 1, TriggerRecord{'R', 7});
    CaptureData read;
    CaptureFileError error;
    EXPECT_FALSE(dentora::ReadCaptureFile(dentora::WriteCaptureFile(fetched), &read, &error));
    EXPECT_NE(error.message.find("records"), std::string::npos) << error.message;
}

TEST(CaptureFileTest, ReadsLinesEndedTheWindowsWay)
{
    std::string text = dentora::WriteCaptureFile(SampleCapture());
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.insert(at, "\r");
    CaptureData read;
    CaptureFileError error;
    ASSERT_TRUE(dentora::ReadCaptureFile(text, &read, &error)) << error.message;
    ExpectSame(read, SampleCapture());
}

struct BadInput {
    const char* name;
    std::string bytes;
    int line;
    const char* says;
};

void PrintTo(const BadInput& input, std::ostream* out)
{
    *out << input.name;
}

const std::string kHeader =
    "dentora-capture 1\nport /dev/ttyUSB0\nstarted-at 2026-12-08T11:52:08.123Z\nannounced-bytes 9\noutcome finished\n"
    "outcome-detail 2 records fetched\n";

class BadCaptureFileTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadCaptureFileTest, IsRefusedNamingTheLineAndLeavesTheCaptureAlone)
{
    CaptureData capture = SampleCapture();
    CaptureFileError error;
    EXPECT_FALSE(dentora::ReadCaptureFile(GetParam().bytes, &capture, &error));
    EXPECT_EQ(error.line, GetParam().line);
    EXPECT_NE(error.message.find(GetParam().says), std::string::npos) << error.message;
    ExpectSame(capture, SampleCapture());
}

std::string Cut(std::string text, std::size_t keep)
{
    text.resize(keep);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, BadCaptureFileTest,
    ::testing::Values(
        BadInput{"Empty", "", 0, "the file is empty"},
        BadInput{"BinaryGarbage",
                 std::string("\x7F"
                             "ELF\x02\x01\x01\0\0\0",
                             10),
                 1, "not a Dentora capture"},
        BadInput{"NulInsideALine", kHeader.substr(0, 20) + std::string(1, '\0') + "x\n", 2, "control character 0x00"},
        BadInput{"NewerVersion", "dentora-capture 3\n", 1, "version \"3\" is not one this Dentora reads"},
        BadInput{"CutInTheHeader", kHeader.substr(0, 40), 3, "started-at"},
        BadInput{"CutInTheRecords", kHeader + "records 3\nR 10\nF 20\n", 10, "record 2 of records 0 to 2"},
        BadInput{"CutBeforeTheEnd", kHeader + "records 1\nR 10\n", 9, "cut short"},
        BadInput{"CutInsideARecord", Cut(kHeader + "records 1\nR 10\nend\n", kHeader.size() + 11), 8,
                 "expected a record"},
        BadInput{"UnknownType", kHeader + "records 2\nR 10\nx 20\nend\n", 9, "unknown record type \"x\""},
        BadInput{"TicksAboveSixteenBits", kHeader + "records 1\nR 65536\nend\n", 8,
                 "tick count \"65536\" is out of range"},
        BadInput{"NegativeTicks", kHeader + "records 1\nR -1\nend\n", 8, "out of range"},
        BadInput{"MoreRecordsThanATestFetches", kHeader + "records 4050\n", 7, "not a number from 0 to 4049"},
        BadInput{"CountAboveSixteenBits",
                 "dentora-capture 1\nport x\nstarted-at 2026-12-08T11:52:08.123Z\n"
                 "announced-bytes 65536\n",
                 4, "announced-bytes"},
        BadInput{"UnknownOutcome",
                 "dentora-capture 1\nport x\nstarted-at 2026-12-08T11:52:08.123Z\n"
                 "announced-bytes 3\noutcome running\n",
                 5, "unknown outcome"},
        BadInput{"BrokenEscapeInTheDetail",
                 "dentora-capture 1\nport x\nstarted-at 2026-12-08T11:52:08.123Z\n"
                 "announced-bytes 3\noutcome halted\noutcome-detail 50%\n",
                 6, "'%'"},
        BadInput{"NoSuchDay", "dentora-capture 1\nport x\nstarted-at 2026-02-29T11:52:08.123Z\n", 3, "not a time"},
        BadInput{"BrokenEscape", "dentora-capture 1\nport COM%2\n", 2, "'%'"},
        BadInput{"TextAfterTheEnd", kHeader + "records 0\nend\nR 10\n", 9, "after \"end\""},
        BadInput{"LargerThanAnyCapture", kHeader + std::string(dentora::kMaxCaptureFileBytes, 'R'), 0,
                 "more than any capture can be"}),
    [](const ::testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

}  // namespace
