// Keeping the window's unsaved work in a recovery file, and bringing it back after a crash.
#include "AppState.h"

#include "persistence/RecoveryFile.h"
#include "state/CaptureDocument.h"
#include "state/RecoveryAutosave.h"

#include <QSet>

void AppState::startRecovery(const QString &path, const QDateTime &lastChange)
{
    m_recovery.reset();
    if (!path.isEmpty())
        m_recovery = std::make_unique<RecoveryAutosave>(m_document, path, lastChange);
}

void AppState::restoreRecovery(const RecoveryFile &file)
{
    const QUrl projectURL = file.projectPath ? QUrl::fromLocalFile(*file.projectPath) : QUrl();
    giveUpOpening();
    apply(ProjectOpening::fromFile(file.project, projectURL, m_document->outputFolder()));

    QSet<QUuid> selection;
    const QList<CaptureGroup> &groups = m_document->groups();
    for (const RecoveryFile::FramePosition &position : file.selection) {
        if (position.group < groups.size() && position.frame < groups.at(position.group).frames.size())
            selection.insert(groups.at(position.group).frames.at(position.frame).id);
    }
    m_document->setSelection(selection);
    // The work was never saved as it is now.
    m_document->markModified();
}
