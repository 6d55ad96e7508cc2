#include "analyzer_app.h"

#ifdef _WIN32
void AttachParentConsole();
#endif

// The one application object, constructed before main like the chart.
CAnalyzerApp theApp;

int main(int argc, char** argv)
{
#ifdef _WIN32
    AttachParentConsole();
#endif
    return AfxWinMain(argc, argv);
}
