#include "support/freshsettings.h"
#include "support/testmain.h"
#include "support/windowshot.h"

#include "settings/settings.h"
#include "widgets/paramsdialog.h"

#include <QDrag>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
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

QStringList storedEnabled()
{
    QSettings ini(QStringLiteral("settings.ini"), QSettings::IniFormat);
    QStringList out;
    const int count = ini.value("preferenses/enabled_params_count", -1).toInt();
    for (int i = 0; i < count; ++i)
        out << ini.value(QStringLiteral("preferenses/enabled_%1").arg(i)).toString();
    return out;
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
        QCOMPARE(d.disabled->item(55)->text(), s.preferenses.disabled_params.value(55));
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
