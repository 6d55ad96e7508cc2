// The small dialog that asks which of a file's signals is the crank and
// which the cam, when the file's names do not say.
#pragma once

#include "capture/capture_files.h"
#include "formats/waveform_import.h"

class QWidget;

namespace dentora {

// What ImportRequest::ask calls: shows the signals with the suggested
// choice; false when the user cancels.
bool AskImportSignals(QWidget* parent, const ImportedWaveforms& waveforms, const SignalChoice& suggested,
                      ImportOptions* options);

// An import that asks with AskImportSignals when the file leaves it open.
ImportRequest ImportAsking(QWidget* parent);

}  // namespace dentora
