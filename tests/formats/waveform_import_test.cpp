// Other tools' files become captures: sigrok-cli's own VCD and CSV of its
// demo device, Dentora's exports read back, real engine recordings, the
// tick arithmetic, and the faults a file can have.
#include "analysis/trigger_analysis.h"
#include "analysis/trigger_text.h"
#include "formats/capture_file.h"
#include "formats/edges.h"
#include "formats/waveform_export.h"
#include "formats/waveform_import.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using dentora::CaptureData;
using dentora::ImportError;
using dentora::ImportOptions;

struct Imported {
    bool ok = false;
    CaptureData capture;
    ImportError error;
};

Imported ImportText(const std::string& text, ImportOptions options = {})
{
    std::istringstream in(text);
    Imported result;
    result.ok = dentora::ImportWaveformFile(in, "test.csv", options, {}, &result.capture, &result.error);
    return result;
}

Imported ImportPath(const std::string& path, ImportOptions options = {})
{
    std::ifstream in(path, std::ios::binary);
    Imported result;
    result.ok = dentora::ImportWaveformFile(in, path, options, {}, &result.capture, &result.error);
    return result;
}

// (signal, level after, tick) of every edge, in time order.
using EdgeList = std::vector<std::tuple<dentora::Signal, bool, std::uint64_t>>;

EdgeList EdgesOf(const CaptureData& capture)
{
    EdgeList edges;
    for (const dentora::Edge& edge : dentora::EdgesInTimeOrder(capture.records))
        edges.emplace_back(edge.signal, edge.high, edge.time);
    return edges;
}

std::string RunSigrok(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("sigrok-cli"), arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "sigrok-cli failed: " + process.readAllStandardError().toStdString();
    return {};
}

// sigrok-cli's "-O bits" of a session: one line per channel per row of up
// to 64 samples, "D0:0110 ...". The edges it shows, in samples from the first.
EdgeList EdgesFromBits(const std::string& bits)
{
    std::map<std::string, std::string> samples;
    std::istringstream in(bits);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || line.rfind("D", 0) != 0)
            continue;
        for (const char c : line.substr(colon + 1)) {
            if (c == '0' || c == '1')
                samples[line.substr(0, colon)] += c;
        }
    }
    EdgeList edges;
    const std::string& d0 = samples["D0"];
    const std::string& d1 = samples["D1"];
    for (std::size_t i = 1; i < d0.size(); ++i) {
        if (d0[i] != d0[i - 1])
            edges.emplace_back(dentora::Signal::kCrank, d0[i] == '1', i);
        if (i < d1.size() && d1[i] != d1[i - 1])
            edges.emplace_back(dentora::Signal::kCam, d1[i] == '1', i);
    }
    return edges;
}

TEST(WaveformImportTest, EveryEdgeOfSigrokDemoVcdAndCsvArrives)
{
    QTemporaryDir dir;
    const QString session = dir.filePath(QStringLiteral("demo.sr"));
    ASSERT_EQ(RunSigrok({"-d", "demo", "--channels", "D0,D1", "--config", "samplerate=1M", "--samples", "30000", "-o",
                         session}),
              "");
    const QString bitsPath = dir.filePath(QStringLiteral("demo.bits"));
    ASSERT_EQ(RunSigrok({"-i", session, "-O", "bits:width=64", "-o", bitsPath}), "");
    std::ifstream bitsFile(bitsPath.toStdString());
    const EdgeList expected = EdgesFromBits(std::string(std::istreambuf_iterator<char>(bitsFile), {}));
    ASSERT_GT(expected.size(), 1000u);
    ImportOptions options;
    options.crank = "D0";
    options.cam = "D1";
    for (const char* output : {"vcd", "csv", "csv:time=true:label=channel", "csv:time=true"}) {
        SCOPED_TRACE(output);
        const QString path = dir.filePath(QStringLiteral("demo.out"));
        ASSERT_EQ(RunSigrok({"-i", session, "-O", output, "-o", path}), "");
        const Imported imported = ImportPath(path.toStdString(), options);
        ASSERT_TRUE(imported.ok) << imported.error.line << ": " << imported.error.message;
        EXPECT_EQ(imported.capture.tickNanoseconds, std::optional<std::uint64_t>(1000));
        // The sigrok sample period is one tick: the edges sit on the very samples.
        EXPECT_EQ(EdgesOf(imported.capture), expected);
    }
}

CaptureData HandCapture()
{
    CaptureData capture;
    // Two rising crank edges in a row (a lost edge) and a saturated count too.
    capture.records = {{'R', 500}, {'F', 500}, {'R', 100}, {'r', 50},    {'F', 30},
                       {'R', 70},  {'R', 90},  {'f', 200}, {'F', 65535}, {'r', 12}};
    capture.startedAtUtc = "2026-12-08T11:52:08.123Z";
    capture.outcome = dentora::TestOutcome::kFinished;
    return capture;
}

TEST(WaveformImportTest, DentorasOwnExportsReadBackToTheSameEdges)
{
    const CaptureData original = HandCapture();
    const EdgeList expected = EdgesOf(original);
    const Imported fromCsv = ImportText(dentora::WriteCsv(original, 4000));
    ASSERT_TRUE(fromCsv.ok) << fromCsv.error.message;
    EXPECT_EQ(fromCsv.capture.source->format, "dentora-csv");
    ImportOptions fourMicros;
    fourMicros.tickNanoseconds = 4000;
    const Imported atFour = ImportText(dentora::WriteCsv(original, 4000), fourMicros);
    EXPECT_EQ(EdgesOf(atFour.capture), expected);

    // Before the tick length is known the CSV counts in ticks, and reads back so.
    const Imported inTicks = ImportText(dentora::WriteCsv(original, std::nullopt));
    ASSERT_TRUE(inTicks.ok) << inTicks.error.message;
    EXPECT_EQ(EdgesOf(inTicks.capture), expected);
    EXPECT_FALSE(inTicks.capture.tickNanoseconds);

    // A VCD keeps levels, not records: without the repeated rising edge it
    // reads back record for record.
    CaptureData levels = original;
    levels.records.erase(levels.records.begin() + 6);
    const Imported fromVcd = ImportText(dentora::WriteVcd(levels, 4000, "test"), fourMicros);
    ASSERT_TRUE(fromVcd.ok) << fromVcd.error.message;
    EXPECT_EQ(EdgesOf(fromVcd.capture), EdgesOf(levels));
}

TEST(WaveformImportTest, TicksAreRoundedOnAbsoluteTimeAndLongStopsSaturate)
{
    // A crank edge every 1.3 µs for 100,000 edges, then a 3 s stop and one more edge.
    std::string csv = "time,crank\n";
    const int edges = 100000;
    const auto row = [](double seconds, int level) {
        char text[64];
        std::snprintf(text, sizeof text, "%.10f,%d\n", seconds, level);
        return std::string(text);
    };
    for (int i = 0; i <= edges; ++i)
        csv += row(i * 1.3e-6, i % 2);
    csv += row(edges * 1.3e-6 + 3.0, (edges + 1) % 2);
    const Imported imported = ImportText(csv);
    ASSERT_TRUE(imported.ok) << imported.error.message;
    ASSERT_EQ(imported.capture.tickNanoseconds, std::optional<std::uint64_t>(1000));
    const auto& records = imported.capture.records;
    ASSERT_EQ(records.size(), std::size_t(2 + edges + 1));
    std::uint64_t clock = 0;
    for (std::size_t i = 2; i + 1 < records.size(); ++i) {
        clock += records[i].ticks;
        ASSERT_LE(std::fabs(double(clock) - double(i - 1) * 1.3), 0.5) << "edge " << i << " drifted";
    }
    EXPECT_EQ(records.back().ticks, 65535) << "a stop longer than 65535 ticks is kept as 65535";
    // Calibration: two tooth periods (1.3 µs high + 1.3 µs low), in whole ticks.
    EXPECT_EQ(records[0].type, 'R');
    EXPECT_EQ(records[1].type, 'F');
    EXPECT_NEAR(records[0].ticks + records[1].ticks, 2 * 2.6, 1.0);

    // A wheel whose slowest regular interval is 100 ms needs 2 µs ticks
    // (65535 µs is too short, 131070 µs is not).
    const Imported slow = ImportText("time,crank\n0,0\n0.1,1\n0.2,0\n0.3,1\n0.4,0\n");
    ASSERT_TRUE(slow.ok) << slow.error.message;
    EXPECT_EQ(slow.capture.tickNanoseconds, std::optional<std::uint64_t>(2000));
    EXPECT_EQ(slow.capture.records[2].ticks, 50000);
}

TEST(WaveformImportTest, ChannelsAreChosenByNameOptionColumnOrEdges)
{
    const std::string levels = "Time [s],Channel 0,Channel 1\n0,0,0\n1e-3,1,0\n2e-3,0,1\n3e-3,1,1\n4e-3,0,1\n";
    const Imported byEdges = ImportText(levels);
    ASSERT_TRUE(byEdges.ok) << byEdges.error.message;
    EXPECT_EQ(byEdges.capture.source->crank, "Channel 0");
    EXPECT_EQ(byEdges.capture.source->cam, "Channel 1");

    ImportOptions byColumn;
    byColumn.crank = "3";  // the time column is column 1
    byColumn.cam = "2";
    byColumn.invertCam = true;
    const Imported swapped = ImportText(levels, byColumn);
    ASSERT_TRUE(swapped.ok) << swapped.error.message;
    EXPECT_EQ(swapped.capture.source->crank, "Channel 1");
    EXPECT_TRUE(swapped.capture.source->camInverted);
    // Channel 0 rises at 1 ms: inverted, the cam falls there.
    EXPECT_EQ(swapped.capture.records[2], (dentora::TriggerRecord{'f', 1000}));

    // Names in the file win over edge counts; other columns are left alone.
    const Imported named = ImportText("timestamp,rpm,cam,crank\n0,900,0,0\n1e-3,901,0,1\n2e-3,902,1,0\n");
    ASSERT_TRUE(named.ok) << named.error.message;
    EXPECT_EQ(named.capture.source->crank, "crank");
    EXPECT_EQ(named.capture.source->cam, "cam");

    const Imported flags = ImportText("time,crank,injector\n0,0,0\n1e-3,1,1\n2e-3,0,0\n3e-3,1,1\n");
    ASSERT_TRUE(flags.ok) << flags.error.message;
    EXPECT_EQ(flags.capture.source->cam, "") << "an injector flag is no cam unless chosen";

    ImportOptions analog;
    analog.crank = "rpm";
    const Imported refused = ImportText("timestamp,rpm,cam,crank\n0,900,0,0\n1e-3,901,0,1\n", analog);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error.line, 2);
    EXPECT_NE(refused.error.message.find("not a column of 0 and 1"), std::string::npos) << refused.error.message;
}

TEST(WaveformImportTest, CompositeAndToothLogs)
{
    const Imported composite = ImportText(
        "#Firmware: test\nPriLevel,SecLevel,Trigger,Sync,RefTime,MaxTime,ToothTime,Time\n"
        "Flag,Flag,Flag,Flag,ms,ms,ms,ms\n"
        "1,0,1,0,0,0,0,10.000\n0,0,1,0,0,0,0,10.500\n1,0,1,0,0,0,0,11.000\n1,1,0,0,0,0,0,11.200\n0,1,1,0,0,0,0,11."
        "500\n");
    ASSERT_TRUE(composite.ok) << composite.error.message;
    EXPECT_EQ(composite.capture.source->format, "composite-log");
    EXPECT_EQ(composite.capture.source->crank, "PriLevel");
    EXPECT_EQ(composite.capture.source->cam, "SecLevel");
    EXPECT_TRUE(composite.capture.fallingEdgesReal);
    const EdgeList expected = {{dentora::Signal::kCrank, false, 500},
                               {dentora::Signal::kCrank, true, 1000},
                               {dentora::Signal::kCam, true, 1200},
                               {dentora::Signal::kCrank, false, 1500}};
    EXPECT_EQ(EdgesOf(composite.capture), expected);

    const Imported tooth = ImportText("ToothTime,Time\nus,s\n1000,0.001\n1000,0.002\n2000,0.004\n1000,0.005\n");
    ASSERT_TRUE(tooth.ok) << tooth.error.message;
    EXPECT_EQ(tooth.capture.source->format, "tooth-log");
    EXPECT_FALSE(tooth.capture.fallingEdgesReal);
    // Made-up falling edges halfway to the next tooth (the last one: half the period before).
    const EdgeList teeth = {{dentora::Signal::kCrank, true, 0},    {dentora::Signal::kCrank, false, 500},
                            {dentora::Signal::kCrank, true, 1000}, {dentora::Signal::kCrank, false, 2000},
                            {dentora::Signal::kCrank, true, 3000}, {dentora::Signal::kCrank, false, 3500},
                            {dentora::Signal::kCrank, true, 4000}, {dentora::Signal::kCrank, false, 4500}};
    EXPECT_EQ(EdgesOf(tooth.capture), teeth);

    // Its report knows no duty: none is shown, and the reason is given.
    const dentora::TriggerReport report =
        dentora::AnalyzeTrigger(tooth.capture.records, {1.0, tooth.capture.fallingEdgesReal});
    const std::string summary = dentora::FormatTriggerSummary(report);
    EXPECT_NE(summary.find("duty unknown"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("duty 0."), std::string::npos) << summary;
    EXPECT_NE(dentora::FormatTooth(report, report.teeth.front()).find("Duty unknown"), std::string::npos);

    // The file keeps what was imported, and reads back the same.
    CaptureData again;
    dentora::CaptureFileError error;
    ASSERT_TRUE(dentora::ReadCaptureFile(dentora::WriteCaptureFile(tooth.capture), &again, &error)) << error.message;
    EXPECT_EQ(again.records, tooth.capture.records);
    EXPECT_EQ(again.tickNanoseconds, tooth.capture.tickNanoseconds);
    EXPECT_FALSE(again.fallingEdgesReal);
    ASSERT_TRUE(again.source);
    EXPECT_EQ(again.source->format, "tooth-log");
    EXPECT_EQ(again.source->file, "test.csv");
}

struct BadFile {
    const char* name;
    std::string text;
    int line;
    const char* says;
};

class WaveformImportBadFileTest : public testing::TestWithParam<BadFile> {};

TEST_P(WaveformImportBadFileTest, IsRefusedNamingTheLine)
{
    const Imported imported = ImportText(GetParam().text);
    ASSERT_FALSE(imported.ok);
    EXPECT_EQ(imported.error.line, GetParam().line) << imported.error.message;
    EXPECT_NE(imported.error.message.find(GetParam().says), std::string::npos) << imported.error.message;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WaveformImportBadFileTest,
    testing::Values(
        BadFile{"Empty", "", 0, "empty"}, BadFile{"NoneOfThem", "hello world\n", 0, "not a file Dentora reads"},
        BadFile{"HeaderWithoutData", "time,crank,cam\n", 0, "no data"},
        BadFile{"CutShort", "time,crank,cam\n0,0,0\n0.1,1", 3, "cut short"},
        BadFile{"TimeGoesBack", "time,crank\n0,0\n0.2,1\n0.1,0\n", 4, "time goes back"},
        BadFile{"SameName", "time,crank,crank\n0,0,0\n", 1, "two signals are named \"crank\""},
        BadFile{"NulByte", std::string("time,crank\n0,0\n0.1,\0\n", 21), 3, "NUL"},
        BadFile{"VcdCutInDeclarations", "$timescale 1 us $end\n$var wire 1 ! crank $end\n$scope", 0, "cut short"},
        BadFile{"VcdTimeGoesBack", "$var wire 1 ! c $end\n$enddefinitions $end\n#5\n1!\n#3\n0!\n", 5, "time goes back"},
        BadFile{"VcdUndeclaredCode", "$var wire 1 ! c $end\n$enddefinitions $end\n#5\n1?\n", 4, "no $var declares"}),
    [](const testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

TEST(WaveformImportTest, MixedLineEndingsWideVectorsAndUnknownValuesAreRead)
{
    const Imported mixed = ImportText("time,crank\r\n0,0\n0.001,1\r0.002,0\r\n0.003,1");
    ASSERT_TRUE(mixed.ok) << mixed.error.message;
    EXPECT_EQ(mixed.capture.records.size(), 2u + 3u);

    const Imported vcd = ImportText(
        "$timescale 10 us $end\n$scope module top $end\n$var wire 8 # bus $end\n"
        "$var wire 1 ! crank $end\n$upscope $end\n$enddefinitions $end\n"
        "#0 $dumpvars 0! b00000000 # $end\n#10 1! b1 #\n#20 x!\n#30 0!\n");
    ASSERT_TRUE(vcd.ok) << vcd.error.message;
    const EdgeList expected = {{dentora::Signal::kCrank, true, 100}, {dentora::Signal::kCrank, false, 300}};
    EXPECT_EQ(EdgesOf(vcd.capture), expected);
    EXPECT_NE(vcd.capture.outcomeDetail.find("8 bits wide: skipped"), std::string::npos);
    EXPECT_NE(vcd.capture.outcomeDetail.find("x and z values"), std::string::npos);
}

// Recordings of real engines (tests/data/engines/README.md): every change
// of the file arrives as an edge at its time.
TEST(WaveformImportTest, RealEngineRecordingsArriveWhole)
{
    struct Recording {
        const char* file;
        std::size_t crankEdges;
        std::size_t camEdges;
    } recordings[] = {{"4b11_running.csv", 277, 5}, {"jeep_36_2_2_crank_only.csv", 253, 0}};
    for (const Recording& recording : recordings) {
        SCOPED_TRACE(recording.file);
        const Imported imported = ImportPath(std::string(DENTORA_ENGINES_DIR) + "/" + recording.file);
        ASSERT_TRUE(imported.ok) << imported.error.line << ": " << imported.error.message;
        EXPECT_EQ(imported.capture.source->format, "saleae-csv");
        EXPECT_EQ(imported.capture.tickNanoseconds, std::optional<std::uint64_t>(1000));
        std::size_t crank = 0;
        std::size_t cam = 0;
        for (const auto& [signal, high, time] : EdgesOf(imported.capture))
            ++(signal == dentora::Signal::kCrank ? crank : cam);
        EXPECT_EQ(crank, recording.crankEdges);
        EXPECT_EQ(cam, recording.camEdges);
    }

    // A cranking start: the starter's first turns are seconds apart. Those
    // stops saturate; the running teeth keep 1 µs ticks.
    const Imported cranking = ImportPath(std::string(DENTORA_ENGINES_DIR) + "/vw_aba_cranking.csv");
    ASSERT_TRUE(cranking.ok) << cranking.error.message;
    EXPECT_EQ(cranking.capture.source->crank, "Channel 0");
    EXPECT_EQ(cranking.capture.tickNanoseconds, std::optional<std::uint64_t>(1000));
    EXPECT_EQ(cranking.capture.records[2], (dentora::TriggerRecord{'R', 65535}));
}

}  // namespace
