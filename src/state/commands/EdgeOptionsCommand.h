#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Changing the edge settings. The changes of one slider drag merge into a single step.
class EdgeOptionsCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(EdgeOptionsCommand)

public:
    // `continuing`: this change goes on from the previous one of the same drag.
    EdgeOptionsCommand(CaptureDocument *document, const EdgeOptions &before, const EdgeOptions &after,
                       bool continuing);

    // Whether two settings are the same in every field (the settings themselves have no equality).
    static bool same(const EdgeOptions &a, const EdgeOptions &b);

    void redo() override;
    void undo() override;
    int id() const override { return EdgeOptionsMerge; }
    bool mergeWith(const QUndoCommand *other) override;

private:
    EdgeOptions m_before;
    EdgeOptions m_after;
    bool m_continuing;
};
