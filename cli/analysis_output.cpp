#include "analysis_output.h"

#include <QJsonArray>
#include <QStringList>

#include <cstdio>

namespace dentora {
namespace {

QJsonValue Optional(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject CamJson(const CamSummary& cam)
{
    QJsonArray locations;
    for (const CamLocation& location : cam.locations) {
        locations.append(QJsonObject{{QStringLiteral("tooth"), location.tooth},
                                     {QStringLiteral("meanAngle"), location.meanAngle},
                                     {QStringLiteral("minAngle"), location.minAngle},
                                     {QStringLiteral("maxAngle"), location.maxAngle},
                                     {QStringLiteral("pulses"), location.pulses}});
    }
    return QJsonObject{{QStringLiteral("pulsesPer720"), cam.pulsesPer720},
                       {QStringLiteral("pulses"), int(cam.pulses.size())},
                       {QStringLiteral("locations"), locations}};
}

QJsonArray AnomaliesJson(const std::vector<Anomaly>& anomalies)
{
    QJsonArray array;
    for (const Anomaly& anomaly : anomalies) {
        array.append(
            QJsonObject{{QStringLiteral("kind"), QLatin1String(AnomalyKindName(anomaly.kind))},
                        {QStringLiteral("channel"),
                         anomaly.channel == TriggerChannel::kCrank ? QStringLiteral("crank") : QStringLiteral("cam")},
                        {QStringLiteral("record"), qint64(anomaly.record)},
                        {QStringLiteral("ticks"), qint64(anomaly.at.ticks)},
                        {QStringLiteral("chartX"), anomaly.at.chartX},
                        {QStringLiteral("reason"), QString::fromStdString(anomaly.reason)}});
    }
    return array;
}

QJsonObject WheelJson(const WheelSummary& wheel)
{
    QJsonArray candidates;
    for (const WheelCandidate& candidate : wheel.candidates) {
        candidates.append(QJsonObject{{QStringLiteral("pattern"), QString::fromStdString(candidate.pattern)},
                                      {QStringLiteral("revolutionsSeen"), candidate.revolutionsSeen},
                                      {QStringLiteral("revolutionsFitting"), candidate.revolutionsFitting},
                                      {QStringLiteral("confidence"), candidate.Confidence()},
                                      {QStringLiteral("camAgrees"), candidate.camAgrees}});
    }
    return QJsonObject{
        {QStringLiteral("pattern"), QString::fromStdString(wheel.Pattern())},
        {QStringLiteral("verdict"), wheel.Known() ? QStringLiteral("known") : QStringLiteral("unknown")},
        {QStringLiteral("confidence"), wheel.confidence},
        {QStringLiteral("source"), QString::fromStdString(wheel.source)},
        {QStringLiteral("teethPresent"), wheel.teethPresent},
        {QStringLiteral("teethMissing"), wheel.teethMissing},
        {QStringLiteral("fallingEdges"), wheel.fallingEdges},
        {QStringLiteral("toothOneRecord"),
         wheel.toothOneRecord ? QJsonValue(qint64(*wheel.toothOneRecord)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("revolutionsSeen"), wheel.revolutionsSeen},
        {QStringLiteral("revolutionsAgreeing"), wheel.revolutionsAgreeing},
        {QStringLiteral("candidates"), candidates},
    };
}

// Each tooth of the matched wheel: where the wheel puts it and where it came.
QJsonArray ToothAnglesJson(const std::vector<CrankTooth>& teeth)
{
    QJsonArray array;
    for (const CrankTooth& tooth : teeth) {
        if (tooth.number == 0)
            continue;
        array.append(QJsonObject{{QStringLiteral("record"), qint64(tooth.record)},
                                 {QStringLiteral("ticks"), qint64(tooth.rise.ticks)},
                                 {QStringLiteral("tooth"), tooth.number},
                                 {QStringLiteral("expectedAngle"), Optional(tooth.expectedAngle)},
                                 {QStringLiteral("measuredAngle"), Optional(tooth.measuredAngle)}});
    }
    return array;
}

}  // namespace

AnalysisResult AnalyzeCapture(const CaptureLog& log, const AnalysisRequest& request)
{
    AnalysisResult result;
    // A tick length given now holds over the one the file kept.
    std::optional<double> tickMicros = request.tickMicros;
    if (!tickMicros && log.tickNanoseconds)
        tickMicros = double(*log.tickNanoseconds) / 1000.0;
    result.report = AnalyzeTrigger(log.records, AnalysisOptions{tickMicros, log.fallingEdgesReal});
    if (request.expect)
        result.check = CheckWheelPattern(result.report, *request.expect, request.allowed);
    return result;
}

QString MismatchMessage(const AnalysisResult& result, const AnalysisRequest& request)
{
    QStringList differences;
    for (const std::string& difference : result.check->differences)
        differences << QString::fromStdString(difference);
    return QStringLiteral("the capture does not match %1: %2")
        .arg(request.expectText, differences.join(QLatin1String("; ")));
}

void PrintAnalysisText(const AnalysisResult& result, const AnalysisRequest& request)
{
    if (request.report)
        std::fputs(FormatTriggerReport(result.report).c_str(), stdout);
    if (!result.check)
        return;
    std::printf("expected %s: %s\n", qPrintable(request.expectText),
                result.check->matches ? "matches" : "does not match");
    for (const std::string& difference : result.check->differences)
        std::printf("  %s\n", difference.c_str());
}

QJsonObject AnalysisJson(const TriggerReport& report)
{
    return QJsonObject{
        {QStringLiteral("tickMicros"), Optional(report.tickMicros)},
        {QStringLiteral("wheel"), WheelJson(report.wheel)},
        {QStringLiteral("crankTeeth"), int(report.teeth.size())},
        {QStringLiteral("toothAngles"), ToothAnglesJson(report.teeth)},
        {QStringLiteral("cam"), CamJson(report.cam)},
        {QStringLiteral("speed"),
         QJsonObject{{QStringLiteral("minRpm"), Optional(report.speed.minRpm)},
                     {QStringLiteral("meanRpm"), Optional(report.speed.meanRpm)},
                     {QStringLiteral("maxRpm"), Optional(report.speed.maxRpm)},
                     {QStringLiteral("regime"), QLatin1String(SpeedRegimeName(report.speed.regime))}}},
        {QStringLiteral("anomalies"), AnomaliesJson(report.anomalies)},
    };
}

QJsonObject ExpectJson(const AnalysisResult& result, const AnalysisRequest& request)
{
    QJsonArray differences;
    for (const std::string& difference : result.check->differences)
        differences.append(QString::fromStdString(difference));
    return QJsonObject{{QStringLiteral("pattern"), request.expectText},
                       {QStringLiteral("matches"), result.check->matches},
                       {QStringLiteral("differences"), differences}};
}

}  // namespace dentora
