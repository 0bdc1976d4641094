// LEDRANA.EXE, the stand-in for the product's main program in the release folder. The update run starts
// it at its end; it shows, read-only, the companies of the data folder with each archive's path and
// version stamp, so that the user sees what the update achieved.
//   LEDRANA.EXE            a window (Qt Gui, no widgets); text on standard output when there is no display
//   LEDRANA.EXE --testo    the same as tab-separated text on standard output

#include "tools/ledrana/companies.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ledrana_build.h"

namespace {

using ledrana::host::Installation;

class ListWindow : public QRasterWindow {
public:
    explicit ListWindow(const Installation& inst) : inst_(inst) {
        setTitle("Tessaro 048.5 - ditte installate");
        resize(900, 160 + 70 * static_cast<int>(inst.companies.size()));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRect(QPoint(0, 0), size()), Qt::white);
        QFont title("DejaVu Sans");
        title.setPixelSize(20);
        title.setBold(true);
        QFont bold("DejaVu Sans");
        bold.setPixelSize(14);
        bold.setBold(true);
        QFont plain("DejaVu Sans");
        plain.setPixelSize(13);

        int y = 34;
        p.setPen(QColor(31, 78, 121));
        p.setFont(title);
        p.drawText(20, y, "Tessaro 048.5");
        y += 26;
        p.setPen(Qt::black);
        p.setFont(plain);
        p.drawText(20, y,
                   QString::fromUtf8("Cartella dati: " + inst_.dataFolder + "    versione installata: " +
                                     (inst_.installedVersion.empty() ? "-" : inst_.installedVersion)));
        y += 30;
        if (inst_.companies.empty()) p.drawText(20, y, "Nessuna ditta nella cartella dati.");
        for (const auto& company : inst_.companies) {
            p.setFont(bold);
            p.drawText(20, y, QString::fromUtf8(company.name));
            y += 20;
            p.setFont(plain);
            for (const auto& a : company.archives) {
                p.setPen(a.exists ? Qt::black : QColor(170, 30, 30));
                p.drawText(40, y, QString::fromUtf8(a.role == "Ledrana" ? "Contabilità" : "Scadenzario"));
                p.drawText(150, y, QString::fromUtf8(a.path));
                p.drawText(620, y, QString::fromUtf8(a.version.empty() ? "" : "versione " + a.version));
                p.drawText(740, y, QString::fromUtf8(a.state));
                p.setPen(Qt::black);
                y += 18;
            }
            y += 12;
        }
    }

private:
    Installation inst_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s (build %s)\n", "LEDRANA.EXE", LEDRANA_RELEASE, LEDRANA_BUILD_ID);
        return 0;
    }
    ledrana::dao::DBEngine engine;
    const Installation inst = ledrana::host::ReadInstallation(engine);
    const bool text = (argc > 1 && std::strcmp(argv[1], "--testo") == 0) ||
                      (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
                       std::getenv("QT_QPA_PLATFORM") == nullptr);
    if (text) {
        std::fputs(ledrana::host::FormatInstallation(inst).c_str(), stdout);
        return 0;
    }
    QGuiApplication app(argc, argv);
    ListWindow window(inst);
    window.show();
    return app.exec();
}
