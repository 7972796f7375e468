#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Choosing the drawing style of the preview and the exports.
class SelectedFilterCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(SelectedFilterCommand)

public:
    SelectedFilterCommand(CaptureDocument *document, FilterStyle before, FilterStyle after);

    void redo() override { writeSelectedFilter(m_after); }
    void undo() override { writeSelectedFilter(m_before); }

private:
    FilterStyle m_before;
    FilterStyle m_after;
};
