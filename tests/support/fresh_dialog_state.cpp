#include "fresh_state.h"

#include "analyzer_dlg.h"

void ResetProcessState()
{
    ResetCaptureState();
    g_nGridOn = 1;
}
