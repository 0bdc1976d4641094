#include "gui/fonts.h"

#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace ledrana::gui {

QFont FontFor(const Font& font) {
    QFont q;
    QStringList families;
    families << QString::fromStdString(font.name) << QStringLiteral("DejaVu Sans");
    q.setFamilies(families);
    q.setPixelSize(std::max(kSmallestPixels, static_cast<int>(std::lround(font.size * 96.0 / 72.0))));
    q.setBold(font.bold);
    q.setUnderline(font.underline);
    q.setStyleStrategy(QFont::PreferAntialias);
    // Widths scale with the size, whatever hinting the host is set up for, so captions fit alike everywhere.
    q.setHintingPreference(QFont::PreferVerticalHinting);
    return q;
}

QFont FitFont(QFont font, const QSize& box, const QString& text) {
    while (font.pixelSize() > kSmallestPixels) {
        const QRect needed =
            QFontMetrics(font).boundingRect(QRect(QPoint(0, 0), box), Qt::TextWordWrap, text);
        if (needed.width() <= box.width() && needed.height() <= box.height()) break;
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

bool FontCovers(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r')) continue;
        if (!metrics.inFont(ch)) return false;
    }
    return true;
}

} // namespace ledrana::gui
