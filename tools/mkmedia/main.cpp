// mkmedia: the pictures and manuals of the release folder, drawn at build time.
//   mkmedia pdf SOURCE.md OUTPUT.pdf TITLE   a manual: Markdown laid out on A4 pages with page numbers
//   mkmedia logo OUTPUT.jpg                  the sample company logo
//   mkmedia printer OUTPUT.jpg               the sample product picture (a printer)
// Runs on Qt's offscreen platform when no display is set. Exit 0 on success, 1 with a message otherwise.

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ledrana_build.h"

namespace {

bool Fail(const std::string& message) {
    std::fprintf(stderr, "mkmedia: %s\n", message.c_str());
    return false;
}

bool WriteManual(const QString& source, const QString& output, const QString& title) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return Fail("cannot read " + source.toStdString());
    const QString markdown = QString::fromUtf8(in.readAll());

    QPdfWriter pdf(output);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
    pdf.setResolution(300);
    pdf.setTitle(title);
    pdf.setCreator("Tessaro 048.5");

    QTextDocument doc;
    QFont font("DejaVu Sans");
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet("h1 { color: #1f4e79; } h2 { color: #1f4e79; }");
    doc.setMarkdown(markdown);
    doc.print(&pdf);
    return QFile(output).size() > 0 || Fail("nothing written to " + output.toStdString());
}

bool Save(const QImage& image, const QString& output) {
    return image.save(output, "JPG", 90) || Fail("cannot write " + output.toStdString());
}

bool WriteLogo(const QString& output) {
    QImage image(520, 180, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient blue(20, 20, 160, 160);
    blue.setColorAt(0, QColor(46, 117, 182));
    blue.setColorAt(1, QColor(31, 78, 121));
    p.setBrush(blue);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(20, 20, 140, 140), 24, 24);
    p.setPen(Qt::white);
    QFont big("DejaVu Sans", 72, QFont::Bold);
    big.setPixelSize(100);
    p.setFont(big);
    p.drawText(QRectF(20, 14, 140, 140), Qt::AlignCenter, "T");
    p.setPen(QColor(31, 78, 121));
    QFont name("DejaVu Sans", 40, QFont::Bold);
    name.setPixelSize(42);
    p.setFont(name);
    p.drawText(QRectF(182, 30, 330, 70), Qt::AlignLeft | Qt::AlignVCenter, "Ditta di prova");
    QFont sub("DejaVu Sans", 14);
    sub.setPixelSize(24);
    p.setFont(sub);
    p.setPen(QColor(90, 90, 90));
    p.drawText(QRectF(182, 100, 290, 34), Qt::AlignLeft | Qt::AlignVCenter, "Via Roma 3 - Milano");
    p.setPen(QPen(QColor(191, 223, 255), 6));
    p.drawLine(182, 146, 500, 146);
    p.end();
    return Save(image, output);
}

bool WritePrinter(const QString& output) {
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 0, 300);
    back.setColorAt(0, Qt::white);
    back.setColorAt(1, QColor(191, 223, 255));
    p.fillRect(image.rect(), back);

    // The sheet coming out on top, then the body, the output tray and the control panel.
    p.setPen(QPen(QColor(150, 150, 150), 2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(130, 40, 140, 90));
    p.setPen(QPen(QColor(180, 180, 180), 3));
    for (int y = 58; y < 120; y += 14)
        p.drawLine(145, y, 255, y);

    QLinearGradient body(0, 100, 0, 230);
    body.setColorAt(0, QColor(110, 115, 122));
    body.setColorAt(1, QColor(55, 58, 64));
    p.setPen(QPen(QColor(40, 40, 45), 2));
    p.setBrush(body);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(60, 100, 280, 130), 18, 18);
    p.drawPath(shape);
    p.setBrush(QColor(30, 32, 36));
    p.drawRoundedRect(QRectF(100, 175, 200, 22), 6, 6);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.drawRect(QRectF(112, 190, 176, 30));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 200, 90));
    p.drawEllipse(QPointF(300, 125), 7, 7);
    p.setBrush(QColor(220, 220, 220));
    p.drawRoundedRect(QRectF(230, 118, 50, 14), 4, 4);

    p.setPen(QColor(31, 78, 121));
    QFont font("DejaVu Sans", 12, QFont::Bold);
    font.setPixelSize(20);
    p.setFont(font);
    p.drawText(QRectF(0, 248, 400, 40), Qt::AlignCenter, "STL-A4-01");
    p.end();
    return Save(image, output);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s (build %s)\n", "mkmedia", LEDRANA_RELEASE, LEDRANA_BUILD_ID);
        return 0;
    }
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    if (args.size() == 5 && args[1] == "pdf")
        ok = WriteManual(args[2], args[3], args[4]);
    else if (args.size() == 3 && args[1] == "logo")
        ok = WriteLogo(args[2]);
    else if (args.size() == 3 && args[1] == "printer")
        ok = WritePrinter(args[2]);
    else
        ok = Fail("usage: mkmedia pdf SOURCE.md OUTPUT.pdf TITLE | logo OUTPUT.jpg | printer OUTPUT.jpg");
    return ok ? 0 : 1;
}
