// The CSV and VCD writers on a capture small enough to work out by hand.
// (The exported VCD is also read by sigrok-cli and vcd2fst in the capture
// file tests.)
#include "formats/waveform_export.h"

#include <gtest/gtest.h>

namespace {

// Calibration, then crank up at 100, cam up at 50, crank down at 100 + 30,
// cam down at 50 + 200 (the cam's clock runs on its own).
dentora::CaptureData HandCapture()
{
    dentora::CaptureData capture;
    capture.records = {{'R', 500}, {'F', 500}, {'R', 100}, {'r', 50}, {'F', 30}, {'f', 200}};
    capture.port = "/dev/pts/$end";
    capture.startedAtUtc = "2026-12-08T11:52:08.123Z";
    capture.outcome = dentora::TestOutcome::kFinished;
    return capture;
}

TEST(WaveformExportTest, CsvHasOneRowPerEdgeInTimeOrder)
{
    EXPECT_EQ(dentora::WriteCsv(HandCapture(), 4000),
              "Record,Time,ToothTime,PriLevel,SecLevel,Trigger\n"
              "#,us,us,0/1,0/1,\n"
              "3,200.000,200.000,0,1,cam\n"
              "2,400.000,400.000,1,1,crank\n"
              "4,520.000,120.000,0,1,crank\n"
              "5,1000.000,800.000,0,0,cam\n");
    EXPECT_NE(dentora::WriteCsv(HandCapture(), 250).find("\n3,12.500,12.500,"), std::string::npos);
}

TEST(WaveformExportTest, VcdStepsInWholeTimescaleUnitsAndKeepsItsSectionsClosed)
{
    const std::string vcd = dentora::WriteVcd(HandCapture(), 2500, "Dentora test");
    EXPECT_NE(vcd.find("$timescale 100 ns $end\n"), std::string::npos) << vcd;
    EXPECT_NE(vcd.find("One controller tick is 2500 ns"), std::string::npos) << vcd;
    EXPECT_NE(vcd.find("#0\n$dumpvars\n0!\n0\"\n$end\n#1250\n1\"\n#2500\n1!\n#3250\n0!\n#6250\n0\"\n#6275\n"),
              std::string::npos)
        << vcd;
    EXPECT_EQ(vcd.find("/dev/pts/$end"), std::string::npos) << "a '$' in the port would end the comment early";
}

}  // namespace
