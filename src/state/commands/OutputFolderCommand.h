#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Choosing the folder that exports are written to.
class OutputFolderCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(OutputFolderCommand)

public:
    OutputFolderCommand(CaptureDocument *document, const QUrl &before, const QUrl &after);

    void redo() override { writeOutputFolder(m_after); }
    void undo() override { writeOutputFolder(m_before); }

private:
    QUrl m_before;
    QUrl m_after;
};
