#include "Panel.h"

#include "Align.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

TPanel::TPanel(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    updateMargins();
}

void TPanel::setCaption(const QString& caption)
{
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void TPanel::setBevelOuter(int bevel)
{
    m_outer = bevel;
    updateMargins();
}

void TPanel::setBevelInner(int bevel)
{
    m_inner = bevel;
    updateMargins();
}

void TPanel::setBevelWidth(int width)
{
    m_width = std::max(1, width);
    updateMargins();
}

void TPanel::updateMargins()
{
    const int margin = ((m_outer != None) + (m_inner != None)) * m_width;
    setContentsMargins(margin, margin, margin, margin);
    update();
}

void TPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    QRect r = rect();
    for (int bevel : {m_outer, m_inner}) {
        if (bevel == None)
            continue;
        qDrawShadePanel(&painter, r, palette(), bevel == Lowered, m_width);
        r.adjust(m_width, m_width, -m_width, -m_width);
    }
    if (!m_caption.isEmpty())
        style()->drawItemText(&painter, r, Qt::AlignCenter, palette(), isEnabled(), m_caption, QPalette::WindowText);
}

void TPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    arrangeAlignedChildren(this);
}
