// The tool keeps its chart and its test run in process-wide objects, made
// once per process. Tests that each want a newly started tool call this.
#pragma once

// Everything below the dialog: chart, port, test run, decoder (what the
// fuzzers, which link no dialog, need).
void ResetCaptureState();
// ResetCaptureState, and the dialog's own globals.
void ResetProcessState();

// The part of it below the dialog (the chart, the port, the test run, the
// decoder), for a harness without the dialog: the test-run fuzzer.
void ResetCaptureState();
