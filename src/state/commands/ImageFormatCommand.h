#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Choosing the file format of the exported images.
class ImageFormatCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(ImageFormatCommand)

public:
    ImageFormatCommand(CaptureDocument *document, ImageFormat before, ImageFormat after);

    void redo() override { writeImageFormat(m_after); }
    void undo() override { writeImageFormat(m_before); }

private:
    ImageFormat m_before;
    ImageFormat m_after;
};
