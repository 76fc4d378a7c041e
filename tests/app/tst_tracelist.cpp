#include "support/scriptedprompts.h"
#include "support/freshsettings.h"
#include "support/logtext.h"
#include "support/testmain.h"
#include "support/tracefiles.h"
#include "support/windowshot.h"

#include "report/profilereport.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "tracelist.h"
#include "widgets/testsensorwidget.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QWindow>

namespace {

// A profile trace that counts its destructions.
class CountedProfile : public ProfileTrace {
public:
    ~CountedProfile() override { ++destroyed; }
    static int destroyed;
};
int CountedProfile::destroyed = 0;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString fixture(const QString &name)
{
    QDir().mkpath(QStringLiteral("fixtures"));
    return QDir::current().absoluteFilePath(QStringLiteral("fixtures/") + name);
}

// A PROFILE trace file with two additional runs (Ra 1.08, 1.1 and 1.06 over
// 4 mm), read back as the program reads it.
TraceFilePtr<ProfileTrace> profileWithRuns(const QString &path)
{
    std::unique_ptr<ProfileTrace> main(sineProfile(1.08, 4000));
    std::unique_ptr<ProfileTrace> run1(sineProfile(1.1, 4000));
    std::unique_ptr<ProfileTrace> run2(sineProfile(1.06, 3000));
    run1->setTraceType(ADDITIONAL_TRACE);
    run2->setTraceType(ADDITIONAL_TRACE);
    main->addAdditionalTrace(run1.get());
    main->addAdditionalTrace(run2.get());
    return roundTrip<ProfileTrace>(*main, path);
}

std::unique_ptr<ContourTrace> contourFile(const QString &path, int points = 200)
{
    return roundTrip<ContourTrace>(*std::unique_ptr<ContourTrace>(slopeContour(points)), path);
}

// Notes the region of every paint event a widget receives.
struct PaintRecorder : QObject {
    explicit PaintRecorder(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QRegion painted;
};

// The trace list with recorders of its signals.
struct Panel {
    TraceList list;
    QTreeWidget *tree = list.findChild<QTreeWidget *>("tracesListTreeWidget");
    QTreeWidget *params = list.findChild<QTreeWidget *>("paramsListTreeWidget");
    QComboBox *filter = list.findChild<QComboBox *>("filterComboBox");
    QLabel *length = list.findChild<QLabel *>("traceLengthValuLabel");
    QList<int> deleted;
    QList<QPair<int, bool>> visible;
    QList<QPair<int, bool>> selected;
    int recalculated = 0;
    QList<TData> created;

    Panel()
    {
        QObject::connect(&list, &TraceList::traceDeleted, [this](int id) { deleted << id; });
        QObject::connect(&list, &TraceList::setGraphVisible, [this](int id, bool on) { visible << qMakePair(id, on); });
        QObject::connect(
            &list, &TraceList::setGraphSelected, [this](int id, bool on) { selected << qMakePair(id, on); });
        QObject::connect(&list, &TraceList::recalculateTrace, [this] { ++recalculated; });
        QObject::connect(&list, &TraceList::createTrace, [this](TData data) { created << data; });
        list.resize(760, 360);
    }
    void show()
    {
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
    }
    // Lists a main trace read from a file together with the runs the reader attached.
    ProfileTrace *addProfile(TraceFilePtr<ProfileTrace> trace)
    {
        ProfileTrace *main = trace.release();
        list.addMainTrace(main);
        for (ProfileTrace *run : main->additionalTraces)
            list.addAdditionalTrace(run, true);
        return main;
    }
    QTreeWidgetItem *item(int id) const
    {
        QTreeWidgetItemIterator it(tree);
        for (; *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == id)
                return *it;
        return nullptr;
    }
    QPoint centre(QTreeWidgetItem *item) const { return tree->visualItemRect(item).center(); }
    void click(QTreeWidgetItem *item)
    {
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre(item));
    }
    void clickCheckBox(QTreeWidgetItem *item)
    {
        tree->scrollToItem(item);
        QStyleOptionViewItem option;
        option.initFrom(tree->viewport());
        option.rect = tree->visualItemRect(item);
        option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = item->text(0);
        option.font = tree->font();
        option.fontMetrics = QFontMetrics(tree->font());
        option.checkState = item->checkState(0);
        const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
    }
    void pressDelete() { QTest::keyClick(tree, Qt::Key_Delete); }
    void contextMenu(QWidget *view, const QPoint &pos)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->mapToGlobal(pos));
        QApplication::sendEvent(view, &event);
    }
    QStringList tableNames() const
    {
        QStringList out;
        for (int i = 0; i < params->topLevelItemCount(); ++i)
            out << params->topLevelItem(i)->text(0);
        return out;
    }
};

// Texts of a menu's actions, submenus as "title: entries".
QStringList menuTexts(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->menu()) {
            QStringList entries;
            for (QAction *s : a->menu()->actions())
                entries << s->text();
            out << a->text() + ": " + entries.join(", ");
        } else {
            out << a->text();
        }
    }
    return out;
}

QAction *findAction(const QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions()) {
        if (a->text() == text)
            return a;
        if (a->menu())
            if (QAction *s = findAction(a->menu(), text))
                return s;
    }
    return nullptr;
}

// Makes a folder refuse new files for as long as it lives, also for root,
// for whom the permission bits do not count (the folder is then made
// immutable). ok() is false when this file system allows neither way.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString &dir)
        : m_dir(dir)
    {
        QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser);
        if (refusesFiles())
            return;
        m_immutable = QProcess::execute("chattr", { "+i", m_dir }) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_immutable)
            QProcess::execute("chattr", { "-i", m_dir });
        QFile::setPermissions(m_dir,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
                | QFile::ExeUser);
    }
    bool ok() const { return refusesFiles(); }

private:
    bool refusesFiles() const
    {
        QFile probe(m_dir + "/probe");
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.close();
        probe.remove();
        return false;
    }
    QString m_dir;
    bool m_immutable = false;
};

} // namespace

// The trace list: items, selection, parameter table, cut-off, removals, menus
// and the join, on trace files the tests write.
class TestTraceList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        freshSettings();
        if (QFileInfo::exists("fixtures/locked")) // left immutable by a run that crashed
            QProcess::execute("chattr", { "-i", "fixtures/locked" });
        QDir(QStringLiteral("fixtures")).removeRecursively();
    }

    void additionalTracesCheckedWhenAcquiredUncheckedFromFile()
    {
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        QTreeWidgetItem *top = p.item(main->id);
        QCOMPARE(top->text(0), QString("part"));
        QCOMPARE(top->checkState(0), Qt::Checked);
        QCOMPARE(top->childCount(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(top->child(i)->text(0), QString("Доп. трасса %1").arg(i + 1));
            QCOMPARE(top->child(i)->checkState(0), Qt::Unchecked);
        }

        // Runs acquired after a plain profile trace are attached to it.
        Panel q;
        ProfileTrace *plain = q.addProfile(
            roundTrip<ProfileTrace>(*std::unique_ptr<ProfileTrace>(sineProfile(1, 2000)), fixture("plain.txt")));
        for (int i = 0; i < 2; ++i) {
            auto *run = new ProfileTrace;
            run->setTraceType(ADDITIONAL_TRACE);
            q.list.addAdditionalTrace(run, false);
            QCOMPARE(q.item(run->id)->parent(), q.item(plain->id));
            QCOMPARE(q.item(run->id)->text(0), QString("Доп. трасса %1").arg(i + 1));
            QCOMPARE(q.item(run->id)->checkState(0), Qt::Checked);
            QCOMPARE(run->parentTrace, plain);
            QCOMPARE(run->filePath(), plain->filePath());
        }
        QCOMPARE(plain->additionalTraces.size(), 2);
        QCOMPARE(q.list.traces.size(), 3);
    }

    void checkBoxesShowAndHidePlots()
    {
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        p.show();
        const int runId = main->additionalTraces.at(0)->id;
        p.clickCheckBox(p.item(main->id));
        p.clickCheckBox(p.item(runId));
        QCOMPARE(p.visible, (QList<QPair<int, bool>> { { main->id, false }, { runId, true } }));
        p.list.hideProfileTraces();
        QCOMPARE(p.item(main->id)->checkState(0), Qt::Unchecked);
        QCOMPARE(p.item(runId)->checkState(0), Qt::Unchecked);
        QCOMPARE(p.visible.last(), qMakePair(runId, false));
    }

    void selectingAProfileTraceFillsTheTable()
    {
        Settings &s = freshSettings();
        UserPreferences &prefs = s.preferenses;
        prefs.enabled_params = { { 0, "Ra" }, { 1, "Rz" }, { 2, "Rq" }, { 3, "Rsm?" } };
        prefs.enabled_params_count = 4;
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        p.list.recalcParams();
        p.show();
        p.click(p.item(main->id));
        QCOMPARE(p.list.selectedTrace, main);
        QVERIFY(p.params->isVisible());
        QCOMPARE(p.list.findChild<QLabel *>("speedValueLable")->text(), QString("0.5 мм/с"));
        QCOMPARE(p.filter->currentText(), QString("0.8 мм"));
        QCOMPARE(p.length->text(), QString("4 мм"));
        QCOMPARE(p.tableNames(), (QStringList { "Ra", "Rz", "Rq", "Rsm?" }));
        QCOMPARE(p.params->topLevelItem(0)->text(1), main->results.value("Ra").text());
        QVERIFY(p.params->topLevelItem(0)->text(1).startsWith("1.0"));
        QCOMPARE(p.params->topLevelItem(0)->text(2), paramsMap.value("Ra").unit);
        QCOMPARE(p.params->topLevelItem(3)->text(2), QString()); // an unknown name has no unit
        QCOMPARE(p.selected.last(), qMakePair(main->id, true));
        QCOMPARE(p.list.deleteShortcuts.size(), 1);
        p.tree->expandAll();
        const QHeaderView *header = p.params->header();
        QVERIFY(header->length() <= p.params->viewport()->width());
        saveWindowShot(&p.list, "tracelist_profile_selected");
    }

    // A contour trace selected after a profile trace: nothing of the profile
    // trace stays in the table; back on the profile trace its values return.
    void selectingAContourTraceEmptiesTheTable()
    {
        UserPreferences &prefs = freshSettings().preferenses;
        prefs.enabled_params = { { 0, "Ra" } };
        prefs.enabled_params_count = 1;
        Panel p;
        ProfileTrace *profile = p.addProfile(profileWithRuns(fixture("part.txt")));
        ContourTrace *contour = contourFile(fixture("contour.txt")).release();
        p.list.addMainTrace(contour);
        p.list.recalcParams();
        p.show();
        auto *speed = p.list.findChild<QLabel *>("speedValueLable");
        p.click(p.item(profile->id));
        QCOMPARE(p.params->topLevelItemCount(), 1);
        QCOMPARE(p.length->text(), QString("4 мм"));

        p.click(p.item(contour->id));
        QCOMPARE(p.list.selectedTrace, contour);
        QCOMPARE(p.selected.last(), qMakePair(contour->id, true));
        QCOMPARE(p.params->topLevelItemCount(), 0);
        QVERIFY(p.length->text().isEmpty());
        QVERIFY(speed->text().isEmpty());
        QVERIFY(!p.params->isVisible());
        QVERIFY(!p.length->isVisible());
        saveWindowShot(&p.list, "tracelist_contour_selected");

        p.click(p.item(profile->id));
        QCOMPARE(p.params->topLevelItemCount(), 1);
        QCOMPARE(p.params->topLevelItem(0)->text(1), profile->results.value("Ra").text());
        QCOMPARE(p.length->text(), QString("4 мм"));
        QVERIFY(p.params->isVisible());
    }

    void theTraceBeingReadCannotBeSelected()
    {
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        p.list.acquiringTrace = main;
        p.show();
        p.click(p.item(main->id));
        QVERIFY(p.tree->selectedItems().isEmpty());
        QCOMPARE(p.list.selectedTrace, nullptr);
        QVERIFY(!p.params->isVisible());
        QVERIFY(!p.filter->isVisible());
        QVERIFY(p.list.deleteShortcuts.isEmpty());

        ScriptedPrompts prompts; // no menu may be asked for it
        p.contextMenu(p.tree->viewport(), p.centre(p.item(main->id)));
        QCOMPARE(prompts.calls().size(), 0);
        p.list.acquiringTrace = nullptr;
    }

    // The median switch reaches every profile trace; only the selected one is
    // evaluated again at once.
    void medianFilterReevaluatesOnlyTheSelected()
    {
        Panel p;
        std::unique_ptr<ProfileTrace> sine(sineProfile(1.08, 4000));
        ProfileTrace *a = p.addProfile(roundTrip<ProfileTrace>(*sine, fixture("a.txt")));
        ProfileTrace *b = p.addProfile(roundTrip<ProfileTrace>(*sine, fixture("b.txt")));
        p.list.recalcParams();
        const QString before = b->results.value("Ra").text();
        QCOMPARE(a->results.value("Ra").text(), before);
        p.list.selectTrace(a->id);
        p.list.setMedianFilter(true, 51);
        for (const ProfileTrace *t : { a, b }) {
            QVERIFY(t->medianEnabled);
            QCOMPARE(t->medianWindow, 51);
        }
        QVERIFY(a->results.value("Ra").text() != before);
        QCOMPARE(b->results.value("Ra").text(), before);
        QCOMPARE(p.params->topLevelItem(0)->text(1), a->results.value("Ra").text());
    }

    void lengthInTheAxisUnit_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("mm") << 0 << "4 мм";
        QTest::newRow("µm") << 1 << "4000 мкм";
        QTest::newRow("nm") << 2 << "4e+06 нм";
        QTest::newRow("unknown reads as mm") << 7 << "4 мм";
    }
    void lengthInTheAxisUnit()
    {
        QFETCH(int, unit);
        QFETCH(QString, text);
        freshSettings().axis_unit = unit;
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        p.list.showTraceParams(main->id);
        QCOMPARE(p.length->text(), text);
    }

    // An empty trace shows a length of 0, not the length shown before it.
    void emptyTraceShowsZeroLength()
    {
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        auto *empty = new ProfileTrace;
        empty->setTraceType(PROFILE);
        empty->setFilePath(fixture("empty.txt"));
        p.list.addMainTrace(empty);
        p.show();
        p.click(p.item(main->id));
        QCOMPARE(p.length->text(), QString("4 мм"));
        p.click(p.item(empty->id));
        QCOMPARE(p.list.selectedTrace, empty);
        QCOMPARE(p.length->text(), QString("0 мм"));
        QCOMPARE(p.params->topLevelItemCount(), 0);
    }

    void cutOffOutsideTheTableShowsNoEntry()
    {
        Panel p;
        std::unique_ptr<ProfileTrace> odd(sineProfile(1, 4000, 500));
        ProfileTrace *trace = p.addProfile(roundTrip<ProfileTrace>(*odd, fixture("odd.txt")));
        QCOMPARE(trace->cutOff, 500.0);
        p.list.showTraceParams(trace->id);
        QCOMPARE(p.filter->currentIndex(), -1);
        QCOMPARE(p.recalculated, 0); // showing the trace is no change of its cut-off
    }

    void cutOffChangeRewritesTheFile()
    {
        Panel p;
        const QString path = fixture("part.txt");
        ProfileTrace *main = p.addProfile(profileWithRuns(path));
        p.show();
        p.click(p.item(main->id));
        const QString raBefore = p.params->topLevelItem(0)->text(1);
        p.filter->setFocus();
        QTest::keyClick(p.filter, Qt::Key_Down); // 0.8 mm -> 0.25 mm
        QCOMPARE(p.filter->currentText(), QString("0.25 мм"));
        QCOMPARE(main->cutOff, 250.0);
        QCOMPARE(p.recalculated, 1);
        QVERIFY(fileBytes(path).contains("\nfilter:250\n"));
        QCOMPARE(readTraceFile<ProfileTrace>(path)->cutOff, 250.0);
        QVERIFY(p.params->topLevelItem(0)->text(1) != raBefore);

        // For a run, the main trace's file is written again with all its runs.
        ProfileTrace *run = main->additionalTraces.at(1);
        p.click(p.item(run->id));
        QCOMPARE(p.filter->currentText(), QString("0.8 мм"));
        QTest::keyClick(p.filter, Qt::Key_Down);
        QCOMPARE(run->cutOff, 250.0);
        const QByteArray bytes = fileBytes(path);
        QVERIFY(bytes.contains("addittional_trace_count:2\n"));
        QCOMPARE(bytes.count("trace_type:ADDITIONAL_TRACE"), 2);
        QCOMPARE(bytes.count("\nfilter:250\n"), 2);
        const auto back = readTraceFile<ProfileTrace>(path);
        QCOMPARE(back->additionalTraces.size(), 2);
        QCOMPARE(back->additionalTraces.at(1)->pointCount(), run->pointCount());
    }

    // A run whose cut-off is changed in the list: the main trace's values over
    // its runs take the run with its own cut-off, as it shows alone (the
    // core-roughness rows with the material-ratio curve of its own profile),
    // and the main trace with its own, at once and after the list recomputes;
    // the file read back and the report agree.
    void mainValuesTakeEachRunWithItsOwnCutOff()
    {
        UserPreferences &prefs = freshSettings().preferenses;
        const QStringList names { "Ra", "Rz", "Wa", "Rk", "Rpk", "Rvk", "Mr1(tp1)", "Mr2(tp2)" };
        prefs.enabled_params.clear();
        for (int i = 0; i < names.size(); ++i)
            prefs.enabled_params[i] = names.at(i);
        prefs.enabled_params_count = names.size();
        // Waves of 60 and 700 µm: every cut-off of the table passes another
        // share of them, so each gives the run other values.
        auto waves = [](double a, double b) {
            auto *trace = new ProfileTrace();
            trace->setTraceType(PROFILE);
            trace->cutOff = 2500;
            trace->speed = 0.5;
            trace->creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
            for (int i = 0; i <= 6000; ++i) {
                QVector<double> point { double(i), a * std::sin(2 * M_PI * i / 60) + b * std::sin(2 * M_PI * i / 700) };
                trace->addPoint(point);
            }
            return trace;
        };
        std::unique_ptr<ProfileTrace> written(waves(1.0, 3.0));
        std::unique_ptr<ProfileTrace> writtenRun(waves(0.4, 2.0));
        writtenRun->setTraceType(ADDITIONAL_TRACE);
        written->addAdditionalTrace(writtenRun.get());
        const QString path = fixture("runs.txt");
        Panel p;
        ProfileTrace *main = p.addProfile(roundTrip<ProfileTrace>(*written, path));
        ProfileTrace *run = main->additionalTraces.at(0);
        p.list.recalcParams();
        p.show();

        // What a trace shows on its own, computed on a copy without runs.
        auto alone = [](const ProfileTrace &trace, const QString &name) {
            ProfileTrace copy(trace);
            copy.additionalTraces.clear();
            copy.clearProfileCache();
            ExtraArgs args;
            return calcParamValue(args, &copy, name).runs.value(0);
        };
        auto checkMain = [&](const char *when) {
            for (const QString &name : names) {
                const ParamValue expected { { alone(*run, name), alone(*main, name) }, false };
                QVERIFY2(main->results.value(name) == expected, qPrintable(name + " " + when));
                QCOMPARE(run->results.value(name).runs, QVector<double> { expected.runs.at(0) });
            }
            const ParamValue ra = main->results.value("Ra");
            ExtraArgs args;
            const ReportData report = profileReportData(main, args);
            QCOMPARE(report.value("param[0].value"), ra.text() + " мкм");
            QVERIFY(ra.text().startsWith(QString::number(ra.mean(), 'f', 3) + "±"));
            QCOMPARE(report.value("trace[1].filter"), QString::number(run->cutOff / 1000, 'g', 6) + " мм");
        };

        QList<double> seen;
        for (double cutOff : { 80.0, 800.0, 250.0, 2500.0 }) {
            p.click(p.item(run->id));
            p.filter->setFocus();
            const int from = p.filter->currentIndex();
            const int to = Common::kCutOffLengths.indexOf(cutOff);
            for (int i = from; i != to; i += to > from ? 1 : -1)
                QTest::keyClick(p.filter, to > from ? Qt::Key_Down : Qt::Key_Up);
            QCOMPARE(run->cutOff, cutOff);
            QCOMPARE(main->cutOff, 2500.0);
            checkMain("at once");
            p.click(p.item(main->id));
            QCOMPARE(p.params->topLevelItem(0)->text(1), main->results.value("Ra").text());
            p.list.recalcParams();
            checkMain("after the list recomputes");
            seen << main->results.value("Ra").runs.at(0);

            const auto back = readTraceFile<ProfileTrace>(path);
            QCOMPARE(back->additionalTraces.at(0)->cutOff, cutOff);
            ExtraArgs args;
            QCOMPARE(calcParamValue(args, back.get(), "Ra"), main->results.value("Ra"));
        }
        // Each cut-off gave the run a value of its own.
        for (int i = 1; i < seen.size(); ++i)
            QVERIFY(!seen.mid(0, i).contains(seen.at(i)));
    }

    void removingARunRewritesTheFileWithoutIt()
    {
        Panel p;
        const QString path = fixture("part.txt");
        ProfileTrace *main = p.addProfile(profileWithRuns(path));
        const int firstRun = main->additionalTraces.at(0)->id;
        const TData kept = *main->additionalTraces.at(1)->rawData;
        p.show();
        p.click(p.item(firstRun));
        p.pressDelete();
        QCOMPARE(p.deleted, QList<int> { firstRun });
        QVERIFY(!p.list.traces.contains(firstRun));
        QCOMPARE(p.item(main->id)->childCount(), 1);
        QCOMPARE(main->additionalTraces.size(), 1);
        const auto back = readTraceFile<ProfileTrace>(path);
        QCOMPARE(back->additionalTraces.size(), 1);
        QCOMPARE(*back->additionalTraces.at(0)->rawData, kept);
        QVERIFY(fileBytes(path).contains("addittional_trace_count:1\n"));
    }

    void deleteAfterTheLastRemovalDoesNothing()
    {
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        const QList<int> ids = p.list.traces.keys();
        p.show();
        p.click(p.item(main->id));
        p.pressDelete();
        QCOMPARE(p.tree->topLevelItemCount(), 0);
        QVERIFY(p.list.traces.isEmpty());
        QCOMPARE(p.list.selectedTrace, nullptr);
        QCOMPARE(p.deleted, (QList<int> { ids.at(1), ids.at(2), ids.at(0) }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        p.pressDelete();
        QCOMPARE(p.deleted.size(), 3);
        QVERIFY(!p.params->isVisible());
    }

    // Removed traces are freed: a run alone, a main trace with its runs; the
    // trace being read never.
    void removedTracesAreFreed()
    {
        CountedProfile::destroyed = 0;
        {
            Panel p;
            auto *main = new CountedProfile;
            main->setTraceType(PROFILE);
            main->setFilePath(fixture("counted.txt"));
            p.list.addMainTrace(main);
            QList<CountedProfile *> runs;
            for (int i = 0; i < 3; ++i) {
                runs << new CountedProfile;
                runs.last()->setTraceType(ADDITIONAL_TRACE);
                p.list.addAdditionalTrace(runs.last(), false);
            }
            p.list.removeAdditionalTrace(p.item(runs.at(0)->id), runs.at(0)->id);
            QCOMPARE(CountedProfile::destroyed, 1);
            p.list.acquiringTrace = runs.at(2);
            p.list.removeTrace(main);
            QCOMPARE(CountedProfile::destroyed, 3);
            QVERIFY(p.list.traces.isEmpty());
            QCOMPARE(runs.at(2)->parentTrace, nullptr);

            // Without a profile trace to join, the run is listed on its own.
            p.list.addAdditionalTrace(runs.at(2), false);
            auto *other = new CountedProfile;
            other->setTraceType(PROFILE);
            p.list.addMainTrace(other);
            p.list.removeAllButAcquired();
            QCOMPARE(CountedProfile::destroyed, 4);
            QCOMPARE(p.list.traces.keys(), QList<int> { runs.at(2)->id });
            p.list.acquiringTrace = nullptr;
        }
        // The list took the last one with it.
        QCOMPARE(CountedProfile::destroyed, 5);
    }

    void anAdditionalTraceJoinsTheLastProfileTrace()
    {
        Panel p;
        // Nothing listed: the run is listed on its own.
        auto *orphan = new ProfileTrace;
        orphan->setTraceType(ADDITIONAL_TRACE);
        orphan->setFilePath(fixture("orphan.txt"));
        p.list.addAdditionalTrace(orphan, false);
        QCOMPARE(p.tree->topLevelItemCount(), 1);
        QCOMPARE(p.item(orphan->id)->parent(), nullptr);
        QCOMPARE(p.list.traces.value(orphan->id), orphan);

        // A contour trace listed last does not take it.
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        ContourTrace *contour = contourFile(fixture("contour.txt")).release();
        p.list.addMainTrace(contour);
        auto *run = new ProfileTrace;
        run->setTraceType(ADDITIONAL_TRACE);
        p.list.addAdditionalTrace(run, false);
        QCOMPARE(p.item(run->id)->parent(), p.item(main->id));
        QCOMPARE(p.item(run->id)->text(0), QString("Доп. трасса 3"));
        QCOMPARE(run->parentTrace, main);
        QCOMPARE(p.item(contour->id)->childCount(), 0);
    }

    void contextMenuPerList()
    {
        Settings &s = freshSettings();
        ConsoleParams a;
        a.name = "Консоль A";
        ConsoleParams b;
        b.name = "Консоль B";
        b.tool_head_radius_down = 2.5;
        b.needle_bias = 0.3;
        s.consoles = { a, b };

        Panel profiles;
        ProfileTrace *main = profiles.addProfile(profileWithRuns(fixture("part.txt")));
        profiles.list.addMainTrace(contourFile(fixture("c0.txt")).release());
        QStringList seen;
        {
            ScriptedPrompts prompts;
            prompts.expect(ScriptedPrompts::Menu, QVariant(), [&seen](QObject *m) {
                seen = menuTexts(static_cast<QMenu *>(m));
                return QVariant::fromValue<QAction *>(nullptr);
            });
            profiles.contextMenu(profiles.tree->viewport(), profiles.centre(profiles.item(main->id)));
            QVERIFY(prompts.allAnswered());
        }
        QCOMPARE(seen, (QStringList { "Удалить трассу", "Перейти к файлу трассы" }));

        Panel contours;
        ContourTrace *c1 = contourFile(fixture("c1.txt")).release();
        ContourTrace *c2 = contourFile(fixture("c2.txt")).release();
        contours.list.addMainTrace(c1);
        contours.list.addMainTrace(c2);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Menu, QVariant(), [&seen](QObject *m) {
            auto *menu = static_cast<QMenu *>(m);
            seen = menuTexts(menu);
            return QVariant::fromValue(findAction(menu, "Консоль B"));
        });
        contours.contextMenu(contours.tree->viewport(), contours.centre(contours.item(c2->id)));
        QVERIFY(prompts.allAnswered());
        QCOMPARE(seen,
            (QStringList { "Удалить трассу", "Перейти к файлу трассы",
                "Изменить консоль для трассы: Консоль A, Консоль B", "Соединить трассы" }));
        QCOMPARE(c2->tool_head_radius_down, 2.5);
        QCOMPARE(c2->needle_bias, 0.3);
        QCOMPARE(c1->needle_bias, 0.0);
        QCOMPARE(contours.recalculated, 1);
    }

    void showingTheFileOpensItsFolder()
    {
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        {
            ScriptedPrompts prompts;
            prompts.expect(ScriptedPrompts::Menu, "Перейти к файлу трассы");
            prompts.expect(ScriptedPrompts::Url, true);
            p.contextMenu(p.tree->viewport(), p.centre(p.item(main->id)));
            QVERIFY(prompts.allAnswered());
            QCOMPARE(prompts.calls().at(1).title,
                QUrl::fromLocalFile(QFileInfo(main->filePath()).absolutePath()).toString());
        }
        // A file that is gone: nothing is opened.
        QFile::remove(main->filePath());
        ScriptedPrompts prompts;
        p.list.showTraceFileInExplorer(main->id);
        QCOMPARE(prompts.calls().size(), 0);
    }

    // Traces read from the instrument share the port's name: the join must
    // take the trace whose button was chosen, not the last one of that title.
    void joinTakesTheChosenTraceAmongEqualTitles()
    {
        Panel p;
        QDir().mkpath("fixtures/a");
        QDir().mkpath("fixtures/b");
        ContourTrace *left = contourFile(fixture("left.txt")).release();
        ContourTrace *first = contourFile(fixture("a/COM3.txt")).release();
        ContourTrace *second = contourFile(fixture("b/COM3.txt")).release();
        for (AbstractTrace *t : { static_cast<AbstractTrace *>(left), static_cast<AbstractTrace *>(first),
                 static_cast<AbstractTrace *>(second) })
            p.list.addMainTrace(t);
        const int leftId = left->id, firstId = first->id, secondId = second->id;
        QCOMPARE(first->name(), second->name());

        ScriptedPrompts prompts;
        QStringList titles;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [&](QObject *subject) {
            auto *dialog = static_cast<QDialog *>(subject);
            dialog->resize(320, 160);
            dialog->show();
            const QList<QRadioButton *> buttons = dialog->findChildren<QRadioButton *>();
            for (QRadioButton *b : buttons)
                titles << b->text();
            QPushButton *join = dialog->findChild<QPushButton *>();
            QTest::mouseClick(join, Qt::LeftButton); // nothing chosen yet
            QTest::mouseClick(buttons.at(0), Qt::LeftButton, Qt::NoModifier, QPoint(8, buttons.at(0)->height() / 2));
            saveWindowShot(dialog, "tracelist_join_dialog");
            QTest::mouseClick(join, Qt::LeftButton); // overlap question cancelled: the dialog stays
            QTest::mouseClick(join, Qt::LeftButton);
            return QVariant(dialog->result());
        });
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        prompts.expect(ScriptedPrompts::Double, QVariant());
        prompts.expect(ScriptedPrompts::Double, 0.3);
        p.list.joinTracesDialog(leftId);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().at(0).title, QString("Соединение трассы"));
        QCOMPARE(prompts.calls().at(1).text, QString("Ни одна трасса не выбрана!"));
        QCOMPARE(prompts.calls().at(2).text, QString("Введите длину нахлёста(мм):"));
        QCOMPARE(titles, (QStringList { "COM3", "COM3" }));
        QCOMPARE(p.created.size(), 1);
        QVERIFY(!p.created.at(0).isEmpty() && !p.created.at(0).at(0).isEmpty());
        QCOMPARE(p.deleted, (QList<int> { leftId, firstId }));
        QCOMPARE(p.list.traces.keys(), QList<int> { secondId });
    }

    // A join whose overlap zone holds no point gives no trace: the operator
    // is told and both traces stay.
    void impossibleJoinKeepsBothTraces()
    {
        Panel p;
        // One point on the left leaves no overlap zone on that side.
        ContourTrace *left = contourFile(fixture("single.txt"), 1).release();
        ContourTrace *right = contourFile(fixture("right.txt")).release();
        p.list.addMainTrace(left);
        p.list.addMainTrace(right);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [](QObject *subject) {
            auto *dialog = static_cast<QDialog *>(subject);
            dialog->findChild<QRadioButton *>()->setChecked(true);
            QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
            return QVariant(dialog->result());
        });
        prompts.expect(ScriptedPrompts::Double, 0.5);
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        p.list.joinTracesDialog(left->id);
        QVERIFY(prompts.allAnswered());
        QVERIFY(prompts.calls().at(2).text.startsWith("Трассы не соединены"));
        QVERIFY(p.created.isEmpty());
        QVERIFY(p.deleted.isEmpty());
        QCOMPARE(p.list.traces.size(), 2);
    }

    // A rewrite that fails keeps the old file and is shown.
    void failedRewriteKeepsTheOldFile()
    {
        Panel p;
        QDir().mkpath("fixtures/locked");
        const QString path = fixture("locked/part.txt");
        ProfileTrace *main = p.addProfile(profileWithRuns(path));
        const QByteArray before = fileBytes(path);
        ScriptedPrompts prompts;
        {
            ReadOnlyFolder locked(QFileInfo(path).absolutePath());
            if (!locked.ok())
                QSKIP("this file system cannot make a folder read-only");
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
            p.show();
            p.click(p.item(main->id));
            p.filter->setFocus();
            QTest::keyClick(p.filter, Qt::Key_Down);
            const int run = main->additionalTraces.at(0)->id;
            p.list.removeAdditionalTrace(p.item(run), run);
        }
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().at(0).title, QString("Ошибка"));
        QVERIFY(prompts.calls().at(0).text.contains(path));
        QCOMPARE(fileBytes(path), before);
        QVERIFY(logText().contains("ERROR: Trace file not rewritten, the old one stays: " + path));
        // The change itself stands in memory.
        QCOMPARE(main->cutOff, 250.0);
        QCOMPARE(main->additionalTraces.size(), 1);
    }

    // A trace whose file could not be written when it was measured (its
    // folder is not there): a new cut-off says the trace was not saved, and
    // makes no file.
    void cutOffOfATraceWithoutAFile()
    {
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        const QString path = QDir::current().absoluteFilePath("fixtures/sub/dir_2026_12_11_09_49_27.txt");
        main->setFilePath(path);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        p.list.setTraceCutOff(main, 250);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().at(0).text,
            "Трасса не сохранена в файл, изменение осталось только в программе:\n" + path);
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(main->cutOff, 250.0);
    }

    // The table follows the chooser's Ok at once, for a name shown and for
    // a name taken away, on the main trace and on a run.
    void parameterMenuOpensTheChooser_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("moved");
        QTest::addColumn<bool>("show");
        QTest::addColumn<bool>("ofRun");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("Rz shown") << QStringList { "Ra" } << "Rz" << true << false << QStringList { "Ra", "Rz" };
        QTest::newRow("Rz10 taken away") << QStringList { "Ra", "Rz10", "Rq" } << "Rz10" << false << false
                                         << QStringList { "Ra", "Rq" };
        QTest::newRow("Rz10 taken away, a run selected")
            << QStringList { "Ra", "Rz10" } << "Rz10" << false << true << QStringList { "Ra" };
    }
    void parameterMenuOpensTheChooser()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, moved);
        QFETCH(bool, show);
        QFETCH(bool, ofRun);
        QFETCH(QStringList, after);
        UserPreferences &prefs = Settings::instance().preferenses;
        prefs.enabled_params.clear();
        for (const QString &name : before)
            prefs.enabled_params.insert(prefs.enabled_params.size(), name);
        prefs.enabled_params_count = before.size();
        Panel p;
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        p.list.recalcParams();
        p.show();
        p.click(p.item(ofRun ? main->additionalTraces.at(0)->id : main->id));
        QCOMPARE(p.tableNames(), before);

        PaintRecorder recorder(p.params->viewport());
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Menu, "Отображённые параметры");
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [moved, show, &recorder](QObject *subject) {
            auto *dialog = static_cast<QDialog *>(subject);
            if (dialog->windowFlags() & Qt::WindowContextHelpButtonHint)
                return QVariant(-1);
            auto *from = dialog->findChild<QListWidget *>(show ? "disabledListWidget" : "enabledListWidget");
            from->findItems(moved, Qt::MatchExactly).first()->setSelected(true);
            dialog->findChild<QPushButton *>(show ? "moveToEnabledButton" : "moveToDisabledButton")->click();
            QTest::mouseClick(dialog->findChild<QPushButton *>("okButton"), Qt::LeftButton);
            recorder.painted = QRegion();
            return QVariant(dialog->result());
        });
        p.contextMenu(p.params->viewport(), p.params->visualItemRect(p.params->topLevelItem(0)).center());
        // The closing chooser uncovers a part of the table, painted at once.
        p.params->viewport()->repaint(0, 0, 8, 8);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().at(1).title, QString("Настройки"));
        QCOMPARE(p.tableNames(), after);
        for (int row = 0; row < after.size(); ++row)
            QVERIFY(!p.params->topLevelItem(row)->text(1).isEmpty());
        // The rows reach the screen too: the rest of the table is painted.
        const QRect rows
            = p.params->visualItemRect(p.params->topLevelItem(0))
                  .united(p.params->visualItemRect(p.params->topLevelItem(after.size() - 1)))
                  .united(p.params->visualItemRect(p.params->topLevelItem(0)).translated(0, 20 * after.size()));
        QTRY_VERIFY(recorder.painted.contains(rows));
    }

    void sensorTestMode()
    {
        freshSettings().test_sensor_mode = true;
        Panel p;
        auto *card = p.list.findChild<TestSensorWidget *>("testSensorWidget");
        ProfileTrace *main = p.addProfile(profileWithRuns(fixture("part.txt")));
        ContourTrace *contour = contourFile(fixture("contour.txt")).release();
        p.list.addMainTrace(contour);
        p.show();
        QVERIFY(card->isVisible());
        QVERIFY(!p.tree->isVisible());
        QVERIFY(!p.params->isVisible());
        p.list.runSensorTest(main);
        p.list.runSensorTest(contour); // not a profile: no reading
        QCOMPARE(p.list.sensorTestReportData().value("in_tolerance"), QString("0,1,0,0,0,0,"));
        // The selected contour trace gives no reading on a recalculation either.
        p.list.selectTrace(contour->id);
        p.list.recalcParams();
        QCOMPARE(p.list.sensorTestReportData().value("measured_values").count("—"), 5);
        saveWindowShot(&p.list, "tracelist_sensor_test");

        Settings::instance().test_sensor_mode = false;
        p.list.refresh();
        QVERIFY(!card->isVisible());
        QVERIFY(p.tree->isVisible());
    }
};

VANTOR_TEST_MAIN(TestTraceList)
#include "tst_tracelist.moc"
