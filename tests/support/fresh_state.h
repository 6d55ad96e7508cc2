// The tool keeps its chart and its test run in process-wide objects, made
// once per process. Tests that each want a newly started tool call this.
#pragma once

void ResetProcessState();
