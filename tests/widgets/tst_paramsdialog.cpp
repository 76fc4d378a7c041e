#include "support/freshsettings.h"
#include "support/testmain.h"
#include "support/tracefiles.h"
#include "support/windowshot.h"

#include "report/profilereport.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/paramsmap.h"
#include "tracelist.h"
#include "widgets/paramsdialog.h"

#include <QDrag>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

namespace {

void setEnabledNames(const QStringList &names)
{
    UserPreferences &p = Settings::instance().preferenses;
    p.enabled_params.clear();
    for (int i = 0; i < names.size(); ++i)
        p.enabled_params[i] = names.at(i);
    p.enabled_params_count = names.size();
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// One of the two lists as it stands in the settings file: "enabled" or "disabled".
QStringList storedList(const QString &which)
{
    QSettings ini(QStringLiteral("settings.ini"), QSettings::IniFormat);
    QStringList out;
    const int count = ini.value("preferenses/" + which + "_params_count", -1).toInt();
    for (int i = 0; i < count; ++i)
        out << ini.value(QStringLiteral("preferenses/%1_%2").arg(which).arg(i)).toString();
    return out;
}

QStringList storedEnabled()
{
    return storedList(QStringLiteral("enabled"));
}

struct Dialog {
    ParamsDialog dialog;
    QListWidget *enabled = dialog.findChild<QListWidget *>("enabledListWidget");
    QListWidget *disabled = dialog.findChild<QListWidget *>("disabledListWidget");

    Dialog()
    {
        dialog.show();
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog))
            qWarning("chooser not active");
    }
    void clickItem(QListWidget *list, const QString &name, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        list->scrollToItem(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, list->visualItemRect(found.first()).center());
    }
    void press(const QString &text)
    {
        for (QPushButton *b : dialog.findChildren<QPushButton *>()) {
            if (b->text() == text) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        }
        QFAIL(qPrintable("no button " + text));
    }
};

} // namespace

// The parameter chooser: the two lists, the moves, and what "Ок" stores.
class TestParamsDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { freshSettings(); }

    void opensWithTheStoredLists()
    {
        Settings &s = freshSettings();
        Dialog d;
        QCOMPARE(d.dialog.windowTitle(), QString("Настройки"));
        QCOMPARE(texts(d.enabled), QStringList { "Ra" });
        QCOMPARE(d.disabled->count(), s.preferenses.disabled_params_count);
        QCOMPARE(d.disabled->count(), 55);
        QCOMPARE(d.disabled->item(54)->text(), s.preferenses.disabled_params.value(54));
        for (QListWidget *list : { d.enabled, d.disabled }) {
            QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
            QCOMPARE(list->dragDropMode(), QAbstractItemView::DragDrop);
            QCOMPARE(list->defaultDropAction(), Qt::MoveAction);
        }
        d.dialog.resize(520, 420);
        saveWindowShot(&d.dialog, "paramsdialog");
    }

    void threeNamesMovedLeftAreStoredAfterRa()
    {
        Dialog d;
        d.clickItem(d.disabled, "Rz");
        d.clickItem(d.disabled, "Rq", Qt::ControlModifier);
        d.clickItem(d.disabled, "Rsk", Qt::ControlModifier);
        QStringList chosen;
        for (QListWidgetItem *item : d.disabled->selectedItems())
            chosen << item->text();
        QCOMPARE(chosen.size(), 3);
        d.press("<-");
        QCOMPARE(texts(d.enabled), QStringList { "Ra" } + chosen);
        QVERIFY(d.disabled->findItems("Rz", Qt::MatchExactly).isEmpty());
        QVERIFY(!QFile::exists("settings.ini"));
        d.press("Ок");
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(storedEnabled(), QStringList { "Ra" } + chosen);
        const Settings back = Settings::load("settings.ini");
        QCOMPARE(back.preferenses.disabled_params_count, texts(d.disabled).size());
        QCOMPARE(back.preferenses.disabled_params.values(), texts(d.disabled));
    }

    void nameDraggedToTheTopIsStoredFirst()
    {
        if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
            // The offscreen platform ends every drag at once, without a drop.
            // The gesture runs in a child process on the minimal platform,
            // which has Qt's own drag and drop.
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "minimal");
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(), { "nameDraggedToTheTopIsStoredFirst" });
            QVERIFY(child.waitForFinished(120000));
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
            return;
        }
        setEnabledNames({ "Ra", "Rz", "Rq" });
        Dialog d;
        QWindow *window = d.dialog.windowHandle();
        QWidget *viewport = d.enabled->viewport();
        const QPoint from = viewport->mapTo(&d.dialog, d.enabled->visualItemRect(d.enabled->item(2)).center());
        const QRect top = d.enabled->visualItemRect(d.enabled->item(0));
        const QPoint to = viewport->mapTo(&d.dialog, QPoint(top.center().x(), top.top() + 2));
        // The drag runs its own event loop once the mouse moved far enough;
        // the rest of the gesture is delivered from inside that loop, once
        // the list's drag exists (it is made just before its loop starts).
        QTimer finish;
        QObject::connect(&finish, &QTimer::timeout, [&finish, list = d.enabled, window, to] {
            if (!list->findChild<QDrag *>())
                return;
            finish.stop();
            QTest::mouseMove(window, to - QPoint(0, 1));
            QTest::mouseMove(window, to);
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, to);
        });
        finish.start(10);
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(window, from - QPoint(0, QApplication::startDragDistance() + 2));
        QTest::mouseMove(window, from - QPoint(0, QApplication::startDragDistance() + 4));
        QTRY_COMPARE(texts(d.enabled), (QStringList { "Rq", "Ra", "Rz" }));
        d.press("Ок");
        QCOMPARE(storedEnabled(), (QStringList { "Rq", "Ra", "Rz" }));
    }

    void cancelStoresNothing()
    {
        Dialog d;
        d.clickItem(d.disabled, "Rz");
        d.press("<-");
        d.clickItem(d.enabled, "Ra");
        d.press("->");
        QCOMPARE(texts(d.enabled), QStringList { "Rz" });
        d.press("Отмена");
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
        QVERIFY(!QFile::exists("settings.ini"));
        QCOMPARE(Settings::instance().preferenses.enabled_params.value(0), QString("Ra"));
    }

    // Whatever the lists held when the chooser opened (a record that had a
    // name on both sides, a file that repeats a shown name), "Ок" stores
    // each name once, and a name on both sides stays shown.
    void eachNameIsStoredOnce_data()
    {
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("raHiddenToo");
        QTest::addColumn<QString>("move");
        QTest::addColumn<QStringList>("storedShown");
        QTest::addColumn<bool>("raStoredHidden");
        QTest::newRow("on both sides, kept") << QStringList { "Ra" } << true << "" << QStringList { "Ra" } << false;
        QTest::newRow("on both sides, hidden one moved left")
            << QStringList { "Ra", "Rz" } << true << "<-" << QStringList { "Ra", "Rz" } << false;
        QTest::newRow("on both sides, shown one moved right")
            << QStringList { "Ra", "Rz" } << true << "->" << QStringList { "Rz" } << true;
        QTest::newRow("shown three times") << QStringList { "Ra", "Ra", "Ra" } << false << ""
                                           << QStringList { "Ra" } << false;
    }

    void eachNameIsStoredOnce()
    {
        QFETCH(QStringList, shown);
        QFETCH(bool, raHiddenToo);
        QFETCH(QString, move);
        QFETCH(QStringList, storedShown);
        QFETCH(bool, raStoredHidden);
        setEnabledNames(shown);
        UserPreferences &p = Settings::instance().preferenses;
        p.disabled_params.clear();
        for (const QString &name : kParamIndexNames) {
            if (name != QLatin1String("Ra") || raHiddenToo)
                p.disabled_params.insert(p.disabled_params.size(), name);
        }
        p.disabled_params_count = p.disabled_params.size();

        Dialog d;
        if (move == "<-") {
            d.clickItem(d.disabled, "Ra");
            d.press("<-");
        } else if (move == "->") {
            d.clickItem(d.enabled, "Ra");
            d.press("->");
        }
        d.press("Ок");
        QCOMPARE(storedEnabled(), storedShown);
        const QStringList hidden = storedList(QStringLiteral("disabled"));
        QCOMPARE(hidden.count("Ra"), raStoredHidden ? 1 : 0);
        QCOMPARE(hidden.size() + storedShown.size(), kParamIndexNames.size());
        QCOMPARE(Settings::instance().preferenses.enabled_params.values(), storedShown);
    }

    // With no settings file, and with a file that names "Ra" in both lists
    // (as the defaults were once written), the chooser offers "Ra" once, on
    // the displayed side. Moving every other name across, the trace list's
    // table and the report then show "Ra" in one row.
    void shownOnceInTheTableAndTheReport_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::newRow("no settings file") << QByteArray();
        QTest::newRow("Ra in both lists")
            << QByteArray("[preferenses]\nenabled_params_count=1\nenabled_0=Ra\n"
                          "disabled_params_count=3\ndisabled_0=Ra\ndisabled_1=Rmax\ndisabled_2=Rp\n");
    }

    void shownOnceInTheTableAndTheReport()
    {
        QFETCH(QByteArray, ini);
        if (!ini.isEmpty()) {
            QFile file(QStringLiteral("settings.ini"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini);
        }
        Settings::instance() = Settings::load(QStringLiteral("settings.ini"));
        {
            Dialog d;
            QCOMPARE(texts(d.enabled), QStringList { "Ra" });
            QVERIFY(!texts(d.disabled).contains("Ra"));
            d.disabled->setFocus();
            d.clickItem(d.disabled, d.disabled->item(0)->text());
            QTest::keyClick(d.disabled->viewport(), Qt::Key_A, Qt::ControlModifier);
            d.press("<-");
            QCOMPARE(d.enabled->count(), kParamIndexNames.size());
            d.press("Ок");
        }
        QCOMPARE(storedEnabled().count("Ra"), 1);

        TraceList list;
        ProfileTrace *trace = sineProfile(1.0, 4000);
        list.addMainTrace(trace);
        list.recalcParams();
        list.selectTrace(trace->id);
        const auto *table = list.findChild<QTreeWidget *>(QStringLiteral("paramsListTreeWidget"));
        QStringList rows;
        for (int i = 0; i < table->topLevelItemCount(); ++i)
            rows << table->topLevelItem(i)->text(0);
        QCOMPARE(rows.size(), kParamIndexNames.size());
        QCOMPARE(rows.count("Ra"), 1);

        ExtraArgs args;
        const ReportData report = profileReportData(trace, args);
        QStringList reported;
        for (int i = 0; i < report.value("param_count").toInt(); ++i)
            reported << report.value(QStringLiteral("param[%1].name").arg(i));
        QCOMPARE(reported.size(), kParamIndexNames.size());
        QCOMPARE(reported.count("Ra"), 1);
    }

    void emptyDisplayedListStoresZero()
    {
        setEnabledNames({ "Ra", "Rz" });
        Dialog d;
        d.enabled->setFocus();
        d.clickItem(d.enabled, "Ra");
        QTest::keyClick(d.enabled->viewport(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(d.enabled->selectedItems().size(), 2);
        d.press("->");
        QCOMPARE(d.enabled->count(), 0);
        d.press("Ок");
        QSettings ini(QStringLiteral("settings.ini"), QSettings::IniFormat);
        QCOMPARE(ini.value("preferenses/enabled_params_count").toInt(), 0);
        QCOMPARE(Settings::instance().preferenses.enabled_params_count, 0);
    }
};

VANTOR_TEST_MAIN(TestParamsDialog)
#include "tst_paramsdialog.moc"
