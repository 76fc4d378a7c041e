#include "support/testmain.h"

#include "settings/settings.h"
#include "widgets/infowindow.h"

#include <QDirIterator>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>

// The About window and the icons compiled into the program.
class TestInfoWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:


    void iconResolves_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList names = { "1_1.png", "2dot_line.png", "angle.png", "Circle.png", "Circle_input Radius.png",
            "cutsel.png", "ddist.png", "favicon.ico", "favicon.png", "flat.png", "flatByTwoSelection.png",
            "flat_absent.png", "hangle.png", "hdist.png", "Horizontal_line.png", "kontur_down_black.png",
            "kontur_down_red.png", "kontur_up_black.png", "kontur_up_red.png", "lineerr.png", "Max_point.png",
            "mbwd.png", "mdown.png", "mdownz.png", "mfwd.png", "mheight.png", "MidLine.png", "mid_point.png",
            "min-max.png", "min-max_Монтажная область 1.png", "Min_point.png", "mleft.png", "mright.png", "mup.png",
            "mupz.png", "open.png", "pan.png", "Point.png", "print.png", "pts.png", "Ra.png", "rad.png", "radarc.png",
            "raderFilter1.png", "raderr.png", "raderrFilter2.png", "raderr_R.png", "Rader_2zelect.png",
            "Rader_2zelect_filter.png", "reset.png", "rline.png", "rline_s.png", "Rz.png", "save.png", "scale_x.png",
            "scale_y.png", "select.png", "select_z.png", "settings.png", "Spine_left_black.png", "Spine_left_red.png",
            "Spine_right_black.png", "Spine_right_red.png", "table_back_black.png", "table_back_red.png",
            "table_fwd_black.png", "table_fwd_red.png", "text_placement.png", "vangle.png", "vdist.png", "vdistmax.png",
            "vdistmax1.png", "veltra.png", "Vertical_line.png", "Ресурс 5.png", "Ресурс 6.png", "Ресурс 70.png",
            "Ресурс 71.png", "Эту иконку.png" };
        QCOMPARE(names.size(), 79);
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << name;
    }
    // Each name loads as a non-empty image, both as an image and as the QIcon
    // the forms use.
    void iconResolves()
    {
        QFETCH(QString, name);
        const QString path = ":/icons/icons/" + name;
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + ": " + reader.errorString()));
        QVERIFY(image.width() >= 16 && image.height() >= 16);
        QVERIFY(!QIcon(path).pixmap(32, 32).isNull());
    }

    // Nothing in the collection beyond the listed names (names are
    // case-sensitive, so a misspelt file would show up here).
    void collectionHoldsExactlyTheListedEntries()
    {
        QStringList found;
        QDirIterator it(":/icons/icons", QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            found << it.fileName();
        }
        QCOMPARE(found.size(), 79);
    }

    void versionByDeviceType_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QString>("version");
        QTest::newRow("profile 2") << 2 << "Версия: 10.0.0";
        QTest::newRow("profile 3") << 3 << "Версия: 10.0.0";
        QTest::newRow("contour 0") << 0 << "Версия: 2.0.3";
        QTest::newRow("contour 1") << 1 << "Версия: 2.0.3";
        QTest::newRow("contour 5") << 5 << "Версия: 2.0.3";
    }
    void versionByDeviceType()
    {
        QFETCH(int, deviceType);
        QFETCH(QString, version);
        Settings::instance().device_type = deviceType;
        InfoWindow window;
        QStringList texts;
        for (const QLabel *label : window.findChildren<QLabel *>())
            texts << label->text();
        QVERIFY2(texts.contains(version), qPrintable(texts.join(" | ")));
        QVERIFY2(texts.contains("Информация о программе"), qPrintable(texts.join(" | ")));
    }

    void windowIsFixedModalAndCloses()
    {
        InfoWindow window;
        QCOMPARE(window.windowTitle(), QString("О программе"));
        QVERIFY(window.isModal());
        QCOMPARE(window.minimumSize(), QSize(300, 200));
        QCOMPARE(window.maximumSize(), QSize(300, 200));
        QVERIFY(!(window.windowFlags() & Qt::WindowContextHelpButtonHint));
        for (const QLabel *label : window.findChildren<QLabel *>())
            QVERIFY(label->alignment() & Qt::AlignHCenter);

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The window cannot grow, so every text must fit the room its label got.
        for (const QLabel *label : window.findChildren<QLabel *>()) {
            const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                                : label->sizeHint().width() <= label->width();
            QVERIFY2(fits, qPrintable(label->text()));
        }
        QPushButton *close = window.findChild<QPushButton *>();
        QVERIFY(close);
        QCOMPARE(close->text(), QString("Закрыть"));
        close->click();
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QVERIFY(!window.isVisible());
    }
};

VANTOR_TEST_MAIN(TestInfoWindow)
#include "tst_infowindow.moc"
