#include "EdgeControlsView.h"

#include "ColorWellButton.h"
#include "IconTextSpacingStyle.h"
#include "SymbolIcons.h"
#include "ValueSlider.h"
#include "ViewStyle.h"
#include "state/CaptureDocument.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

EdgeControlsView::EdgeControlsView(CaptureDocument *document, QWidget *parent)
    : QWidget(parent)
    , m_document(document)
    , m_disclosure(new QToolButton(this))
    , m_controls(new QWidget(this))
    , m_shrink(new ValueSlider(tr("Affiner les bords"), 0, EdgeOptions::maxShrink,
                               tr("Réduit le liseré résiduel au bord du détourage"), m_controls))
    , m_feather(new ValueSlider(tr("Adoucir"), 0, EdgeOptions::maxFeather,
                                tr("Lisse les bords durs du découpage"), m_controls))
    , m_outline(new QCheckBox(tr("Contour sticker"), m_controls))
    , m_outlineOptions(new QWidget(m_controls))
    , m_outlineWidth(new ValueSlider(tr("Largeur"), EdgeOptions::minOutlineWidth,
                                     EdgeOptions::maxOutlineWidth, tr("Épaisseur de la bordure"),
                                     m_outlineOptions))
    , m_outlineColor(new ColorWellButton(m_outlineOptions))
    , m_cleanColors(new QCheckBox(tr("Nettoyer les couleurs du bord"), m_controls))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_disclosure->setText(tr("Contours"));
    m_disclosure->setIcon(SymbolIcons::icon(QStringLiteral("scribble.variable")));
    m_disclosure->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_disclosure->setAutoRaise(true);
    m_disclosure->setCheckable(true);
    m_disclosure->setFont(ViewStyle::headline());
    IconTextSpacingStyle::apply(m_disclosure);
    auto *disclosureRow = new QHBoxLayout;
    auto *arrow = new QToolButton(this);
    arrow->setAutoRaise(true);
    arrow->setArrowType(Qt::RightArrow);
    connect(arrow, &QToolButton::clicked, m_disclosure, &QToolButton::click);
    connect(m_disclosure, &QToolButton::toggled, this, [this, arrow](bool expanded) {
        arrow->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
        m_controls->setVisible(expanded);
    });
    disclosureRow->addWidget(arrow);
    disclosureRow->addWidget(m_disclosure);
    disclosureRow->addStretch();
    layout->addLayout(disclosureRow);

    auto *controls = new QVBoxLayout(m_controls);
    controls->setContentsMargins(0, 6, 0, 0);
    controls->setSpacing(10);
    controls->addWidget(m_shrink);
    controls->addWidget(m_feather);
    controls->addWidget(m_cleanColors);
    controls->addWidget(m_outline);
    auto *outlineOptions = new QVBoxLayout(m_outlineOptions);
    outlineOptions->setContentsMargins(0, 0, 0, 0);
    outlineOptions->setSpacing(10);
    outlineOptions->addWidget(m_outlineWidth);
    auto *colorRow = new QHBoxLayout;
    auto *colorLabel = new QLabel(tr("Couleur"), m_outlineOptions);
    colorLabel->setFont(ViewStyle::caption());
    m_outlineColor->setToolTip(tr("Couleur"));
    colorRow->addWidget(colorLabel);
    colorRow->addStretch();
    colorRow->addWidget(m_outlineColor);
    outlineOptions->addLayout(colorRow);
    controls->addWidget(m_outlineOptions);
    layout->addWidget(m_controls);
    m_controls->setVisible(false);

    connect(m_shrink, &ValueSlider::valueEdited, this, [this](double value, bool continuing) {
        edit([value](EdgeOptions &options) { options.shrink = value; }, continuing);
    });
    connect(m_feather, &ValueSlider::valueEdited, this, [this](double value, bool continuing) {
        edit([value](EdgeOptions &options) { options.feather = value; }, continuing);
    });
    connect(m_outline, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](EdgeOptions &options) { options.outline = on; }); });
    connect(m_cleanColors, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](EdgeOptions &options) { options.cleanColors = on; }); });
    connect(m_outlineWidth, &ValueSlider::valueEdited, this, [this](double value, bool continuing) {
        edit([value](EdgeOptions &options) { options.outlineWidth = value; }, continuing);
    });
    connect(m_outlineColor, &ColorWellButton::colorEdited, this, [this](const QColor &color) {
        edit([color](EdgeOptions &options) { options.outlineColor = color; });
    });

    connect(m_document, &CaptureDocument::settingChanged, this, [this](DocumentSetting setting) {
        if (setting == DocumentSetting::EdgeOptions)
            refresh();
    });
    refresh();
}

bool EdgeControlsView::isExpanded() const
{
    return m_disclosure->isChecked();
}

void EdgeControlsView::setExpanded(bool expanded)
{
    m_disclosure->setChecked(expanded);
}

void EdgeControlsView::edit(const std::function<void(EdgeOptions &)> &change, bool continuing)
{
    EdgeOptions options = m_document->edgeOptions();
    change(options);
    m_document->setEdgeOptions(options, continuing);
}

void EdgeControlsView::refresh()
{
    const EdgeOptions &options = m_document->edgeOptions();
    m_shrink->setValue(options.shrink);
    m_feather->setValue(options.feather);
    if (m_outline->isChecked() != options.outline) {
        const QSignalBlocker blocker(m_outline);
        m_outline->setChecked(options.outline);
    }
    if (m_cleanColors->isChecked() != options.cleanColors) {
        const QSignalBlocker blocker(m_cleanColors);
        m_cleanColors->setChecked(options.cleanColors);
    }
    m_outlineWidth->setValue(options.outlineWidth);
    m_outlineColor->setColor(options.outlineColor.toColor());
    m_outlineOptions->setVisible(options.outline);
}
