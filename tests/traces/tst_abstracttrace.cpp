#include "support/testmain.h"
#include "support/testtrace.h"

#include <memory>

namespace {

// Post-processor whose result holds no data (as a filter that cannot run).
class EmptyingProcessor : public IDataPostProcessor {
public:
    explicit EmptyingProcessor(bool dropChannels)
        : IDataPostProcessor("emptying")
        , dropChannels(dropChannels)
    {
    }
    void process(TData &data) override
    {
        if (dropChannels)
            data.clear();
        else
            for (auto &channel : data)
                channel.clear();
    }
    bool dropChannels;
};

// Post-processor: Y *= factor over the whole trace.
class ScaleYPost : public IDataPostProcessor {
public:
    explicit ScaleYPost(double factor)
        : IDataPostProcessor("scale")
        , factor(factor)
    {
    }
    void process(TData &data) override
    {
        if (data.size() > 1)
            for (double &y : data[1])
                y *= factor;
    }
    double factor;
};

// Y values 0, 1, 2, ... at X = 0, 0.5, 1, ...
void fill(AbstractTrace &trace, int points)
{
    for (int i = 0; i < points; ++i) {
        QVector<double> p(trace.channelCount());
        p[0] = 0.5 * i;
        p[1] = i;
        if (p.size() > 2)
            p[2] = -i;
        QVERIFY(trace.addPoint(p));
    }
}

void finish(AbstractTrace &trace)
{
    trace.applyPostProcessors();
    trace.processData();
}

} // namespace

class TestAbstractTrace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Raw, converted (point processors) and processed (+ post-processors,
    // then the finishing step) in that order: Y -> 2Y -> 2Y+1 -> (2Y+1)*10.
    void threeStagesInOrder()
    {
        TestTrace t;
        t.addPointProcessor(std::make_shared<ScaleY>(2));
        t.addPostProcessor(std::make_shared<AddY>(1));
        fill(t, 4);

        QCOMPARE(t.rawData->at(1), QVector<double>({ 0, 1, 2, 3 }));
        QCOMPARE(t.convertedData->at(1), QVector<double>({ 0, 2, 4, 6 }));
        // While reading, processed equals converted.
        QCOMPARE(t.processedData->at(1), t.convertedData->at(1));

        finish(t);
        const QVector<double> expected { 10, 30, 50, 70 };
        QCOMPARE(t.processedData->at(1), expected);
        QCOMPARE(t.processedData->at(0), t.rawData->at(0));

        // Recalculation starts again from the raw data, so it does not compound.
        t.recalculate();
        t.recalculate();
        QCOMPARE(t.rawData->at(1), QVector<double>({ 0, 1, 2, 3 }));
        QCOMPARE(t.convertedData->at(1), QVector<double>({ 0, 2, 4, 6 }));
        QCOMPARE(t.processedData->at(1), expected);
    }

    void processorsRunInTheOrderAdded()
    {
        TestTrace t;
        t.addPointProcessor(std::make_shared<ScaleY>(3));
        t.addPostProcessor(std::make_shared<AddY>(2));
        t.addPostProcessor(std::make_shared<ScaleYPost>(2));
        fill(t, 2);
        t.applyPostProcessors();
        // (3Y + 2) * 2, not 3Y * 2 + 2
        QCOMPARE(t.processedData->at(1), QVector<double>({ 4, 10 }));
    }

    void addPointConvertsInPlaceAndRefusesShortPoints()
    {
        TestTrace t(3);
        t.addPointProcessor(std::make_shared<ScaleY>(2));
        QVector<double> p { 1, 5, 7 };
        QVERIFY(t.addPoint(p));
        QCOMPARE(p, QVector<double>({ 1, 10, 7 }));

        QVector<double> shortPoint { 1, 2 };
        QVERIFY(!t.addPoint(shortPoint));
        for (const TData *set : { t.rawData.get(), t.convertedData.get(), t.processedData.get() }) {
            QCOMPARE(set->size(), 3);
            for (const auto &channel : *set)
                QCOMPARE(channel.size(), 1);
        }
    }

    // Points appended in blocks end up as addPoint() leaves them, with or
    // without a point processor, also after the post-processors have run.
    void addPointsMatchesAddPoint_data()
    {
        QTest::addColumn<bool>("withProcessor");
        QTest::newRow("no point processor") << false;
        QTest::newRow("point processor") << true;
    }
    void addPointsMatchesAddPoint()
    {
        QFETCH(bool, withProcessor);
        TestTrace single(3);
        TestTrace blocks(3);
        for (AbstractTrace *t : { static_cast<AbstractTrace *>(&single), static_cast<AbstractTrace *>(&blocks) }) {
            if (withProcessor)
                t->addPointProcessor(std::make_shared<ScaleY>(2));
            t->addPostProcessor(std::make_shared<AddY>(1));
        }
        blocks.reservePoints(7);
        auto block = [](int from, int count) {
            TData b(3);
            for (int i = from; i < from + count; ++i) {
                b[0].append(0.5 * i);
                b[1].append(i);
                b[2].append(-i);
            }
            return b;
        };
        auto same = [&] {
            QCOMPARE(*blocks.rawData, *single.rawData);
            QCOMPARE(*blocks.convertedData, *single.convertedData);
            QCOMPARE(*blocks.processedData, *single.processedData);
        };
        fill(single, 7);
        QCOMPARE(blocks.addPoints(block(0, 3)), 3);
        QCOMPARE(blocks.addPoints(block(3, 3)), 3);
        QCOMPARE(blocks.addPoints(block(6, 1)), 1);
        same();
        finish(single);
        finish(blocks);
        same();
        // Points after the post-processors join the processed data unprocessed,
        // as addPoint() adds them.
        QVector<double> p { 9, 9, 9 };
        QVERIFY(single.addPoint(p));
        TData last(3);
        for (auto &channel : last)
            channel.append(9);
        QCOMPARE(blocks.addPoints(last), 1);
        same();
        blocks.recalculate();
        single.recalculate();
        same();
    }

    // A block lands in the room made for the reading (the raw storage never
    // moves); without point processors the converted and processed data share
    // the raw storage until something changes them. A block with fewer
    // channels than the trace is refused; the shortest channel bounds a block.
    void addPointsKeepsStorageAndSharesUnchangedData()
    {
        TestTrace t;
        t.reservePoints(100);
        const double *rawX = t.rawData->at(0).constData();
        const double *raw = t.rawData->at(1).constData();
        TData b { { 0, 1, 2 }, { 5, 6, 7, 8 } };
        QCOMPARE(t.addPoints(b), 3);
        QCOMPARE(t.addPoints(b), 3);
        QCOMPARE(t.rawData->at(1), QVector<double>({ 5, 6, 7, 5, 6, 7 }));
        QCOMPARE(t.rawData->at(0).constData(), rawX);
        QCOMPARE(t.rawData->at(1).constData(), raw);
        QCOMPARE(t.convertedData->at(1).constData(), raw);
        QCOMPARE(t.processedData->at(0).constData(), t.rawData->at(0).constData());
        QCOMPARE(t.addPoints(TData { { 1, 2 } }), 0);
        QCOMPARE(t.pointCount(), 6);

        t.addPostProcessor(std::make_shared<AddY>(1));
        t.applyPostProcessors();
        QCOMPARE(t.rawData->at(1), QVector<double>({ 5, 6, 7, 5, 6, 7 }));
        QCOMPARE(t.processedData->at(1), QVector<double>({ 6, 7, 8, 6, 7, 8 }));
        QCOMPARE(t.processedData->at(0).constData(), t.rawData->at(0).constData());
        // A single point after blocks gives every set storage of its own first.
        QVector<double> p { 3, 9 };
        QVERIFY(t.addPoint(p));
        QCOMPARE(t.rawData->at(1).size(), 7);
        QCOMPARE(t.convertedData->at(1), t.rawData->at(1));
        QCOMPARE(t.processedData->at(1), QVector<double>({ 6, 7, 8, 6, 7, 8, 9 }));
    }

    void consecutiveIdsAndClonesKeepTheirSourcesId()
    {
        TestTrace a, b, c;
        QCOMPARE(b.id, a.id + 1);
        QCOMPARE(c.id, b.id + 1);
        std::unique_ptr<AbstractTrace> clone(b.clone());
        QCOMPARE(clone->id, b.id);
        TestTrace d;
        QCOMPARE(d.id, c.id + 1); // cloning does not advance the counter
    }

    void cloneCopiesFieldsAndHasIndependentData()
    {
        TestTrace src(3);
        src.controllerName = "Иванов";
        src.setName("trace.txt");
        src.setFilePath("/tmp/trace.txt");
        src.setTraceType(CONTOURPROF);
        auto scale = std::make_shared<ScaleY>(2);
        auto add = std::make_shared<AddY>(1);
        src.addPointProcessor(scale);
        src.addPostProcessor(add);
        fill(src, 5);
        finish(src);

        std::unique_ptr<AbstractTrace> copy(src.clone());
        QCOMPARE(copy->controllerName, src.controllerName);
        QCOMPARE(copy->name(), src.name());
        QCOMPARE(copy->filePath(), src.filePath());
        QCOMPARE(copy->traceType, int(CONTOURPROF));
        QCOMPARE(copy->creationDate, src.creationDate);
        QCOMPARE(*copy->rawData, *src.rawData);
        QCOMPARE(*copy->convertedData, *src.convertedData);
        QCOMPARE(*copy->processedData, *src.processedData);
        // The same processor objects.
        QCOMPARE(copy->pointProcessors.value(0).get(), static_cast<IDataSinglePointProcessor *>(scale.get()));
        QCOMPARE(copy->postProcessors.value(0).get(), static_cast<IDataPostProcessor *>(add.get()));

        (*copy->rawData)[1][0] = 99;
        (*copy->processedData)[1][0] = 99;
        copy->clearPoints();
        QCOMPARE(src.rawData->at(1).size(), 5);
        QCOMPARE(src.rawData->at(1).at(0), 0.0);
        QCOMPARE(src.processedData->at(1).at(0), 10.0);
    }

    // A clone outlives its source, and its processors outlive the source's
    // clear operations: the clone can still recalculate through them.
    void cloneSurvivesSourceAndItsClearOperations()
    {
        auto src = std::make_unique<TestTrace>();
        std::weak_ptr<IDataSinglePointProcessor> pointRef;
        std::weak_ptr<IDataPostProcessor> postRef;
        {
            auto scale = std::make_shared<ScaleY>(2);
            auto add = std::make_shared<AddY>(1);
            pointRef = scale;
            postRef = add;
            src->addPointProcessor(scale);
            src->addPostProcessor(add);
        }
        fill(*src, 3);
        std::unique_ptr<AbstractTrace> clone(src->clone());

        src->clearPointProcessors();
        src->clearPostProcessors();
        QVERIFY(src->pointProcessors.isEmpty());
        QVERIFY(src->postProcessors.isEmpty());
        QVERIFY(!pointRef.expired());
        QVERIFY(!postRef.expired());
        src.reset();

        clone->recalculate();
        QCOMPARE(clone->processedData->at(1), QVector<double>({ 10, 30, 50 }));

        // The last holder lets them go.
        clone.reset();
        QVERIFY(pointRef.expired());
        QVERIFY(postRef.expired());
    }

    void crop_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QVector<double>>("rawY");

        const QVector<double> all { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 };
        QTest::newRow("middle") << 2 << 5 << true << QVector<double>({ 2, 3, 4 });
        QTest::newRow("empty range at the end") << 10 << 10 << true << QVector<double>();
        QTest::newRow("everything") << 0 << 10 << true << all;
        QTest::newRow("reversed") << 5 << 3 << false << all;
        QTest::newRow("beyond the end") << 5 << 11 << false << all;
        QTest::newRow("negative start") << -1 << 5 << false << all;
        QTest::newRow("both negative") << -3 << -1 << false << all;
    }

    void crop()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, done);
        QFETCH(QVector<double>, rawY);

        TestTrace t;
        t.addPointProcessor(std::make_shared<ScaleY>(2));
        t.addPostProcessor(std::make_shared<AddY>(1));
        fill(t, 10);
        finish(t);
        const int finishesBefore = t.finishCount;

        QCOMPARE(t.crop(from, to), done);
        QCOMPARE(t.rawData->at(1), rawY);
        QCOMPARE(t.rawData->at(0).size(), rawY.size());
        QCOMPARE(t.finishCount, finishesBefore + (done ? 1 : 0));
        // Converted and processed are rebuilt from the kept raw points
        // through every stage.
        QVector<double> converted, processed;
        for (double y : rawY) {
            converted << 2 * y;
            processed << (2 * y + 1) * 10;
        }
        QCOMPARE(t.convertedData->at(1), converted);
        QCOMPARE(t.processedData->at(1), processed);

        // The crop survives a later recalculation.
        t.recalculate();
        QCOMPARE(t.processedData->at(1), processed);
    }

    void length_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("length");
        QTest::newRow("no point") << 0 << 0.0;
        QTest::newRow("one point") << 1 << 0.0;
        QTest::newRow("five points") << 5 << 2.0;
    }

    void length()
    {
        QFETCH(int, points);
        QFETCH(double, length);
        TestTrace t;
        fill(t, points);
        QCOMPARE(t.length(), length);
    }

    void lengthWithoutChannels()
    {
        TestTrace t(0);
        QCOMPARE(t.length(), 0.0);
        QCOMPARE(t.channelCount(), 0);
    }

    void clearPointsKeepsChannels_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("contour") << 3;
        QTest::newRow("profile") << 2;
    }

    void clearPointsKeepsChannels()
    {
        QFETCH(int, channels);
        TestTrace t(channels);
        fill(t, 7);
        finish(t);
        t.clearPoints();
        QCOMPARE(t.channelCount(), channels);
        for (const TData *set : { t.rawData.get(), t.convertedData.get(), t.processedData.get() }) {
            QCOMPARE(set->size(), channels);
            for (const auto &channel : *set)
                QVERIFY(channel.isEmpty());
        }
    }

    // A post-processor that leaves nothing must not wipe the trace; the
    // processors after it still run, and the channel count stays the raw one.
    void postProcessorWithoutResultKeepsData_data()
    {
        QTest::addColumn<bool>("dropChannels");
        QTest::newRow("no channels") << true;
        QTest::newRow("empty channels") << false;
    }

    void postProcessorWithoutResultKeepsData()
    {
        QFETCH(bool, dropChannels);
        TestTrace t(3);
        t.addPostProcessor(std::make_shared<EmptyingProcessor>(dropChannels));
        t.addPostProcessor(std::make_shared<AddY>(1));
        fill(t, 3);
        t.recalculate();
        QCOMPARE(t.channelCount(), 3);
        QCOMPARE(t.processedData->size(), 3);
        QCOMPARE(t.processedData->at(1), QVector<double>({ 10, 20, 30 }));
        QCOMPARE(t.processedData->at(2), QVector<double>({ 0, -1, -2 }));
        QCOMPARE(t.length(), 1.0);
    }

    void rawPointsCopiesTheRequestedRange()
    {
        TestTrace t(3);
        fill(t, 10);
        const TData part = t.rawPoints(8, 5); // clamped to the two points present
        QCOMPARE(part.size(), 3);
        QCOMPARE(part.at(1), QVector<double>({ 8, 9 }));
        QCOMPARE(part.at(2), QVector<double>({ -8, -9 }));
        QCOMPARE(t.rawPoints(20, 5).at(0).size(), 0);
        QCOMPARE(t.rawPoints(-5, 6).at(1), QVector<double>({ 0 }));
        QCOMPARE(t.pointCount(), 10);
    }

    void creationDateText()
    {
        TestTrace t;
        t.creationDate = QDateTime(QDate(2024, 3, 7), QTime(9, 5, 1));
        QCOMPARE(t.creationDateText(), QStringLiteral("07-03-2024 09:05:01"));
        QVERIFY(qAbs(TestTrace().creationDate.secsTo(QDateTime::currentDateTime())) < 60);
    }
};

VANTOR_TEST_MAIN(TestAbstractTrace)
#include "tst_abstracttrace.moc"
