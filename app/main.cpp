#include "analyzer_app.h"

// The one application object, constructed before main like the chart.
CAnalyzerApp theApp;

int main(int argc, char** argv)
{
    return AfxWinMain(argc, argv);
}
