#pragma once

#include <QWidget>

class CaptureDocument;
class QComboBox;

// The choice of the exported images' file format, "PNG" or "WebP (sans perte)", bound to the
// document's setting. Shown only where WebP can be written; elsewhere exports are PNG and the
// choice is hidden.
class ExportFormatChoice : public QWidget
{
    Q_OBJECT

public:
    explicit ExportFormatChoice(CaptureDocument *document, QWidget *parent = nullptr);

    QComboBox *box() const { return m_box; }

private:
    void refresh();

    CaptureDocument *m_document;
    QComboBox *m_box;
};
