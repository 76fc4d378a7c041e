#pragma once

#include "settings/common.h"
#include "settings/logger.h"

#include <QFont>
#include <QLineF>
#include <QString>
#include <initializer_list>
#include <qcustomplot.h>

// What the distance and angle dimensions do alike with their plot items and
// their log lines.
namespace DimensionItems {

using Items = std::initializer_list<QCPAbstractItem *>;

// Dimensions draw above the curves.
inline void moveToOverlay(Items items)
{
    for (QCPAbstractItem *item : items)
        item->setLayer(QStringLiteral("overlay"));
}

inline void setVisible(Items items, bool visible)
{
    for (QCPAbstractItem *item : items)
        item->setVisible(visible);
}

// Nothing when the plot is already gone (it deleted the items with itself).
inline void remove(QCustomPlot *plot, Items items)
{
    if (!plot)
        return;
    for (QCPAbstractItem *item : items)
        plot->removeItem(item);
}

inline void setLine(QCPItemLine *item, const QLineF &line)
{
    item->start->setCoords(line.p1());
    item->end->setCoords(line.p2());
}

// The value label's font: large for presentation, otherwise the monospace
// font every label is created with, so that leaving the presentation gives
// the labels back the font they had.
inline QFont labelFont(bool large)
{
    return large ? QFont(QStringLiteral("MS Shell Dlg 2"), 20) : Common::kMonospaceFont;
}

inline void logInfo(const QString &message)
{
    logger.log(Logger::INFO, message.toStdString());
}

} // namespace DimensionItems
