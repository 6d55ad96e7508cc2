#include "import_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace dentora {
namespace {

QString SignalText(const ImportSignal& signal)
{
    const QString name = QString::fromStdString(signal.name);
    const QString where = signal.column > 0 ? QStringLiteral("column %1, ").arg(signal.column) : QString();
    return QStringLiteral("%1 (%2%3 edges)").arg(name, where).arg(signal.edges);
}

// A signal's row: which one, and whether it reads inverted.
QWidget* SignalRow(QComboBox* box, QCheckBox* inverted)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box, 1);
    layout->addWidget(inverted);
    return row;
}

}  // namespace

bool AskImportSignals(QWidget* parent, const ImportedWaveforms& waveforms, const SignalChoice& suggested,
                      ImportOptions* options)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Import"));
    auto* crank = new QComboBox;
    auto* cam = new QComboBox;
    cam->addItem(QStringLiteral("(none)"), QString());
    for (std::size_t i = 0; i < waveforms.traces.size(); ++i) {
        const ImportSignal& signal = waveforms.traces[i];
        if (!signal.levels)
            continue;
        // A column by its number, so that two alike names cannot be confused.
        const QString key = signal.column > 0 ? QString::number(signal.column) : QString::fromStdString(signal.name);
        crank->addItem(SignalText(signal), key);
        cam->addItem(SignalText(signal), key);
        if (int(i) == suggested.crank)
            crank->setCurrentIndex(crank->count() - 1);
        if (int(i) == suggested.cam)
            cam->setCurrentIndex(cam->count() - 1);
    }
    auto* invertCrank = new QCheckBox(QStringLiteral("Inverted"));
    auto* invertCam = new QCheckBox(QStringLiteral("Inverted"));
    invertCrank->setChecked(options->invertCrank);
    invertCam->setChecked(options->invertCam);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(new QLabel(QStringLiteral("The file does not say which signal is which.")));
    form->addRow(QStringLiteral("Crank:"), SignalRow(crank, invertCrank));
    form->addRow(QStringLiteral("Cam:"), SignalRow(cam, invertCam));
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options->crank = crank->currentData().toString().toStdString();
    options->cam = cam->currentData().toString().toStdString();
    options->invertCrank = invertCrank->isChecked();
    options->invertCam = invertCam->isChecked();
    return true;
}

ImportRequest ImportAsking(QWidget* parent)
{
    ImportRequest request;
    request.ask = [parent](const ImportedWaveforms& waveforms, const SignalChoice& suggested, ImportOptions* options) {
        return AskImportSignals(parent, waveforms, suggested, options);
    };
    return request;
}

}  // namespace dentora
