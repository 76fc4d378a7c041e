// Renders every report kind in headless Chromium and checks what the browser
// made of it: the page title and texts in the parsed document, operator texts
// shown as text (never as markup), and exactly one image, which loaded and is
// drawn at the plot's size.
#include "support/testmain.h"

#include "report/reportgenerator.h"
#include "reportfixtures.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

using namespace ReportFixtures;

namespace {

const QSize kWindow(1000, 1400);

struct Rendered {
    QString dom;
    QImage screenshot;
    QString error;
};

// The bounding box of the pixels that have the plot's background colour.
QRect plotColouredArea(const QImage &image)
{
    const QColor target = plotBackground();
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAbs(qRed(line[x]) - target.red()) <= 8 && qAbs(qGreen(line[x]) - target.green()) <= 8
                && qAbs(qBlue(line[x]) - target.blue()) <= 8)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

class TestBrowserRender : public QObject {
    Q_OBJECT

    QString m_chromium;
    QTemporaryDir m_dir;

    // One browser run: the parsed document on standard output and a
    // screenshot of the window, with a fresh profile every time.
    Rendered render(const QString &page)
    {
        QTemporaryDir profile;
        const QString shot = m_dir.filePath("shot.png");
        QFile::remove(shot);
        QProcess browser;
        browser.start(m_chromium,
            { "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile.path(),
                "--hide-scrollbars", "--force-device-scale-factor=1",
                QStringLiteral("--window-size=%1,%2").arg(kWindow.width()).arg(kWindow.height()),
                "--screenshot=" + shot, "--dump-dom", QUrl::fromLocalFile(page).toString() });
        Rendered result;
        if (!browser.waitForFinished(60000)) {
            browser.kill();
            browser.waitForFinished();
            result.error = "Chromium did not finish within 60 s";
            return result;
        }
        result.dom = QString::fromUtf8(browser.readAllStandardOutput());
        result.screenshot = QImage(shot).convertToFormat(QImage::Format_RGB32);
        if (browser.exitCode() != 0 || result.screenshot.isNull())
            result.error = "Chromium failed: " + QString::fromUtf8(browser.readAllStandardError().right(2000));
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_chromium = qEnvironmentVariable("VANTOR_CHROMIUM");
        if (m_chromium.isEmpty())
            m_chromium = QStandardPaths::findExecutable("chromium");
        if (m_chromium.isEmpty())
            QFAIL("Chromium is not installed: the browser test needs it (tools/setup.sh --tests "
                  "installs it)");
    }

    void rendersEachKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<ReportData>("data");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("images");

        ReportData card = sensorTestData();
        card["sensor_number"] = "<u>17</u>";
        QTest::newRow("sensor test") << int(SENSOR_TEST_REPORT) << card << "Тест датчика"
                                     << QStringList { "Датчик №:", "Эталон (Ra)", "4.19", "1.09", "\u2717", "\u2713" }
                                     << "<u>17</u>" << 0;

        ReportData report = measurementReportData();
        report["detail_name"] = "<b>Вал</b> & Co";
        QTest::newRow("measurement report")
            << int(MEASUREMENT_REPORT) << report << "Отчёт измерения"
            << QStringList { "Ортана", "Контролёр", "Иванов", "0.412 мкм", "Rz" } << "<b>Вал</b> & Co" << 1;

        QTest::newRow("plot") << int(PLOT_REPORT) << ReportData() << "" << QStringList {} << "" << 1;

        ReportData protocol = measurementProtocolData();
        protocol["part_name"] = "<i>Корпус</i> \"3\"";
        QTest::newRow("protocol") << int(MEASUREMENT_PROTOCOL) << protocol << "Протокол измерений"
                                  << QStringList { "Контурограф м.Corvel", "Трасса 1", "Без замечаний", "ОТКЛОНЕНИЯ",
                                         "R_2", "2.498 мм" }
                                  << "<i>Корпус</i> \"3\"" << 1;
    }
    void rendersEachKind()
    {
        QFETCH(int, kind);
        QFETCH(ReportData, data);
        QFETCH(QString, title);
        QFETCH(QStringList, texts);
        QFETCH(QString, typed);
        QFETCH(int, images);

        const QString page = m_dir.filePath(QStringLiteral("report%1.html").arg(kind));
        QVERIFY(ReportGenerator::generate(data, { plotPixmap() }, page, kind));
        const Rendered rendered = render(page);
        QVERIFY2(rendered.error.isEmpty(), qPrintable(rendered.error));
        const QString &dom = rendered.dom;

        QVERIFY2(dom.contains("<title>" + title + "</title>") || (title.isEmpty() && !dom.contains("<title>")),
            qPrintable(dom.left(600)));
        for (const QString &text : texts)
            QVERIFY2(dom.contains(text), qPrintable(text));
        if (!typed.isEmpty()) {
            // The browser holds the typed text as text: serialised back, its
            // markup characters come out as entities and no element was made.
            QString asText = typed;
            asText.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
            QVERIFY2(dom.contains(asText), qPrintable(asText));
            QVERIFY(!dom.contains(typed.left(3)));
        }

        QCOMPARE(dom.count("<img"), images);
        const QRect plotArea = plotColouredArea(rendered.screenshot);
        if (images == 0) {
            QVERIFY(plotArea.isEmpty());
            return;
        }
        // The image loaded (a broken image draws no plot colours) and is drawn
        // at the plot's own size.
        QCOMPARE(plotArea.size(), plotSize());
        QVERIFY(plotArea.right() < kWindow.width() && plotArea.bottom() < kWindow.height());
    }
};

VANTOR_TEST_MAIN(TestBrowserRender)
#include "browser_render.moc"
