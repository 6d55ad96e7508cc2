// The trigger analysis as dentora-cli reports it: the text report, its JSON
// form, and a capture held against the wheel the user expects (--expect).
#pragma once

#include "capture/capture_log.h"

#include "analysis/trigger_analysis.h"
#include "analysis/trigger_text.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace dentora {

struct AnalysisRequest {
    bool report = false;                 // print the trigger report
    std::optional<WheelPattern> expect;  // --expect, parsed
    QString expectText;                  // --expect as given
    std::vector<AnomalyKind> allowed;    // --allow: anomaly kinds --expect tolerates
    std::optional<double> tickMicros;    // --tick-us: rpm is unknown without it
};

struct AnalysisResult {
    TriggerReport report;
    std::optional<PatternCheck> check;  // with --expect

    bool Mismatch() const { return check && !check->matches; }
};

AnalysisResult AnalyzeCapture(const CaptureLog& log, const AnalysisRequest& request);

// "the capture does not match 36-1: <difference>; <difference>".
QString MismatchMessage(const AnalysisResult& result, const AnalysisRequest& request);

// The report when asked for, then the expectation's verdict when there is one.
void PrintAnalysisText(const AnalysisResult& result, const AnalysisRequest& request);

QJsonObject AnalysisJson(const TriggerReport& report);
QJsonObject ExpectJson(const AnalysisResult& result, const AnalysisRequest& request);

}  // namespace dentora
