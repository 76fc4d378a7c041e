#include "support/freshsettings.h"
#include "support/simulatedinstrument.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include "analysis/profileanalisiswidget.h"
#include "dataproviders/filedataprovider.h"
#include "mainwindow.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"
#include "tracelist.h"
#include "traces/tracereaders.h"
#include "traces/tracewriter.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/fastsettingswidget.h"
#include "widgets/keyreceiver.h"
#include "widgets/prompts.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <functional>

// The keyboard control of the instrument, through the whole program: real key
// events go where Qt delivers them while real dialogs, message boxes, menus
// and file dialogs are open, and the simulated instrument on the
// pseudo-terminal tells what reached it. Every dialog runs modally as in the
// program; a script run by timers inside its event loop sends the keys, and a
// watchdog closes whatever is still open after a time limit, so no case can
// hang.

using namespace InstrumentReplies;

namespace {

// The default prompts object (real Qt dialogs) that also notes what was asked
// and what came back. Opening a URL is only noted.
class RecordingPrompts : public Prompts {
public:
    struct Call {
        QString kind;
        QString title;
        QVariant result;
    };
    RecordingPrompts() { m_previous = Prompts::install(this); }
    ~RecordingPrompts() override { Prompts::install(m_previous); }

    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
        const QString &text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def) override
    {
        const auto answer = Prompts::message(parent, icon, title, text, buttons, def);
        calls.append({ QStringLiteral("message"), title, int(answer) });
        return answer;
    }
    int execMessageBox(QMessageBox *box) override
    {
        const int result = Prompts::execMessageBox(box);
        calls.append({ QStringLiteral("box"), box->windowTitle(), int(box->standardButton(box->clickedButton())) });
        return result;
    }
    int execDialog(QDialog *dialog) override
    {
        const QString title = dialog->windowTitle();
        const int result = Prompts::execDialog(dialog);
        calls.append({ QStringLiteral("dialog"), title, result });
        return result;
    }
    QAction *execMenu(QMenu *menu, const QPoint &pos) override
    {
        QAction *chosen = Prompts::execMenu(menu, pos);
        calls.append({ QStringLiteral("menu"), menu->title(), chosen ? chosen->text() : QString() });
        return chosen;
    }
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override
    {
        const QString path = Prompts::openFileName(parent, caption, dir, filter);
        calls.append({ QStringLiteral("open"), caption, path });
        return path;
    }
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override
    {
        const QString path = Prompts::saveFileName(parent, caption, dir, filter);
        calls.append({ QStringLiteral("save"), caption, path });
        return path;
    }
    bool openUrl(const QUrl &url) override
    {
        calls.append({ QStringLiteral("url"), url.toLocalFile(), true });
        return true;
    }

    // The result of the last call of that kind and title; invalid when none.
    QVariant last(const QString &kind, const QString &title = QString()) const
    {
        for (int i = calls.size() - 1; i >= 0; --i)
            if (calls[i].kind == kind && (title.isNull() || calls[i].title == title))
                return calls[i].result;
        return QVariant();
    }

    QList<Call> calls;

private:
    Prompts *m_previous = nullptr;
};

// Where key events go: through the window that has the focus, as the window
// system delivers them, or straight to the widget that has the focus (the
// popup, when one is open), as a widget test sends them.
enum Delivery { ThroughWindow, ToFocusWidget };

// A list of steps run one by one from timers, each once its condition holds.
// The next step is armed before a step acts, so a step that opens a modal
// dialog or a menu (and waits inside its event loop) does not stop the
// script. A step that waits for something else (the end of a trace, what
// the instrument received) runs to its end before the next step: while it
// waits, the next step only runs once a dialog or a menu has opened.
class KeyScript : public QObject {
public:
    struct Step {
        QString what;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    KeyScript(QWidget *mainWindow, Delivery delivery)
        : m_main(mainWindow)
        , m_delivery(delivery)
    {
    }

    KeyScript &until(const QString &what, std::function<bool()> ready)
    {
        m_steps.append({ what, std::move(ready), [] {} });
        return *this;
    }
    KeyScript &then(const QString &what, std::function<void()> act)
    {
        m_steps.append({ what, [] { return true; }, std::move(act) });
        return *this;
    }
    KeyScript &press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        return then(QStringLiteral("press %1").arg(QKeySequence(key).toString()),
            [this, key, modifiers] { send(true, key, modifiers); });
    }
    // A release acts once its grace has passed; the next step waits for that.
    KeyScript &release(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        then(QStringLiteral("release %1").arg(QKeySequence(key).toString()),
            [this, key, modifiers] { send(false, key, modifiers); });
        return until(QStringLiteral("release acted on"), [this] {
            auto *main = qobject_cast<MainWindow *>(m_main);
            return !main || !main->profileWindow->keyReceiver->releasePending();
        });
    }
    KeyScript &key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        return press(k, modifiers).release(k, modifiers);
    }
    // The modal dialog whose title is given is up and has the keyboard.
    KeyScript &dialogUp(const QString &title)
    {
        return until(QStringLiteral("dialog \"%1\"").arg(title), [title] {
            QWidget *modal = QApplication::activeModalWidget();
            return modal && modal->isVisible() && modal->windowTitle() == title
                && QApplication::activeWindow() == modal;
        });
    }
    KeyScript &popupUp()
    {
        return until(QStringLiteral("popup"), [] {
            QWidget *popup = QApplication::activePopupWidget();
            return popup && popup->isVisible();
        });
    }
    KeyScript &nothingOpen()
    {
        return until(QStringLiteral("nothing open"),
            [] { return !QApplication::activeModalWidget() && !QApplication::activePopupWidget(); });
    }
    // The window system gives the keyboard back to the main window, where
    // the release of a key pressed in a closed dialog lands.
    KeyScript &backAtMainWindow()
    {
        nothingOpen();
        then(QStringLiteral("activate the main window"), [this] { m_main->activateWindow(); });
        return until(QStringLiteral("main window active"), [this] {
            return QApplication::activeWindow() == m_main && QGuiApplication::focusWindow() == m_main->windowHandle();
        });
    }

    // Runs the steps; true when all ran and nothing stayed open within the
    // limit. Past it everything open is closed and the stuck step reported.
    bool run(int limitMs = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, this, [&] {
            if (clock.elapsed() > limitMs)
                closeEverything();
        });
        watchdog.start(100);
        QTimer::singleShot(0, this, [this] { next(); });
        while (!(m_steps.isEmpty() && m_acting.isEmpty() && !QApplication::activeModalWidget()
            && !QApplication::activePopupWidget())) {
            QTest::qWait(20);
            if (clock.elapsed() > limitMs + 5000)
                break;
        }
        if (!m_steps.isEmpty())
            stuck = m_steps.first().what;
        return stuck.isEmpty() && clock.elapsed() <= limitMs;
    }

    QString stuck;

private:
    // What was open when a step began to act.
    struct Open {
        QWidget *modal;
        QWidget *popup;
        bool operator==(const Open &other) const { return modal == other.modal && popup == other.popup; }
    };
    static Open openNow() { return { QApplication::activeModalWidget(), QApplication::activePopupWidget() }; }

    void next()
    {
        if (m_steps.isEmpty() || !stuck.isEmpty())
            return;
        // A step still acting has opened nothing since it began: it waits
        // for an event of its own, which the next step must not overtake.
        if (!m_acting.isEmpty() && m_acting.last() == openNow()) {
            QTimer::singleShot(20, this, [this] { next(); });
            return;
        }
        if (!m_steps.first().ready()) {
            QTimer::singleShot(20, this, [this] { next(); });
            return;
        }
        const Step step = m_steps.takeFirst();
        QTimer::singleShot(20, this, [this] { next(); });
        m_acting.append(openNow());
        step.act();
        m_acting.removeLast();
    }

    void send(bool press, Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        if (m_delivery == ThroughWindow) {
            QWindow *window = QGuiApplication::focusWindow();
            if (!window)
                window = m_main->windowHandle();
            press ? QTest::keyPress(window, key, modifiers) : QTest::keyRelease(window, key, modifiers);
            return;
        }
        QWidget *target = QApplication::activePopupWidget();
        if (!target)
            target = QApplication::focusWidget();
        if (!target)
            target = QApplication::activeWindow();
        if (!target)
            target = m_main;
        press ? QTest::keyPress(target, key, modifiers) : QTest::keyRelease(target, key, modifiers);
    }

    void closeEverything()
    {
        if (!m_steps.isEmpty() && stuck.isEmpty())
            stuck = m_steps.first().what;
        stuck += QStringLiteral(" (open: %1 %2, focus: %3)")
                     .arg(QApplication::activePopupWidget() ? QApplication::activePopupWidget()->metaObject()->className()
                                                            : "no popup",
                         QApplication::activeModalWidget() ? QApplication::activeModalWidget()->windowTitle()
                                                           : QStringLiteral("no dialog"),
                         QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                                     : "none");
        m_steps.clear();
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
        else if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    }

    QWidget *m_main;
    Delivery m_delivery;
    QList<Step> m_steps;
    QVector<Open> m_acting;
};

QString writeProfile(const QString &name)
{
    std::unique_ptr<ProfileTrace> trace(sineProfile(1.0, 4000, 800, 1));
    const QString path = QDir::current().absoluteFilePath(name);
    QFile::remove(path);
    if (!TraceWriter::saveTraceFile(path, *trace))
        qWarning("not written: %s", qPrintable(path));
    return path;
}

// A profile trace file whose first line names no kind: it reads as a column
// file, which it is not, and the reading fails with a message.
QString writeMalformed(const QString &name)
{
    const QString path = writeProfile(name);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    file.close();
    bytes = "trace_type: PROFILE\n" + bytes.mid(bytes.indexOf('\n') + 1);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    return path;
}

// A run whose Ra calls for another cut-off than the panel's, so the
// question of the filter change follows the trace.
ProfileRun runAskingForAnotherCutOff()
{
    ProfileRun run;
    for (int i = 0; i < 200; ++i)
        run.live.append(quint16(30000 + 50 * (i % 7)));
    run.blockDivisor = 500;
    run.blockScale = 100000;
    for (int i = 0; i < 3000; ++i)
        run.block.append(quint16(30000 + std::lround(1500 * std::sin(2 * M_PI * i / 40))));
    return run;
}

// The program on a simulated profile instrument, maximised and in front,
// with the keyboard focus on the profile plot.
struct Program {
    SimulatedInstrument sim { SimulatedInstrument::Profile };
    ScriptedPortCandidates ports { [this] {
        return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
    } };
    RecordingPrompts prompts;
    // Files are proposed with a name to the second: each case saves into a
    // folder of its own.
    QTemporaryDir folder { QDir::current().absoluteFilePath("files-XXXXXX") };
    std::unique_ptr<MainWindow> window;

    Program()
    {
        Settings &s = freshSettings();
        s.preferenses.enabled_params = { { 0, QStringLiteral("Ra") } };
        s.preferenses.enabled_params_count = 1;
        s.preferenses.save_trace_folder = folder.path() + '/';
        s.preferenses.save_report_folder = folder.path() + '/';
        s.controllers = QStringList { QStringLiteral("Иванов") };
        s.current_controller_name = QStringLiteral("Иванов");
        sim.setProfileRun(runAskingForAnotherCutOff());
        window = std::make_unique<MainWindow>();
        window->resize(1600, 1000);
        window->show();
        window->activateWindow();
    }
    ~Program()
    {
        // Whatever a failed case left open is closed, and a trace still
        // under way ends with a flat block, so its reader is done before
        // the window goes and nothing waits for a person.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [] {
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        closer.start(50);
        if (!window->menuBar()->isEnabled())
            endTrace();
        sim.pullCable();
        window.reset();
    }

    bool ready()
    {
        if (!QTest::qWaitForWindowActive(window.get()))
            return false;
        if (!SimulatedInstrument::waitFor([&] { return device().parserState() == 1; }, 10000))
            return false;
        window->profileWindow->mainPlot()->setFocus();
        QTest::qWait(100);
        sim.clearCommands();
        return true;
    }

    // The instrument ends the trace under way with a flat sample block.
    void sendEnd()
    {
        ProfileRun flat;
        flat.live = QVector<quint16>(20, 30000);
        flat.block = QVector<quint16>(400, 30000);
        sim.send(profileTrace(flat));
    }
    // The window has taken the end of the trace and unlocked.
    bool traceEnded() const { return window->menuBar()->isEnabled(); }
    // Ends the trace under way; true once the window has taken the end.
    bool endTrace()
    {
        sendEnd();
        return SimulatedInstrument::waitFor([this] { return traceEnded(); }, 10000);
    }

    KeyReceiver *keys() const { return window->profileWindow->keyReceiver; }
    // A key event to the main window, stamped as the window system stamps it.
    void sendStamped(QEvent::Type type, Qt::Key key, ulong stamp)
    {
        QKeyEvent e(type, key, Qt::NoModifier);
        e.setTimestamp(stamp);
        QCoreApplication::sendEvent(window->windowHandle(), &e);
    }

    Device &device() const { return window->profileWindow->deviceControlWidget()->device; }
    DeviceControlWidget *panel() const { return window->profileWindow->deviceControlWidget(); }
    QPushButton *panelButton(const char *name) const { return panel()->findChild<QPushButton *>(name); }
    QMenu *menu(const char *name) const { return window->findChild<QMenu *>(QLatin1String(name)); }

    // Reads a trace file into the profile window as "Открыть трассу" does.
    bool read(const QString &path)
    {
        QSignalSpy ended(window->profileWindow, &ProfileAnalisisWidget::unlockButtons);
        QByteArray kind;
        FileDataProvider::firstLineKind(path, kind);
        window->profileWindow->setDataProvider(new FileDataProvider(path));
        window->profileWindow->startReading(unsigned(TraceFormat::kindFromName(kind)));
        return ended.wait(20000);
    }

    // Everything the instrument received so far: a marker is sent last and
    // waited for, so nothing still under way is missed.
    QList<QByteArray> received()
    {
        // A key's release acts once its grace has passed.
        SimulatedInstrument::waitFor([&] { return !window->profileWindow->keyReceiver->releasePending(); }, 5000);
        device().sendRawText(QStringLiteral("Z"));
        SimulatedInstrument::waitFor([&] { return sim.commands().contains("Z"); }, 5000);
        QList<QByteArray> commands = sim.commands();
        commands.removeAll("Z");
        sim.clearCommands();
        return commands;
    }

    void clickMenuTitle(QMenu *m)
    {
        QMenuBar *bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(m->menuAction()).center());
    }
};

// Commands that only a key meant for the instrument sends: the trace start,
// the stop, a jog of any axis, a calibration or its reset.
QList<QByteArray> keyCommands(const QList<QByteArray> &commands)
{
    QList<QByteArray> found;
    for (const QByteArray &c : commands)
        if (c == "CS" || c == "CC" || c.startsWith('D') || c.startsWith('K') || c == "CK")
            found << c;
    return found;
}

// What the stop sends a profile instrument.
const QList<QByteArray> kStop { "CC", "CV" };

QString joined(const QList<QByteArray> &commands)
{
    QStringList parts;
    for (const QByteArray &c : commands)
        parts << QString::fromLatin1(c);
    return parts.join(' ');
}

} // namespace

class TestKeyboardControl : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each situation runs with the keys delivered through the window system's
    // path and straight to the focus widget. The instrument must receive no
    // trace start, stop, jog or calibration from the keys meant for the
    // dialog, menu or field, and that dialog, menu or field must get them.
    void keysStayWhereTheOperatorIs_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("delivery");
        const QStringList situations { "about closed with Return", "settings accepted with Return",
            "cut-off question answered with Return", "Return in the open Справка menu",
            "Down and Return in the Настройки menu", "save dialog of Ctrl+S closed with Return",
            "report dialog of Ctrl+P closed with Return", "Return in the file-open dialog",
            "parameter chooser from the context menu", "reference Ra typed and accepted with Return",
            "error message closed with Return", "keys in the quick settings' file name field",
            "Ctrl+S with its release lost, then a plain click on the calibration button" };
        for (const QString &s : situations) {
            QTest::newRow(qPrintable(s + ", through the window")) << s << int(ThroughWindow);
            QTest::newRow(qPrintable(s + ", to the focus widget")) << s << int(ToFocusWidget);
        }
    }
    void keysStayWhereTheOperatorIs()
    {
        QFETCH(QString, situation);
        QFETCH(int, delivery);
        Program p;
        QVERIFY(p.ready());
        MainWindow *w = p.window.get();
        KeyScript script(w, Delivery(delivery));
        // What the instrument may receive because the dialog got its key.
        QList<QByteArray> expected;
        // Checks that the dialog, menu or field got its key, after the run.
        std::function<void()> check;

        if (situation == "about closed with Return") {
            script.then("open", [w] { w->findChild<QAction *>("actionProgramInfo")->trigger(); })
                .dialogUp("О программе")
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            check = [&] { QCOMPARE(p.prompts.last("dialog", "О программе").toInt(), int(QDialog::Accepted)); };
        } else if (situation == "settings accepted with Return") {
            script.then("open", [w] { w->findChild<QAction *>("actionSettings")->trigger(); })
                .dialogUp("Параметры")
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            check = [&] { QCOMPARE(p.prompts.last("dialog", "Параметры").toInt(), int(QDialog::Accepted)); };
        } else if (situation == "cut-off question answered with Return") {
            const int filterBefore = Settings::instance().spinbox_filter_length_index;
            script.then("start a trace with the mouse",
                      [&p] { QTest::mouseClick(p.panelButton("startTraceButton"), Qt::LeftButton); })
                .dialogUp("Изменение фильтра")
                .until("the question takes keys",
                    [] {
                        QWidget *modal = QApplication::activeModalWidget();
                        return modal && modal->property("takesKeys").toBool();
                    })
                .then("forget the start", [&p] { p.received(); })
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            // "Да" is the default button: the filter changes as answered.
            check = [&p, filterBefore] {
                QCOMPARE(p.prompts.last("box", "Изменение фильтра").toInt(), int(QMessageBox::Yes));
                QVERIFY(Settings::instance().spinbox_filter_length_index != filterBefore);
            };
        } else if (situation == "Return in the open Справка menu") {
            QMenu *help = p.menu("menu_4");
            script.then("open the menu", [&p, help] { p.clickMenuTitle(help); })
                .popupUp()
                .then("point at \"О программе\"", [help] { help->setActiveAction(help->actions().first()); })
                .press(Qt::Key_Return)
                .dialogUp("О программе")
                .release(Qt::Key_Return)
                .key(Qt::Key_Escape)
                .backAtMainWindow();
            check = [&] { QCOMPARE(p.prompts.last("dialog", "О программе").toInt(), int(QDialog::Rejected)); };
        } else if (situation == "Down and Return in the Настройки menu") {
            QMenu *settings = p.menu("menu");
            script.then("open the menu", [&p, settings] { p.clickMenuTitle(settings); })
                .popupUp()
                .key(Qt::Key_Down)
                .press(Qt::Key_Return)
                .dialogUp("Параметры")
                .release(Qt::Key_Return)
                .key(Qt::Key_Escape)
                .backAtMainWindow();
            check = [&] { QCOMPARE(p.prompts.last("dialog", "Параметры").toInt(), int(QDialog::Rejected)); };
        } else if (situation == "save dialog of Ctrl+S closed with Return") {
            QVERIFY(p.read(writeProfile("shaft.txt")));
            p.received();
            const QString title = p.window->profileWindow->allTraces().first()->name();
            script.then("Ctrl+S", [&p] { QTest::keyClick(p.window->windowHandle(), Qt::Key_S, Qt::ControlModifier); })
                .dialogUp(title)
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            check = [&p, title] {
                const QString path = p.prompts.last("save", title).toString();
                QVERIFY(!path.isEmpty());
                // The proposed name has no extension; the trace is written as ".txt".
                QVERIFY(QFileInfo(TraceSaving::withTraceSuffix(path)).size() > 0);
            };
        } else if (situation == "report dialog of Ctrl+P closed with Return") {
            QVERIFY(p.read(writeProfile("shaft.txt")));
            p.received();
            script.then("Ctrl+P", [&p] { QTest::keyClick(p.window->windowHandle(), Qt::Key_P, Qt::ControlModifier); })
                .dialogUp("Сохранить отчет")
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            check = [&p] {
                const QString path = p.prompts.last("save", "Сохранить отчет").toString();
                QVERIFY(!path.isEmpty());
                QVERIFY(QFileInfo(path + ".html").size() > 0);
            };
        } else if (situation == "Return in the file-open dialog") {
            const QString path = writeProfile("chosen.txt");
            script.then("open", [w] { w->findChild<QAction *>("actionOpenTrace")->trigger(); })
                .dialogUp("Открыть трассу")
                .then("type the path", [path] {
                    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                    auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
                    name->setFocus();
                    name->setText(path);
                })
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return)
                .until("file read", [&p] { return !p.window->profileWindow->allTraces().isEmpty(); });
            check = [&p, path] {
                QCOMPARE(p.prompts.last("open", "Открыть трассу").toString(), path);
                QCOMPARE(p.window->profileWindow->allTraces().size(), 1);
            };
        } else if (situation == "parameter chooser from the context menu") {
            QVERIFY(p.read(writeProfile("shaft.txt")));
            p.received();
            auto *params = p.window->findChild<QTreeWidget *>("paramsListTreeWidget");
            QVERIFY(params->topLevelItemCount() > 0);
            const QPoint at = params->visualItemRect(params->topLevelItem(0)).center();
            script.then("context menu of the parameters", [params, at] {
                          QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, at, params->viewport()->mapToGlobal(at));
                          QApplication::sendEvent(params->viewport(), &menuEvent);
                      })
                .popupUp()
                .key(Qt::Key_Down)
                .press(Qt::Key_Return)
                .dialogUp("Настройки")
                .release(Qt::Key_Return)
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            check = [&p] {
                QCOMPARE(p.prompts.last("menu").toString(), QStringLiteral("Отображённые параметры"));
                QCOMPARE(p.prompts.last("dialog", "Настройки").toInt(), int(QDialog::Accepted));
            };
        } else if (situation == "reference Ra typed and accepted with Return") {
            const double before = Settings::instance().calibration_Ra_value;
            script.then("click the calibration button",
                      [&p] { QTest::mouseClick(p.panelButton("calibPushButton"), Qt::LeftButton); })
                .dialogUp("Калибровка")
                .key(Qt::Key_Up) // one step up in the value field
                .key(Qt::Key_PageUp)
                .key(Qt::Key_Space)
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            // The accepted value is what the instrument calibrates against.
            check = [&p, before] {
                QCOMPARE(p.prompts.last("dialog", "Калибровка").toInt(), int(QDialog::Accepted));
                QVERIFY(Settings::instance().calibration_Ra_value > before);
            };
            expected = { "K*" };
        } else if (situation == "error message closed with Return") {
            const QString path = writeMalformed("malformed.txt");
            script.then("read the file", [&p, path] {
                          p.window->profileWindow->setDataProvider(new FileDataProvider(path));
                          p.window->profileWindow->startReading(0);
                      })
                .dialogUp("Error")
                .press(Qt::Key_Return)
                .backAtMainWindow()
                .release(Qt::Key_Return);
            check = [&p] { QCOMPARE(p.prompts.last("message", "Error").toInt(), int(QMessageBox::Ok)); };
        } else if (situation == "keys in the quick settings' file name field") {
            auto *name = p.window->findChild<QLineEdit *>("traceFileNameLineEdit");
            QVERIFY(name && name->isEnabled());
            name->setText(QStringLiteral("Деталь"));
            script.then("click into the field", [name] { QTest::mouseClick(name, Qt::LeftButton); })
                .until("field focused", [name] { return name->hasFocus(); })
                .key(Qt::Key_End)
                .key(Qt::Key_Space)
                .key(Qt::Key_Left)
                .key(Qt::Key_Right)
                .key(Qt::Key_Return);
            check = [&p, name] {
                QCOMPARE(name->text(), QStringLiteral("Деталь "));
                QCOMPARE(Settings::instance().default_trace_file_name, QStringLiteral("Деталь "));
                QVERIFY(name->hasFocus());
                Q_UNUSED(p)
            };
        } else if (situation == "Ctrl+S with its release lost, then a plain click on the calibration button") {
            // Nothing to save: the message comes and is closed with the
            // mouse; the Ctrl release never reaches the program.
            QPushButton *calib = p.panelButton("calibPushButton");
            script.press(Qt::Key_Control)
                .press(Qt::Key_S, Qt::ControlModifier)
                .dialogUp("Ошибка сохранения трассы")
                .then("close it with the mouse",
                    [] {
                        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                    })
                .backAtMainWindow()
                .then("a plain click", [calib] { QTest::mouseClick(calib, Qt::LeftButton); })
                .dialogUp("Калибровка")
                .key(Qt::Key_Escape)
                .backAtMainWindow();
            check = [&p, calib] {
                QCOMPARE(p.prompts.last("dialog", "Калибровка").toInt(), int(QDialog::Rejected));
                QCOMPARE(calib->text(), QStringLiteral("Калибровка"));
            };
        } else {
            QFAIL("unknown situation");
        }

        const bool ran = script.run();
        QVERIFY2(ran, qPrintable("stuck at: " + script.stuck));
        const QList<QByteArray> received = p.received();
        QList<QByteArray> unexpected = keyCommands(received);
        for (const QByteArray &allowed : expected) {
            for (int i = unexpected.size() - 1; i >= 0; --i)
                if (unexpected[i] == allowed || (allowed.endsWith('*') && unexpected[i].startsWith(allowed.chopped(1))))
                    unexpected.removeAt(i);
        }
        QVERIFY2(unexpected.isEmpty(), qPrintable("the instrument received: " + joined(received)));
        for (const QByteArray &wanted : expected) {
            if (!wanted.endsWith('*'))
                QVERIFY2(received.contains(wanted), qPrintable("not received " + wanted + ": " + joined(received)));
        }
        check();
    }

    // At the main window with nothing open the keys drive the instrument:
    // Return starts a trace, Space stops it, the arrows and the page keys
    // jog from press to release.
    void keysDriveTheInstrumentAtTheMainWindow_data()
    {
        QTest::addColumn<int>("delivery");
        QTest::newRow("through the window") << int(ThroughWindow);
        QTest::newRow("to the focus widget") << int(ToFocusWidget);
    }
    void keysDriveTheInstrumentAtTheMainWindow()
    {
        QFETCH(int, delivery);
        Program p;
        QVERIFY(p.ready());
        p.sim.setAnswering(false); // the trace started stays under way until stopped
        KeyScript script(p.window.get(), Delivery(delivery));
        QList<QList<QByteArray>> seen;
        const auto note = [&] { seen << p.received(); };
        script.press(Qt::Key_Left).then("", note).release(Qt::Key_Left).then("", note);
        for (Qt::Key k : { Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown })
            script.key(k).then("", note);
        script.press(Qt::Key_Return).then("", note).release(Qt::Key_Return).then("", note);
        script.key(Qt::Key_Space).then("", note);
        QVERIFY2(script.run(), qPrintable("stuck at: " + script.stuck));

        QCOMPARE(seen.size(), 10);
        QCOMPARE(seen[0], QList<QByteArray> { "DX+" }); // moves from the press...
        QCOMPARE(seen[1], QList<QByteArray> { "DX0" }); // ...to the release
        QCOMPARE(seen[2], (QList<QByteArray> { "DX-", "DX0" }));
        QCOMPARE(seen[3], (QList<QByteArray> { "DZ+", "DZ0" }));
        QCOMPARE(seen[4], (QList<QByteArray> { "DZ-", "DZ0" }));
        QCOMPARE(seen[5], (QList<QByteArray> { "DY+", "DY0" }));
        QCOMPARE(seen[6], (QList<QByteArray> { "DY-", "DY0" }));
        QCOMPARE(keyCommands(seen[7]), QList<QByteArray>()); // Return starts on its release
        QVERIFY2(seen[8].contains("CS"), qPrintable(joined(seen[8])));
        QVERIFY2(seen[9].contains("CC"), qPrintable(joined(seen[9])));
    }

    // A jog held at the main window stops as soon as the program can no
    // longer see its key's release; the release, when it comes, sends
    // nothing more, and the next keystroke at the main window jogs again.
    void heldJogStopsWhenItsReleaseCannotBeSeen_data()
    {
        QTest::addColumn<QString>("situation");
        for (const char *s : { "application deactivated", "another window takes the keyboard", "a dialog opens",
                 "its button disabled by a trace started with the mouse" })
            QTest::newRow(s) << QString::fromUtf8(s);
    }
    void heldJogStopsWhenItsReleaseCannotBeSeen()
    {
        QFETCH(QString, situation);
        Program p;
        QVERIFY(p.ready());
        p.sim.setAnswering(false); // a trace started stays under way
        MainWindow *w = p.window.get();
        KeyScript script(w, ThroughWindow);
        QList<QList<QByteArray>> seen;
        const auto note = [&] { seen << p.received(); };
        QWidget other;
        other.setObjectName(QStringLiteral("Terminal"));

        script.press(Qt::Key_Right).then("", note);
        if (situation == "application deactivated") {
            script.then("deactivate", [] { QApplication::setActiveWindow(nullptr); })
                .then("", note)
                .release(Qt::Key_Right)
                .then("", note)
                .then("reactivate", [w] { QApplication::setActiveWindow(w); })
                .backAtMainWindow();
        } else if (situation == "another window takes the keyboard") {
            script
                .then("another window",
                    [&other] {
                        other.show();
                        other.activateWindow();
                    })
                .until("other window active", [&other] { return QApplication::activeWindow() == &other; })
                .then("", note)
                .release(Qt::Key_Right)
                .then("", note)
                .then("close it", [&other] { other.close(); })
                .backAtMainWindow();
        } else if (situation == "a dialog opens") {
            script.then("open", [w] { w->findChild<QAction *>("actionProgramInfo")->trigger(); })
                .dialogUp("О программе")
                .then("", note)
                .release(Qt::Key_Right)
                .then("", note)
                .key(Qt::Key_Escape)
                .backAtMainWindow();
        } else {
            script.then("click ТРАССА", [&p] { QTest::mouseClick(p.panelButton("startTraceButton"), Qt::LeftButton); })
                .then("", note)
                .release(Qt::Key_Right)
                .then("", note);
        }
        const bool tracing = situation.startsWith("its button");
        script.then("a new keystroke", [] { QTest::qWait(2); }).key(tracing ? Qt::Key_Space : Qt::Key_Right);
        script.then("", note);
        QVERIFY2(script.run(), qPrintable("stuck at: " + script.stuck));

        QCOMPARE(seen.size(), 4);
        QCOMPARE(seen[0], QList<QByteArray> { "DX-" });
        QVERIFY2(seen[1].contains("DX0"), qPrintable(joined(seen[1])));
        if (tracing) // stopped before the trace starts
            QVERIFY2(seen[1].indexOf("DX0") < seen[1].indexOf("CS"), qPrintable(joined(seen[1])));
        else
            QCOMPARE(seen[1], QList<QByteArray> { "DX0" });
        QVERIFY2(seen[2].isEmpty(), qPrintable(joined(seen[2])));
        QCOMPARE(seen[3], tracing ? kStop : (QList<QByteArray> { "DX-", "DX0" }));
    }

    // While a trace runs only the stop key acts: the jog keys and Return
    // send nothing, and reach no widget.
    void onlyTheStopKeyActsDuringATrace()
    {
        Program p;
        QVERIFY(p.ready());
        p.sim.setAnswering(false);
        KeyScript script(p.window.get(), ThroughWindow);
        QList<QList<QByteArray>> seen;
        const auto note = [&] { seen << p.received(); };
        script.key(Qt::Key_Return).then("", note);
        const QList<Qt::Key> keys { Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp,
            Qt::Key_PageDown, Qt::Key_Return };
        for (Qt::Key k : keys)
            script.press(k).then("", note).release(k).then("", note);
        script.key(Qt::Key_Space).then("", note);
        QVERIFY2(script.run(), qPrintable("stuck at: " + script.stuck));

        QCOMPARE(seen.size(), 2 * keys.size() + 2);
        QVERIFY2(seen.first().contains("CS"), qPrintable(joined(seen.first())));
        for (int i = 1; i <= 2 * keys.size(); ++i)
            QVERIFY2(seen[i].isEmpty(),
                qPrintable(QKeySequence(keys[(i - 1) / 2]).toString() + " sent " + joined(seen[i])));
        QVERIFY2(seen.last() == kStop, qPrintable(joined(seen.last())));
    }

    // The window system repeats a held key as release and press pairs with
    // one time stamp; on a busy machine the press comes late. A jog held so
    // moves once and stops once; Return held so starts one trace, on its
    // real release, and sends nothing while the trace runs.
    void heldKeyRepeatedLateIsOneCommand_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QList<QByteArray>>("whileHeld");
        QTest::newRow("Up") << int(Qt::Key_Up) << QList<QByteArray> { "DZ+" };
        QTest::newRow("Return") << int(Qt::Key_Return) << QList<QByteArray>();
    }
    void heldKeyRepeatedLateIsOneCommand()
    {
        QFETCH(int, key);
        QFETCH(QList<QByteArray>, whileHeld);
        Program p;
        QVERIFY(p.ready());
        p.sim.setAnswering(false);
        ulong stamp = 10000000;
        p.sendStamped(QEvent::KeyPress, Qt::Key(key), stamp);
        for (int i = 0; i < 12; ++i) {
            stamp += 33;
            p.sendStamped(QEvent::KeyRelease, Qt::Key(key), stamp);
            QTest::qWait(20); // the press comes late
            p.sendStamped(QEvent::KeyPress, Qt::Key(key), stamp);
            QTest::qWait(13);
        }
        QCOMPARE(p.received(), whileHeld);
        p.sendStamped(QEvent::KeyRelease, Qt::Key(key), stamp + 100);
        const QList<QByteArray> afterRelease = p.received();
        if (key == Qt::Key_Up) {
            QCOMPARE(afterRelease, QList<QByteArray> { "DZ0" });
            return;
        }
        QCOMPARE(afterRelease.count("CS"), 1);
        QCOMPARE(afterRelease.size(), 4); // the three trace parameters, then the start
        // Held again during the trace: nothing at all.
        p.sendStamped(QEvent::KeyPress, Qt::Key(key), stamp + 500);
        for (int i = 0; i < 6; ++i) {
            p.sendStamped(QEvent::KeyRelease, Qt::Key(key), stamp + 533 + 33 * i);
            QTest::qWait(20);
            p.sendStamped(QEvent::KeyPress, Qt::Key(key), stamp + 533 + 33 * i);
        }
        p.sendStamped(QEvent::KeyRelease, Qt::Key(key), stamp + 900);
        QCOMPARE(p.received(), QList<QByteArray>());
    }

    // Space stops a running trace whichever field of the main window has the
    // focus, and types nothing into it.
    void stopKeyStopsATraceFromEveryField()
    {
        Program p;
        QVERIFY(p.ready());
        p.sim.setAnswering(false);
        MainWindow *w = p.window.get();
        QStringList tried;
        QList<QPointer<QWidget>> fields;
        for (int round = 0; round == 0 || !fields.isEmpty(); ++round) {
            w->profileWindow->mainPlot()->setFocus();
            QTest::qWait(2);
            QTest::keyClick(w->windowHandle(), Qt::Key_Return);
            QVERIFY2(p.received().contains("CS"), qPrintable(tried.join(", ")));
            if (round == 0) {
                // The fields that can have the focus while a trace runs.
                for (QWidget *child : w->findChildren<QWidget *>()) {
                    QWidget *parent = child->parentWidget();
                    const bool part = parent && KeyReceiver::takesTypedKeys(parent);
                    if (!part && KeyReceiver::takesTypedKeys(child) && child->isVisible() && child->isEnabled()
                        && child->focusPolicy() != Qt::NoFocus)
                        fields << child;
                }
                QVERIFY(!fields.isEmpty());
            }
            QWidget *field = fields.takeFirst();
            QVERIFY(field);
            const QString name = field->objectName().isEmpty() ? field->metaObject()->className() : field->objectName();
            tried << name;
            field->setFocus(Qt::MouseFocusReason);
            QVERIFY2(field->hasFocus(), qPrintable(name));
            auto *edit = qobject_cast<QLineEdit *>(field);
            auto *spin = qobject_cast<QAbstractSpinBox *>(field);
            const QString before = edit ? edit->text() : spin ? spin->text() : QString();
            QTest::qWait(2);
            QTest::keyClick(w->windowHandle(), Qt::Key_Space);
            QCOMPARE(p.received(), kStop);
            QCOMPARE(edit ? edit->text() : spin ? spin->text() : QString(), before);
            QVERIFY2(p.endTrace(), qPrintable(name));
        }
        qInfo("fields tried: %s", qPrintable(tried.join(", ")));
        QVERIFY(tried.contains("histogramDensitySpinBox"));
    }

    // Starting, stopping and ending a trace never leaves the focus in a
    // field, however the focus got where it was: the keys that follow go to
    // the instrument, and the stop key stops. Each way also with an
    // instrument that answers 40 ms late, so that no check can come before
    // what it checks.
    void focusAfterATraceIsInNoField_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("replyDelay");
        for (const char *s : { "ТРАССА and СТОП clicked", "trace ended by the instrument with the focus on СТОП",
                 "calibration dialog escaped, then Return and Space",
                 "trace's cut-off list escaped, then Return and Space" }) {
            QTest::newRow(s) << QString::fromUtf8(s) << 0;
            QTest::newRow(qPrintable(QString::fromUtf8(s) + ", the instrument 40 ms late"))
                << QString::fromUtf8(s) << 40;
        }
    }
    void focusAfterATraceIsInNoField()
    {
        QFETCH(QString, way);
        QFETCH(int, replyDelay);
        Program p;
        if (replyDelay > 0)
            p.sim.setReplyDelay(replyDelay);
        QVERIFY(p.ready());
        p.sim.setAnswering(false);
        MainWindow *w = p.window.get();
        auto *fileName = w->findChild<QLineEdit *>("traceFileNameLineEdit");
        const QString nameBefore = fileName->text();
        QStringList where;
        const auto focusInNoField = [&where](const QString &when) {
            QWidget *focus = QApplication::focusWidget();
            where << when + ": " + (focus ? focus->metaObject()->className() + QStringLiteral(" ") + focus->objectName() : "none");
            return !KeyReceiver::takesTypedKeys(focus);
        };
        QList<QList<QByteArray>> seen;
        const auto note = [&] { seen << p.received(); };
        QList<bool> noField;
        const auto check = [&](const QString &when) { noField << focusInNoField(when); };
        KeyScript script(w, ThroughWindow);
        QPushButton *start = p.panelButton("startTraceButton");
        QPushButton *stop = p.panelButton("stopTraceButton");
        QPointer<QComboBox> cutOff;

        if (way == "ТРАССА and СТОП clicked") {
            script.then("click ТРАССА", [start] { QTest::mouseClick(start, Qt::LeftButton); })
                .then("", [&] { check("started"); })
                .then("click СТОП", [stop] { QTest::mouseClick(stop, Qt::LeftButton); })
                .then("", [&] { check("stopped"); })
                .then("end", [&] { p.sendEnd(); })
                .until("trace ended", [&] { return p.traceEnded(); })
                .then("", [&] { check("ended"); });
        } else if (way == "trace ended by the instrument with the focus on СТОП") {
            script.key(Qt::Key_Return)
                .then("", [&] { check("started"); })
                .then("tab to СТОП", [stop] { stop->setFocus(Qt::TabFocusReason); })
                .then("end", [&] { p.sendEnd(); })
                .until("trace ended", [&] { return p.traceEnded(); })
                .then("", [&] { check("ended"); });
        } else {
            if (way.startsWith("calibration")) {
                script.then("click Калибровка", [&p] { QTest::mouseClick(p.panelButton("calibPushButton"), Qt::LeftButton); })
                    .dialogUp("Калибровка")
                    .key(Qt::Key_Escape)
                    .backAtMainWindow();
            } else if (way.startsWith("trace's")) {
                QVERIFY(p.read(writeProfile("shaft.txt")));
                p.received();
                cutOff = w->profileWindow->traceList()->findChild<QComboBox *>("filterComboBox");
                QVERIFY(cutOff && cutOff->isVisible());
                script.then("click the cut-off list", [&cutOff] { QTest::mouseClick(cutOff, Qt::LeftButton); })
                    .popupUp()
                    .key(Qt::Key_Escape)
                    .nothingOpen()
                    .until("list focused", [&cutOff] { return cutOff->hasFocus(); });
            } else {
                QFAIL("unknown way");
            }
            script.then("a new keystroke", [] { QTest::qWait(2); })
                .key(Qt::Key_Return)
                // The list the operator had chosen keeps the focus: the
                // start did not move it.
                .then("", [&] { noField << (focusInNoField("started") || QApplication::focusWidget() == cutOff); })
                .then("", note)
                .key(Qt::Key_Space)
                .then("", note)
                .then("end", [&] { p.sendEnd(); })
                .until("trace ended", [&] { return p.traceEnded(); })
                .then("", [&] { check("ended"); });
        }
        QVERIFY2(script.run(30000), qPrintable("stuck at: " + script.stuck));
        QVERIFY2(!noField.contains(false), qPrintable(where.join("; ")));
        if (!seen.isEmpty()) {
            QCOMPARE(seen.size(), 2);
            QVERIFY2(seen[0].contains("CS"), qPrintable(joined(seen[0])));
            QCOMPARE(seen[1], kStop);
        }
        QCOMPARE(fileName->text(), nameBefore);
    }
};

VANTOR_TEST_MAIN(TestKeyboardControl)
#include "tst_keyboardcontrol.moc"
