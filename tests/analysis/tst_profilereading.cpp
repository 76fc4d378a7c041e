#include "support/fuzzy.h"
#include "support/goldenreport.h"
#include "support/simulatedinstrument.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include "profilewindowfixture.h"

#include "algos/threadhandoff.h"
#include "dataproviders/devicedataprovider.h"
#include "device/deviceport.h"
#include "plot/adaptivecurve.h"
#include "plot/plotwidget.h"
#include "report/reportdata.h"
#include "settings/common.h"
#include "traces/paramsmap.h"
#include "traces/tracesaving.h"
#include "traces/tracewriter.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/fastsettingswidget.h"
#include "widgets/keyreceiver.h"
#include "widgets/usersdialog.h"

#include <QElapsedTimer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTreeWidget>
#include <cmath>

using namespace InstrumentReplies;

namespace {

// A provider whose worker waits at a gate while the test fills the trace on
// the GUI thread and announces the points itself.
class GatedProvider : public DataProvider {
public:
    GatedProvider()
        : DataProvider(QStringLiteral("gated"))
    {
    }
    ~GatedProvider() override
    {
        open();
        waitForFinished();
    }
    void announce(int from, int count) { Q_EMIT dataBatchReady(from, count); }
    // Lets the worker go on with what the test put into the trace.
    void open()
    {
        handOff(&gate);
        gate.release(1);
    }
    QSemaphore gate;

protected:
    void prepare() override { }
    bool obtainData() override
    {
        gate.acquire();
        takeOver(&gate);
        return true;
    }
};

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A 6 mm profile (Ra 1 µm) with the given additional traces, written at path.
QString writeProfile(const QString &path, int additional = 0, double cutOff = 2500)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    std::unique_ptr<ProfileTrace> main(sineProfile(1.0, 6000, cutOff));
    std::vector<std::unique_ptr<ProfileTrace>> runs;
    for (int i = 0; i < additional; ++i) {
        runs.emplace_back(sineProfile(1.0 + 0.5 * (i + 1), 6000, cutOff));
        runs.back()->setTraceType(ADDITIONAL_TRACE);
        main->addAdditionalTrace(runs.back().get());
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!TraceWriter::saveTraceFile(full, *main))
        qWarning("not written: %s", qPrintable(full));
    main->additionalTraces.clear();
    return full;
}

QString writeContour(const QString &path, int kind)
{
    std::unique_ptr<ContourTrace> trace(slopeContour(300, 10, 0.2));
    trace->setTraceType(kind);
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!TraceWriter::saveTraceFile(full, *trace))
        qWarning("not written: %s", qPrintable(full));
    return full;
}

QTreeWidgetItem *listItem(TraceList *list, int id)
{
    auto *tree = list->findChild<QTreeWidget *>(QStringLiteral("tracesListTreeWidget"));
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == id)
            return *it;
    }
    return nullptr;
}

// The PNG embedded in a report, decoded.
QImage reportImage(const QString &path)
{
    const QByteArray html = fileBytes(path);
    const QByteArray marker = "data:image/png;base64,";
    const int at = html.indexOf(marker);
    if (at < 0)
        return {};
    const int end = html.indexOf('"', at);
    return QImage::fromData(QByteArray::fromBase64(html.mid(at + marker.size(), end - at - marker.size())), "PNG");
}

// Notes whether the key receiver was switched off at each message.
class KeyWatchingPrompts : public ScriptedPrompts {
public:
    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
        const QString &text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) override
    {
        keysBlocked << (keys && keys->signalsBlocked());
        return ScriptedPrompts::message(parent, icon, title, text, buttons, defaultButton);
    }
    QObject *keys = nullptr;
    QList<bool> keysBlocked;
};

// Readers that run out of memory once they have read their trace.
class FileOutOfMemory : public FileDataProvider {
public:
    using FileDataProvider::FileDataProvider;

protected:
    bool obtainData() override
    {
        FileDataProvider::obtainData();
        throw std::bad_alloc();
    }
};
class AcquisitionOutOfMemory : public DeviceDataProvider {
public:
    using DeviceDataProvider::DeviceDataProvider;

protected:
    bool obtainData() override
    {
        DeviceDataProvider::obtainData();
        throw std::bad_alloc();
    }
};

// The automatic folder lies next to the test programs, and the others that
// run meanwhile acquire into it too: a trace name of this process's own keeps
// the path of a trace from being taken by another program's trace in the
// same second (which would write over a file a test reads back, or take the
// path of a dropped trace). Every test that acquires takes it.
void useOwnTraceName()
{
    Settings::instance().default_trace_file_name = QStringLiteral("Деталь%1").arg(QCoreApplication::applicationPid());
}

// A simulated instrument, offered as the only port while it is plugged in.
// The traces acquired from it take a name of this process's own.
struct SimulatedLine {
    SimulatedInstrument sim;
    ScriptedPortCandidates ports { [this] {
        return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
    } };
    explicit SimulatedLine(SimulatedInstrument::Kind kind)
        : sim(kind)
    {
        useOwnTraceName();
    }
};

// A profile run's 600 live samples, as a short trace streams them; with
// cut, the stream stops after them.
ProfileRun liveSamples(bool cut)
{
    ProfileRun run;
    for (int i = 0; i < 600; ++i)
        run.live.append(quint16(30000 + 50 * (i % 7)));
    run.stopsBeforeBlock = cut;
    return run;
}

ScriptedPrompts::Handler clickButton(QMessageBox::StandardButton button)
{
    return [button](QObject *subject) {
        auto *box = qobject_cast<QMessageBox *>(subject);
        if (box)
            box->button(button)->click();
        return QVariant(int(button));
    };
}

ScriptedPrompts::Handler clickNo()
{
    return clickButton(QMessageBox::No);
}

// Notes the path each save question proposes.
class ProposalRecorder : public ScriptedPrompts {
public:
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override
    {
        proposals << dir;
        return ScriptedPrompts::saveFileName(parent, caption, dir, filter);
    }
    QStringList proposals;
};

// An instrument run of 3000 points 2 µm apart: a sine of 1.5 µm amplitude
// and 80 µm wavelength (Ra 0.95 µm, for which the standard asks 0.8 mm),
// after 600 live counts.
ProfileRun sineRun()
{
    ProfileRun run = liveSamples(false);
    run.blockDivisor = 500; // 2 µm apart
    run.blockScale = 100000; // 0.001 µm per unit
    for (int i = 0; i < 3000; ++i)
        run.block.append(quint16(30000 + std::lround(1500 * std::sin(2 * M_PI * i / 40))));
    return run;
}

// The simulated profile instrument on a line the port search finds, with
// the run it answers "ТРАССА" with.
struct ProfileInstrument : SimulatedLine {
    explicit ProfileInstrument(const ProfileRun &run)
        : SimulatedLine(SimulatedInstrument::Profile)
    {
        sim.setProfileRun(run);
    }
    // True once the panel is connected and has sent its start-up commands.
    bool started(DeviceControlWidget *panel)
    {
        if (!SimulatedInstrument::waitFor([&] { return panel->device.parserState() == 1; }, 10000))
            return false;
        panel->device.sendRawText(QStringLiteral("DZ9")); // behind the start-up commands
        return sim.waitForMarker("DZ9");
    }
};

QString shownValue(TraceList *list, int row = 0)
{
    auto *params = list->findChild<QTreeWidget *>(QStringLiteral("paramsListTreeWidget"));
    return params->topLevelItem(row) ? params->topLevelItem(row)->text(1) : QString();
}

} // namespace

class TestProfileReading : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { defaultSettings().preferenses.save_trace_folder = QDir::currentPath() + QLatin1Char('/'); }

    // A profile file with two additional traces: three holders, the two
    // additional traces listed unchecked and hidden, the main trace selected
    // with its parameters; the file is not written again.
    void profileFileWithAdditionalTraces()
    {
        ProfileWindowFixture f;
        const QString path = writeProfile(QStringLiteral("COM3/three.txt"), 2);
        const QByteArray before = fileBytes(path);
        QVERIFY(f.read(path, PROFILE));

        QCOMPARE(f.window->graphHolders.size(), 3);
        QCOMPARE(f.list()->traces.size(), 3);
        const QList<int> ids = f.window->graphHolders.keys();
        auto *main = dynamic_cast<ProfileTrace *>(f.list()->traces.value(ids[0]));
        QVERIFY(main && main->traceType == PROFILE);
        QCOMPARE(main->additionalTraces.size(), 2);
        QVERIFY(f.holder(ids[0])->isVisible());
        for (int i = 1; i < 3; ++i) {
            QVERIFY(!f.holder(ids[i])->isVisible());
            QCOMPARE(listItem(f.list(), ids[i])->checkState(0), Qt::Unchecked);
            // Their chain ran: zeroed.
            const QVector<double> &y = main->additionalTraces[i - 1]->processedData->at(1);
            QCOMPARE(*std::min_element(y.begin(), y.end()), 0.0);
        }
        QCOMPARE(f.list()->selectedTrace, main);
        QVERIFY(listItem(f.list(), ids[0])->isSelected());
        QVERIFY(main->results.value(QStringLiteral("Ra")).text().startsWith(QStringLiteral("1.")));
        // A file under a "COM" folder is a file all the same: neither
        // rewritten nor cut-off checked (no question was scripted).
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(f.prompts.unexpectedCount(), 0);
        QCOMPARE(f.holder(ids[0])->curve()->dataCount(), main->processedData->at(0).size());
        for (QAction *a : f.window->toolActions())
            QCOMPARE(a->isEnabled(), a->objectName() != "actionCut" && a->objectName() != "actionRFit");

        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        saveWindowShot(f.window.get(), QStringLiteral("profile_window_after_file"));
    }

    // Batches draw the raw points: contour heights add the console height.
    void batchesDrawRawPoints_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("drawnY");
        QTest::newRow("contour, µm") << int(CONTOUR) << 1 << 1.5;
        QTest::newRow("contour, mm") << int(CONTOUR) << 0 << 0.0015;
        QTest::newRow("profile, µm") << int(PROFILE) << 1 << 1.0;
    }
    void batchesDrawRawPoints()
    {
        QFETCH(int, kind);
        QFETCH(int, unit);
        QFETCH(double, drawnY);
        Settings::instance().axis_unit = unit;
        ProfileWindowFixture f;
        auto *provider = new GatedProvider;
        f.window->setDataProvider(provider);
        QVERIFY(f.window->startReading(unsigned(kind)));
        QTRY_VERIFY(!f.window->graphHolders.isEmpty());
        QVERIFY(f.window->isAcquiring);
        AbstractTrace *trace = provider->trace();
        for (int i = 0; i < 10; ++i) {
            QVector<double> p { i * 100.0, 1.0, 500.0 };
            trace->addPoint(p);
        }
        provider->announce(0, 4);
        provider->announce(4, 6);
        const auto *data = f.holder(trace->id)->curve()->data().data();
        QCOMPARE(data->size(), 10);
        const double factor = unit == 0 ? 0.001 : 1;
        QCOMPARE_REL(data->at(9)->key, 900 * factor, 1e-12);
        for (int i = 0; i < 10; ++i)
            QCOMPARE_REL(data->at(i)->value, drawnY, 1e-12);

        // A reset drops the drawn points and the trace's; later batches start at 0.
        Q_EMIT provider->dataReset();
        QCOMPARE(data->size(), 0);
        QCOMPARE(trace->pointCount(), 0);
        QCOMPARE(trace->channelCount(), kind == PROFILE ? 2 : 3);
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        provider->open();
        QVERIFY(ended.wait(5000));
        QVERIFY(!f.window->isAcquiring);
    }

    // A broken file: the provider's text in a warning, then the window unlocked.
    void brokenFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("missing") << "missing.txt" << QByteArray() << int(PROFILE) << "Can't open file ";
        QTest::newRow("broken binary") << "broken.Vantor" << QByteArray("\x01\x02garbage", 9) << int(CONTOUR)
                                       << "Error in ";
        QTest::newRow("binary shorter than its header") << "short.Vantor" << QByteArray("\x01", 1) << int(CONTOUR)
                                                        << "Error in ";
        QTest::newRow("every record refused") << "words.dat" << QByteArray("depth x\nwidth y\n") << int(CONTOUR)
                                              << "Error in ";
    }
    void brokenFile()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(int, kind);
        QFETCH(QString, prefix);
        const QString path = QDir::current().absoluteFilePath(file);
        QFile::remove(path);
        if (!content.isEmpty()) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(content);
        }
        ProfileWindowFixture f;
        // A trace read before stays as it was.
        QVERIFY(f.read(writeContour("kept.txt", CONTOUR), CONTOUR));
        const QList<int> before = f.list()->traces.keys();
        auto *tree = f.list()->findChild<QTreeWidget *>(QStringLiteral("tracesListTreeWidget"));
        QCOMPARE(tree->topLevelItemCount(), 1);
        for (int attempt = 0; attempt < 2; ++attempt) {
            f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
            QVERIFY(f.read(path, kind));
            QVERIFY(f.prompts.allAnswered());
            QCOMPARE(f.prompts.calls().last().title, QStringLiteral("Error"));
            // The provider's text as it gives it.
            QVERIFY(f.prompts.calls().last().text.startsWith(prefix));
            QVERIFY(!f.window->isAcquiring);
            QVERIFY(f.action("actionPAN")->isEnabled());
            QVERIFY(f.window->medianFilterCheckBox->isEnabled());
            // No point was read: no entry, no holder, no curve.
            QCOMPARE(f.list()->traces.keys(), before);
            QCOMPARE(tree->topLevelItemCount(), 1);
            QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("kept"));
            QCOMPARE(f.window->graphHolders.keys(), before);
        }
    }

    // A copy of a trace file cut short: what it holds is listed, drawn and
    // evaluated, and the operator is told how much of it is missing.
    void cutFileIsListedWithANotice()
    {
        const QByteArray whole = fileBytes(writeProfile(QStringLiteral("whole.txt"), 2));
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("cut.txt"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(whole.left(30000));
        out.close();

        ProfileWindowFixture f;
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QVERIFY(f.read(path, PROFILE));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.calls().last().title, QStringLiteral("Error"));
        const QString text = f.prompts.calls().last().text;
        const QRegularExpressionMatch notice
            = QRegularExpression(QStringLiteral("^Error in (.*): 6001 points announced, (\\d+) read; "
                                                "2 additional traces announced, 0 read$"))
                  .match(text);
        QVERIFY2(notice.hasMatch(), qPrintable(text));
        QCOMPARE(notice.captured(1), path);

        QCOMPARE(f.list()->traces.size(), 1);
        auto *main = dynamic_cast<ProfileTrace *>(f.list()->traces.first());
        QVERIFY(main);
        const int kept = main->rawData->at(0).size();
        QCOMPARE(notice.captured(2).toInt(), kept);
        QVERIFY(kept > 1000 && kept < 6001);
        QVERIFY(main->additionalTraces.isEmpty());
        QCOMPARE(f.holder(main->id)->curve()->dataCount(), kept);
        QVERIFY(!main->results.value(QStringLiteral("Ra")).text().isEmpty());
        QVERIFY(!f.window->isAcquiring);

        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        saveWindowShot(f.window.get(), QStringLiteral("profile_window_cut_file"));
    }

    // A file that reads without error but holds no point adds no entry
    // either, and says so.
    void fileWithoutPoints()
    {
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("empty.dat"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.close();
        ProfileWindowFixture f;
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QVERIFY(f.read(path, CONTOUR));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.calls().last().text, QStringLiteral("В файле нет точек трассы:\n") + path);
        QVERIFY(f.list()->traces.isEmpty());
        QVERIFY(f.window->graphHolders.isEmpty());
    }

    // Files of one layout opened again and again: every entry is named by
    // its file, never by the default name of an acquired trace.
    void filesAreNamedByTheirFiles()
    {
        const QString contourA = writeContour(QStringLiteral("левая.txt"), CONTOUR);
        const QString contourB = writeContour(QStringLiteral("правая.txt"), CONTOUR);
        const QString profile = writeProfile(QStringLiteral("профиль.txt"));
        const QString columns = QDir::current().absoluteFilePath(QStringLiteral("столбцы.dat"));
        {
            QFile out(columns);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("0 1 0\n1 2 0\n2 1 0\n");
        }
        ProfileWindowFixture f;
        auto *tree = f.list()->findChild<QTreeWidget *>(QStringLiteral("tracesListTreeWidget"));
        const QList<QPair<QString, int>> files { { contourA, CONTOUR }, { contourB, CONTOUR }, { profile, PROFILE },
            { columns, CONTOUR } };
        for (int i = 0; i < 32; ++i) {
            const auto &[path, kind] = files.at(i % files.size());
            // The entry is titled once, when the reading starts.
            QVERIFY(f.read(path, kind));
            QCOMPARE(tree->topLevelItemCount(), i + 1);
            QCOMPARE(tree->topLevelItem(i)->text(0), QFileInfo(path).completeBaseName());
        }
        QVERIFY(f.prompts.allAnswered());
    }

    // The cable pulled before the sample block: the live counts are not
    // saved under "Профили", get no parameters, and the operator is told;
    // the next trace after the reconnection is saved as always.
    void acquisitionInterruptedBeforeTheBlock()
    {
        SimulatedLine line(SimulatedInstrument::Profile);
        SimulatedInstrument &sim = line.sim;
        const ProfileRun cut = liveSamples(true);
        sim.setProfileRun(cut);

        // Other tests may acquire into the same folder meanwhile: the files
        // are told apart by the traces' own paths.
        const QString folder = automaticTraceFolder(QCoreApplication::applicationDirPath());

        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(SimulatedInstrument::waitFor([&] { return panel->device.parserState() == 1; }, 10000));
        QTest::qWait(100);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

        QPointer<DataProvider> provider;
        QObject watchers;
        connect(panel, &DeviceControlWidget::newTrace, &watchers, [&](DataProvider *p) { provider = p; });
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("startTraceButton")), Qt::LeftButton);
        QVERIFY(SimulatedInstrument::waitFor(
            [&] { return provider && provider->trace() && provider->trace()->pointCount() >= 599; }, 10000));
        QVERIFY(f.window->isAcquiring);
        const QString cutPath = provider->trace()->filePath();
        QCOMPARE(QFileInfo(cutPath).absolutePath(), QFileInfo(folder).absoluteFilePath());

        {
            // The instrument's keys are off while the message is up.
            KeyWatchingPrompts watch;
            watch.keys = f.window->keyReceiver;
            QVERIFY(watch.keys);
            watch.expect(ScriptedPrompts::Message, QMessageBox::Ok);
            QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
            sim.pullCable();
            QVERIFY(ended.wait(10000));
            QVERIFY(watch.allAnswered());
            QCOMPARE(watch.calls().last().title, QStringLiteral("Трасса прервана"));
            QVERIFY(watch.calls().last().text.contains(QStringLiteral("Трасса не сохранена")));
            QCOMPARE(watch.keysBlocked, QList<bool> { true });
            QVERIFY(!watch.keys->signalsBlocked());
        }
        QVERIFY(!QFileInfo::exists(cutPath));
        QVERIFY(f.list()->traces.isEmpty());
        QVERIFY(f.window->graphHolders.isEmpty());
        auto *params = f.list()->findChild<QTreeWidget *>(QStringLiteral("paramsListTreeWidget"));
        QCOMPARE(params->topLevelItemCount(), 0);
        QVERIFY(!f.window->isAcquiring);
        QVERIFY(f.action("actionPAN")->isEnabled());
        saveWindowShot(f.window.get(), QStringLiteral("profile_window_trace_interrupted"));

        // Plugged in again: the next trace comes whole and is saved.
        ProfileRun whole = cut;
        whole.stopsBeforeBlock = false;
        whole.blockDivisor = 500;
        whole.blockScale = 100000;
        for (int i = 0; i < 3000; ++i)
            whole.block.append(quint16(30000 + std::lround(1500 * std::sin(2 * M_PI * i / 40))));
        sim.setProfileRun(whole);
        sim.plugIn();
        QVERIFY(SimulatedInstrument::waitFor([&] { return panel->device.parserState() == 1; }, 10000));
        QTest::qWait(100);
        f.prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::No, clickNo());
        QSignalSpy ended2(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("startTraceButton")), Qt::LeftButton);
        QVERIFY(ended2.wait(20000));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.list()->traces.size(), 1);
        AbstractTrace *trace = f.list()->traces.first();
        QCOMPARE(QFileInfo(trace->filePath()).absolutePath(), QFileInfo(folder).absoluteFilePath());
        QCOMPARE(trace->pointCount(), 3000);
        QCOMPARE(*readTraceFile<ProfileTrace>(trace->filePath())->rawData, *trace->rawData);
        QCOMPARE(params->topLevelItemCount(), 1);
        QVERIFY(!params->topLevelItem(0)->text(1).isEmpty());
        sim.pullCable();
    }

    // The instrument: "ТРАССА" draws batch by batch, the block replaces the
    // live points, the end saves the trace and checks its cut-off; an
    // additional trace rewrites its main trace's file.
    void acquisition()
    {
        ProfileInstrument instrument(sineRun());
        SimulatedInstrument &sim = instrument.sim;
        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(instrument.started(panel));

        QList<int> drawn;
        QList<int> atReset;
        QPointer<DataProvider> provider;
        // The watchers go before what they write into: nothing a provider
        // still emits while the window is torn down reaches them.
        QObject watchers;
        connect(panel, &DeviceControlWidget::newTrace, &watchers, [&](DataProvider *p) {
            provider = p;
            connect(p, &DataProvider::dataBatchReady, &watchers,
                [&, p] {
                    // The window made the holder at the latest with this batch.
                    QVERIFY(f.holder(p->trace()->id));
                    drawn << f.holder(p->trace()->id)->curve()->dataCount();
                });
            connect(p, &DataProvider::dataReset, &watchers,
                [&, p] { atReset << f.holder(p->trace()->id)->curve()->dataCount(); });
        });
        // The measured Ra calls for another cut-off: the question, answered no.
        f.prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::No, clickNo());
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("startTraceButton")), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.calls().first().title, QStringLiteral("Изменение фильтра"));

        QVERIFY(drawn.size() > 3);
        QCOMPARE(atReset, QList<int> { 0 });
        // Live batches grow the curve, the block starts it again from 0.
        int restarts = 0;
        for (int i = 1; i < drawn.size(); ++i)
            restarts += drawn[i] < drawn[i - 1] ? 1 : 0;
        QCOMPARE(restarts, 1);
        QCOMPARE(drawn.last(), 3000);

        QCOMPARE(f.list()->traces.size(), 1);
        auto *main = dynamic_cast<ProfileTrace *>(f.list()->traces.first());
        QVERIFY(main);
        QVERIFY(QFileInfo(main->filePath()).fileName().startsWith(Settings::instance().default_trace_file_name + '_'));
        auto saved = readTraceFile<ProfileTrace>(main->filePath());
        QCOMPARE(*saved->rawData, *main->rawData);
        QCOMPARE(saved->additionalTraces.size(), 0);
        QVERIFY(panel->findChild<QPushButton *>(QStringLiteral("additionalTracePushButton"))->isEnabled());
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        saveWindowShot(f.window.get(), QStringLiteral("profile_window_after_acquisition"));

        // An additional trace: its main trace's file now holds it.
        f.prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::No, clickNo());
        QSignalSpy ended2(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("additionalTracePushButton")), Qt::LeftButton);
        QVERIFY(ended2.wait(20000));
        QCOMPARE(f.list()->traces.size(), 2);
        QCOMPARE(main->additionalTraces.size(), 1);
        auto rewritten = readTraceFile<ProfileTrace>(main->filePath());
        QCOMPARE(rewritten->additionalTraces.size(), 1);
        QCOMPARE(*rewritten->additionalTraces.first()->rawData, *main->additionalTraces.first()->rawData);
        sim.pullCable();
    }

    // The recorded controller is not in the list any more: deleted in the
    // controllers dialog while the window is open, or gone from the file
    // before the window was made. The quick settings show the first
    // controller, and that name is saved and goes into the next trace and
    // its file.
    void recordedControllerIsTheOneShown_data()
    {
        QTest::addColumn<bool>("deleteInDialog");
        QTest::newRow("deleted in the dialog") << true;
        QTest::newRow("gone from the file") << false;
    }

    void recordedControllerIsTheOneShown()
    {
        QFETCH(bool, deleteInDialog);
        {
            Settings &s = Settings::instance();
            s.controllers = QStringList { QStringLiteral("Иванов"), QStringLiteral("Петров") };
            if (!deleteInDialog)
                s.controllers.removeLast();
            s.current_controller_name = QStringLiteral("Петров");
            QVERIFY(s.save());
            s = Settings::load(QString::fromLatin1(Settings::kFileName));
        }
        ProfileInstrument instrument(sineRun());
        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(instrument.started(panel));
        auto *shown = f.window->fastSettingsWidget()->findChild<QComboBox *>(QStringLiteral("controllersComboBox"));
        if (deleteInDialog) {
            QCOMPARE(shown->currentText(), QStringLiteral("Петров"));
            UsersDialog dialog(1, {});
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto *names = dialog.findChild<QListWidget *>(QStringLiteral("listWidget"));
            QTest::mouseClick(names->viewport(), Qt::LeftButton, {}, names->visualItemRect(names->item(1)).center());
            QTest::keyClick(names, Qt::Key_Delete);
            QCOMPARE(names->count(), 1);
            QTest::mouseClick(
                dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            // As after the settings dialog closes.
            f.window->settingsChanged();
        }
        QCOMPARE(shown->currentText(), QStringLiteral("Иванов"));
        QCOMPARE(Settings::instance().current_controller_name, QStringLiteral("Иванов"));
        QCOMPARE(Settings::load(QString::fromLatin1(Settings::kFileName)).current_controller_name,
            QStringLiteral("Иванов"));

        f.prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::No, clickNo());
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("startTraceButton")), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.list()->traces.size(), 1);
        AbstractTrace *trace = f.list()->traces.first();
        QCOMPARE(trace->controllerName, QStringLiteral("Иванов"));
        QCOMPARE(readTraceFile<ProfileTrace>(trace->filePath())->controllerName, QStringLiteral("Иванов"));
        instrument.sim.pullCable();
    }

    // A reading that runs out of memory ends as a failed one, for a file and
    // for an acquisition: the operator is told so, the window unlocks, the
    // partial trace is dropped, and the trace listed before and its file
    // stay as they were.
    void readingOutOfMemory_data()
    {
        QTest::addColumn<bool>("acquisition");
        QTest::newRow("file") << false;
        QTest::newRow("acquisition") << true;
    }
    void readingOutOfMemory()
    {
        QFETCH(bool, acquisition);
        ProfileInstrument instrument(sineRun());
        ProfileWindowFixture f;
        useOwnTraceName();
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(instrument.started(panel));
        const QString kept = writeProfile(QStringLiteral("kept.txt"), 1);
        QVERIFY(f.read(kept, PROFILE));
        const QByteArray keptBytes = fileBytes(kept);
        const QList<int> listed = f.list()->traces.keys();
        const QStringList before = QDir(automaticTraceFolder(QCoreApplication::applicationDirPath()))
                                       .entryList({ Settings::instance().default_trace_file_name + "*" });

        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        if (acquisition) {
            // The panel's reader is replaced by one that runs out of memory.
            disconnect(panel, &DeviceControlWidget::newTrace, f.window.get(), nullptr);
            connect(panel, &DeviceControlWidget::newTrace, f.window.get(), [&](DataProvider *p, E_ANALISIS_TYPE type) {
                delete p;
                f.window->onNewTrace(new AcquisitionOutOfMemory(&panel->device), type);
            });
            QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("startTraceButton")), Qt::LeftButton);
        } else {
            f.window->setDataProvider(new FileOutOfMemory(writeProfile(QStringLiteral("large.txt"), 2)));
            QVERIFY(f.window->startReading(PROFILE));
        }
        QVERIFY(ended.wait(20000));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.unexpectedCount(), 0);
        QVERIFY2(f.prompts.calls().last().text.startsWith(QStringLiteral("Недостаточно памяти")),
            qPrintable(f.prompts.calls().last().text));
        QVERIFY(!f.window->isAcquiring);
        QCOMPARE(f.list()->traces.keys(), listed);
        QCOMPARE(f.window->graphHolders.keys(), listed);
        QCOMPARE(fileBytes(kept), keptBytes);
        QCOMPARE(QDir(automaticTraceFolder(QCoreApplication::applicationDirPath()))
                     .entryList({ Settings::instance().default_trace_file_name + "*" }),
            before);
        QVERIFY(f.action("actionPAN")->isEnabled());
        QVERIFY(panel->findChild<QPushButton *>(QStringLiteral("startTraceButton"))->isEnabled());
        instrument.sim.pullCable();
    }

    // A trace started right after one ended keeps both traces whole, each
    // with its own points, listed and saved: the operator's stop and start
    // clicked at once, and the instrument's own end and start keys reported
    // in one arrival. The instrument holds the records of the second trace
    // (and, at the instrument, the whole arrival) and the test hands them to
    // the program in the same pass of the GUI thread as the stop and the
    // start, so the second trace's points come before anything the first
    // reading reports when it ends.
    void instrumentStopThenStart_data()
    {
        QTest::addColumn<bool>("atTheInstrument");
        QTest::newRow("operator's stop and start") << false;
        QTest::newRow("instrument's end and start keys") << true;
    }
    void instrumentStopThenStart()
    {
        QFETCH(bool, atTheInstrument);
        SimulatedLine line(SimulatedInstrument::Contour);
        SimulatedInstrument &sim = line.sim;
        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(SimulatedInstrument::waitFor([&] { return panel->device.parserState() == 11; }, 10000));
        auto *start = panel->findChild<QPushButton *>(QStringLiteral("startTraceButton"));
        auto *stop = panel->findChild<QPushButton *>(QStringLiteral("stopTraceButton"));
        QList<QPointer<DataProvider>> providers;
        QObject watchers;
        connect(panel, &DeviceControlWidget::newTrace, &watchers, [&](DataProvider *p) { providers << p; });
        auto record = [](int i, quint8 alarm) {
            ContourRecord r = SimulatedInstrument::defaultContourRecord(i);
            r.alarm = alarm;
            return r;
        };
        auto pointsOf = [&](int i) {
            return providers.value(i) && providers[i]->trace() ? providers[i]->trace()->pointCount() : -1;
        };

        const int first = 200;
        const int second = 304;
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        QByteArray secondRecords;
        for (int i = 0; i < second; ++i)
            secondRecords += contourRecord(record(i, 2));
        if (atTheInstrument) {
            // Idle, then the start key, the end, the start key again and
            // the end, all in one arrival.
            sim.setAnswering(false);
            QByteArray bytes = contourRecord(record(0, 0));
            for (int i = 0; i < first; ++i)
                bytes += contourRecord(record(i, 2));
            bytes += contourRecord(record(first, 1));
            bytes += secondRecords;
            bytes += contourRecord(record(second, 1));
            panel->device.port()->deliver(bytes);
            QCOMPARE(providers.size(), 2);
        } else {
            sim.setContourRun(first, [&](int i) { return record(i, 2); });
            QTest::mouseClick(start, Qt::LeftButton);
            QVERIFY(SimulatedInstrument::waitFor([&] { return pointsOf(0) == first; }));
            // Stop and start clicked without a turn of the event loop in
            // between; the instrument holds its answer to the start.
            sim.setAnswering(false);
            stop->click();
            start->click();
            QCOMPARE(providers.size(), 2);
            panel->device.port()->deliver(secondRecords);
            QCOMPARE(pointsOf(1), second);
            QTest::mouseClick(stop, Qt::LeftButton);
        }
        QVERIFY(SimulatedInstrument::waitFor(
            [&] { return providers.size() == 2 && !f.window->isAcquiring && ended.count() > 0; }, 10000));
        const QList<int> expected { first, second };
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.unexpectedCount(), 0);
        QList<int> listed;
        QList<int> saved;
        for (AbstractTrace *trace : qAsConst(f.list()->traces)) {
            listed << trace->pointCount();
            saved << readTraceFile<ContourTrace>(trace->filePath())->pointCount();
            QVERIFY(f.holder(trace->id));
        }
        QCOMPARE(listed, expected);
        QCOMPARE(saved, expected);
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
        sim.pullCable();
    }

    // The first of two traces measured one right after the other fails (out
    // of memory): its message waits, as the other warnings of a trace's end
    // do, until the second trace has ended, and the second is kept whole.
    void failedTraceFollowedAtOnceTellsAfterTheNext()
    {
        SimulatedLine line(SimulatedInstrument::Contour);
        SimulatedInstrument &sim = line.sim;
        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(SimulatedInstrument::waitFor([&] { return panel->device.parserState() == 11; }, 10000));
        // The first trace's reader is replaced by one that runs out of memory.
        QObject watchers;
        int readers = 0;
        disconnect(panel, &DeviceControlWidget::newTrace, f.window.get(), nullptr);
        connect(panel, &DeviceControlWidget::newTrace, f.window.get(), [&](DataProvider *p, E_ANALISIS_TYPE type) {
            if (readers++ == 0) {
                delete p;
                p = new AcquisitionOutOfMemory(&panel->device);
            }
            f.window->onNewTrace(p, type);
        });
        const int first = 200;
        const int second = 304;
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        // What had been asked when the window unlocked after the second trace.
        int askedAtUnlock = -1;
        connect(f.window.get(), &ProfileAnalisisWidget::unlockButtons, &watchers, [&] {
            if (askedAtUnlock < 0)
                askedAtUnlock = f.prompts.calls().size();
        });
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        // Idle, then the start key, the end, the start key again and the
        // end, all in one arrival.
        sim.setAnswering(false);
        auto record = [](int i, quint8 alarm) {
            ContourRecord r = SimulatedInstrument::defaultContourRecord(i);
            r.alarm = alarm;
            return r;
        };
        QByteArray bytes = contourRecord(record(0, 0));
        for (int i = 0; i < first; ++i)
            bytes += contourRecord(record(i, 2));
        bytes += contourRecord(record(first, 1));
        for (int i = 0; i < second; ++i)
            bytes += contourRecord(record(i, 2));
        bytes += contourRecord(record(second, 1));
        panel->device.port()->deliver(bytes);
        QCOMPARE(readers, 2);
        QVERIFY(SimulatedInstrument::waitFor(
            [&] { return !f.window->isAcquiring && ended.count() > 0 && f.prompts.allAnswered(); }, 10000));
        QCOMPARE(f.prompts.unexpectedCount(), 0);
        QCOMPARE(f.prompts.calls().size(), 1);
        QCOMPARE(f.prompts.calls().at(0).title, QStringLiteral("Error"));
        QVERIFY(f.prompts.calls().at(0).text.startsWith(QStringLiteral("Недостаточно памяти")));
        // Told after the second trace's end, not while it ran.
        QCOMPARE(askedAtUnlock, 0);
        QCOMPARE(f.list()->traces.size(), 1);
        QCOMPARE(f.list()->traces.first()->pointCount(), second);
        sim.pullCable();
    }

    // A profile trace started again the moment the last one ended: the end
    // of the first asks nothing while the second runs (a question then would
    // hold back the second's points and send its answer to the instrument
    // mid-trace); both are listed and saved whole, and after the second each
    // trace's cut-off is asked about, naming the trace, the first's first:
    // "Да" rewrites the first's file, "Нет" keeps the second's.
    void profileStartedAgainAtItsEnd()
    {
        ProfileInstrument instrument(sineRun());
        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(instrument.started(panel));
        auto *start = panel->findChild<QPushButton *>(QStringLiteral("startTraceButton"));
        int ends = 0;
        QObject watchers;
        // Posted at the end's report: the start comes before the first
        // reading's own end reaches the window.
        connect(&panel->device, &Device::tracingEnded, &watchers, [&] {
            if (ends++ == 0)
                QMetaObject::invokeMethod(&watchers, [start] { start->click(); }, Qt::QueuedConnection);
        });
        bool acquiringWhenAsked = false;
        QStringList named;
        for (const auto answer : { QMessageBox::Yes, QMessageBox::No }) {
            f.prompts.expect(ScriptedPrompts::MessageBox, answer, [&, answer](QObject *subject) {
                acquiringWhenAsked = acquiringWhenAsked || f.window->isAcquiring;
                named << qobject_cast<QMessageBox *>(subject)->informativeText();
                return clickButton(answer)(subject);
            });
        }
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(SimulatedInstrument::waitFor(
            [&] { return ends == 2 && f.list()->traces.size() == 2 && !f.window->isAcquiring; }, 20000));
        QVERIFY(SimulatedInstrument::waitFor([&] { return f.prompts.allAnswered(); }, 5000));
        QCOMPARE(f.prompts.calls().size(), 2);
        QCOMPARE(f.prompts.unexpectedCount(), 0);
        QVERIFY(!acquiringWhenAsked);
        QCOMPARE(Settings::instance().spinbox_filter_length_index, 2); // 0.8 mm, as accepted for the first
        const QList<AbstractTrace *> traces = f.list()->traces.values();
        QStringList titles;
        for (AbstractTrace *trace : traces) {
            QCOMPARE(trace->pointCount(), 3000);
            QCOMPARE(readTraceFile<ProfileTrace>(trace->filePath())->pointCount(), 3000);
            titles << QStringLiteral("Трасса: ") + QFileInfo(trace->filePath()).completeBaseName();
        }
        QCOMPARE(named, titles);
        QCOMPARE(readTraceFile<ProfileTrace>(traces.at(0)->filePath())->cutOff, 800.0);
        QCOMPARE(readTraceFile<ProfileTrace>(traces.at(1)->filePath())->cutOff, 2500.0);
        QVERIFY(start->isEnabled());
        instrument.sim.pullCable();
    }

    // An instrument that sends nothing after the stop: within the stated
    // time the operator is told, the trace is dropped as an interrupted one,
    // and the controls, the tools and the menus come back.
    void silentInstrumentAfterStop()
    {
        SimulatedLine line(SimulatedInstrument::Profile);
        SimulatedInstrument &sim = line.sim;
        sim.setProfileRun(liveSamples(true));
        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(SimulatedInstrument::waitFor([&] { return panel->device.parserState() == 1; }, 10000));
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto *start = panel->findChild<QPushButton *>(QStringLiteral("startTraceButton"));
        auto *stop = panel->findChild<QPushButton *>(QStringLiteral("stopTraceButton"));
        QPointer<DataProvider> provider;
        QObject watchers;
        connect(panel, &DeviceControlWidget::newTrace, &watchers, [&](DataProvider *p) { provider = p; });
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(SimulatedInstrument::waitFor(
            [&] { return provider && provider->trace() && provider->trace()->pointCount() >= 599; }, 10000));
        const QString path = provider->trace()->filePath();

        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(stop, Qt::LeftButton);
        QVERIFY(sim.waitForCommands(1));
        QVERIFY(!start->isEnabled());
        // Told within twice the stated time, with room for a loaded machine.
        QVERIFY(ended.wait(3 * Device::kStopAnswerTimeoutMs));
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed < 2 * Device::kStopAnswerTimeoutMs, qPrintable(QString::number(elapsed)));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.calls().last().title, QStringLiteral("Прибор не отвечает"));
        QVERIFY(f.prompts.calls().last().text.contains(QStringLiteral("Трасса не сохранена")));
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
        QVERIFY(f.action("actionPAN")->isEnabled());
        QVERIFY(!f.window->isAcquiring);
        QVERIFY(f.list()->traces.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
        saveWindowShot(f.window.get(), QStringLiteral("profile_window_instrument_silent"));
        sim.pullCable();
    }

    // "Да" to the recommended cut-off: the trace's file under "Профили" is
    // written again, byte for byte as the trace list writes it, and reads
    // back with 0.8 mm and the values the list shows.
    void acceptedCutOffIsWrittenToTheTraceFile()
    {
        ProfileInstrument instrument(sineRun());
        ProfileWindowFixture f;
        DeviceControlWidget *panel = f.window->deviceControlWidget();
        QVERIFY(instrument.started(panel));
        QCOMPARE(Settings::instance().spinbox_filter_length_index, 1); // 2.5 mm

        f.prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::Yes, clickButton(QMessageBox::Yes));
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("startTraceButton")), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        QVERIFY(f.prompts.allAnswered());
        QVERIFY(f.prompts.calls().first().text.endsWith(QStringLiteral("0.800 мм?")));

        auto *trace = dynamic_cast<ProfileTrace *>(f.list()->traces.first());
        QVERIFY(trace);
        QCOMPARE(trace->cutOff, 800.0);
        QCOMPARE(Settings::instance().spinbox_filter_length_index, 2);
        QCOMPARE(f.list()->findChild<QComboBox *>(QStringLiteral("filterComboBox"))->currentText(),
            QStringLiteral("0.8 мм"));

        const QByteArray written = fileBytes(trace->filePath());
        QVERIFY(written.contains("\nfilter:800\n"));
        const QString byList = QDir::current().absoluteFilePath(QStringLiteral("by_list.txt"));
        QVERIFY(TraceList::saveTraceFile(byList, trace));
        QCOMPARE(written, fileBytes(byList));

        auto back = readTraceFile<ProfileTrace>(trace->filePath());
        QCOMPARE(back->cutOff, 800.0);
        QCOMPARE(*back->rawData, *trace->rawData);
        ExtraArgs args;
        const QString ra = calcParam(args, back.get(), QStringLiteral("Ra"));
        QVERIFY(!ra.isEmpty());
        QCOMPARE(shownValue(f.list()), ra);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        saveWindowShot(f.window.get(), QStringLiteral("profile_window_recommended_cut_off_accepted"));
        instrument.sim.pullCable();
    }

    // The check of a trace with two further runs (Ra 1, 1.5 and 2 µm) reads
    // their mean; "Да" gives the main trace 0.8 mm through the trace list:
    // its file's first header and its table follow, the runs keep theirs.
    void checkOfATraceWithRepeatedRuns()
    {
        ProfileWindowFixture f;
        const QString path = writeProfile(QStringLiteral("runs.txt"), 2, 2500);
        QVERIFY(f.read(path, PROFILE));
        auto *main = dynamic_cast<ProfileTrace *>(f.list()->traces.first());
        QVERIFY(main);
        QCOMPARE(main->additionalTraces.size(), 2);
        const QString before = shownValue(f.list());
        QVERIFY(before.contains(QStringLiteral("±")));

        f.prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::Yes, clickButton(QMessageBox::Yes));
        f.holder(main->id)->checkFilter();
        QVERIFY(f.prompts.allAnswered());
        QVERIFY(f.prompts.calls().first().text.endsWith(QStringLiteral("0.800 мм?")));
        QCOMPARE(main->cutOff, 800.0);
        QCOMPARE(Settings::instance().spinbox_filter_length_index, 2);

        const QByteArray bytes = fileBytes(path);
        QVERIFY(bytes.indexOf("\nfilter:800\n") >= 0);
        QVERIFY(bytes.indexOf("\nfilter:800\n") < bytes.indexOf("trace_type:ADDITIONAL_TRACE"));
        QCOMPARE(bytes.count("\nfilter:2500\n"), 2);
        auto back = readTraceFile<ProfileTrace>(path);
        QCOMPARE(back->cutOff, 800.0);
        QCOMPARE(back->additionalTraces.size(), 2);
        // The table shows the values as evaluated now: the main trace with
        // 0.8 mm, each run with its own 2.5 mm.
        const ParamValue shown = main->results.value(QStringLiteral("Ra"));
        QCOMPARE(shownValue(f.list()), shown.text());
        ExtraArgs args;
        QCOMPARE(calcParamValue(args, main, QStringLiteral("Ra")), shown);
        QCOMPARE(shown.runs.size(), 3);
        for (int i = 0; i < 2; ++i) {
            ProfileTrace run(*main->additionalTraces.at(i));
            QCOMPARE(calcParamValue(args, &run, QStringLiteral("Ra")).runs, QVector<double> { shown.runs.at(i) });
        }
    }

    // A file opened in the roughness view while the panel's cut-off is
    // another: the main trace and its run are drawn from the first moment as
    // their own cut-offs filter them (the curve a change of the view draws
    // too), over their own evaluation lengths, and the length shown is that.
    void fileInTheRoughnessViewTakesItsOwnCutOff()
    {
        Settings &s = Settings::instance();
        s.preferenses.profile_filter_mode = 1;
        s.spinbox_filter_length_index = 1; // 2.5 mm
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("own.txt"));
        {
            std::unique_ptr<ProfileTrace> main(sineProfile(1.0, 4798, 800));
            std::unique_ptr<ProfileTrace> run(sineProfile(1.5, 4798, 250));
            run->setTraceType(ADDITIONAL_TRACE);
            main->addAdditionalTrace(run.get());
            QVERIFY(TraceWriter::saveTraceFile(path, *main));
            main->additionalTraces.clear();
        }
        ProfileWindowFixture f;
        QCOMPARE(f.window->profileModeComboBox->currentIndex(), 1);
        QVERIFY(f.read(path, PROFILE));
        auto *main = dynamic_cast<ProfileTrace *>(f.list()->traces.first());
        QVERIFY(main && main->additionalTraces.size() == 1);
        ProfileTrace *run = main->additionalTraces.first();
        QCOMPARE(main->cutOff, 800.0);
        QCOMPARE(run->cutOff, 250.0);
        auto *length = f.list()->findChild<QLabel *>(QStringLiteral("traceLengthValuLabel"));

        auto curve = [&](const AbstractTrace *trace) {
            QVector<QPointF> points;
            for (auto it = f.holder(trace->id)->curve()->data()->constBegin();
                 it != f.holder(trace->id)->curve()->data()->constEnd(); ++it)
                points.append({ it->key, it->value });
            return points;
        };
        const QVector<QPointF> opened = curve(main);
        const QVector<QPointF> openedRun = curve(run);
        // Half a cut-off trimmed at each end, in millimetres on the plot.
        QCOMPARE_REL(opened.first().x(), 0.4, 1e-9);
        QCOMPARE_REL(opened.last().x(), 4.398, 1e-9);
        QCOMPARE_REL(openedRun.first().x(), 0.125, 1e-9);
        QCOMPARE_REL(openedRun.last().x(), 4.673, 1e-9);
        QCOMPARE(f.list()->selectedTrace, main);
        QCOMPARE(length->text(), QStringLiteral("3.998 мм"));
        f.list()->selectTrace(run->id);
        QCOMPARE(length->text(), QStringLiteral("4.548 мм"));

        // The view switched away and back draws the very same curves.
        f.window->profileModeComboBox->setCurrentIndex(0);
        f.window->profileModeComboBox->setCurrentIndex(1);
        QCOMPARE(curve(main), opened);
        QCOMPARE(curve(run), openedRun);
        QCOMPARE(length->text(), QStringLiteral("4.548 мм"));
        QCOMPARE(f.prompts.unexpectedCount(), 0);
    }

    // In the roughness view the length shown after each cut-off change made
    // through the list is that of the curve drawn then, for a run and for
    // the main trace.
    void lengthFollowsEachCutOffChange_data()
    {
        QTest::addColumn<bool>("ofRun");
        QTest::newRow("run") << true;
        QTest::newRow("main trace") << false;
    }
    void lengthFollowsEachCutOffChange()
    {
        QFETCH(bool, ofRun);
        Settings::instance().preferenses.profile_filter_mode = 1;
        Settings::instance().spinbox_filter_length_index = 2; // 0.8 mm, as the file
        const QString path = writeProfile(QStringLiteral("lengths.txt"), 1, 800);
        ProfileWindowFixture f;
        QVERIFY(f.read(path, PROFILE));
        auto *main = dynamic_cast<ProfileTrace *>(f.list()->traces.first());
        QVERIFY(main && main->additionalTraces.size() == 1);
        ProfileTrace *trace = ofRun ? main->additionalTraces.first() : main;
        auto *length = f.list()->findChild<QLabel *>(QStringLiteral("traceLengthValuLabel"));
        auto *filter = f.list()->findChild<QComboBox *>(QStringLiteral("filterComboBox"));
        f.list()->selectTrace(trace->id);
        QCOMPARE(length->text(), QStringLiteral("5.2 мм"));

        for (double cutOff : { 80.0, 800.0, 250.0, 2500.0, 800.0 }) {
            const int to = Common::kCutOffLengths.indexOf(cutOff);
            while (filter->currentIndex() != to)
                QTest::keyClick(filter, filter->currentIndex() < to ? Qt::Key_Down : Qt::Key_Up);
            QCOMPARE(trace->cutOff, cutOff);
            const QCPCurveDataContainer &drawn = *f.holder(trace->id)->curve()->data();
            const double drawnLength = (drawn.at(drawn.size() - 1)->key - drawn.at(0)->key);
            QCOMPARE_REL(drawnLength, (6000 - cutOff) / 1000, 1e-9);
            QCOMPARE(length->text(), QString::number(drawnLength, 'g', 6) + QStringLiteral(" мм"));
        }
        QCOMPARE(f.prompts.unexpectedCount(), 0);
    }

    // Saving: one question per native file, one per trace for coordinates.
    void saveData_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("questions");
        QTest::newRow("native") << int(DataSaveFormat::SOURCE_FORMAT) << 1;
        QTest::newRow("coordinates") << int(DataSaveFormat::POINT_FORMAT) << 3;
    }
    void saveData()
    {
        QFETCH(int, format);
        QFETCH(int, questions);
        ProfileWindowFixture f;
        const QString source = writeProfile(QStringLiteral("source.txt"), 2);
        QVERIFY(f.read(source, PROFILE));
        QDir().mkpath(QStringLiteral("out"));
        // The names are taken as offered, without an extension: the files
        // get ".txt", so that opening traces lists them again.
        ProposalRecorder recorder;
        QStringList files;
        for (int i = 0; i < questions; ++i) {
            const QString answer = QDir::current().absoluteFilePath(QStringLiteral("out/saved%1").arg(i));
            files << answer + QStringLiteral(".txt");
            QFile::remove(files.last());
            recorder.expect(ScriptedPrompts::SaveFile, answer);
        }
        f.window->saveData(DataSaveFormat(format));
        QVERIFY(recorder.allAnswered());
        QCOMPARE(recorder.calls().first().title, QStringLiteral("source.txt"));
        QCOMPARE(Settings::load(Settings::kFileName).preferenses.save_trace_folder,
            QDir::current().absoluteFilePath(QStringLiteral("out")) + QLatin1Char('/'));
        // Questions asked within one second offer different names.
        QCOMPARE(recorder.proposals.size(), questions);
        QCOMPARE(QSet<QString>(recorder.proposals.begin(), recorder.proposals.end()).size(), questions);
        for (const QString &proposal : qAsConst(recorder.proposals))
            QVERIFY2(QFileInfo(proposal).fileName().startsWith(QStringLiteral("Деталь_")), qPrintable(proposal));

        AbstractTrace *main = f.list()->traces.first();
        if (format == int(DataSaveFormat::SOURCE_FORMAT)) {
            auto back = readTraceFile<ProfileTrace>(files.first());
            QCOMPARE(back->additionalTraces.size(), 2);
            QCOMPARE(*back->rawData, *main->rawData);
            QCOMPARE(main->filePath(), files.first());
        } else {
            const QList<AbstractTrace *> traces = f.list()->traces.values();
            for (int i = 0; i < 3; ++i) {
                const QList<QByteArray> lines = fileBytes(files[i]).split('\n');
                const QVector<double> &x = traces[i]->processedData->at(0);
                QCOMPARE(lines.size() - 1, x.size());
                QCOMPARE(lines.first().split('\t').first().toDouble(), x.first());
            }
            // A coordinates file is not the trace's file.
            QCOMPARE(main->filePath(), source);
        }
    }

    void saveDataCancelsAndRefusals()
    {
        ProfileWindowFixture f;
        // Nothing to save.
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        f.window->saveData(DataSaveFormat::SOURCE_FORMAT);
        QCOMPARE(f.prompts.calls().last().text,
            QStringLiteral("Нет трассы для сохранения, для начала откройте или измерьте трассу"));

        // Cancelling the first of two offers the second.
        QVERIFY(f.read(writeProfile(QStringLiteral("a.txt")), PROFILE));
        QVERIFY(f.read(writeProfile(QStringLiteral("b.txt")), PROFILE));
        const QString second = QDir::current().absoluteFilePath(QStringLiteral("second.txt"));
        QFile::remove(second);
        f.prompts.expect(ScriptedPrompts::SaveFile, QString()).expect(ScriptedPrompts::SaveFile, second);
        f.window->saveData(DataSaveFormat::SOURCE_FORMAT);
        QVERIFY(f.prompts.allAnswered());
        QVERIFY(QFileInfo::exists(second));

        // While a trace is read, saving and reports are refused.
        auto *provider = new GatedProvider;
        f.window->setDataProvider(provider);
        QVERIFY(f.window->startReading(PROFILE));
        QTRY_VERIFY(f.window->isAcquiring);
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok).expect(ScriptedPrompts::Message, QMessageBox::Ok);
        f.window->saveData(DataSaveFormat::POINT_FORMAT);
        f.window->saveReport(f.window.get());
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.calls().last().text, QStringLiteral("Дождитесь окончания чтения трассы."));
        QSignalSpy ended(f.window.get(), &ProfileAnalisisWidget::unlockButtons);
        provider->open();
        QVERIFY(ended.wait(5000));
    }

    // The hand-over to measurement and its refusals.
    void toMeasurement()
    {
        ProfileWindowFixture f;
        QSignalSpy handed(f.window.get(), &ProfileAnalisisWidget::readyForMeasurment);
        KeyWatchingPrompts watch;
        QObject *keys = f.window->keyReceiver;
        QVERIFY(keys);
        watch.keys = keys;

        watch.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        f.action("actionToMeasurement")->trigger();
        QCOMPARE(watch.calls().last().text, QStringLiteral("Нет трассы для измерения."));
        QVERIFY(!keys->signalsBlocked());

        QVERIFY(f.read(writeContour(QStringLiteral("c1.txt"), CONTOUR), CONTOUR));
        QVERIFY(f.read(writeContour(QStringLiteral("c2.txt"), CONTOUR), CONTOUR));
        f.action("actionToMeasurement")->trigger();
        QCOMPARE(handed.size(), 1);
        const auto traces = handed.first().first().value<QVector<AbstractTrace *>>();
        QCOMPARE(traces, f.list()->traces.values().toVector());

        QVERIFY(f.read(writeContour(QStringLiteral("cp.txt"), CONTOURPROF), CONTOURPROF));
        watch.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        f.action("actionToMeasurement")->trigger();
        QCOMPARE(watch.calls().last().text, QStringLiteral("Нельзя проводить измерения разных типов трасс"));
        QCOMPARE(handed.size(), 1);

        for (int id : f.window->graphHolders.keys())
            listItem(f.list(), id)->setCheckState(0, Qt::Unchecked);
        watch.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        f.action("actionToMeasurement")->trigger();
        QCOMPARE(watch.calls().last().text,
            QStringLiteral("Нет видимых трасс, сделайте хотя бы одну трассу видимой для дальнейших измерений"));
        QVERIFY(watch.allAnswered());
        QVERIFY(!keys->signalsBlocked());
        QVERIFY(f.window->visibleTraces().isEmpty());
    }

    // Reports: a file per visible trace with its plot; a cancel ends them;
    // a report that cannot be written is shown and not opened.
    void reports()
    {
        ProfileWindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        f.window->saveReport(f.window.get());
        QCOMPARE(f.prompts.calls().last().text, QStringLiteral("Нет трасс для сохранения отчёта"));

        QVERIFY(f.read(writeProfile(QStringLiteral("rep.txt"), 2), PROFILE));
        QVERIFY(f.read(writeContour(QStringLiteral("repc.txt"), CONTOUR), CONTOUR));
        const int contourId = f.window->graphHolders.lastKey();
        listItem(f.list(), f.window->graphHolders.firstKey())->setCheckState(0, Qt::Checked);
        const QString measurement = QDir::current().absoluteFilePath(QStringLiteral("m.html"));
        const QString plot = QDir::current().absoluteFilePath(QStringLiteral("p"));
        f.prompts.expect(ScriptedPrompts::SaveFile, measurement)
            .expect(ScriptedPrompts::Url, true)
            .expect(ScriptedPrompts::SaveFile, plot)
            .expect(ScriptedPrompts::Url, true);
        f.window->saveReport(f.window.get());
        QVERIFY(f.prompts.allAnswered());
        // ".html" is appended to a name without it, and only there.
        QCOMPARE(f.prompts.calls().at(2).title, QUrl::fromLocalFile(measurement).toString());
        QVERIFY(!QFile::exists(measurement + ".html"));
        const QByteArray html = fileBytes(measurement);
        QVERIFY(html.contains("Завод"));
        QVERIFY(!reportImage(measurement).isNull());
        QCOMPARE(reportImage(plot + ".html").size(), f.window->mainPlot()->size());
        // Visibility is given back after the plots are grabbed.
        QVERIFY(f.holder(contourId)->isVisible());
        QVERIFY(!f.holder(f.list()->traces.values().at(1)->id)->isVisible());

        // A cancel ends the report; a folder that cannot be written is
        // reported and nothing is opened.
        f.prompts.expect(ScriptedPrompts::SaveFile, QString());
        f.window->saveReport(f.window.get());
        QVERIFY(f.prompts.allAnswered());
        QFile plain(QStringLiteral("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        f.prompts.expect(ScriptedPrompts::SaveFile, QDir::current().absoluteFilePath("plain/r"))
            .expect(ScriptedPrompts::Message, QMessageBox::Ok)
            .expect(ScriptedPrompts::SaveFile, QString());
        f.window->saveReport(f.window.get());
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.calls().at(f.prompts.calls().size() - 2).title, QStringLiteral("Ошибка печати отчёта"));
    }

    // Each run's "filter" is the cut-off its values were computed with: a
    // file's 0.8 mm while the settings say 2.5 mm, and the 0.25 mm the list
    // gave one run. Two report questions in one go offer different names.
    void reportStatesEachRunsCutOff()
    {
        ProfileWindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCOMPARE(Settings::instance().spinbox_filter_length_index, 1);
        QVERIFY(f.read(writeProfile(QStringLiteral("cuts.txt"), 2, 800), PROFILE));
        QVERIFY(f.read(writeProfile(QStringLiteral("other.txt")), PROFILE));
        auto *main = dynamic_cast<ProfileTrace *>(f.list()->traces.first());
        for (AbstractTrace *trace : f.list()->traces)
            if (trace->traceType == PROFILE)
                listItem(f.list(), trace->id)->setCheckState(0, Qt::Checked);
        ProfileTrace *run = main->additionalTraces.at(1);
        f.list()->selectTrace(run->id);
        auto *filter = f.list()->findChild<QComboBox *>(QStringLiteral("filterComboBox"));
        QCOMPARE(filter->currentText(), QStringLiteral("0.8 мм"));
        filter->setFocus();
        QTest::keyClick(filter, Qt::Key_Down);
        QCOMPARE(run->cutOff, 250.0);

        ProposalRecorder recorder;
        const QString first = QDir::current().absoluteFilePath(QStringLiteral("cuts_report"));
        const QString second = QDir::current().absoluteFilePath(QStringLiteral("other_report"));
        recorder.expect(ScriptedPrompts::SaveFile, first)
            .expect(ScriptedPrompts::Url, true)
            .expect(ScriptedPrompts::SaveFile, second)
            .expect(ScriptedPrompts::Url, true);
        f.window->saveReport(f.window.get());
        QVERIFY(recorder.allAnswered());
        const QByteArray html = fileBytes(first + ".html");
        QCOMPARE(html.count("<td>0.8 мм</td>"), 2);
        QCOMPARE(html.count("<td>0.25 мм</td>"), 1);
        QVERIFY(!html.contains("<td>2.5 мм</td>"));
        QVERIFY(fileBytes(second + ".html").contains("<td>2.5 мм</td>"));
        QCOMPARE(recorder.proposals.size(), 2);
        QVERIFY(recorder.proposals.first() != recorder.proposals.last());
    }

    // The whole written measurement report with every parameter shown,
    // against golden pages: a trace with two additional runs (values with
    // their spread), and a trace too short for its cut-off.
    void reportMatchesGolden()
    {
        Settings &s = Settings::instance();
        s.preferenses.enabled_params.clear();
        for (const QString &name : paramsMap.keys())
            s.preferenses.enabled_params.insert(s.preferenses.enabled_params.size(), name);
        s.preferenses.enabled_params_count = s.preferenses.enabled_params.size();
        ProfileWindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const struct {
            QString file;
            int additional;
            double cutOff;
            QString golden;
        } cases[] = { { QStringLiteral("golden.txt"), 2, 800, QStringLiteral("profile_report.html") },
            { QStringLiteral("golden_single.txt"), 0, 800, QStringLiteral("profile_report_single.html") },
            { QStringLiteral("golden_short.txt"), 0, 8000, QStringLiteral("profile_report_short.html") } };
        for (const auto &c : cases) {
            QVERIFY(f.read(writeProfile(c.file, c.additional, c.cutOff), PROFILE));
            // The runs of a file are dated when they are read.
            for (AbstractTrace *run : f.list()->traces)
                if (run->traceType == ADDITIONAL_TRACE)
                    run->creationDate = QDateTime(QDate(2026, 3, 15), QTime(10, 45, 30));
            const QString path = QDir::current().absoluteFilePath(c.file + QStringLiteral(".report"));
            f.prompts.expect(ScriptedPrompts::SaveFile, path).expect(ScriptedPrompts::Url, true);
            f.window->saveReport(f.window.get());
            QVERIFY(f.prompts.allAnswered());
            const QString page = GoldenReport::withPlotPlaceholder(GoldenReport::fileText(path + ".html"));
            QVERIFY2(GoldenReport::matches(page, c.golden), qPrintable(c.golden));
        }
    }

    // In sensor-test mode every visible trace gets the sensor-test card.
    void sensorTestReport()
    {
        Settings::instance().test_sensor_mode = true;
        ProfileWindowFixture f;
        QVERIFY(f.read(writeProfile(QStringLiteral("sensor.txt")), PROFILE));
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("sensor"));
        f.prompts.expect(ScriptedPrompts::SaveFile, path).expect(ScriptedPrompts::Url, true);
        f.window->saveReport(f.window.get());
        QVERIFY(f.prompts.allAnswered());
        const QByteArray html = fileBytes(path + ".html");
        QVERIFY(!html.isEmpty());
        QVERIFY(!html.contains("data:image/png"));
        Settings::instance().test_sensor_mode = false;
    }

    // The list's requests: deleting, showing and joining.
    void listRequests()
    {
        ProfileWindowFixture f;
        QVERIFY(f.read(writeContour(QStringLiteral("j1.txt"), CONTOUR), CONTOUR));
        const int id = f.window->graphHolders.firstKey();
        f.window->onSetGraphVisible(id, false);
        QVERIFY(!f.holder(id)->isVisible());
        f.window->onSetGraphVisible(12345, true);

        // A join without two equal, non-empty columns is ignored.
        f.window->addJoinedTrace({});
        f.window->addJoinedTrace({ { 1, 2 }, { 1 } });
        f.window->addJoinedTrace({ {}, {} });
        QCOMPARE(f.list()->traces.size(), 1);
        f.window->addJoinedTrace({ { 0, 1000, 2000 }, { 5, 6, 7 } });
        QCOMPARE(f.list()->traces.size(), 2);
        AbstractTrace *joined = f.list()->traces.last();
        QCOMPARE(joined->traceType, int(CONTOUR));
        QCOMPARE(joined->rawData->at(2), QVector<double>(3, 0.0));
        QCOMPARE(f.holder(joined->id)->curve()->dataCount(), 3);

        DeviceControlWidget *panel = f.window->deviceControlWidget();
        auto *button = panel->findChild<QPushButton *>(QStringLiteral("additionalTracePushButton"));
        QVERIFY(button->isEnabledTo(panel));
        const int joinedId = joined->id;
        f.list()->removeTrace(joined);
        QVERIFY(!f.window->graphHolders.contains(joinedId));
        QVERIFY(button->isEnabledTo(panel));
        f.list()->removeTrace(f.list()->traces.first());
        QVERIFY(f.window->graphHolders.isEmpty());
        QVERIFY(!button->isEnabledTo(panel));
    }
};

VANTOR_TEST_MAIN(TestProfileReading)
#include "tst_profilereading.moc"
