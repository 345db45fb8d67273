#include "ui/status_bar.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QResizeEvent>

namespace {

// A label that cuts its text with an ellipsis instead of growing the bar.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setFullText(const QString& text)
    {
        m_full = text;
        setToolTip(text);
        refresh();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        refresh();
    }

private:
    void refresh()
    {
        const int room = qMax(0, contentsRect().width() - 2 * margin());
        setText(fontMetrics().elidedText(m_full, Qt::ElideRight, room));
    }
    QString m_full;
};

// A padlock drawn here, so that it looks the same on every desktop theme:
// closed and dark green when encrypted, open and red when not.
QPixmap padlock(bool closed, qreal ratio)
{
    const int size = 16;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = closed ? QColor(0x1b, 0x6e, 0x20) : QColor(0xc0, 0x00, 0x00);
    p.setPen(QPen(colour, 1.8));
    QPainterPath shackle;
    const qreal left = 4.5, right = 11.5, top = 2.0, bottom = 7.5;
    shackle.moveTo(left, bottom);
    shackle.lineTo(left, 5.5);
    shackle.arcTo(QRectF(left, top, right - left, 7.0), 180, -180);
    shackle.lineTo(right, closed ? bottom : 4.0);
    p.translate(closed ? 0 : 3.0, closed ? 0 : -1.0);
    p.drawPath(shackle);
    p.resetTransform();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.5, 1.5);
    return pixmap;
}

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QWidget(parent), m_gauge(new QProgressBar(this))
{
    setObjectName(QStringLiteral("stat"));
    for (int i = 0; i < PanelCount; ++i) {
        if (i == GaugePanel) {
            m_gauge->setRange(0, 100);
            m_gauge->setValue(0);
            m_gauge->setTextVisible(false);
            m_gauge->setAlignment(Qt::AlignCenter);
            m_panels[size_t(i)] = m_gauge;
            continue;
        }
        auto* label = new ElidedLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMargin(1);
        // Panel 0 and panel 6 are plain text; the transfer figures are centred.
        label->setAlignment(i == 0 || i == 6 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        m_panels[size_t(i)] = label;
    }
    m_lock = new QLabel(m_panels[6]);
    m_lock->setObjectName(QStringLiteral("securityLock"));
    m_lock->setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    layoutPanels();
}

void StatusBar::setSecurity(Security security, const QString& text)
{
    m_security = security;
    m_lock->setToolTip(text);
    m_panels[6]->setToolTip(text);
    if (security == Security::None)
        m_lock->clear();
    else
        m_lock->setPixmap(padlock(security == Security::Encrypted, devicePixelRatioF()));
}

QString StatusBar::securityText() const { return m_lock->toolTip(); }

void StatusBar::setPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= PanelCount || panel == GaugePanel)
        return;
    m_texts[size_t(panel)] = text;
    static_cast<ElidedLabel*>(m_panels[size_t(panel)])->setFullText(text);
}

QString StatusBar::panelText(int panel) const
{
    return panel >= 0 && panel < PanelCount ? m_texts[size_t(panel)] : QString();
}

int StatusBar::panelWidth(int panel) const
{
    return panel >= 0 && panel < PanelCount ? m_panels[size_t(panel)]->width() : 0;
}

void StatusBar::setGauge(int percent)
{
    m_percent = qBound(0, percent, 100);
    if (m_style == GaugeStyle::Percent)
        m_gauge->setValue(m_percent);
}

int StatusBar::gauge() const { return m_percent; }

void StatusBar::setGaugeStyle(GaugeStyle style)
{
    m_style = style;
    // A range of 0..0 is how a progress bar shows work of unknown length.
    if (style == GaugeStyle::Indeterminate) {
        m_gauge->setRange(0, 0);
    } else {
        m_gauge->setRange(0, 100);
        m_gauge->setValue(m_percent);
    }
}

void StatusBar::setGaugeText(const QString& text)
{
    m_gaugeText = text;
    // The format's "%" starts a placeholder ("%p" the percent).
    m_gauge->setFormat(QString(text).replace(u'%', QStringLiteral("%%")));
    m_gauge->setTextVisible(!text.isEmpty());
    m_gauge->setToolTip(text);
}

void StatusBar::resetTransferPanels()
{
    setGaugeStyle(GaugeStyle::Percent);
    setGauge(0);
    setGaugeText(QString());
    for (int i = 2; i <= 5; ++i)
        setPanelText(i, QString());
}

QSize StatusBar::sizeHint() const
{
    int width = 0;
    for (int w : PanelWidths)
        width += w;
    return QSize(width, fontMetrics().height() + 8);
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPanels();
}

void StatusBar::layoutPanels()
{
    int fixed = 0;
    for (int i = 1; i < PanelCount; ++i)
        fixed += PanelWidths[size_t(i)];
    // Panel 0 gets the rest of the bar; it never shrinks below nothing, so a
    // bar narrower than the fixed panels pushes them off its right edge.
    const int first = qMax(0, width() - fixed);
    int x = 0;
    for (int i = 0; i < PanelCount; ++i) {
        const int w = i == 0 ? first : PanelWidths[size_t(i)];
        m_panels[size_t(i)]->setGeometry(x, 0, w, height());
        x += w;
    }
    m_lock->setGeometry(m_panels[6]->rect());
}
