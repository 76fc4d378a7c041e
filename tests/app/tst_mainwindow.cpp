#include "support/freshsettings.h"
#include "support/logtext.h"
#include "support/scriptedprompts.h"
#include "support/simulatedinstrument.h"
#include "support/testmain.h"
#include "support/tracefiles.h"
#include "support/windowshot.h"

#include "analysis/contouranalisiswidget.h"
#include "analysis/profileanalisiswidget.h"
#include "mainwindow.h"
#include "tracelist.h"
#include "plot/plotwidget.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/tracewriter.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/keyreceiver.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>

namespace {

QString writeTraceFile(const QString &name, AbstractTrace &trace)
{
    const QString path = QDir::current().absoluteFilePath(name);
    if (!TraceWriter::saveTraceFile(path, trace))
        qWarning("not written: %s", qPrintable(path));
    return path;
}

QString writeProfile(const QString &name, double length = 6000, double step = 1)
{
    std::unique_ptr<ProfileTrace> trace(sineProfile(1.0, length, 800, step));
    return writeTraceFile(name, *trace);
}

QString writeContour(const QString &name)
{
    std::unique_ptr<ContourTrace> trace(slopeContour(200, 10, 0.3));
    trace->setTraceType(CONTOUR);
    return writeTraceFile(name, *trace);
}

// The file with its first line replaced.
void replaceFirstLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    file.close();
    bytes = line + bytes.mid(bytes.indexOf('\n') + 1);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
}

// Reads a file into the profile window as "Открыть трассу" does, until the
// reading has been handled.
bool openTrace(MainWindow &w, ScriptedPrompts &prompts, const QString &path)
{
    QSignalSpy ended(w.profileWindow, &ProfileAnalisisWidget::unlockButtons);
    prompts.expect(ScriptedPrompts::OpenFile, path);
    w.openNewTrace();
    return ended.wait(20000);
}

QTabWidget *tabsOf(const MainWindow &w)
{
    return w.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
}

QAction *actionOf(const MainWindow &w, const char *name)
{
    return w.findChild<QAction *>(QLatin1String(name));
}

bool keysBlocked(const MainWindow &w)
{
    return w.profileWindow->keyReceiver->signalsBlocked();
}

void showActive(MainWindow &w)
{
    w.resize(1600, 1000);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// The names Qt's own file dialog, given this filter, offers in dir once it
// has read the folder; a name it would show greyed out is not offered.
QStringList offeredBySaveDialog(const QString &dir, const QString &filter)
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    auto *model = dialog.findChild<QFileSystemModel *>();
    if (!model)
        return { QStringLiteral("(the dialog has no file model)") };
    // The dialog reads the working directory first; the folder's names are
    // in once the folder itself has been read.
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    dialog.setNameFilter(filter);
    dialog.setDirectory(dir);
    const auto folderRead = [&] {
        for (const QList<QVariant> &read : qAsConst(loaded)) {
            if (QFileInfo(read.at(0).toString()) == QFileInfo(dir))
                return true;
        }
        return false;
    };
    while (!folderRead()) {
        if (!loaded.wait(10000))
            return { QStringLiteral("(the folder was not read)") };
    }
    QStringList names;
    const QModelIndex folder = model->index(dir);
    for (int row = 0; row < model->rowCount(folder); ++row) {
        const QModelIndex file = model->index(row, 0, folder);
        if (file.flags() & Qt::ItemIsEnabled)
            names << model->fileName(file);
    }
    names.sort();
    return names;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Settings &s = freshSettings();
        s.preferenses.enabled_params = { { 0, QStringLiteral("Ra") } };
        s.preferenses.enabled_params_count = 1;
    }

    // The title follows the device type of the settings at start and the
    // type the instrument reports later.
    void title_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QString>("title");
        QTest::newRow("2") << 2 << Common::kProductName;
        QTest::newRow("3") << 3 << Common::kProductName;
        QTest::newRow("0") << 0 << Common::kOrganizationName;
        QTest::newRow("5") << 5 << Common::kOrganizationName;
    }
    void title()
    {
        QFETCH(int, deviceType);
        QFETCH(QString, title);
        Settings::instance().device_type = deviceType;
        ScriptedPrompts prompts;
        MainWindow w;
        QCOMPARE(w.windowTitle(), title);
        Q_EMIT w.profileWindow->newDeviceType(3);
        QCOMPARE(w.windowTitle(), QStringLiteral("Профилометр модели Vantor"));
        Q_EMIT w.profileWindow->newDeviceType(1);
        QCOMPARE(w.windowTitle(), QStringLiteral("Ортана"));
    }

    // Menus in their order with their actions, texts and icons; the two
    // shortcuts belong to the window, not to the actions; the profile tab
    // has no close button; the native window carries the name the keyboard
    // control looks for; start and end are logged.
    void form()
    {
        ScriptedPrompts prompts;
        {
            MainWindow w;
            showActive(w);
            QCOMPARE(w.objectName(), QStringLiteral("MainWindow"));
            QCOMPARE(w.windowHandle()->objectName(), QLatin1String(KeyReceiver::kMainWindowObjectName));

            const QList<QAction *> menus = w.menuBar()->actions();
            QCOMPARE(menus.size(), 4);
            const QStringList menuNames { "menuFile", "menu", "menu_2", "menu_4" };
            const QStringList menuTitles { "Файл", "Настройки", "Отчет", "Справка" };
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(menus[i]->menu()->objectName(), menuNames[i]);
                QCOMPARE(menus[i]->text(), menuTitles[i]);
            }
            struct Entry {
                const char *menu;
                int position;
                const char *name;
                const char *text;
                const char *icon;
            };
            const Entry entries[] = {
                { "menuFile", 0, "actionOpenTrace", "Открыть трассу", "open.png" },
                { "menuFile", 1, nullptr, "Сохранить трассы", "save.png" },
                { "menu_3", 0, "actionSaveToLocalFormat", "В исходном формате", nullptr },
                { "menu_3", 1, "actionSaveToPointFormat", "В виде координат (x,y)", nullptr },
                { "menu", 0, "actionSettings", "Параметры", "settings.png" },
                { "menu_2", 0, "actionPrint", "Сохранить", "print.png" },
                { "menu_4", 0, "actionProgramInfo", "О программе", nullptr },
            };
            for (const Entry &e : entries) {
                auto *menu = w.findChild<QMenu *>(QLatin1String(e.menu));
                QVERIFY2(menu, e.menu);
                QAction *action = menu->actions().value(e.position);
                QVERIFY2(action, e.text);
                if (e.name)
                    QCOMPARE(action->objectName(), QLatin1String(e.name));
                else
                    QCOMPARE(action->menu()->objectName(), QStringLiteral("menu_3"));
                QCOMPARE(action->text(), QString::fromUtf8(e.text));
                QCOMPARE(action->shortcut(), QKeySequence());
                if (e.icon) {
                    const QImage expected
                        = QIcon(QStringLiteral(":/icons/icons/") + e.icon).pixmap(16, 16).toImage();
                    QVERIFY2(!expected.isNull(), e.icon);
                    QCOMPARE(action->icon().pixmap(16, 16).toImage(), expected);
                } else {
                    QVERIFY2(action->icon().isNull(), e.text);
                }
            }

            QStringList keys;
            for (QShortcut *s : w.findChildren<QShortcut *>(QString(), Qt::FindDirectChildrenOnly)) {
                QCOMPARE(s->context(), Qt::WindowShortcut);
                keys << s->key().toString();
            }
            keys.sort();
            QCOMPARE(keys, (QStringList { "Ctrl+P", "Ctrl+S" }));

            QTabWidget *tabs = tabsOf(w);
            QCOMPARE(tabs->count(), 1);
            QCOMPARE(tabs->tabText(0), QStringLiteral("ПРОФИЛЬ"));
            QCOMPARE(tabs->widget(0), w.profileWindow);
            QVERIFY(tabs->tabsClosable());
            QVERIFY(!tabs->tabBar()->tabButton(0, QTabBar::RightSide));
            QVERIFY(!tabs->tabBar()->tabButton(0, QTabBar::LeftSide));
            QVERIFY(w.menuBar()->isEnabled());
            QVERIFY(!keysBlocked(w));
            saveWindowShot(&w, QStringLiteral("mainwindow"));
        }
        const QString log = logText();
        QVERIFY(log.contains("INFO: Start Programm"));
        QVERIFY(log.lastIndexOf("INFO: End programm") > log.lastIndexOf("INFO: Start Programm"));
    }

    // Measurement tabs: numbered by the tab count, current at once, on
    // clones of the handed-over traces, closable and deleted later. Numbers
    // may repeat after a close. The keyboard gate follows the current tab.
    void measurementTabs()
    {
        ScriptedPrompts prompts;
        MainWindow w;
        showActive(w);
        QTabWidget *tabs = tabsOf(w);
        std::unique_ptr<ContourTrace> original(slopeContour(200, 10, 0.3));
        const int originalPoints = original->rawData->at(0).size();

        w.createMeasurmentWidget({ original.get() });
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(1), QStringLiteral("ИЗМЕРЕНИЯ #1"));
        QCOMPARE(tabs->currentIndex(), 1);
        QVERIFY(logText().contains("INFO: Create measurment #1\n"));
        QPointer<ContourAnalisisWidget> first = qobject_cast<ContourAnalisisWidget *>(tabs->widget(1));
        QVERIFY(first);
        QCOMPARE(first->parentWidget()->parentWidget(), tabs);
        QVERIFY(tabs->tabBar()->tabButton(1, QTabBar::RightSide));
        QCOMPARE(original->rawData->at(0).size(), originalPoints);
        QVERIFY(keysBlocked(w));
        saveWindowShot(&w, QStringLiteral("mainwindow_measurement"));

        w.createMeasurmentWidget({ original.get() });
        QCOMPARE(tabs->tabText(2), QStringLiteral("ИЗМЕРЕНИЯ #2"));

        QTest::mouseClick(tabs->tabBar()->tabButton(1, QTabBar::RightSide), Qt::LeftButton);
        QVERIFY(logText().contains("INFO: Delete tab measurmen #1\n"));
        QCOMPARE(tabs->count(), 2);
        QTRY_VERIFY(first.isNull());
        w.createMeasurmentWidget({ original.get() });
        QCOMPARE(tabs->tabText(2), QStringLiteral("ИЗМЕРЕНИЯ #2"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("ИЗМЕРЕНИЯ #2"));

        tabs->setCurrentIndex(0);
        QVERIFY(!keysBlocked(w));
        tabs->setCurrentIndex(2);
        QVERIFY(keysBlocked(w));
        w.closeMeasurementTab(2);
        w.closeMeasurementTab(1);
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!keysBlocked(w));
    }

    // "Открыть трассу": the kind comes from the first line as it stands
    // (line ends dropped), the chosen folder is remembered and saved, and
    // the profile window reads the file whatever tab is current.
    void openTraceKind_data()
    {
        QTest::addColumn<bool>("contour");
        QTest::addColumn<QByteArray>("firstLine");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("readError"); // the file then reads as columns, which it is not
        QTest::newRow("CONTOURPROF, LF") << true << QByteArray("trace_type:CONTOURPROF\n") << 1 << false;
        QTest::newRow("CONTOURPROF, CRLF") << true << QByteArray("trace_type:CONTOURPROF\r\n") << 1 << false;
        QTest::newRow("CONTOUR") << true << QByteArray("trace_type:CONTOUR\n") << 0 << false;
        QTest::newRow("PROFILE") << false << QByteArray("trace_type:PROFILE\n") << 2 << false;
        QTest::newRow("blank before the name") << false << QByteArray("trace_type: PROFILE\n") << 0 << true;
    }
    void openTraceKind()
    {
        QFETCH(bool, contour);
        QFETCH(QByteArray, firstLine);
        QFETCH(int, kind);
        QFETCH(bool, readError);
        QDir().mkpath("opened");
        const QString path = contour ? writeContour("opened/trace.txt") : writeProfile("opened/trace.txt");
        replaceFirstLine(path, firstLine);

        ScriptedPrompts prompts;
        MainWindow w;
        std::unique_ptr<ContourTrace> trace(slopeContour(50));
        w.createMeasurmentWidget({ trace.get() });
        QSignalSpy ended(w.profileWindow, &ProfileAnalisisWidget::unlockButtons);
        prompts.expect(ScriptedPrompts::OpenFile, path);
        if (readError)
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        w.openNewTrace();
        QVERIFY(w.profileWindow->dataProvider());
        QCOMPARE(w.profileWindow->dataProvider()->trace()->traceType, kind);
        const QString folder = QFileInfo(path).absolutePath() + '/';
        QCOMPARE(Settings::instance().preferenses.save_trace_folder, folder);
        QCOMPARE(Settings::load(Settings::kFileName).preferenses.save_trace_folder, folder);
        QVERIFY(ended.wait(20000));
        QTRY_VERIFY(!w.profileWindow->dataProvider() || !w.profileWindow->dataProvider()->isRunning());
        QTRY_VERIFY(prompts.allAnswered());
    }

    // A file already open is not read a second time, whichever spelling of
    // its path names it: a second entry would rewrite the file without what
    // the first one changed. Its entry is selected and the status bar says so.
    void openingAnOpenFileSelectsItsEntry()
    {
        QDir().mkpath("opened");
        const QString path = writeProfile("opened/part.txt");
        ScriptedPrompts prompts;
        MainWindow w;
        QVERIFY(openTrace(w, prompts, path));
        QVERIFY(openTrace(w, prompts, writeProfile("opened/other.txt")));
        TraceList *list = w.profileWindow->traceList();
        const QList<int> ids = list->traces.keys();
        QCOMPARE(ids.size(), 2);
        const int part = list->traces.first()->filePath() == path ? ids.first() : ids.last();
        QVERIFY(list->selectedTrace && list->selectedTrace->id != part);
        auto *status = w.profileWindow->findChild<QStatusBar *>(QStringLiteral("statusBar"));
        QSignalSpy started(w.profileWindow, &ProfileAnalisisWidget::lockButtons);

        // Asked from a measurement tab, the profile tab comes forward.
        w.createMeasurmentWidget({ list->traces.value(part) });
        QVERIFY(tabsOf(w)->currentWidget() != w.profileWindow);
        for (const QString &again : { QDir::current().absoluteFilePath("opened/../opened/./part.txt"), path }) {
            prompts.expect(ScriptedPrompts::OpenFile, again);
            w.openNewTrace();
            QCOMPARE(tabsOf(w)->currentWidget(), w.profileWindow);
            QVERIFY(prompts.allAnswered());
            QCOMPARE(started.count(), 0);
            QCOMPARE(list->traces.keys(), ids);
            QVERIFY(list->selectedTrace);
            QCOMPARE(list->selectedTrace->id, part);
            QCOMPARE(status->currentMessage(), QStringLiteral("Файл уже открыт, выбрана его трасса: part.txt"));
            // The instrument's running status does not push it off at once.
            Q_EMIT w.profileWindow->deviceControlWidget()->statusBarText(QStringLiteral("Устройство 1 соединено"));
            QCOMPARE(status->currentMessage(), QStringLiteral("Файл уже открыт, выбрана его трасса: part.txt"));
        }
        QCOMPARE(prompts.unexpectedCount(), 0);
    }

    // A cancelled question and a file that cannot be opened change nothing
    // and show nothing.
    void openTraceNothing()
    {
        ScriptedPrompts prompts;
        MainWindow w;
        const QString folderBefore = Settings::instance().preferenses.save_trace_folder;
        prompts.expect(ScriptedPrompts::OpenFile, QString());
        w.openNewTrace();
        QVERIFY(!w.profileWindow->dataProvider());
        QCOMPARE(Settings::instance().preferenses.save_trace_folder, folderBefore);

        prompts.expect(ScriptedPrompts::OpenFile, QDir::current().absoluteFilePath("missing/none.txt"));
        w.openNewTrace();
        QVERIFY(!w.profileWindow->dataProvider());
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
    }

    // The arrow keys reach the instrument only while the profile tab is
    // current; a save or a report leaves the gate as the current tab sets it.
    void keyGate()
    {
        SimulatedInstrument sim(SimulatedInstrument::Profile);
        ScriptedPortCandidates ports { [&sim] {
            return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
        } };
        ScriptedPrompts prompts;
        MainWindow w;
        showActive(w);
        Device &device = w.profileWindow->deviceControlWidget()->device;
        QVERIFY(SimulatedInstrument::waitFor([&] { return device.parserState() == 1; }, 10000));
        device.sendRawText(QStringLiteral("DZ9")); // behind the start-up commands
        QVERIFY(sim.waitForMarker("DZ9"));

        // The receiver takes a press stamped in the same millisecond as the
        // last release of its key for the window system's auto-repeat. No
        // operator types that fast, but synthetic keys can: each keystroke
        // here waits until the event clock has moved past the last release.
        QElapsedTimer sinceLastKey;
        const auto jogs = [&] {
            sim.clearCommands();
            while (sinceLastKey.isValid() && sinceLastKey.elapsed() < 1)
                QTest::qWait(1);
            QTest::keyClick(w.windowHandle(), Qt::Key_Left);
            sinceLastKey.start();
            // The release acts once its grace has passed.
            SimulatedInstrument::waitFor([&] { return !w.profileWindow->keyReceiver->releasePending(); }, 5000);
            // A marker behind whatever the key sent: all of it has arrived.
            device.sendRawText(QStringLiteral("DZ9"));
            QList<QByteArray> moves;
            if (!sim.waitForMarker("DZ9"))
                moves << "no marker";
            for (const QByteArray &c : sim.commands())
                if (c.startsWith("DX"))
                    moves << c;
            return moves;
        };
        const QList<QByteArray> jog { "DX+", "DX0" };
        QCOMPARE(jogs(), jog);

        std::unique_ptr<ContourTrace> trace(slopeContour(50));
        w.createMeasurmentWidget({ trace.get() });
        // The operator works in the measurement window (arrow keys on a
        // focused tab bar would switch tabs).
        qobject_cast<ContourAnalisisWidget *>(tabsOf(w)->currentWidget())->plot()->setFocus();
        QCOMPARE(jogs(), QList<QByteArray>());

        // Ctrl+S on a measurement tab: nothing to see, and the keys stay off.
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(keysBlocked(w));
        QCOMPARE(jogs(), QList<QByteArray>());

        // The report on a measurement tab leaves the gate blocked.
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(prompts.allAnswered());
        QVERIFY(keysBlocked(w));

        tabsOf(w)->setCurrentIndex(0);
        // Switching tabs may hand the focus to the profile tab's first field
        // (where the keys rightly stay with the field): the operator clicks
        // on the profile window itself.
        w.profileWindow->setFocus();
        QCOMPARE(jogs(), jog);

        // A save on the profile tab (nothing to save) reopens the gate.
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().last().title, QStringLiteral("Ошибка сохранения трассы"));
        QCOMPARE(jogs(), jog);

        QCOMPARE(prompts.unexpectedCount(), 0);
        sim.pullCable();
    }

    // Ctrl+S with a name typed without ".txt" whose ".txt" file is there: the
    // operator is asked as for the full name; "No" leaves the file as it was,
    // "Yes" replaces it. The dialog, given the filter the window hands it,
    // lists a folder's ".txt" files and not its other ones.
    void ctrlSAsksBeforeReplacingTheTxtFile()
    {
        class FilterRecorder : public ScriptedPrompts {
        public:
            QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                const QString &filter) override
            {
                filters << filter;
                return ScriptedPrompts::saveFileName(parent, caption, dir, filter);
            }
            QStringList filters;
        } prompts;
        MainWindow w;
        showActive(w);
        QVERIFY(openTrace(w, prompts, writeProfile("shaft.txt")));
        const QString existing = QDir::current().absoluteFilePath("CtrlS_A.txt");
        QFile::remove(existing);
        {
            QFile file(existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept as it is\n");
        }
        const QString typed = QDir::current().absoluteFilePath("CtrlS_A");
        for (const auto answer : { QMessageBox::No, QMessageBox::Yes }) {
            prompts.expect(ScriptedPrompts::SaveFile, typed).expect(ScriptedPrompts::Message, answer);
            QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
            QVERIFY(prompts.allAnswered());
            QCOMPARE(prompts.calls().last().text, QStringLiteral("CtrlS_A.txt уже существует.\nЗаменить его?"));
            QFile file(existing);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            if (answer == QMessageBox::No)
                QCOMPARE(bytes, QByteArray("kept as it is\n"));
            else
                QVERIFY(bytes.contains("trace_type:PROFILE"));
        }
        QCOMPARE(prompts.unexpectedCount(), 0);
        QCOMPARE(prompts.filters.size(), 2);
        QTemporaryDir folder;
        for (const char *name : { "a.txt", "a.html" }) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        for (const QString &filter : qAsConst(prompts.filters))
            QCOMPARE(offeredBySaveDialog(folder.path(), filter), QStringList { "a.txt" });
        // The same dialog without a filter offers both: the one above left
        // "a.html" out, it was not just not read yet.
        QCOMPARE(
            offeredBySaveDialog(folder.path(), QStringLiteral("Все файлы (*)")), (QStringList { "a.html", "a.txt" }));
    }

    // While a reading runs the menus are disabled; the two shortcuts still
    // reach their handlers (which refuse while the trace is read).
    void menusLockedWhileReading()
    {
        Settings::instance().controllers = QStringList { QStringLiteral("Иванов") };
        Settings::instance().current_controller_name = QStringLiteral("Иванов");
        const QString path = writeProfile("large.txt", 400000, 0.5);
        ScriptedPrompts prompts;
        MainWindow w;
        showActive(w);
        QSignalSpy started(w.profileWindow, &ProfileAnalisisWidget::lockButtons);
        QSignalSpy ended(w.profileWindow, &ProfileAnalisisWidget::unlockButtons);
        prompts.expect(ScriptedPrompts::OpenFile, path);
        actionOf(w, "actionOpenTrace")->trigger();
        QVERIFY(started.count() || started.wait(5000));
        QVERIFY(!w.menuBar()->isEnabled());

        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().size(), 3);
        QVERIFY(ended.count() == 0);

        QVERIFY(ended.wait(30000));
        QVERIFY(w.menuBar()->isEnabled());
        QCOMPARE(prompts.unexpectedCount(), 0);
    }

    // The report: with no traces a warning; else the operator's name is
    // asked once while no controller is known.
    void reportWithoutTraces()
    {
        ScriptedPrompts prompts;
        MainWindow w;
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        actionOf(w, "actionPrint")->trigger();
        QCOMPARE(prompts.calls().size(), 1);
        QCOMPARE(prompts.calls().first().title, QStringLiteral("Ошибка печати отчёта"));
        QCOMPARE(prompts.calls().first().text, QStringLiteral("Нет трасс для сохранения отчёта"));
        QVERIFY(logText().contains("INFO: Saving report"));
        QVERIFY(!keysBlocked(w));
    }

    void controllerQuestion_data()
    {
        QTest::addColumn<QStringList>("controllers");
        QTest::addColumn<QVariant>("answer"); // invalid: no question expected; null string: cancelled
        QTest::addColumn<QStringList>("controllersAfter");
        QTest::addColumn<QString>("nameAfter");
        QTest::newRow("empty name accepted") << QStringList() << QVariant(QStringLiteral(""))
                                             << QStringList { QString() } << QStringLiteral("");
        QTest::newRow("name typed") << QStringList() << QVariant(QStringLiteral("Петров"))
                                    << QStringList { "Петров" } << QStringLiteral("Петров");
        QTest::newRow("cancelled") << QStringList() << QVariant(QString()) << QStringList() << QString();
        QTest::newRow("controller known")
            << QStringList { "Иванов" } << QVariant() << QStringList { "Иванов" } << QString();
        // (a null nameAfter: the operator's name is left as it was)
    }
    void controllerQuestion()
    {
        QFETCH(QStringList, controllers);
        QFETCH(QVariant, answer);
        QFETCH(QStringList, controllersAfter);
        QFETCH(QString, nameAfter);
        Settings::instance().controllers = controllers;
        if (!controllers.isEmpty())
            Settings::instance().current_controller_name = controllers.first();
        const QString nameBefore = Settings::instance().current_controller_name;
        if (nameAfter.isNull())
            nameAfter = nameBefore;
        ScriptedPrompts prompts;
        MainWindow w;
        QVERIFY(openTrace(w, prompts, writeProfile("report.txt")));

        const bool asked = answer.isValid();
        const bool cancelled = asked && answer.toString().isNull();
        if (asked)
            prompts.expect(ScriptedPrompts::Item, cancelled ? QVariant() : answer);
        if (!cancelled)
            prompts.expect(ScriptedPrompts::SaveFile, QString());
        w.printReport();
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
        if (asked) {
            const ScriptedPrompts::Call question = prompts.calls().at(1);
            QCOMPARE(question.title, QStringLiteral("Контроллер"));
            QCOMPARE(question.text, QStringLiteral("Имя контролёра"));
        }
        const Settings &s = Settings::instance();
        QCOMPARE(s.controllers, controllersAfter);
        QCOMPARE(s.current_controller_name, nameAfter);
        if (asked && !cancelled) {
            QCOMPARE(Settings::load(Settings::kFileName).controllers, controllersAfter);
            // Known now: the next report asks only for its file.
            prompts.expect(ScriptedPrompts::SaveFile, QString());
            w.printReport();
            QVERIFY(prompts.allAnswered());
            QCOMPARE(prompts.unexpectedCount(), 0);
        }
        QVERIFY(!keysBlocked(w));
    }

    // Closing the settings with Cancel still tells every window: a
    // measurement tab re-applies the axis unit.
    void settingsCancelRecomputes()
    {
        ScriptedPrompts prompts;
        MainWindow w;
        std::unique_ptr<ContourTrace> trace(slopeContour(50));
        w.createMeasurmentWidget({ trace.get() });
        auto *tab = qobject_cast<ContourAnalisisWidget *>(tabsOf(w)->widget(1));
        QCOMPARE(tab->unitSuffixText(), QStringLiteral(" мм"));
        Settings::instance().axis_unit = 2;
        QSignalSpy changed(&w, &MainWindow::settingsChanged);
        prompts.expect(ScriptedPrompts::Dialog, QDialog::Rejected);
        actionOf(w, "actionSettings")->trigger();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(tab->unitSuffixText(), QStringLiteral(" нм"));
        const QString log = logText();
        QVERIFY(log.lastIndexOf("INFO: Close SettingsDialog") > log.lastIndexOf("INFO: Open SettingsDialog"));
        QVERIFY(keysBlocked(w));
    }
};

VANTOR_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
