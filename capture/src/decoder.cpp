#include "capture/decoder.h"

#include "chart/chart_wnd.h"

float g_fCrankHigh = 0.0f;
float g_fCamHigh = 0.0f;

int g_nChannel = 0;
float g_fLevelNew[3] = {};
float g_fLevelPrev[3] = {};
double g_dAccum[3] = {};
float g_fTime[3] = {};
double g_dTimeScale = 0.0;

namespace {
// The fetch position of the first record that is drawn; the two before it
// (positions 1 and 3) calibrate.
constexpr int kFirstPlottedPosition = 5;
constexpr int kSecondCalibrationPosition = 3;
constexpr float kEdgeWidth = 0.01f;
}  // namespace

void ResetDecoder()
{
    g_dAccum[0] = 0.0;
    g_dAccum[1] = 0.0;
    g_dAccum[2] = 0.0;
    g_fLevelPrev[1] = 0.0f;
    g_fLevelPrev[2] = 0.0f;
}

bool DecodeRecordType(unsigned char type)
{
    int channel = 0;
    float level = 0.0f;
    switch (type) {
    case 'R':
        channel = 1;
        level = g_fCrankHigh;
        break;
    case 'F':
        channel = 1;
        level = 0.0f;
        break;
    case 'r':
        channel = 2;
        level = g_fCamHigh;
        break;
    case 'f':
        channel = 2;
        level = 0.0f;
        break;
    default: return false;
    }
    g_nChannel = channel;
    g_fLevelNew[channel] = level;
    return true;
}

bool DecodeTickCount(unsigned int tickCount, int position)
{
    const int ch = g_nChannel;
    if (position >= kFirstPlottedPosition) {
        const double delta = double(tickCount) * g_dTimeScale;
        g_dAccum[ch] += delta;
        g_fTime[ch] = float(g_dAccum[ch]);
        g_chart.AddPoint(UINT(ch), g_fTime[ch], g_fLevelPrev[ch], TRUE);
        g_chart.AddPoint(UINT(ch), g_fTime[ch] + kEdgeWidth, g_fLevelNew[ch], TRUE);
        g_fLevelPrev[ch] = g_fLevelNew[ch];
        return true;
    }
    g_dAccum[0] += double(tickCount);
    if (position == kSecondCalibrationPosition) {
        // Calibration counts that sum to zero give no time scale at all.
        if (g_dAccum[0] <= 0.0)
            return false;
        g_dTimeScale = 10.0 / (g_dAccum[0] / 4.0);
    }
    return true;
}
