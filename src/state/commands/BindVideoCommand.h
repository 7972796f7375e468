#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Binding captures whose video is missing to the video the user located for them; undone, they
// wait for their video again.
class BindVideoCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(BindVideoCommand)

public:
    BindVideoCommand(CaptureDocument *document, const QUrl &missingVideo, const QUrl &located);

    void redo() override { writeVideoBinding(m_located, QUrl()); }
    void undo() override { writeVideoBinding(QUrl(), m_missing); }

private:
    QUrl m_missing;
    QUrl m_located;
};
