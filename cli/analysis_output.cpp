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
        result.check = CheckWheelPattern(result.report, *request.expect);
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
    const WheelSummary& wheel = report.wheel;
    return QJsonObject{
        {QStringLiteral("tickMicros"), Optional(report.tickMicros)},
        {QStringLiteral("wheel"),
         QJsonObject{{QStringLiteral("pattern"), QString::fromStdString(wheel.Pattern())},
                     {QStringLiteral("teethPresent"), wheel.teethPresent},
                     {QStringLiteral("teethMissing"), wheel.teethMissing},
                     {QStringLiteral("revolutionsSeen"), wheel.revolutionsSeen},
                     {QStringLiteral("revolutionsAgreeing"), wheel.revolutionsAgreeing}}},
        {QStringLiteral("crankTeeth"), int(report.teeth.size())},
        {QStringLiteral("cam"), CamJson(report.cam)},
        {QStringLiteral("speed"),
         QJsonObject{{QStringLiteral("minRpm"), Optional(report.speed.minRpm)},
                     {QStringLiteral("meanRpm"), Optional(report.speed.meanRpm)},
                     {QStringLiteral("maxRpm"), Optional(report.speed.maxRpm)}}},
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
