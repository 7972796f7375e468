#include "ExportFormatChoice.h"

#include "ViewStyle.h"
#include "services/ImageExportService.h"
#include "state/CaptureDocument.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

ExportFormatChoice::ExportFormatChoice(CaptureDocument *document, QWidget *parent)
    : QWidget(parent), m_document(document), m_box(new QComboBox(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto *caption = new QLabel(tr("Format :"), this);
    caption->setFont(ViewStyle::caption());
    ViewStyle::setTextColor(caption, ViewStyle::secondary());
    caption->setBuddy(m_box);
    row->addWidget(caption);

    m_box->setFont(ViewStyle::caption());
    m_box->addItem(tr("PNG"), QVariant::fromValue(int(ImageFormat::Png)));
    m_box->addItem(tr("WebP (sans perte)"), QVariant::fromValue(int(ImageFormat::WebP)));
    m_box->setToolTip(tr("Format des images exportées ; WebP garde la transparence et chaque pixel"));
    row->addWidget(m_box);
    row->addStretch();

    connect(m_box, &QComboBox::activated, this,
            [this](int index) { m_document->setImageFormat(ImageFormat(m_box->itemData(index).toInt())); });
    connect(m_document, &CaptureDocument::settingChanged, this, [this](DocumentSetting setting) {
        if (setting == DocumentSetting::ImageFormat)
            refresh();
    });
    // Where WebP cannot be written there is nothing to choose.
    setVisible(ImageExportService::canWrite(ImageFormat::WebP));
    refresh();
}

void ExportFormatChoice::refresh()
{
    const int index = m_box->findData(int(m_document->imageFormat()));
    if (index >= 0 && index != m_box->currentIndex())
        m_box->setCurrentIndex(index);
}
