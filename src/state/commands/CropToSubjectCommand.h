#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Turning the cropping of exported images to their subject on or off.
class CropToSubjectCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(CropToSubjectCommand)

public:
    CropToSubjectCommand(CaptureDocument *document, bool crop);

    void redo() override { writeCropToSubject(m_crop); }
    void undo() override { writeCropToSubject(!m_crop); }

private:
    bool m_crop;
};
