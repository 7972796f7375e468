#pragma once

#include <QCoreApplication>

class AppState;
class QWidget;

// Asks before a window's unsaved work is replaced or closed: "Enregistrer", "Ne pas enregistrer" or
// "Annuler". Choosing to save saves as the File menu's "Enregistrer" does.
class UnsavedWorkPrompt
{
    Q_DECLARE_TR_FUNCTIONS(UnsavedWorkPrompt)

public:
    enum class Reason { Closing, OpeningVideo, OpeningProject };

    // Whether to go on: true when nothing would be lost, when the work was saved, or when the user
    // chose not to save it; false when the user cancelled or the save failed.
    static bool confirm(AppState *state, QWidget *window, Reason reason);
};
