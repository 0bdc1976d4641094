#include "gui/fonts.h"

#include <QFontMetrics>
#include <QStringList>

#include <cmath>

namespace ledrana::gui {

QFont FontFor(const Font& font) {
    QFont q;
    QStringList families;
    families << QString::fromStdString(font.name) << QStringLiteral("DejaVu Sans");
    q.setFamilies(families);
    // DejaVu Sans is much wider than the narrow MS Sans Serif: a slightly smaller, narrower face keeps the
    // captions within the boxes the form was laid out for.
    double pixels = font.size * 96.0 / 72.0;
    if (font.name == "MS Sans Serif") {
        pixels *= 0.9;
        q.setStretch(90);
    }
    q.setPixelSize(std::max(6, static_cast<int>(std::lround(pixels))));
    q.setBold(font.bold);
    q.setUnderline(font.underline);
    q.setStyleStrategy(QFont::PreferAntialias);
    return q;
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
